#include "ChainFixture.h"

#include "session/BoxCommands.h"
#include "session/Watchdog.h"
#include "support/Controls.h"

#include <functional>

namespace trivel::test {
namespace {

class BoxCommands : public ChainTest {
protected:
    void SetUp() override
    {
        box.identity.boardKind = 2; // four windows
        connectAndRead();
        link.clearLog();
        clock.clearWaits();
        ui.messages.clear();
    }
};

struct PaceCase {
    const char* name;
    std::function<void(Session&)> start;
    int interval;
    const char* resumeRequest; // the request Timer2 sends at 100 %
    int resumeOp;
};

class Timer2Pace : public BoxCommands, public ::testing::WithParamInterface<PaceCase> { };

TEST_P(Timer2Pace, TenTicksThenTheReadBackResumes)
{
    const PaceCase& c = GetParam();
    c.start(s);
    link.pump(2);
    ASSERT_TRUE(s.Timer2->isEnabled());
    EXPECT_EQ(s.Timer2->interval(), c.interval);
    EXPECT_EQ(ui.intValue(ctl::UpdateStep, Prop::Top), 180);
    const std::size_t before = link.log.size();

    clock.advance(9 * c.interval);
    EXPECT_EQ(ui.intValue(ctl::ProgressBar2, Prop::Position), 90);
    EXPECT_EQ(link.log.size(), before) << "nothing is sent before the tenth tick";
    clock.advance(c.interval);
    EXPECT_FALSE(s.Timer2->isEnabled());
    ASSERT_EQ(link.log.size(), before + 1);
    EXPECT_EQ(link.log.back(), c.resumeRequest);
    EXPECT_EQ(s.PendingOp, c.resumeOp);

    link.pump();
    EXPECT_EQ(s.PendingOp, 0);
    EXPECT_EQ(ui.intValue(ctl::UpdateStep, Prop::Top), 680);
    EXPECT_FALSE(ui.waitWindowOpen());
    EXPECT_TRUE(ui.messages.size() <= 1u) << "only the confirmation";
}

INSTANTIATE_TEST_SUITE_P(Commands, Timer2Pace,
    ::testing::Values(PaceCase{"AllReset", BtnAllResetClick, 2400, "0001", 4094},
        PaceCase{"ProfileLoad", [](Session& s) { BtnPFL(s, 2); }, 2000, "0001", 4094},
        PaceCase{"Reset", BtnResetClick, 200, "1001", 4103}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(BoxCommands, AllResetSendsTheCornerValueAndClearsWarpModes)
{
    s.warp.model[0].ControlCursor = {3, 0}; // right column: top-right corner
    s.setFlag(Flag::LinkedWarp, true);
    s.warpAdjust.ConfirmedMode = {1, 2, 3, 4};
    BtnAllResetClick(s);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "Do you want to do all reset?");
    EXPECT_EQ(ui.messages[0].caption, "");
    EXPECT_EQ(ui.messages[0].icon, MsgIcon::Information);
    EXPECT_EQ(ui.messages[0].buttons, MsgButtons::YesNo);
    EXPECT_EQ(s.PendingOp, 7099);
    EXPECT_EQ(s.PostSendDelay, 80);
    link.pump(1);
    const std::vector<std::string> sent{"100b s00TLA+503", "1002 s00RXT+001"};
    EXPECT_EQ(link.log, sent) << "KeystoneCorners[0][1].x is 502";
    EXPECT_EQ(s.PendingOp, 7100);
    EXPECT_EQ(s.PostSendDelay, 0);
    for (int w = 0; w < 4; ++w) {
        EXPECT_EQ(s.warp.model[w].ControlPattern, 0);
        EXPECT_EQ(s.warpAdjust.ConfirmedMode[w], 99);
    }
    EXPECT_FALSE(s.flag(Flag::LinkedWarp));
}

TEST_F(BoxCommands, ProfileSaveAndLoadTexts)
{
    BtnPFX(s, 4);
    BtnPFL(s, 1);
    ASSERT_EQ(ui.messages.size(), 2u);
    EXPECT_EQ(ui.messages[0].text, "Do you want to save profile ?");
    EXPECT_EQ(ui.messages[0].caption, "Save Profile");
    EXPECT_EQ(ui.messages[0].icon, MsgIcon::Question);
    EXPECT_EQ(ui.messages[0].buttons, MsgButtons::OkCancel);
    EXPECT_EQ(ui.messages[1].text, "Do you want to load profile ?");
    EXPECT_EQ(ui.messages[1].caption, "Load Profile");
    const std::vector<std::string> sent{"1002 s00PFV+004", "1002 s00PFA+001"};
    EXPECT_EQ(link.log, sent);
    EXPECT_EQ(s.PendingOp, 7100);
}

struct CancelCase {
    const char* name;
    std::function<void(Session&)> click;
    MsgResult answer;
};

class Cancelled : public BoxCommands, public ::testing::WithParamInterface<CancelCase> { };

TEST_P(Cancelled, NothingIsSent)
{
    ui.answers.push_back(GetParam().answer);
    GetParam().click(s);
    EXPECT_EQ(ui.messages.size(), 1u);
    EXPECT_TRUE(link.log.empty());
    EXPECT_EQ(s.PendingOp, 0);
    EXPECT_FALSE(s.FactoryResetPending);
    EXPECT_TRUE(s.connected());
}

INSTANTIATE_TEST_SUITE_P(Confirmations, Cancelled,
    ::testing::Values(CancelCase{"AllReset", BtnAllResetClick, MsgResult::No},
        CancelCase{"FactoryReset", FRstBtnClick, MsgResult::No},
        CancelCase{"Reboot", BtnRebootClick, MsgResult::No},
        CancelCase{"ProfileLoad", [](Session& s) { BtnPFL(s, 0); }, MsgResult::Cancel},
        CancelCase{"ProfileSave", [](Session& s) { BtnPFX(s, 0); }, MsgResult::Cancel}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(BoxCommands, CommandsWithoutALinkSendNothing)
{
    s.setFlag(Flag::Connected, false);
    for (auto click : {BtnAllResetClick, BtnRebootClick, FRstBtnClick})
        click(s);
    BtnPFL(s, 0);
    EXPECT_EQ(ui.messages.size(), 4u) << "each still asks";
    EXPECT_TRUE(link.log.empty());
    EXPECT_EQ(s.PendingOp, 0);
    EXPECT_FALSE(s.FactoryResetPending) << "no reply would ever clear it";
}

TEST_F(BoxCommands, FactoryResetOverUsbKeepsTheLink)
{
    sim::BoxModel usbBox = ChainBox();
    FakeBoxTransport usb(usbBox, true);
    usb.delivery = Delivery::Pumped;
    usb.attach(s);
    FRstBtnClick(s);
    EXPECT_EQ(ui.messages.at(0).text, "Do you want to do Factory reset?");
    EXPECT_TRUE(s.FactoryResetPending);
    EXPECT_EQ(s.PendingOp, 39321);
    usb.pump();
    const std::vector<std::string> sent{"1002 s00VKY+250"};
    EXPECT_EQ(usb.log, sent);
    EXPECT_EQ(s.PendingOp, 0);
    EXPECT_FALSE(s.FactoryResetPending);
    EXPECT_TRUE(s.connected());
}

TEST_F(BoxCommands, RebootSendsTheRestartFrameWithoutWaiting)
{
    BtnRebootClick(s);
    EXPECT_EQ(ui.messages.at(0).text, "Do you want to reboot system?");
    const std::vector<std::string> sent{"12345678"};
    EXPECT_EQ(link.log, sent);
    EXPECT_EQ(s.PendingOp, 0);
    EXPECT_EQ(link.pump(), 0) << "the box does not answer a restart";
}

class Watchdog : public BoxCommands { };

TEST_F(Watchdog, ChainWithoutReplyEndsAfterTenSeconds)
{
    ui.messages.clear();
    SendIdentify(s);
    box.silent = true; // the Identify reply arrives, nothing after it
    link.pump();
    ASSERT_EQ(s.PendingOp, 4095);
    ASSERT_TRUE(ui.waitWindowOpen());

    clock.advance(kReplyWatchdogMs - 1);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(s.PendingOp, 4095);
    clock.advance(1);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "No reply from the box.");
    EXPECT_EQ(ui.messages[0].icon, MsgIcon::Warning);
    EXPECT_EQ(s.PendingOp, 0);
    EXPECT_FALSE(ui.waitWindowOpen());
    EXPECT_TRUE(s.connected());
    EXPECT_TRUE(link.isOpen());

    // Idle again: the status poll runs, and an unanswered poll is not the watchdog's business.
    link.clearLog();
    clock.advance(3 * kReplyWatchdogMs);
    EXPECT_FALSE(link.log.empty());
    EXPECT_EQ(link.log.front(), "1006");
    EXPECT_EQ(ui.messages.size(), 1u);
}

TEST_F(Watchdog, EveryReplyRestartsIt)
{
    SendIdentify(s);
    for (int i = 0; i < 5; ++i) {
        clock.advance(kReplyWatchdogMs - 1000);
        link.pump(1);
    }
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_NE(s.PendingOp, 0);
    link.pump();
    EXPECT_EQ(s.PendingOp, 0);
    // 20 s of answered polls (a silent box is the poll's to report, test_silent_box.cpp).
    for (int t = 0; t < 10; ++t) {
        clock.advance(2000);
        link.pump();
    }
    EXPECT_TRUE(ui.messages.empty()) << "disarmed once the chain is idle";
}

TEST_F(Watchdog, OutlastsTheResetPacing)
{
    BtnAllResetClick(s);
    link.pump(2);
    ASSERT_EQ(s.Timer2->interval(), 2400);
    clock.advance(10 * 2400 - 1);
    EXPECT_EQ(ui.messages.size(), 1u) << "only the confirmation: 24 s of pacing is not a lost reply";
    clock.advance(1);
    link.pump();
    EXPECT_EQ(s.PendingOp, 0);
    EXPECT_EQ(ui.messages.size(), 1u);
}

} // namespace
} // namespace trivel::test
