// The tool's connect read-back against the simulated box: what the box was told arrives in the
// tool's caches, so the model's layouts agree with the tool's decoders.

#include "link/Clock.h"
#include "box/Box.h"
#include "protocol/SettingCodec.h"
#include "session/Session.h"
#include "box/Readback.h"
#include "session/Session.h"
#include "session/SessionFlags.h"
#include "sim/BoxModel.h"
#include "support/Controls.h"
#include "support/FakeBoxTransport.h"
#include "support/RecordingUi.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

using namespace trivel;

namespace {

void tell(sim::BoxModel& box, std::uint32_t code, std::string_view setting)
{
    std::vector<std::uint8_t> f(kTcpFrameSize, 0);
    FrameView v(f.data(), f.size());
    v.setCode(code);
    const SettingCommand c = MakeSettingCommand(setting);
    v.copyIn(kSettingOffset, c.data(), c.size());
    box.handle(f.data(), f.size());
}

} // namespace

TEST(BoxReadback, ConnectReadBackFillsTheCachesFromTheBox)
{
    sim::BoxModel box;
    // What an installer left on the box: window 2's picture, window 1's blend and warp, window 3's
    // output settings, a stored mask in slot 3.
    for (const char* t : {"s00VKY+062", "s00BRI+061", "s00OLE-120", "s00VKY+061", "s00EBL+180", "s0095I+007"})
        tell(box, Cmd::Setting, t);
    tell(box, Cmd::SettingQuery, "S0095X+012");
    for (const char* t : {"s00VKY+063", "s00DCM+001", "s00PIZ+044", "s00PBO9200"})
        tell(box, Cmd::Setting, t);
    tell(box, Cmd::SettingQuery, "S00DMI+003");
    auto& slot = box.maskSlot(2);
    slot.assign(300, 0x5A);
    const std::uint8_t header[8] = {0xFF, 'M', 'E', 'X', 44, 1, 0, 0}; // 300 bytes
    std::copy_n(header, 8, slot.begin());
    box.clearCounters();

    VirtualClock clock;
    test::RecordingUi ui;
    Box tool(clock, ui);
    Session& s = tool.session;
    s.TcpSelected = true;
    test::FakeBoxTransport link(box);
    link.setReplySink([&s](const std::uint8_t* b, std::size_t n, bool rid) { DeliverReply(s, b, n, rid); });
    s.setTransport(&link);
    s.setFlag(Flag::Connected, true);

    SendIdentify(s);
    // Each reply is delivered on the next event-loop turn; the chain is a few dozen exchanges.
    test::RunUntilIdle(s, 0, 10000);
    ASSERT_FALSE(s.busy());

    EXPECT_EQ(s.ChannelCount, 4);
    EXPECT_EQ(s.BoardModel, 800);
    EXPECT_EQ(s.settings().WindowSettings.BRI[2], 61);
    EXPECT_EQ(s.settings().WindowSettings.OLE[2], -120);
    EXPECT_EQ(s.settings().WindowSettings.BRI[0], 50);
    EXPECT_EQ(s.settings().BlendSettings[1].bytes[25], 180);
    EXPECT_EQ(s.box->warp.adjust().ControlOffsets[1][7].x, 12);
    EXPECT_EQ(s.settings().DCM[3], 1);
    EXPECT_EQ(s.settings().DCM[2], 1); // model 800 pairs the outputs
    EXPECT_EQ(s.settings().PipSettings[3].bytes[1], 44);
    EXPECT_EQ(s.settings().PipSettings[3].overlap[3], -1200);
    EXPECT_EQ(s.masks->state().MaskAssignment[3], 3);
    ASSERT_GE(s.masks->state().MonoSlotCopy[2].size(), 300u);
    EXPECT_EQ(s.masks->state().MonoSlotCopy[2][2], 'E');
    EXPECT_EQ(s.masks->state().MonoSlotCopy[2][299], 0x5A);
    // Nine mono headers, one colour header; the per-window loop ends on window 0.
    EXPECT_EQ(box.requests(Cmd::MaskReadHeader), 9);
    EXPECT_EQ(box.requests(Cmd::MaskReadColourHeader), 1);
    EXPECT_EQ(box.settings().currentWindow, 0);
}
