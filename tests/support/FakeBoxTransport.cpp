#include "support/FakeBoxTransport.h"

#include <QMetaObject>
#include <QPointer>

namespace trivel::test {

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
    sentCodes.push_back(FrameView(const_cast<std::uint8_t*>(frame), n).code());

    auto reply = m_box.handle(frame, n);
    auto extras = m_box.takeExtraReplies(); // a flooding box's frames follow its reply
    if (!reply || silent)
        return;
    extras.insert(extras.begin(), std::move(*reply));
    for (auto& r : extras) {
        if (synchronous) {
            deliver(std::move(r));
            continue;
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
