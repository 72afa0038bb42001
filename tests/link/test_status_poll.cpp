#include "ChainFixture.h"

#include "link/LinkChains.h"

namespace trivel::test {
namespace {

class StatusPoll : public ChainTest {
protected:
    ReadbackBox box{BoxKind{.boardKind = 0x82}};

    void SetUp() override
    {
        connectAndRead(box);
        box.clearLog();
        ui.refreshPagesCount = 0;
    }

    // One timer tick, then the status reply and the window-settings reply.
    void poll()
    {
        clock.advance(2000);
        box.pump();
    }
};

TEST_F(StatusPoll, FirstPollRepaintsBothIndicatorRows)
{
    box.inputMask = 0b0101;
    box.outputMask = 0b10000011;
    poll();
    const std::vector<std::string> expected{"1006", "1001"};
    EXPECT_EQ(box.log, expected);
    EXPECT_EQ(s.PendingOp, 0);
    const int inputs[] = {kColourInput, kColourIdle, kColourInput, kColourIdle};
    for (int k = 1; k <= 4; ++k)
        EXPECT_EQ(ui.intValue(QStringLiteral("PnlIpt%1").arg(k), Prop::Color), inputs[k - 1]) << k;
    for (int k = 1; k <= 8; ++k)
        EXPECT_EQ(ui.intValue(QStringLiteral("PnlOpt%1").arg(k), Prop::Color),
            k <= 2 || k == 8 ? kColourOutput : kColourIdle)
            << k;
    EXPECT_EQ(s.InputSize[2], (SignalSize{1918, 1078}));
    EXPECT_EQ(s.InputSize[1], (SignalSize{0, 0}));
    EXPECT_EQ(ui.caption("STRes"), "1920 * 1080");
    EXPECT_EQ(s.LastInputMask, 5);
    EXPECT_EQ(s.LastOutputMask, 131);
}

TEST_F(StatusPoll, ChangedInputSetRefreshesPagesAfterTheWindowSettingsReply)
{
    poll();
    EXPECT_EQ(ui.refreshPagesCount, 1) << "the first poll always counts as a change";

    poll();
    EXPECT_EQ(ui.refreshPagesCount, 1) << "unchanged mask: pages left alone";

    box.inputMask = 3;
    clock.advance(2000);
    box.pump(1);
    EXPECT_TRUE(s.flag(Flag::InputSetChanged));
    EXPECT_EQ(ui.refreshPagesCount, 1) << "not before the window-settings reply";
    box.pump(1);
    EXPECT_EQ(ui.refreshPagesCount, 2);
    EXPECT_FALSE(s.flag(Flag::InputSetChanged));
}

TEST_F(StatusPoll, WindowSettingsReplyPressesTheOutputModeButton)
{
    box.patchWindowSettings = [](std::vector<std::uint8_t>& r) {
        r[15] = 1; // the box's current window
        r[8 + 80 + 6] = 9; // OPM of window 1
    };
    poll();
    EXPECT_EQ(s.CurrentWindow, 1);
    EXPECT_EQ(s.warp.WarpWindow, 1);
    EXPECT_TRUE(ui.isChecked("BtnOut11")) << "OPM 9 is the button after the gap at BtnOut8";

    box.patchWindowSettings = [](std::vector<std::uint8_t>& r) { r[8 + 6] = 4; };
    poll();
    EXPECT_EQ(s.CurrentWindow, 0);
    EXPECT_TRUE(ui.isChecked("BtnOut5"));
    EXPECT_FALSE(ui.isChecked("BtnOut11"));
}

TEST_F(StatusPoll, PollsOnlyWhenConnectedIdleAndAccepted)
{
    s.PendingOp = 4103;
    clock.advance(2000);
    EXPECT_TRUE(box.log.empty());

    s.PendingOp = 0;
    s.setFlag(Flag::Connected, false);
    clock.advance(2000);
    EXPECT_TRUE(box.log.empty());
}

TEST_F(StatusPoll, OtherReplyCodesLeaveThePollPendingOrEndIt)
{
    box.wrongCodeFor = Cmd::Status;
    poll();
    EXPECT_EQ(s.PendingOp, 10000);
    poll();
    const std::vector<std::string> twoPolls{"1006", "1006"};
    EXPECT_EQ(box.log, twoPolls) << "the next tick polls again";

    box.wrongCodeFor = Cmd::ReadWindowSettings;
    const int opm = s.settings.WindowSettings.OPM[0];
    box.patchWindowSettings = [](std::vector<std::uint8_t>& r) { r[8 + 6] = 12; };
    poll();
    EXPECT_EQ(s.PendingOp, 0);
    EXPECT_EQ(s.settings.WindowSettings.OPM[0], opm) << "a reply with another code changes nothing";
}

TEST_F(StatusPoll, PipSourceSizeLabel)
{
    box.pipPresent = 0b0001;
    poll();
    EXPECT_EQ(ui.caption("STPIPRes"), "640 * 480");
    EXPECT_EQ(s.PipSourceSize[1], (SignalSize{0, 0})) << "no PIP source on window 1";
    box.pipPresent = 0;
    poll();
    EXPECT_EQ(ui.caption("STPIPRes"), "- - - - - - - -");
}

struct LayoutCase {
    int channels;
    std::uint32_t flags;
    int frameHeight;
    bool win2, win3, win4, hdmi2;
};

class ChannelLayout : public ChainTest, public ::testing::WithParamInterface<LayoutCase> { };

TEST_P(ChannelLayout, ConnectedForm)
{
    const LayoutCase& c = GetParam();
    s.ChannelCount = c.channels;
    s.SessionFlags = c.flags;
    ApplyChannelLayout(s, true);
    EXPECT_EQ(ui.intValue("BtnFrame", Prop::Height), c.frameHeight);
    EXPECT_EQ(ui.isEnabled("BtnWin2"), c.win2);
    EXPECT_EQ(ui.isEnabled("BtnWin3"), c.win3);
    EXPECT_EQ(ui.isEnabled("BtnWin4"), c.win4);
    EXPECT_EQ(ui.isVisible("H2Frame"), c.hdmi2);
    EXPECT_EQ(ui.isEnabled("H2Frame"), c.hdmi2);

    ApplyChannelLayout(s, false);
    EXPECT_EQ(ui.intValue("BtnFrame", Prop::Height), kBtnWinTop[1] + kBtnWinHeight + 6);
    EXPECT_TRUE(ui.isEnabled("BtnWin2"));
    for (int k = 3; k <= 8; ++k)
        EXPECT_FALSE(ui.isEnabled(QStringLiteral("BtnWin%1").arg(k)));
    EXPECT_TRUE(ui.isChecked("BtnWin1"));
    EXPECT_TRUE(ui.isVisible("H2Frame"));
    EXPECT_FALSE(s.flag(Flag::Key) || s.flag(Flag::FourInput));
}

INSTANTIATE_TEST_SUITE_P(Counts, ChannelLayout,
    ::testing::Values(LayoutCase{4, 0, 149, true, true, true, true},
        LayoutCase{3, 0, 113, true, true, false, true}, LayoutCase{2, 0, 79, true, false, false, true},
        LayoutCase{1, 0, 45, false, false, false, true},
        LayoutCase{2, Flag::Key, 79, true, false, false, false},
        LayoutCase{4, Flag::Key | Flag::FourInput, 149, true, true, true, true}),
    [](const auto& info) {
        const LayoutCase& c = info.param;
        return "Windows" + std::to_string(c.channels) + ((c.flags & Flag::Key) ? "Key" : "")
            + ((c.flags & Flag::FourInput) ? "FourInput" : "");
    });

TEST_F(ChainTest, IndicatorsClearWithZeroMasks)
{
    ShowSignalIndicators(s, 0, 0);
    for (int k = 1; k <= 4; ++k)
        EXPECT_EQ(ui.intValue(QStringLiteral("PnlIpt%1").arg(k), Prop::Color), kColourIdle);
    for (int k = 1; k <= 8; ++k)
        EXPECT_EQ(ui.intValue(QStringLiteral("PnlOpt%1").arg(k), Prop::Color), kColourIdle);
    EXPECT_EQ(ui.caption("STRes"), "- - - - - - - -");
}

} // namespace
} // namespace trivel::test
