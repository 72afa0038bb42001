#pragma once
// An in-process link to a BoxModel: every sent frame goes to the model, and its reply is handed
// to the reply sink as a receive thread would: on the next event-loop turn, at once, or only when
// the test pumps it, so a chain test decides exactly when each reply "arrives".

#include "link/Clock.h"
#include "link/Transport.h"
#include "sim/BoxModel.h"

#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace trivel {
class Session;
}

namespace trivel::test {

enum class Delivery {
    NextEventTurn, // queued on the event loop, as the receive threads hand replies over
    Synchronous, // inside sendFrame
    Pumped, // held until pump()
};

class FakeBoxTransport : public Transport {
    Q_OBJECT
public:
    explicit FakeBoxTransport(sim::BoxModel& box, bool usb = false, std::size_t usbReportLength = 513)
        : m_box(box)
        , m_usb(usb)
        , m_reportLength(usbReportLength)
    {
    }

    // Connects a session to this link: connected flag, transport, TCP/USB choice, reply sink.
    void attach(Session& s);

    // The clock whose waits pump() lets pass (attach() takes the session's).
    void useClock(VirtualClock* clock) { m_clock = clock; }

    bool isUsb() const override { return m_usb; }
    bool isOpen() const override { return m_open; }
    void sendFrame(const FrameBuffer& request) override;
    void close() override { m_open = false; }

    Delivery delivery = Delivery::NextEventTurn;
    // While true, replies are swallowed (a box that went silent).
    bool silent = false;
    // Changes each reply before it is handed over (a box that answers garbage).
    std::function<void(std::vector<std::uint8_t>&)> tamper;

    // Pumped delivery: hands queued replies over (and those they cause), letting the virtual
    // clock run the operations' waits in between, until nothing is left or `limit` replies were
    // delivered; returns how many.
    int pump(int limit = 100000);
    // Forgets replies not yet handed over (they were lost on the way).
    void dropQueued() { m_queue.clear(); }
    std::size_t queued() const { return m_queue.size(); }

    // Every frame as it went on the wire (USB: the whole report, report id first).
    std::vector<std::vector<std::uint8_t>> sent;
    // Request codes in order, for asserting chain order.
    std::vector<std::uint32_t> sentCodes;
    // One line per request: the code as four hex digits, and the setting text if it carries one
    // ("100c S00DMIR000"); mask reads add their slot or offset ("1025 0", "1026 288").
    std::vector<std::string> log;
    void clearLog()
    {
        sent.clear();
        sentCodes.clear();
        log.clear();
    }

private:
    void deliver(std::vector<std::uint8_t> reply);

    sim::BoxModel& m_box;
    bool m_usb;
    std::size_t m_reportLength;
    bool m_open = true;
    VirtualClock* m_clock = nullptr;
    std::deque<std::vector<std::uint8_t>> m_queue;
};

// Lets a session run until no chain or operation is left: event-loop turns for replies handed over
// on the next turn, and the virtual clock's waits whenever one is pending. At least minTurns turns;
// false when it is still busy after maxTurns.
bool RunUntilIdle(Session& s, int minTurns = 50, int maxTurns = 5000);

} // namespace trivel::test
