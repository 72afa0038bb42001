#pragma once
// Loopback clients for an in-process BoxServer: a QTcpSocket one that records each read, and a
// plain non-blocking socket that behaves as a careless or hostile client would (pipelining,
// never reading, resetting). The server runs on this thread's event loop, so every wait here
// keeps that loop turning.

#include "protocol/Frame.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSocketNotifier>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <functional>
#include <optional>

namespace trivel::test {

inline QByteArray requestFrame(std::uint32_t code)
{
    QByteArray f(int(kTcpFrameSize), '\0');
    FrameView(reinterpret_cast<std::uint8_t*>(f.data()), kTcpFrameSize).setCode(code);
    return f;
}

inline std::uint32_t frameCode(const QByteArray& bytes, int index = 0)
{
    QByteArray copy = bytes.mid(index * int(kTcpFrameSize), int(kTcpFrameSize));
    return FrameView(reinterpret_cast<std::uint8_t*>(copy.data()), std::size_t(copy.size())).code();
}

// Runs the event loop until pred holds or timeoutMs passes. Between turns it sleeps until an
// event comes, fd becoming ready (for events) included, so a raw client's reply is seen at once.
inline bool spinUntil(const std::function<bool()>& pred, int timeoutMs, int fd = -1, short events = POLLIN)
{
    std::optional<QSocketNotifier> ready;
    if (fd >= 0)
        ready.emplace(qintptr(fd), events == POLLOUT ? QSocketNotifier::Write : QSocketNotifier::Read);
    QTimer deadline; // wakes the last wait
    deadline.setSingleShot(true);
    deadline.start(timeoutMs);
    QElapsedTimer t;
    t.start();
    while (true) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        if (pred())
            return true;
        if (t.elapsed() >= timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
}

// Collects everything it receives, read by read.
struct Client {
    static constexpr int kWaitMs = 5000;
    QTcpSocket socket;
    QByteArray received;
    std::vector<int> readSizes;

    explicit Client(quint16 port)
    {
        QObject::connect(&socket, &QTcpSocket::readyRead, [this] {
            const QByteArray chunk = socket.readAll();
            readSizes.push_back(int(chunk.size()));
            received += chunk;
        });
        socket.connectToHost(QHostAddress::LocalHost, port);
        EXPECT_TRUE(
            QTest::qWaitFor([this] { return socket.state() == QAbstractSocket::ConnectedState; }, kWaitMs));
    }
    void send(const QByteArray& bytes)
    {
        socket.write(bytes);
        socket.flush();
    }
    bool waitFor(int bytes)
    {
        return QTest::qWaitFor([&] { return received.size() >= bytes; }, kWaitMs);
    }
    bool waitForClose()
    {
        return QTest::qWaitFor([&] { return socket.state() == QAbstractSocket::UnconnectedState; }, kWaitMs);
    }
};

class RawClient {
public:
    // receiveBuffer > 0 shrinks the kernel's receive buffer, so a client that does not read
    // stops the server's writes early.
    explicit RawClient(quint16 port, int receiveBuffer = 0)
        : m_fd(::socket(AF_INET, SOCK_STREAM, 0))
    {
        if (receiveBuffer > 0)
            ::setsockopt(m_fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons(port);
        // Loopback connects complete in the kernel's backlog, before the server accepts.
        m_connected = ::connect(m_fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
        ::fcntl(m_fd, F_SETFL, ::fcntl(m_fd, F_GETFL) | O_NONBLOCK);
        const int one = 1;
        ::setsockopt(m_fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    }
    ~RawClient() { close(); }
    RawClient(const RawClient&) = delete;
    RawClient& operator=(const RawClient&) = delete;

    bool connected() const { return m_connected; }
    int fd() const { return m_fd; }

    // What the kernel takes now: bytes sent, 0 when it would block, -1 once the peer is gone.
    qint64 trySend(const char* p, qint64 n)
    {
        const ssize_t k = ::send(m_fd, p, std::size_t(n), MSG_NOSIGNAL);
        if (k >= 0)
            return k;
        return errno == EAGAIN || errno == EWOULDBLOCK ? 0 : -1;
    }

    bool sendAll(const QByteArray& bytes, int timeoutMs = 5000)
    {
        qint64 done = 0;
        bool failed = false;
        spinUntil(
            [&] {
                const qint64 k = trySend(bytes.constData() + done, bytes.size() - done);
                failed = k < 0;
                done += k > 0 ? k : 0;
                return failed || done == bytes.size();
            },
            timeoutMs, m_fd, POLLOUT);
        return !failed && done == bytes.size();
    }

    // Reads until n bytes have arrived (or the peer closed, or the time is up).
    QByteArray receive(qint64 n, int timeoutMs = 5000)
    {
        QByteArray got;
        spinUntil(
            [&] {
                readAvailable(got, n - got.size());
                return got.size() >= n || m_peerClosed;
            },
            timeoutMs, m_fd);
        return got;
    }

    // True once the server has closed or reset the connection (anything unread is discarded).
    bool waitForPeerClose(int timeoutMs = 5000)
    {
        QByteArray sink;
        return spinUntil(
            [&] {
                readAvailable(sink, 1 << 20);
                sink.clear();
                return m_peerClosed;
            },
            timeoutMs, m_fd);
    }

    // reset: an abortive close (RST) instead of an orderly one.
    void close(bool reset = false)
    {
        if (m_fd < 0)
            return;
        if (reset) {
            const linger l{1, 0};
            ::setsockopt(m_fd, SOL_SOCKET, SO_LINGER, &l, sizeof l);
        }
        ::close(m_fd);
        m_fd = -1;
    }

private:
    void readAvailable(QByteArray& into, qint64 limit)
    {
        char buf[65536];
        while (limit > 0) {
            const ssize_t k = ::recv(m_fd, buf, std::size_t(std::min<qint64>(limit, sizeof buf)), 0);
            if (k > 0) {
                into.append(buf, k);
                limit -= k;
                continue;
            }
            if (k == 0 || (errno != EAGAIN && errno != EWOULDBLOCK))
                m_peerClosed = true;
            return;
        }
    }

    int m_fd;
    bool m_connected = false;
    bool m_peerClosed = false;
};

} // namespace trivel::test
