// The simulated box's model under requests with codes nobody knows: it does not grow.

#include "sim/BoxModel.h"

#include <gtest/gtest.h>

using namespace trivel;
using namespace trivel::sim;

// Every request code the protocol does not know shares one counter.
TEST(BoxModelCounters, DistinctUnknownCodesDoNotGrowTheModel)
{
    BoxModel box;
    box.receivedLogLimit = 16;
    const std::size_t counters = box.counterSlots();
    std::vector<std::uint8_t> f(kTcpFrameSize, 0);
    constexpr std::uint32_t kFirst = 0x00400000; // no protocol code lies at or above it but the restart
    for (std::uint32_t i = 0; i < 200000; ++i) {
        FrameView(f.data(), f.size()).setCode(kFirst + i);
        const auto reply = box.handle(f.data(), f.size());
        ASSERT_TRUE(reply);
        ASSERT_EQ(FrameView(const_cast<std::uint8_t*>(reply->data()), reply->size()).code(), kFirst + i);
    }
    EXPECT_EQ(box.counterSlots(), counters);
    EXPECT_EQ(box.unknownRequests(), 200000);
    EXPECT_EQ(box.requests(kFirst), 0);
    EXPECT_EQ(box.received().size(), 16u);

    FrameView(f.data(), f.size()).setCode(Cmd::Identify);
    box.handle(f.data(), f.size());
    EXPECT_EQ(box.requests(Cmd::Identify), 1);
    EXPECT_EQ(box.totalRequests(), 200001);
    box.clearCounters();
    EXPECT_EQ(box.unknownRequests(), 0);
    EXPECT_EQ(box.requests(Cmd::Identify), 0);
}
