// A status poll that notices a dead box: after three unanswered polls the lamps go silver and the
// memo says so, after 10 s of silence the user is told once, the link stays up, and the next
// reply brings everything back.

#include "link/Clock.h"
#include "box/Box.h"
#include "session/Session.h"
#include "box/Readback.h"
#include "session/Session.h"
#include "box/StatusPoll.h"
#include "box/Watchdog.h"
#include "session/Operations.h"
#include "sim/BoxModel.h"
#include "support/Controls.h"
#include "support/FakeBoxTransport.h"
#include "support/RecordingUi.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

namespace trivel::test {
namespace {

constexpr int kPollMs = 2000;

class SilentBox : public ::testing::Test {
protected:
    VirtualClock clock;
    RecordingUi ui;
    Box tool{clock, ui};
    Session& s = tool.session;
    sim::BoxModel box;
    FakeBoxTransport link{box};

    void SetUp() override
    {
        ui.watch(s.events);
        s.TcpSelected = true;
        link.setReplySink(
            [this](const std::uint8_t* b, std::size_t n, bool rid) { DeliverReply(s, b, n, rid); });
        s.setTransport(&link);
        s.setFlag(Flag::Connected, true);
        NoteLinkOpened(s);
        SendIdentify(s);
        for (int turn = 0; turn < 10000 && s.busy(); ++turn) {
            QCoreApplication::processEvents();
            clock.runNextDelay();
        }
        ASSERT_FALSE(s.busy());
        ASSERT_TRUE(ui.messages.empty());

        box.inputSignals.inputMask = 0b0001;
        box.inputSignals.outputMask = 0b0011;
        tick();
        ASSERT_TRUE(s.statusPoll.succeeded()) << "the box answers the first poll";
        lastReply = clock.tickMs();
    }

    // One poll period; the box's replies (one per event-loop turn) are handled within it.
    void tick()
    {
        clock.advance(kPollMs);
        for (int turn = 0; turn < 4; ++turn)
            QCoreApplication::processEvents();
    }

    int polls() const { return int(std::count(link.sentCodes.begin(), link.sentCodes.end(), Cmd::Status)); }
    int memoCount(const char* line) const { return int(ui.memo().count(QString::fromLatin1(line))); }
    int noReplyMessages() const
    {
        return int(std::count_if(ui.messages.begin(), ui.messages.end(),
            [](const RecordingUi::Message& m) { return m.text == "No reply from the box."; }));
    }
    bool lampsSilver() const
    {
        for (std::size_t k = 0; k < 4; ++k)
            if (ui.intValue(ctl::PnlIpts[k], Prop::Color) != kColourIdle)
                return false;
        for (const Control& lamp : ctl::PnlOpts)
            if (ui.intValue(lamp, Prop::Color) != kColourIdle)
                return false;
        return true;
    }

    qint64 lastReply = 0;
};

TEST_F(SilentBox, LampsGoSilverAfterThreePollsTheMessageComesOnceAndTheNextReplyRestoresAll)
{
    ASSERT_EQ(ui.intValue(ctl::PnlIpts[0], Prop::Color), kColourInput);
    link.silent = true;

    // Tick 1 sends a poll nobody answers; ticks 2..4 find one more poll unanswered each.
    for (int t = 1; t <= 3; ++t) {
        const int before = polls();
        tick();
        EXPECT_EQ(polls(), before + 1) << "every tick polls again, tick " << t;
        EXPECT_FALSE(lampsSilver()) << "tick " << t;
        EXPECT_EQ(memoCount("BOX NOT ANSWERING"), 0);
    }
    tick();
    EXPECT_TRUE(lampsSilver()) << "three polls in a row without a reply";
    EXPECT_EQ(memoCount("BOX NOT ANSWERING"), 1);
    EXPECT_EQ(noReplyMessages(), 0) << "only " << clock.tickMs() - lastReply << " ms of silence";

    while (clock.tickMs() - lastReply < kReplyWatchdogMs + kPollMs)
        tick();
    EXPECT_EQ(noReplyMessages(), 1) << "within a poll period after ten seconds of silence";
    for (int t = 0; t < 15; ++t)
        tick();
    EXPECT_EQ(noReplyMessages(), 1) << "once, not once per poll";
    EXPECT_EQ(memoCount("BOX NOT ANSWERING"), 1);
    EXPECT_EQ(ui.messages.size(), 1u);
    EXPECT_TRUE(s.connected()) << "the link stays up";
    EXPECT_EQ(s.transport, &link);
    EXPECT_FALSE(s.statusPoll.finished()) << "a poll waits for its reply";

    // The box answers again with the same masks: the lamps must still be repainted.
    link.silent = false;
    tick();
    EXPECT_TRUE(s.statusPoll.succeeded());
    EXPECT_EQ(ui.intValue(ctl::PnlIpts[0], Prop::Color), kColourInput);
    EXPECT_EQ(ui.intValue(ctl::PnlIpts[1], Prop::Color), kColourIdle);
    EXPECT_EQ(ui.intValue(ctl::PnlOpts[0], Prop::Color), kColourOutput);
    EXPECT_EQ(ui.intValue(ctl::PnlOpts[1], Prop::Color), kColourOutput);
    EXPECT_EQ(memoCount("BOX ANSWERING AGAIN"), 1);

    // A later silence is a new one: told again, once.
    lastReply = clock.tickMs();
    link.silent = true;
    for (int t = 0; t < 10; ++t)
        tick();
    EXPECT_EQ(noReplyMessages(), 2);
    EXPECT_EQ(memoCount("BOX NOT ANSWERING"), 2);
}

TEST_F(SilentBox, AnsweredPollsKeepTheLampsAndSayNothing)
{
    for (int t = 0; t < 10; ++t)
        tick();
    EXPECT_EQ(ui.intValue(ctl::PnlIpts[0], Prop::Color), kColourInput);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(memoCount("BOX NOT ANSWERING"), 0);
}

TEST_F(SilentBox, ALostWindowSettingsReplyDoesNotStopThePolls)
{
    bool drop = true;
    box.replyHook = [&drop](std::uint32_t code, std::vector<std::uint8_t>&) {
        return !(drop && code == Cmd::ReadWindowSettings);
    };
    tick();
    EXPECT_FALSE(s.statusPoll.finished()) << "the window settings are still awaited";
    const int before = polls();
    tick();
    EXPECT_EQ(polls(), before + 1) << "the next tick polls again";
    drop = false;
    tick();
    EXPECT_TRUE(s.statusPoll.succeeded());
    EXPECT_TRUE(ui.messages.empty()) << "the box kept answering the status";
    EXPECT_FALSE(lampsSilver());
}

Operation<void> SendOne(Session& s, Request request)
{
    co_await s.exchange.send(std::move(request));
}

TEST_F(SilentBox, AnUnansweredStepsMessageCountsForTheSilenceThatFollows)
{
    link.silent = true;
    const Operation<void> op = SendOne(s, Request(Cmd::ReadWindowSettings)); // its reply never comes
    Launch(s, op);
    clock.advance(kReplyAllowanceMs);
    ASSERT_TRUE(op.finished());
    ASSERT_EQ(op.failure()->kind, Failure::Kind::NoReply);
    ASSERT_EQ(noReplyMessages(), 1);
    ASSERT_FALSE(s.busy());
    for (int t = 0; t < 10; ++t)
        tick();
    EXPECT_TRUE(lampsSilver());
    EXPECT_EQ(noReplyMessages(), 1) << "the polls after it find the same silence";
}

} // namespace
} // namespace trivel::test
