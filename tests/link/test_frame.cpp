#include "protocol/Frame.h"

#include <gtest/gtest.h>

#include <limits>
#include <vector>

using namespace trivel;

namespace {

// Eight bytes 0x11..0x88: every read below that needs a byte past them must give 0.
std::array<std::uint8_t, 8> Bytes()
{
    return {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88};
}

} // namespace

TEST(FrameView, ReadsThatReachPastTheEndGiveZero)
{
    auto b = Bytes();
    const FrameView f(b.data(), b.size());
    constexpr std::size_t kHuge = std::numeric_limits<std::size_t>::max();
    EXPECT_EQ(f.u8(7), 0x88);
    EXPECT_EQ(f.u8(8), 0);
    EXPECT_EQ(f.u16(6), 0x8877);
    EXPECT_EQ(f.u16(7), 0);
    EXPECT_EQ(f.u32(4), 0x88776655u);
    EXPECT_EQ(f.u32(5), 0u);
    EXPECT_EQ(f.i32(kHuge - 1), 0); // off + 4 would wrap around
    EXPECT_EQ(f.u16(kHuge), 0);
}

TEST(FrameView, CopiesStayInsideTheFrame)
{
    auto b = Bytes();
    FrameView f(b.data(), b.size());

    // An empty slot's vector has no storage at all: copying its zero bytes is a no-op.
    const std::vector<std::uint8_t> empty;
    f.copyIn(8, empty.data(), empty.size());
    f.copyIn(0, nullptr, 0);
    EXPECT_EQ(b, Bytes());

    const std::uint8_t three[3] = {0xA1, 0xA2, 0xA3};
    f.copyIn(6, three, 3); // does not fit: nothing is written
    EXPECT_EQ(b, Bytes());
    f.copyIn(5, three, 3);
    EXPECT_EQ(b[5], 0xA1);
    EXPECT_EQ(b[7], 0xA3);

    std::uint8_t out[4] = {0xFF, 0xFF, 0xFF, 0xFF};
    f.copyOut(6, out, 4); // beyond the frame reads as zero
    EXPECT_EQ(out[0], 0xA2);
    EXPECT_EQ(out[1], 0xA3);
    EXPECT_EQ(out[2], 0);
    EXPECT_EQ(out[3], 0);
}
