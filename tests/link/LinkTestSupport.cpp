#include "LinkTestSupport.h"

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

namespace trivel::test {

namespace {

int listenLoopback(quint16* port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = 0;
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::listen(fd, 1);
    socklen_t len = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    *port = ntohs(a.sin_port);
    return fd;
}

} // namespace

ScriptedPeer::ScriptedPeer(Script script)
{
    m_listen = listenLoopback(&m_port);
    m_thread = std::thread([this, script = std::move(script)] {
        const int c = ::accept(m_listen, nullptr, nullptr);
        if (c < 0)
            return;
        int one = 1;
        ::setsockopt(c, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        m_client = c;
        script(c);
        ::shutdown(c, SHUT_RDWR);
    });
}

ScriptedPeer::~ScriptedPeer()
{
    ::shutdown(m_listen, SHUT_RDWR); // wakes accept
    if (m_client >= 0)
        ::shutdown(m_client, SHUT_RDWR); // wakes a script blocked in recv
    m_thread.join();
    if (m_client >= 0)
        ::close(m_client);
    ::close(m_listen);
}

bool ScriptedPeer::readFrame(int fd, std::uint8_t* frame)
{
    std::size_t have = 0;
    while (have < kTcpFrameSize) {
        const ssize_t n = ::recv(fd, frame + have, kTcpFrameSize - have, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        have += std::size_t(n);
    }
    return true;
}

void ScriptedPeer::writeAll(int fd, const std::uint8_t* p, std::size_t n)
{
    while (n > 0) {
        const ssize_t k = ::send(fd, p, n, MSG_NOSIGNAL);
        if (k <= 0)
            return;
        p += k;
        n -= std::size_t(k);
    }
}

quint16 ScriptedPeer::deadPort()
{
    quint16 port = 0;
    const int fd = listenLoopback(&port);
    ::close(fd);
    return port;
}

} // namespace trivel::test
