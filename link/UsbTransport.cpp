#include "link/UsbTransport.h"

#include <algorithm>
#include <chrono>

namespace trivel {

void TDevInThread::start()
{
    m_thread = std::thread([this] { m_t.receiveLoop(); });
}

void TDevInThread::wait()
{
    if (m_thread.joinable())
        m_thread.join();
}

UsbTransport::UsbTransport(std::unique_ptr<HidDevice> device)
    : m_device(std::move(device))
{
    if (m_device)
        m_device->flush();
}

UsbTransport::~UsbTransport()
{
    close();
}

void UsbTransport::startReceiving()
{
    if (!m_device || m_thread)
        return;
    m_thread = std::make_unique<TDevInThread>(*this);
    m_thread->start();
}

void UsbTransport::sendFrame(const FrameBuffer& request)
{
    if (!m_device || sendFailed())
        return;
    // A device declaring a report longer than the buffer gets the buffer's worth.
    const std::size_t n = std::min(m_device->outputReportLength(), request.size());
    // hid_write cannot be given a time-out; the backend bounds it (see HidDevice::write), so a
    // write that fails or overruns the deadline ends the link once it has returned.
    const auto start = std::chrono::steady_clock::now();
    const int written = m_device->write(request.data(), n);
    const auto took
        = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
              .count();
    if (written < 0)
        failSend(QStringLiteral("USB write failed"));
    else if (took > sendTimeoutMs())
        failSend(QStringLiteral("USB write took %1 ms").arg(took));
}

void UsbTransport::close()
{
    if (!m_device)
        return;
    stopHandOver();
    if (m_thread) {
        m_device->cancelRead();
        m_thread->wait();
        m_thread.reset();
    }
    m_device.reset();
}

void UsbTransport::receiveLoop()
{
    const std::size_t len = std::clamp<std::size_t>(m_device->inputReportLength(), 2, m_rx.size());
    while (!stopping()) {
        const int n = m_device->read(m_rx.data() + 1, len - 1, kReadTimeoutMs);
        if (n == 0)
            continue;
        if (n < 0) {
            const QString why = m_device->lastError();
            reportLinkLost(why.isEmpty() ? QStringLiteral("USB device gone")
                                         : QStringLiteral("USB device gone (%1)").arg(why));
            return;
        }
        // hidapi strips the report id of unnumbered reports; the frame starts at byte 1.
        m_rx[0] = 0;
        const std::size_t got = std::min<std::size_t>(std::size_t(n), len - 1);
        std::fill(m_rx.begin() + 1 + got, m_rx.begin() + len, std::uint8_t(0));
        if (!handOver(m_rx.data(), len, true))
            return;
    }
}

} // namespace trivel
