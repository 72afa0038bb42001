#pragma once
// A link to the box: TCP or USB HID. Sending and the sink run on the main thread. TCP is read
// there too; USB keeps a receive thread (hidapi's read blocks) that queues a copy of every whole
// reply for the main thread, in order.

#include "protocol/Frame.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <functional>

namespace trivel {

// A send that has not completed after this long ends the link: a box that stops reading must
// not block the main thread (and with it the receive hand-over) for ever.
inline constexpr int kSendTimeoutMs = 10000;

class Transport : public QObject {
    Q_OBJECT
public:
    // Runs on the main thread. bytes is the reply as the transport received it:
    // with the report id first over USB (withReportId), the bare frame over TCP.
    using ReplySink = std::function<void(const std::uint8_t* bytes, std::size_t n, bool withReportId)>;

    using QObject::QObject;
    ~Transport() override = default;

    virtual bool isUsb() const = 0;
    virtual bool isOpen() const = 0;
    // TCP: 512 bytes from the request frame. USB: one output report from byte 0 (report id 0).
    // A send that fails or takes longer than sendTimeoutMs() reports linkLost (queued, so the
    // sender's step finishes first); later sends on this link do nothing.
    virtual void sendFrame(const FrameBuffer& request) = 0;
    virtual void close() = 0;
    void setReplySink(ReplySink sink) { m_sink = std::move(sink); }
    void setSendTimeoutMs(int ms) { m_sendTimeoutMs = ms; }
    int sendTimeoutMs() const { return m_sendTimeoutMs; }
    bool sendFailed() const { return m_sendFailed; }

signals:
    // The peer closed, the socket failed or the device went away: the link is dead.
    void linkLost(const QString& reason);

protected:
    // Receive-thread side: queues a copy of the reply for the sink on the main thread. False
    // once the link is closing.
    bool handOver(const std::uint8_t* bytes, std::size_t n, bool withReportId);
    // Main thread, on close: replies still queued for the main thread are dropped.
    void stopHandOver();
    void resetHandOver();
    // Receive-thread side: reports the loss on the main thread unless the link is closing.
    void reportLinkLost(const QString& reason);
    bool stopping() const { return m_stopping.load(); }
    // Main thread: the link can no longer send; reported once.
    void failSend(const QString& reason);

    ReplySink m_sink;

private:
    std::atomic<bool> m_stopping{false};
    int m_sendTimeoutMs = kSendTimeoutMs;
    bool m_sendFailed = false; // main thread only
};

} // namespace trivel
