#include "box/Box.h"
#include "ChainFixture.h"

#include "box/StatusPoll.h"
#include "support/Controls.h"

namespace trivel::test {
namespace {

class StatusPoll : public ChainTest {
protected:
    void SetUp() override
    {
        box.identity.boardKind = 0x82;
        connectAndRead();
        link.clearLog();
        ui.refreshPagesCount = 0;
    }

    // One timer tick, then the status reply and the window-settings reply.
    void poll()
    {
        clock.advance(2000);
        link.pump();
    }
};

TEST_F(StatusPoll, FirstPollRepaintsBothIndicatorRows)
{
    PlugInputs(box, 0b0101);
    box.inputSignals.outputMask = 0b10000011;
    poll();
    const std::vector<std::string> expected{"1006", "1001"};
    EXPECT_EQ(link.log, expected);
    EXPECT_TRUE(s.statusPoll.succeeded());
    const int inputs[] = {kColourInput, kColourIdle, kColourInput, kColourIdle};
    for (int k = 1; k <= 4; ++k)
        EXPECT_EQ(ui.intValue(ctl::PnlIpts[std::size_t(k - 1)], Prop::Color), inputs[k - 1]) << k;
    for (int k = 1; k <= 8; ++k)
        EXPECT_EQ(ui.intValue(ctl::PnlOpts[std::size_t(k - 1)], Prop::Color),
            k <= 2 || k == 8 ? kColourOutput : kColourIdle)
            << k;
    EXPECT_EQ(s.InputSize[2], (SignalSize{1918, 1078}));
    EXPECT_EQ(s.InputSize[1], (SignalSize{0, 0}));
    EXPECT_EQ(ui.caption(ctl::STRes), "1920 * 1080");
    EXPECT_EQ(s.LastInputMask, 5);
    EXPECT_EQ(s.LastOutputMask, 131);
}

TEST_F(StatusPoll, ChangedInputSetRefreshesPagesAfterTheWindowSettingsReply)
{
    poll();
    EXPECT_EQ(ui.refreshPagesCount, 1) << "the first poll always counts as a change";

    poll();
    EXPECT_EQ(ui.refreshPagesCount, 1) << "unchanged mask: pages left alone";

    PlugInputs(box, 0b0011);
    clock.advance(2000);
    link.pump(1);
    EXPECT_TRUE(s.flag(Flag::InputSetChanged));
    EXPECT_EQ(ui.refreshPagesCount, 1) << "not before the window-settings reply";
    link.pump(1);
    EXPECT_EQ(ui.refreshPagesCount, 2);
    EXPECT_FALSE(s.flag(Flag::InputSetChanged));
}

TEST_F(StatusPoll, WindowSettingsReplyPressesTheOutputModeButton)
{
    box.settings().currentWindow = 1;
    box.window(1).record[6] = 9; // OPM
    poll();
    EXPECT_EQ(s.CurrentWindow, 1);
    EXPECT_EQ(s.box->warp.state().WarpWindow, 1);
    EXPECT_TRUE(ui.isChecked(kOutputModes[9].button)) << "OPM 9 is the button after the gap at BtnOut8";

    box.settings().currentWindow = 0;
    box.window(0).record[6] = 4;
    poll();
    EXPECT_EQ(s.CurrentWindow, 0);
    EXPECT_TRUE(ui.isChecked(kOutputModes[4].button));
    EXPECT_FALSE(ui.isChecked(kOutputModes[9].button));
}

TEST_F(StatusPoll, PollsOnlyWhenConnectedIdleAndAccepted)
{
    {
        const auto chain = s.exchange.hold(); // another operation runs
        clock.advance(2000);
        EXPECT_TRUE(link.log.empty());
    }

    s.setFlag(Flag::Connected, false);
    clock.advance(2000);
    EXPECT_TRUE(link.log.empty());
}

TEST_F(StatusPoll, OtherReplyCodesLeaveThePollPendingOrEndIt)
{
    box.wrongCodeFor = Cmd::Status;
    box.wrongCode = Cmd::Status + 1;
    poll();
    EXPECT_FALSE(s.statusPoll.finished()) << "a reply of another code is not the answer";
    poll();
    const std::vector<std::string> twoPolls{"1006", "1006"};
    EXPECT_EQ(link.log, twoPolls) << "the next tick polls again";

    box.wrongCodeFor = Cmd::ReadWindowSettings;
    box.wrongCode = Cmd::ReadWindowSettings + 1;
    const int opm = s.settings().WindowSettings.OPM[0];
    box.window(0).record[6] = 12;
    poll();
    EXPECT_FALSE(s.statusPoll.finished()) << "it waits for its own reply";
    EXPECT_EQ(s.settings().WindowSettings.OPM[0], opm) << "a reply with another code changes nothing";
}

TEST_F(StatusPoll, PipSourceSizeLabel)
{
    box.inputSignals.pipPresentMask = 0b0001; // every window reports a size
    poll();
    EXPECT_EQ(ui.caption(ctl::STPIPRes), "640 * 480");
    EXPECT_EQ(s.PipSourceSize[1], (SignalSize{0, 0})) << "no PIP source on window 1";
    box.inputSignals.pipPresentMask = 0;
    poll();
    EXPECT_EQ(ui.caption(ctl::STPIPRes), "- - - - - - - -");
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
    EXPECT_EQ(ui.intValue(ctl::BtnFrame, Prop::Height), c.frameHeight);
    EXPECT_EQ(ui.isEnabled(ctl::BtnWins[1]), c.win2);
    EXPECT_EQ(ui.isEnabled(ctl::BtnWins[2]), c.win3);
    EXPECT_EQ(ui.isEnabled(ctl::BtnWins[3]), c.win4);
    EXPECT_EQ(ui.isVisible(ctl::H2Frame), c.hdmi2);
    EXPECT_EQ(ui.isEnabled(ctl::H2Frame), c.hdmi2);

    ApplyChannelLayout(s, false);
    EXPECT_EQ(ui.intValue(ctl::BtnFrame, Prop::Height), kBtnWinTop[1] + kBtnWinHeight + 6);
    EXPECT_TRUE(ui.isEnabled(ctl::BtnWins[1]));
    for (int k = 3; k <= 8; ++k)
        EXPECT_FALSE(ui.isEnabled(ctl::BtnWins[std::size_t(k - 1)]));
    EXPECT_TRUE(ui.isChecked(ctl::BtnWins[0]));
    EXPECT_TRUE(ui.isVisible(ctl::H2Frame));
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
        EXPECT_EQ(ui.intValue(ctl::PnlIpts[std::size_t(k - 1)], Prop::Color), kColourIdle);
    for (int k = 1; k <= 8; ++k)
        EXPECT_EQ(ui.intValue(ctl::PnlOpts[std::size_t(k - 1)], Prop::Color), kColourIdle);
    EXPECT_EQ(ui.caption(ctl::STRes), "- - - - - - - -");
}

} // namespace
} // namespace trivel::test
