#pragma once
// The box over Ethernet: a TCP client socket, 512-byte frames both ways. The main thread reads it
// when it becomes readable (a socket notifier), reassembles whole frames whatever the segmentation
// and hands each to the sink at once: one wake-up per reply, no thread.

#include "link/Transport.h"

#include <array>
#include <memory>

class QSocketNotifier;

namespace trivel {

class TcpTransport final : public Transport {
    Q_OBJECT
public:
    TcpTransport();
    ~TcpTransport() override;

    // Connects synchronously, waiting up to timeoutMs for the socket to become writable.
    // On failure returns false with a short reason in *error.
    bool open(const QString& host, quint16 port, int timeoutMs, QString* error = nullptr);
    // Takes a connected stream socket (tests: one end of a socket pair with a box behind it).
    void adopt(int fd);
    // Replies go to the sink from now on.
    void startReceiving();

    bool isUsb() const override { return false; }
    bool isOpen() const override { return m_fd >= 0; }
    void sendFrame(const FrameBuffer& request) override;
    // SO_SNDBUF of the open socket; tests shrink it to reach a full send buffer quickly.
    void setSendBufferSize(int bytes);
    void close() override;

private:
    void readAvailable();

    int m_fd = -1;
    std::unique_ptr<QSocketNotifier> m_notifier;
    std::array<std::uint8_t, kTcpFrameSize> m_rx{};
    std::size_t m_have = 0;
};

} // namespace trivel
