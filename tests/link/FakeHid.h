#pragma once
// A HID backend for tests: one box device that answers through a BoxModel, can be unplugged
// and plugged again, and records every output report as written.

#include "link/HidBackend.h"
#include "sim/BoxModel.h"

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>

namespace trivel::test {

struct FakeHidState {
    explicit FakeHidState(sim::BoxModel& b)
        : box(b)
    {
    }
    sim::BoxModel& box;
    std::size_t inputLength = 65; // declared lengths, report id included
    std::size_t outputLength = 65;
    bool plugged = true;
    bool openFails = false;
    bool swallowReplies = false; // the box receives but does not answer
    bool writeFails = false; // writes return -1 (a backend giving up on a stalled transfer)
    int writeDelayMs = 0; // writes return only after this long

    std::mutex m;
    std::condition_variable cv;
    std::deque<std::vector<std::uint8_t>> pending; // input reports waiting to be read
    std::vector<std::vector<std::uint8_t>> written; // output reports, report id first
    int openCount = 0;
    int liveDevices = 0;

    void unplug();
    void plug();
    std::size_t writtenCount();
    std::vector<std::uint8_t> writtenAt(std::size_t i);
};

class FakeHidBackend final : public HidBackend {
public:
    explicit FakeHidBackend(std::shared_ptr<FakeHidState> st)
        : m_st(std::move(st))
    {
    }
    std::vector<HidDeviceInfo> enumerate(std::uint16_t vendorId, std::uint16_t productId) override;
    std::unique_ptr<HidDevice> open(std::uint16_t vendorId, std::uint16_t productId) override;

private:
    std::shared_ptr<FakeHidState> m_st;
};

} // namespace trivel::test
