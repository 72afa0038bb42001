#pragma once
// trivel-boxsim as a child process on a free loopback port, and the blocking socket helpers the
// benchmarks measure it with: raw 512-byte round trips are the floor every chain is compared to.

#include "protocol/Frame.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStringList>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

namespace trivel::bench {

inline bool ReadFull(int fd, void* to, std::size_t n)
{
    auto* p = static_cast<char*>(to);
    while (n > 0) {
        const ssize_t k = ::recv(fd, p, n, 0);
        if (k <= 0)
            return false;
        p += k;
        n -= std::size_t(k);
    }
    return true;
}

inline bool WriteFull(int fd, const void* from, std::size_t n)
{
    const auto* p = static_cast<const char*>(from);
    while (n > 0) {
        const ssize_t k = ::send(fd, p, n, MSG_NOSIGNAL);
        if (k <= 0)
            return false;
        p += k;
        n -= std::size_t(k);
    }
    return true;
}

// A blocking TCP client on 127.0.0.1:port with Nagle off, or -1.
inline int ConnectLoopback(quint16 port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(port);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        ::close(fd);
        return -1;
    }
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    return fd;
}

// Seconds for `count` blocking round trips of a 512-byte setting frame on one fresh connection,
// after `warmUp` untimed ones; 0 when the link fails.
inline double RawRoundTripSeconds(quint16 port, int count, int warmUp = 0)
{
    const int fd = ConnectLoopback(port);
    if (fd < 0)
        return 0;
    std::uint8_t frame[kTcpFrameSize];
    auto roundTrip = [&] {
        std::memset(frame, 0, sizeof frame);
        FrameView(frame, sizeof frame).setCode(Cmd::Setting);
        std::memcpy(frame + 8, "s00BRI+050\r\n", 12);
        return WriteFull(fd, frame, sizeof frame) && ReadFull(fd, frame, sizeof frame);
    };
    for (int i = 0; i < warmUp; ++i)
        if (!roundTrip()) {
            ::close(fd);
            return 0;
        }
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < count; ++i)
        if (!roundTrip()) {
            ::close(fd);
            return 0;
        }
    const double s = double(t.nsecsElapsed()) / 1e9;
    ::close(fd);
    return s;
}

// CPU time in ns the kernel has accounted to the calling thread, or to a process (its main
// thread, where trivel-boxsim does all its work), from schedstat; 0 where it cannot be read.
inline long long SchedstatNs(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    return f.readAll().split(' ').value(0).toLongLong();
}
inline long long ThreadCpuNs()
{
    return SchedstatNs(QStringLiteral("/proc/thread-self/schedstat"));
}
inline long long ProcessCpuNs(qint64 pid)
{
    return SchedstatNs(QStringLiteral("/proc/%1/schedstat").arg(pid));
}

// Starts trivel-boxsim on 127.0.0.1 with a free port; port() is 0 when that failed (the reason
// went to stderr). Killed when it goes out of scope.
class BoxsimProcess {
public:
    explicit BoxsimProcess(const QString& path, const QStringList& extraArgs = {}, bool discardStderr = false)
    {
        if (discardStderr)
            m_proc.setStandardErrorFile(QProcess::nullDevice());
        m_proc.start(path, QStringList{"--host", "127.0.0.1", "--port", "0"} + extraArgs);
        if (!m_proc.waitForStarted(5000) || !m_proc.waitForReadyRead(5000)) {
            std::fprintf(stderr, "cannot start %s\n", qPrintable(path));
            return;
        }
        const QString line = QString::fromLatin1(m_proc.readLine()).trimmed();
        const auto m = QRegularExpression(QStringLiteral("listening on .*:(\\d+)")).match(line);
        if (!m.hasMatch()) {
            std::fprintf(stderr, "unexpected output from trivel-boxsim: %s\n", qPrintable(line));
            return;
        }
        m_port = quint16(m.captured(1).toUInt());
    }
    ~BoxsimProcess()
    {
        m_proc.kill();
        m_proc.waitForFinished(3000);
    }
    BoxsimProcess(const BoxsimProcess&) = delete;
    BoxsimProcess& operator=(const BoxsimProcess&) = delete;

    quint16 port() const { return m_port; }
    qint64 pid() const { return m_proc.processId(); }

private:
    QProcess m_proc;
    quint16 m_port = 0;
};

} // namespace trivel::bench
