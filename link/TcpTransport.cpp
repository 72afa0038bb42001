#include "link/TcpTransport.h"

#include "link/Log.h"

#include <QSocketNotifier>

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace trivel {

namespace {
constexpr int kFramesPerTurn = 16;
}

TcpTransport::TcpTransport() = default;

TcpTransport::~TcpTransport()
{
    close();
}

bool TcpTransport::open(const QString& host, quint16 port, int timeoutMs, QString* error)
{
    auto fail = [&](const QString& why) {
        if (error)
            *error = why;
        if (m_fd >= 0) {
            ::close(m_fd);
            m_fd = -1;
        }
        return false;
    };
    close();

    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* res = nullptr;
    const QByteArray h = host.toLatin1();
    const QByteArray p = QByteArray::number(port);
    if (h.isEmpty() || ::getaddrinfo(h.constData(), p.constData(), &hints, &res) != 0 || !res)
        return fail(QStringLiteral("bad address"));
    sockaddr_in addr{};
    std::memcpy(&addr, res->ai_addr, std::min<std::size_t>(sizeof addr, res->ai_addrlen));
    ::freeaddrinfo(res);

    m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_fd < 0)
        return fail(QString::fromLocal8Bit(std::strerror(errno)));

    // Connect without blocking, then wait for writability: that is the connect time-out.
    const int flags = ::fcntl(m_fd, F_GETFL, 0);
    ::fcntl(m_fd, F_SETFL, flags | O_NONBLOCK);
    if (::connect(m_fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 && errno != EINPROGRESS)
        return fail(QString::fromLocal8Bit(std::strerror(errno)));
    pollfd pfd{m_fd, POLLOUT, 0};
    int r;
    do {
        r = ::poll(&pfd, 1, timeoutMs);
    } while (r < 0 && errno == EINTR);
    if (r <= 0)
        return fail(QStringLiteral("time-out"));
    int soErr = 0;
    socklen_t len = sizeof soErr;
    ::getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &soErr, &len);
    if (soErr != 0)
        return fail(QString::fromLocal8Bit(std::strerror(soErr)));
    ::fcntl(m_fd, F_SETFL, flags & ~O_NONBLOCK);

    // One request, one reply: no Nagle delay on the small frames.
    int one = 1;
    ::setsockopt(m_fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    resetHandOver();
    m_have = 0;
    return true;
}

void TcpTransport::adopt(int fd)
{
    close();
    m_fd = fd;
    resetHandOver();
    m_have = 0;
}

void TcpTransport::startReceiving()
{
    if (m_fd < 0 || m_notifier)
        return;
    m_notifier = std::make_unique<QSocketNotifier>(m_fd, QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &TcpTransport::readAvailable);
}

void TcpTransport::sendFrame(const FrameBuffer& request)
{
    if (m_fd < 0 || sendFailed())
        return;
    // Each send is non-blocking and waits for room with poll, against one deadline for the whole
    // frame.
    using Ms = std::chrono::milliseconds;
    const auto deadline = std::chrono::steady_clock::now() + Ms(sendTimeoutMs());
    const std::uint8_t* p = request.data() + 1;
    std::size_t left = kTcpFrameSize;
    while (left > 0) {
        // MSG_NOSIGNAL: a peer that has gone must not kill the tool with SIGPIPE.
        const ssize_t n = ::send(m_fd, p, left, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            p += n;
            left -= std::size_t(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            const auto wait = std::chrono::ceil<Ms>(deadline - std::chrono::steady_clock::now()).count();
            pollfd pfd{m_fd, POLLOUT, 0};
            const int r = wait > 0 ? ::poll(&pfd, 1, int(wait)) : 0;
            if (r < 0 && errno != EINTR) {
                failSend(QString::fromLocal8Bit(std::strerror(errno)));
                return;
            }
            if (r == 0) {
                // Part of the frame may be out: the stream is out of step, so the link ends.
                failSend(QStringLiteral("send timed out after %1 ms").arg(sendTimeoutMs()));
                return;
            }
            continue; // room, or an error the next send reports
        }
        failSend(n == 0 ? QStringLiteral("send failed") : QString::fromLocal8Bit(std::strerror(errno)));
        return;
    }
}

void TcpTransport::setSendBufferSize(int bytes)
{
    if (m_fd >= 0)
        ::setsockopt(m_fd, SOL_SOCKET, SO_SNDBUF, &bytes, sizeof bytes);
}

void TcpTransport::close()
{
    if (m_fd < 0)
        return;
    stopHandOver();
    m_notifier.reset();
    ::shutdown(m_fd, SHUT_RDWR);
    ::close(m_fd);
    m_fd = -1;
    m_have = 0;
}

void TcpTransport::readAvailable()
{
    // A reply's step may send, or close this link; nothing is read after that. A box that floods
    // the link must not keep the main thread here: a few frames a turn, the notifier comes back.
    int frames = 0;
    while (m_fd >= 0 && !stopping() && frames < kFramesPerTurn) {
        // Never read past the current frame, so two frames in one segment stay two.
        const ssize_t n = ::recv(m_fd, m_rx.data() + m_have, m_rx.size() - m_have, MSG_DONTWAIT);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return;
        if (n <= 0) {
            const QString reason
                = n == 0 ? QStringLiteral("closed by the box") : QString::fromLocal8Bit(std::strerror(errno));
            m_notifier.reset();
            reportLinkLost(reason);
            return;
        }
        m_have += std::size_t(n);
        if (m_have < m_rx.size())
            continue;
        m_have = 0;
        ++frames;
        if (m_sink)
            m_sink(m_rx.data(), m_rx.size(), false);
    }
}

} // namespace trivel
