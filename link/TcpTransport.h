#pragma once
// The box over Ethernet: a blocking TCP client socket, 512-byte frames both ways.
// TSocketThread blocks in recv, reassembles whole frames and hands each to the main thread.

#include "link/Transport.h"

#include <array>
#include <memory>
#include <thread>

namespace trivel {

class TcpTransport;

class TSocketThread {
public:
    explicit TSocketThread(TcpTransport& t)
        : m_t(t)
    {
    }
    ~TSocketThread() { wait(); }
    void start();
    // Joins the thread once it has left its loop.
    void wait();

private:
    TcpTransport& m_t;
    std::thread m_thread;
};

class TcpTransport final : public Transport {
    Q_OBJECT
public:
    TcpTransport();
    ~TcpTransport() override;

    // Connects synchronously, waiting up to timeoutMs for the socket to become writable.
    // On failure returns false with a short reason in *error.
    bool open(const QString& host, quint16 port, int timeoutMs, QString* error = nullptr);
    // Starts TSocketThread; replies go to the sink from now on.
    void startReceiving();

    bool isUsb() const override { return false; }
    bool isOpen() const override { return m_fd >= 0; }
    void sendFrame(const FrameBuffer& request) override;
    // SO_SNDBUF of the open socket; tests shrink it to reach a full send buffer quickly.
    void setSendBufferSize(int bytes);
    // Stops the receive thread (it notices at once: the socket is shut down) and closes.
    void close() override;

private:
    friend class TSocketThread;
    void receiveLoop();

    int m_fd = -1;
    std::unique_ptr<TSocketThread> m_thread;
    // Written only by the receive thread; read by the main thread during a hand-over.
    std::array<std::uint8_t, kTcpFrameSize> m_rx{};
};

} // namespace trivel
