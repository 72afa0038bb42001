#include "FakeHid.h"

#include <chrono>
#include <thread>

namespace trivel::test {

namespace {

class FakeHidDevice final : public HidDevice {
public:
    explicit FakeHidDevice(std::shared_ptr<FakeHidState> st)
        : m_st(std::move(st))
    {
        std::lock_guard lock(m_st->m);
        ++m_st->liveDevices;
    }
    ~FakeHidDevice() override
    {
        std::lock_guard lock(m_st->m);
        --m_st->liveDevices;
    }

    std::size_t inputReportLength() const override { return m_st->inputLength; }
    std::size_t outputReportLength() const override { return m_st->outputLength; }
    void flush() override
    {
        std::lock_guard lock(m_st->m);
        m_st->pending.clear();
    }
    int write(const std::uint8_t* report, std::size_t n) override
    {
        std::unique_lock lock(m_st->m);
        if (m_st->writeDelayMs > 0) {
            lock.unlock();
            std::this_thread::sleep_for(std::chrono::milliseconds(m_st->writeDelayMs));
            lock.lock();
        }
        if (!m_st->plugged || m_st->writeFails)
            return -1;
        m_st->written.emplace_back(report, report + n);
        const bool swallow = m_st->swallowReplies;
        lock.unlock();
        // The frame follows the report id; the box reads at most 512 bytes of it.
        auto reply = m_st->box.handle(report + 1, std::min<std::size_t>(n - 1, kTcpFrameSize));
        if (!reply || swallow)
            return int(n);
        lock.lock();
        m_st->pending.push_back(std::move(*reply));
        m_st->cv.notify_all();
        return int(n);
    }
    int read(std::uint8_t* buf, std::size_t n, int timeoutMs) override
    {
        std::unique_lock lock(m_st->m);
        m_st->cv.wait_for(lock, std::chrono::milliseconds(timeoutMs),
            [&] { return !m_st->plugged || !m_st->pending.empty() || m_cancel; });
        m_cancel = false;
        if (!m_st->plugged)
            return -1;
        if (m_st->pending.empty())
            return 0;
        std::vector<std::uint8_t> r = std::move(m_st->pending.front());
        m_st->pending.pop_front();
        // An input report is as long as declared: the frame, cut or zero-padded.
        const std::size_t len = std::min(n, m_st->inputLength - 1);
        std::fill_n(buf, len, std::uint8_t(0));
        std::copy_n(r.begin(), std::min(len, r.size()), buf);
        return int(len);
    }
    void cancelRead() override
    {
        std::lock_guard lock(m_st->m);
        m_cancel = true;
        m_st->cv.notify_all();
    }

private:
    std::shared_ptr<FakeHidState> m_st;
    bool m_cancel = false;
};

} // namespace

void FakeHidState::unplug()
{
    std::lock_guard lock(m);
    plugged = false;
    cv.notify_all();
}

void FakeHidState::plug()
{
    std::lock_guard lock(m);
    plugged = true;
}

std::size_t FakeHidState::writtenCount()
{
    std::lock_guard lock(m);
    return written.size();
}

std::vector<std::uint8_t> FakeHidState::writtenAt(std::size_t i)
{
    std::lock_guard lock(m);
    return i < written.size() ? written[i] : std::vector<std::uint8_t>{};
}

std::vector<HidDeviceInfo> FakeHidBackend::enumerate(std::uint16_t vid, std::uint16_t pid)
{
    std::lock_guard lock(m_st->m);
    if (!m_st->plugged || (vid && vid != kBoxVendorId) || (pid && pid != kBoxProductId))
        return {};
    return {{"fake-hid-0", kBoxVendorId, kBoxProductId}};
}

std::unique_ptr<HidDevice> FakeHidBackend::open(std::uint16_t vid, std::uint16_t pid)
{
    {
        std::lock_guard lock(m_st->m);
        if (!m_st->plugged || m_st->openFails || vid != kBoxVendorId || pid != kBoxProductId)
            return nullptr;
        ++m_st->openCount;
    }
    return std::make_unique<FakeHidDevice>(m_st);
}

} // namespace trivel::test
