#include "protocol/Frame.h"
#include "protocol/Request.h"

#include <gtest/gtest.h>

#include <algorithm>
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

namespace {

struct FieldRun {
    std::size_t offset;
    std::size_t length;
};

struct LayCase {
    const char* name;
    std::vector<FieldRun> runs;
};

} // namespace

// A request lays exactly its own fields over the previous frame, whatever the runs' lengths and
// wherever they start or end: the bytes around them keep what the buffer held.
TEST(Request, LaysItsFieldsAndNothingElseOverThePreviousFrame)
{
    const std::vector<LayCase> cases = {
        {"none", {}},
        {"single bytes at the edges", {{0, 1}, {63, 1}, {64, 1}, {127, 1}, {511, 1}}},
        {"an upload piece", {{8, 1}, {12, 4}, {16, 4}, {20, 480}}},
        {"runs across a boundary", {{60, 10}, {120, 72}}},
        {"adjacent runs make one", {{100, 28}, {128, 1}}},
        {"whole frame", {{0, 512}}},
        {"ends at the last field", {{448, 64}}},
        {"gap of one", {{10, 54}, {65, 63}}},
    };
    for (const LayCase& c : cases) {
        SCOPED_TRACE(c.name);
        FrameBuffer buffer{};
        for (std::size_t i = 0; i < buffer.size(); ++i)
            buffer[i] = std::uint8_t(0x5A ^ i);
        FrameBuffer expected = buffer;
        // The code goes in first: a field written over it wins, as it always has.
        FrameView(expected.data() + 1, kFrameSize).setCode(0x1234);
        Request r(0x1234, Clear::None);
        for (const FieldRun& run : c.runs) {
            std::vector<std::uint8_t> data(run.length);
            for (std::size_t i = 0; i < run.length; ++i)
                data[i] = std::uint8_t(0xC0 + (run.offset + i) * 7);
            if (run.length == 1)
                r.u8(run.offset, data[0]);
            else
                r.bytes(run.offset, data);
            std::copy(data.begin(), data.end(), expected.begin() + 1 + std::ptrdiff_t(run.offset));
        }
        r.applyTo(buffer);
        EXPECT_EQ(buffer, expected);
        for (std::size_t i = 0; i < Request::kFields; ++i) {
            const bool inRun = std::any_of(c.runs.begin(), c.runs.end(),
                [i](const FieldRun& run) { return i >= run.offset && i < run.offset + run.length; });
            EXPECT_EQ(r.writes(i), inRun) << "offset " << i;
        }
    }
}
