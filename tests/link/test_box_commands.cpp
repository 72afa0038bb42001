#include "box/Box.h"
#include "ChainFixture.h"

#include "box/BoxCommands.h"
#include "box/Watchdog.h"
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

using Command = std::function<Operation<void>(Session&)>;

struct PaceCase {
    const char* name;
    Command start;
    int interval;
    const char* resumeRequest; // the request sent at 100 %
};

class Timer2Pace : public BoxCommands, public ::testing::WithParamInterface<PaceCase> { };

TEST_P(Timer2Pace, TenTicksThenTheReadBackResumes)
{
    const PaceCase& c = GetParam();
    const Operation<void> op = c.start(s);
    link.pump(2);
    EXPECT_EQ(ui.intValue(ctl::UpdateStep, Prop::Top), 180);
    const std::size_t before = link.log.size();

    clock.advance(c.interval - 1);
    EXPECT_EQ(ui.intValue(ctl::ProgressBar2, Prop::Position), 0) << "one step is " << c.interval << " ms";
    clock.advance(8 * c.interval + 1);
    EXPECT_EQ(ui.intValue(ctl::ProgressBar2, Prop::Position), 90);
    EXPECT_EQ(link.log.size(), before) << "nothing is sent before the tenth tick";
    clock.advance(c.interval);
    ASSERT_EQ(link.log.size(), before + 1);
    EXPECT_EQ(link.log.back(), c.resumeRequest);
    EXPECT_FALSE(op.finished());

    link.pump();
    EXPECT_TRUE(op.succeeded());
    EXPECT_FALSE(s.busy());
    EXPECT_EQ(ui.intValue(ctl::UpdateStep, Prop::Top), 680);
    EXPECT_FALSE(ui.waitWindowOpen());
    EXPECT_TRUE(ui.messages.size() <= 1u) << "only the confirmation";
}

