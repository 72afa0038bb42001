#include "support/FakeBoxTransport.h"

#include "protocol/SettingCodec.h"
#include "session/Session.h"
#include "session/Session.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QPointer>

#include <cstdio>

namespace trivel::test {

namespace {

std::string LogLine(const FrameView& f)
{
    const std::uint32_t code = f.code();
    char head[16];
    std::snprintf(head, sizeof head, "%04x", unsigned(code));
    std::string line = head;
    if (code == Cmd::Setting || code == Cmd::SettingAlt || code == Cmd::SettingQuery) {
        char text[10];
        f.copyOut(kSettingOffset, text, sizeof text);
        line.append(" ").append(text, sizeof text);
    } else if (code == Cmd::MaskReadHeader || code == Cmd::MaskReadColourHeader) {
        line.append(" ").append(std::to_string(f.u8(12)));
    } else if (code == Cmd::MaskReadChunk || code == Cmd::MaskReadColourChunk) {
        line.append(" ").append(std::to_string(f.u32(12)));
    }
    return line;
}

} // namespace

void FakeBoxTransport::attach(Session& s)
{
    s.setTransport(this);
    m_clock = dynamic_cast<VirtualClock*>(&s.clock);
    s.setFlag(Flag::Connected, true);
    s.TcpSelected = !m_usb;
    setReplySink([&s](const std::uint8_t* b, std::size_t n, bool withId) { DeliverReply(s, b, n, withId); });
}

void FakeBoxTransport::sendFrame(const FrameBuffer& request)
{
    if (!m_open)
        return;
    std::vector<std::uint8_t> wire;
    if (m_usb)
        wire.assign(request.begin(), request.begin() + std::min(m_reportLength, request.size()));
    else
        wire.assign(request.begin() + 1, request.begin() + 1 + kTcpFrameSize);
    sent.push_back(wire);
    const std::uint8_t* frame = m_usb ? wire.data() + 1 : wire.data();
    const std::size_t n = m_usb ? wire.size() - 1 : wire.size();
    const FrameView view(const_cast<std::uint8_t*>(frame), n);
    sentCodes.push_back(view.code());
    log.push_back(LogLine(view));

    auto reply = m_box.handle(frame, n);
    auto extras = m_box.takeExtraReplies(); // a flooding box's frames follow its reply
    if (!reply || silent)
        return;
    extras.insert(extras.begin(), std::move(*reply));
    for (auto& r : extras) {
        if (tamper)
            tamper(r);
        switch (delivery) {
        case Delivery::Synchronous:
            deliver(std::move(r));
            continue;
        case Delivery::Pumped:
            m_queue.push_back(std::move(r));
            continue;
        case Delivery::NextEventTurn:
            break;
        }
        QPointer<FakeBoxTransport> self(this);
        QMetaObject::invokeMethod(
            this,
            [self, r = std::move(r)]() mutable {
                if (self)
                    self->deliver(std::move(r));
            },
            Qt::QueuedConnection);
    }
}

int FakeBoxTransport::pump(int limit)
{
    // Fixed waits and pauses of the running operations pass as if they had been slept, so a
    // reply's step has sent what follows it when pump returns.
    const auto runDelays = [this] {
        while (m_queue.empty() && m_clock && m_clock->runNextDelay()) {
        }
    };
    int n = 0;
    runDelays();
    while (n < limit && !m_queue.empty()) {
        std::vector<std::uint8_t> r = std::move(m_queue.front());
        m_queue.pop_front();
        ++n;
        deliver(std::move(r));
        runDelays();
    }
    return n;
}

bool RunUntilIdle(Session& s, int minTurns, int maxTurns)
{
    auto* clock = dynamic_cast<VirtualClock*>(&s.clock);
    for (int i = 0; i < maxTurns; ++i) {
        if (i >= minTurns && !s.busy())
            return true;
        QCoreApplication::processEvents();
        if (clock && s.busy())
            clock->runNextDelay();
    }
    return !s.busy();
}

void FakeBoxTransport::deliver(std::vector<std::uint8_t> reply)
{
    if (!m_open || !m_sink)
        return;
    if (m_usb) {
        std::vector<std::uint8_t> report(m_reportLength, 0);
        std::copy_n(reply.begin(), std::min(reply.size(), m_reportLength - 1), report.begin() + 1);
        m_sink(report.data(), report.size(), true);
    } else {
        m_sink(reply.data(), reply.size(), false);
    }
}

} // namespace trivel::test
