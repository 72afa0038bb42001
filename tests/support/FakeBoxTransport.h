#pragma once
// An in-process link to a BoxModel: every sent frame goes to the model and its reply is
// delivered on the next event-loop turn, as a receive thread would hand it over.

#include "link/Transport.h"
#include "sim/BoxModel.h"

#include <vector>

namespace trivel::test {

class FakeBoxTransport : public Transport {
    Q_OBJECT
public:
    explicit FakeBoxTransport(sim::BoxModel& box, bool usb = false, std::size_t usbReportLength = 513)
        : m_box(box)
        , m_usb(usb)
        , m_reportLength(usbReportLength)
    {
    }

    bool isUsb() const override { return m_usb; }
    bool isOpen() const override { return m_open; }
    void sendFrame(const FrameBuffer& request) override;
    void close() override { m_open = false; }

    // Every frame as it went on the wire (USB: the whole report, report id first).
    std::vector<std::vector<std::uint8_t>> sent;
    // Request codes in order, for asserting chain order.
    std::vector<std::uint32_t> sentCodes;
    // While true, replies are swallowed (a box that went silent).
    bool silent = false;
    // Replies are delivered synchronously inside sendFrame instead of on the next event turn.
    bool synchronous = false;

private:
    void deliver(std::vector<std::uint8_t> reply);

    sim::BoxModel& m_box;
    bool m_usb;
    std::size_t m_reportLength;
    bool m_open = true;
};

} // namespace trivel::test