INSTANTIATE_TEST_SUITE_P(Commands, Timer2Pace,
    ::testing::Values(PaceCase{"AllReset", ResetAll, 2400, "0001"},
        PaceCase{"ProfileLoad", [](Session& s) { return LoadProfile(s, 2); }, 2000, "0001"},
        PaceCase{"Reset", ResetSettings, 200, "1001"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(BoxCommands, AllResetSendsTheCornerValueAndClearsWarpModes)
{
    s.box->warp.state().model[0].ControlCursor = {3, 0}; // right column: top-right corner
    s.setFlag(Flag::LinkedWarp, true);
    s.box->warp.adjust().ConfirmedMode = {1, 2, 3, 4};
    const Operation<void> op = ResetAll(s);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "Do you want to do all reset?");
    EXPECT_EQ(ui.messages[0].caption, "");
    EXPECT_EQ(ui.messages[0].icon, MsgIcon::Information);
    EXPECT_EQ(ui.messages[0].buttons, MsgButtons::YesNo);
    link.pump(1);
    const std::vector<std::string> sent{"100b s00TLA+503", "1002 s00RXT+001"};
    EXPECT_EQ(link.log, sent) << "KeystoneCorners[0][1].x is 502";
    ASSERT_GE(clock.waits().size(), 1u);
    EXPECT_EQ(clock.waits()[0].kind, VirtualClock::WaitKind::Pump);
    EXPECT_EQ(clock.waits()[0].ms, 80) << "the pause after the corner request";
    for (int w = 0; w < 4; ++w) {
        EXPECT_EQ(s.box->warp.state().model[w].ControlPattern, 0);
        EXPECT_EQ(s.box->warp.adjust().ConfirmedMode[w], 99);
    }
    EXPECT_FALSE(s.flag(Flag::LinkedWarp));
}

TEST_F(BoxCommands, ProfileSaveAndLoadTexts)
{
    const Operation<void> save = SaveProfile(s, 4);
    link.pump(1);
    const Operation<void> load = LoadProfile(s, 1);
    ASSERT_EQ(ui.messages.size(), 2u);
    EXPECT_EQ(ui.messages[0].text, "Do you want to save profile ?");
    EXPECT_EQ(ui.messages[0].caption, "Save Profile");
    EXPECT_EQ(ui.messages[0].icon, MsgIcon::Question);
    EXPECT_EQ(ui.messages[0].buttons, MsgButtons::OkCancel);
    EXPECT_EQ(ui.messages[1].text, "Do you want to load profile ?");
    EXPECT_EQ(ui.messages[1].caption, "Load Profile");
    const std::vector<std::string> sent{"1002 s00PFV+004", "1002 s00PFA+001"};
    EXPECT_EQ(link.log, sent);
    EXPECT_TRUE(save.succeeded());
    EXPECT_TRUE(s.busy());
}

struct CancelCase {
    const char* name;
    Command click;
    MsgResult answer;
};

class Cancelled : public BoxCommands, public ::testing::WithParamInterface<CancelCase> { };

TEST_P(Cancelled, NothingIsSent)
{
    ui.answers.push_back(GetParam().answer);
    const Operation<void> op = GetParam().click(s);
    EXPECT_TRUE(op.succeeded());
    EXPECT_EQ(ui.messages.size(), 1u);
    EXPECT_TRUE(link.log.empty());
    EXPECT_FALSE(s.busy());
    EXPECT_FALSE(s.FactoryResetPending);
    EXPECT_TRUE(s.connected());
}

INSTANTIATE_TEST_SUITE_P(Confirmations, Cancelled,
    ::testing::Values(CancelCase{"AllReset", ResetAll, MsgResult::No},
        CancelCase{"FactoryReset", FactoryReset, MsgResult::No}, CancelCase{"Reboot", Reboot, MsgResult::No},
        CancelCase{"ProfileLoad", [](Session& s) { return LoadProfile(s, 0); }, MsgResult::Cancel},
        CancelCase{"ProfileSave", [](Session& s) { return SaveProfile(s, 0); }, MsgResult::Cancel}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(BoxCommands, CommandsWithoutALinkSendNothing)
{
    s.setFlag(Flag::Connected, false);
    for (const Command& click : {Command(ResetAll), Command(Reboot), Command(FactoryReset),
             Command([](Session& s) { return LoadProfile(s, 0); })})
        EXPECT_TRUE(click(s).succeeded());
    EXPECT_EQ(ui.messages.size(), 4u) << "each still asks";
    EXPECT_TRUE(link.log.empty());
    EXPECT_FALSE(s.busy());
    EXPECT_FALSE(s.FactoryResetPending) << "no reply would ever clear it";
}

TEST_F(BoxCommands, FactoryResetOverUsbKeepsTheLink)
{
    sim::BoxModel usbBox = ChainBox();
    FakeBoxTransport usb(usbBox, true);
    usb.delivery = Delivery::Pumped;
    usb.attach(s);
    const Operation<void> op = FactoryReset(s);
    EXPECT_EQ(ui.messages.at(0).text, "Do you want to do Factory reset?");
    EXPECT_TRUE(s.FactoryResetPending);
    usb.pump();
    const std::vector<std::string> sent{"1002 s00VKY+250"};
    EXPECT_EQ(usb.log, sent);
    EXPECT_TRUE(op.succeeded());
    EXPECT_FALSE(s.FactoryResetPending);
    EXPECT_TRUE(s.connected());
}

TEST_F(BoxCommands, RebootSendsTheRestartFrameWithoutWaiting)
{
    const Operation<void> op = Reboot(s);
    EXPECT_EQ(ui.messages.at(0).text, "Do you want to reboot system?");
    const std::vector<std::string> sent{"12345678"};
    EXPECT_EQ(link.log, sent);
    EXPECT_TRUE(op.succeeded());
    EXPECT_EQ(link.pump(), 0) << "the box does not answer a restart";
}

class Watchdog : public BoxCommands { };

TEST_F(Watchdog, ChainWithoutReplyEndsAfterTenSeconds)
{
    ui.messages.clear();
    SendIdentify(s);
    box.silent = true; // the Identify reply arrives, nothing after it
    link.pump();
    ASSERT_EQ(link.log.back(), "100c S00MDNR000");
    ASSERT_TRUE(ui.waitWindowOpen());

    clock.advance(kReplyWatchdogMs - 1);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_FALSE(s.readback.finished());
    clock.advance(1);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "No reply from the box.");
    EXPECT_EQ(ui.messages[0].icon, MsgIcon::Warning);
    ASSERT_TRUE(s.readback.finished());
    EXPECT_EQ(s.readback.failure()->kind, Failure::Kind::NoReply);
    EXPECT_FALSE(s.busy());
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
    EXPECT_TRUE(s.busy());
    link.pump();
    EXPECT_TRUE(s.readback.succeeded());
    // 20 s of answered polls (a silent box is the poll's to report, test_silent_box.cpp).
    for (int t = 0; t < 10; ++t) {
        clock.advance(2000);
        link.pump();
    }
    EXPECT_TRUE(ui.messages.empty()) << "disarmed once the chain is idle";
}

TEST_F(Watchdog, OutlastsTheResetPacing)
{
    const Operation<void> op = ResetAll(s);
    link.pump(2);
    clock.advance(10 * 2400 - 1);
    EXPECT_EQ(ui.messages.size(), 1u) << "only the confirmation: 24 s of pacing is not a lost reply";
    clock.advance(1);
    link.pump();
    EXPECT_TRUE(op.succeeded());
    EXPECT_EQ(ui.messages.size(), 1u);
}

} // namespace
} // namespace trivel::test
