#pragma once
// The box over USB HID: one output report per request frame, one input report per reply.
// TDevInThread reads with 100 ms time-outs so it notices termination.

#include "link/HidBackend.h"
#include "link/Transport.h"

#include <memory>
#include <thread>

namespace trivel {

class UsbTransport;

class TDevInThread {
public:
    explicit TDevInThread(UsbTransport& t)
        : m_t(t)
    {
    }
    ~TDevInThread() { wait(); }
    void start();
    // Joins the thread once it has left its loop.
    void wait();

private:
    UsbTransport& m_t;
    std::thread m_thread;
};

class UsbTransport final : public Transport {
    Q_OBJECT
public:
    static constexpr int kReadTimeoutMs = 100;

    // Takes an open device and flushes its input queue.
    explicit UsbTransport(std::unique_ptr<HidDevice> device);
    ~UsbTransport() override;

    void startReceiving();

    bool isUsb() const override { return true; }
    bool isOpen() const override { return m_device != nullptr; }
    // The request buffer from byte 0 (report id 0) for the declared output report length.
    void sendFrame(const FrameBuffer& request) override;
    // Terminates TDevInThread, waits for it, releases the device.
    void close() override;

private:
    friend class TDevInThread;
    void receiveLoop();

    std::unique_ptr<HidDevice> m_device;
    std::unique_ptr<TDevInThread> m_thread;
    FrameBuffer m_rx{}; // report id at byte 0, frame from byte 1, as in ReplyBuffer
};

} // namespace trivel
