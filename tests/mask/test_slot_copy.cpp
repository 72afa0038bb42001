// The slot copies and read buffers: over 10 MB that a session holds only once a mask is written.

#include "box/Box.h"
#include "link/Clock.h"
#include "support/RecordingUi.h"

#include <gtest/gtest.h>

#include <malloc.h>

#include <algorithm>
#include <memory>

namespace trivel::test {
namespace {

std::size_t HeapInUse()
{
    const struct mallinfo2 m = mallinfo2();
    return m.uordblks + m.hblkhd;
}

// A fuzz run builds a session per input: one that never touches a mask must not pay for the slots.
TEST(SlotCopies, ASessionHoldsNoMaskMemoryUntilASlotIsWritten)
{
    const std::size_t probe = HeapInUse();
    auto block = std::make_unique<char[]>(1 << 20);
    block[0] = 1;
    if (HeapInUse() - probe < (1 << 20))
        GTEST_SKIP() << "this allocator does not report its use (a sanitizer build)";
    block.reset();

    VirtualClock clock;
    RecordingUi ui;
    const std::size_t before = HeapInUse();
    auto tool = std::make_unique<Box>(clock, ui);
    MaskState& m = tool->masks.state();
    const std::size_t fresh = HeapInUse() - before;
    EXPECT_LT(fresh, kMonoSlotBytes) << "a fresh box holds " << fresh << " bytes";
    EXPECT_EQ(m.MonoSlotCopy[3][100], 0);
    EXPECT_EQ(m.ColourSlotCopy.size(), kColourSlotBytes);

    m.MonoSlotCopy[3].writable()[100] = 7;
    EXPECT_GE(HeapInUse() - before, fresh + kMonoSlotBytes);
    EXPECT_LT(HeapInUse() - before, fresh + 2 * kMonoSlotBytes) << "only the slot written";
}

TEST(SlotCopies, ReadAsZerosUntilWrittenAndCopyWhole)
{
    SlotCopy a(kMonoSlotBytes);
    EXPECT_TRUE(std::all_of(a.begin(), a.end(), [](std::uint8_t v) { return v == 0; }));
    a.clearHeader();
    EXPECT_FALSE(a.allocated()) << "clearing an empty header allocates nothing";

    a.writable()[0] = 0x4D;
    a.writable()[kMonoSlotBytes - 1] = 0x5A;
    const SlotCopy b = a;
    a.clearHeader();
    EXPECT_EQ(a[0], 0);
    EXPECT_EQ(a[kMonoSlotBytes - 1], 0x5A);
    EXPECT_EQ(b[0], 0x4D) << "a copy has bytes of its own";
    EXPECT_EQ(b[kMonoSlotBytes - 1], 0x5A);

    a.clear();
    EXPECT_FALSE(a.allocated());
    EXPECT_EQ(a[kMonoSlotBytes - 1], 0);
    EXPECT_EQ(a.writable()[kMonoSlotBytes - 1], 0) << "written again from zeros";
}

} // namespace
} // namespace trivel::test
