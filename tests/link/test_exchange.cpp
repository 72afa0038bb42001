// The exchange: one request in flight, each reply to its own request, pauses and waits as timers,
// the reply allowance, cancellation, and the request bytes a partial clear leaves standing.

#include "link/Clock.h"
#include "link/Exchange.h"
#include "link/Operation.h"
#include "link/Transport.h"
#include "protocol/Request.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <deque>

namespace trivel::test {
namespace {

using ::testing::ElementsAre;

// Records every frame; the test decides which replies come back and when.
class ScriptedTransport : public Transport {
public:
    bool isUsb() const override { return usb; }
    bool isOpen() const override { return open; }
    void sendFrame(const FrameBuffer& request) override
    {
        frames.emplace_back(request.begin() + 1, request.begin() + 1 + kTcpFrameSize);
        codes.push_back(FrameView::ofBuffer(const_cast<FrameBuffer&>(request)).code());
    }
    void close() override { open = false; }

    bool usb = false;
    bool open = true;
    std::vector<std::vector<std::uint8_t>> frames;
    std::vector<std::uint32_t> codes;
};

std::vector<std::uint8_t> ReplyFrame(std::uint32_t code, std::uint8_t tag = 0)
{
    std::vector<std::uint8_t> f(kTcpFrameSize, 0);
    FrameView v(f.data(), f.size());
    v.setCode(code);
    v.put8(8, tag);
    return f;
}

struct ExchangeTest : ::testing::Test {
    VirtualClock clock;
    ScriptedTransport wire;
    Exchange ex{clock};
    std::vector<std::string> events;

    ExchangeTest() { ex.attach(&wire); }

    void reply(std::uint32_t code, std::uint8_t tag = 0)
    {
        const auto f = ReplyFrame(code, tag);
        ex.deliver(f.data(), f.size(), false);
    }
};

Operation<int> TwoSteps(Exchange& ex, std::vector<std::string>& events)
{
    Reply r = co_await ex.send(Request(0x1000));
    events.push_back("first " + std::to_string(r.u8(8)));
    co_await ex.delay(200);
    r = co_await ex.send(Request(0x1001), {.pauseMs = 60});
    events.push_back("second " + std::to_string(r.u8(8)));
    co_return r.u8(8);
}

TEST_F(ExchangeTest, OneRequestInFlightAndEachReplyToItsOwnRequest)
{
    Operation<int> op = TwoSteps(ex, events);
    ex.post(Request(0x1002)); // a slider send while the operation waits: it queues behind
    EXPECT_THAT(wire.codes, ElementsAre(0x1000u));

    reply(0x1000, 7);
    EXPECT_THAT(events, ElementsAre("first 7"));
    // The posted request goes out while the operation sleeps.
    EXPECT_THAT(wire.codes, ElementsAre(0x1000u, 0x1002u));
    reply(0x1002);
    EXPECT_TRUE(clock.runNextDelay()); // the 200 ms wait
    EXPECT_THAT(wire.codes, ElementsAre(0x1000u, 0x1002u, 0x1001u));
    reply(0x1001, 9);
    EXPECT_FALSE(op.finished()) << "the 60 ms pause has not passed";
    EXPECT_TRUE(clock.runNextDelay());
    ASSERT_TRUE(op.succeeded());
    EXPECT_EQ(op.value(), 9);
    EXPECT_THAT(events, ElementsAre("first 7", "second 9"));
    ASSERT_EQ(clock.waits().size(), 2u);
    EXPECT_EQ(clock.waits()[0].kind, VirtualClock::WaitKind::Sleep);
    EXPECT_EQ(clock.waits()[0].ms, 200);
    EXPECT_EQ(clock.waits()[1].kind, VirtualClock::WaitKind::Pump);
    EXPECT_EQ(clock.waits()[1].ms, 60);
}

TEST_F(ExchangeTest, ReplyOfAnotherCodeIsNotTakenForTheAnswer)
{
    Operation<int> op = TwoSteps(ex, events);
    reply(0x1002); // late or out of turn
    EXPECT_TRUE(events.empty());
    reply(0x1000, 1);
    EXPECT_THAT(events, ElementsAre("first 1"));
    op.cancel();
}

TEST_F(ExchangeTest, SilenceFailsTheStepAfterItsAllowanceAndTheLinkGoesOn)
{
    Operation<int> op = TwoSteps(ex, events);
    clock.advance(kReplyAllowanceMs - 1);
    EXPECT_FALSE(op.finished());
    clock.advance(1);
    ASSERT_TRUE(op.finished());
    EXPECT_EQ(op.failure()->kind, Failure::Kind::NoReply);

    Operation<int> again = TwoSteps(ex, events);
    EXPECT_EQ(wire.codes.size(), 2u) << "a later request goes out";
    again.cancel();
}

TEST_F(ExchangeTest, WrongCodesUntilTheAllowanceEndAsABoxFault)
{
    Operation<int> op = TwoSteps(ex, events);
    reply(0x2222);
    clock.advance(kReplyAllowanceMs);
    ASSERT_TRUE(op.finished());
    EXPECT_EQ(op.failure()->kind, Failure::Kind::BoxFault);
    EXPECT_THAT(op.failure()->reason.toStdString(), ::testing::HasSubstr("2222"));
}

TEST_F(ExchangeTest, LostLinkFailsTheOperationAndWhatIsQueued)
{
    Operation<int> op = TwoSteps(ex, events);
    std::vector<Failure::Kind> posted;
    QObject::connect(&ex, &Exchange::stepFailed, [&](const Failure& f) { posted.push_back(f.kind); });
    ex.post(Request(0x1002));
    ex.detach(QStringLiteral("closed by the box"));
    ASSERT_TRUE(op.finished());
    EXPECT_EQ(op.failure()->kind, Failure::Kind::LinkLost);
    EXPECT_THAT(posted, ElementsAre(Failure::Kind::LinkLost));
    EXPECT_TRUE(ex.idle());
}

Operation<void> Outer(Exchange& ex, std::vector<std::string>& events)
{
    try {
        co_await TwoSteps(ex, events);
    } catch (const OperationFailure& f) {
        events.push_back(f.failure().kind == Failure::Kind::Cancelled ? "inner cancelled" : "inner failed");
        throw;
    }
}

TEST_F(ExchangeTest, CancelReachesTheInnermostStepAndTheReplyOnTheWireIsDropped)
{
    Operation<void> op = Outer(ex, events);
    op.cancel();
    ASSERT_TRUE(op.finished());
    EXPECT_EQ(op.failure()->kind, Failure::Kind::Cancelled);
    EXPECT_THAT(events, ElementsAre("inner cancelled"));

    ex.post(Request(0x1003));
    EXPECT_THAT(wire.codes, ElementsAre(0x1000u)) << "the cancelled request's reply is still due";
    reply(0x1000);
    EXPECT_THAT(wire.codes, ElementsAre(0x1000u, 0x1003u));
}

TEST_F(ExchangeTest, CancelDuringAFixedWait)
{
    Operation<int> op = TwoSteps(ex, events);
    reply(0x1000);
    op.cancel();
    ASSERT_TRUE(op.finished());
    EXPECT_EQ(op.failure()->kind, Failure::Kind::Cancelled);
    EXPECT_FALSE(clock.delayPending());
}

TEST_F(ExchangeTest, NoLinkFailsAtOnce)
{
    ex.detach(QStringLiteral("closed"));
    Operation<int> op = TwoSteps(ex, events);
    ASSERT_TRUE(op.finished());
    EXPECT_EQ(op.failure()->kind, Failure::Kind::LinkLost);
}

TEST_F(ExchangeTest, PartialClearsKeepThePreviousFrameBytes)
{
    ex.post(Request(0x1025, Clear::Frame).u8(8, 3).u32(12, 0x01020304).u8(300, 0xAA));
    reply(0x1025);
    ex.post(Request(0x1026, Clear::None).u32(12, 288));
    reply(0x1026);
    ex.post(Request(0x1002, Clear::Head).u8(9, 1));
    reply(0x1002);
    ex.post(Request(0x1006));
    ASSERT_EQ(wire.frames.size(), 4u);
    EXPECT_EQ(wire.frames[1][8], 3) << "no clear: the window byte stays";
    EXPECT_EQ(FrameView(wire.frames[1].data(), 512).u32(12), 288u);
    EXPECT_EQ(wire.frames[1][300], 0xAA);
    EXPECT_EQ(wire.frames[2][8], 3) << "a 4-byte clear reaches frame byte 2 only";
    EXPECT_EQ(wire.frames[2][0], 0);
    EXPECT_EQ(wire.frames[3][300], 0) << "a whole clear";
}

TEST_F(ExchangeTest, RequestsWithoutAnAnswerDoNotHoldTheLink)
{
    ex.post(Request(0x12345678, Clear::None), {.awaitReply = false});
    ex.post(Request(0x1006));
    EXPECT_THAT(wire.codes, ElementsAre(0x12345678u, 0x1006u));
}

TEST_F(ExchangeTest, UsbResendsTheGuardedRequestOnce)
{
    wire.usb = true;
    std::vector<QString> memo;
    QObject::connect(&ex, &Exchange::memo, [&](const QString& l) { memo.push_back(l); });
    ex.post(Request(0x1001), {.resendOnUsb = true});
    clock.advance(kUsbResendMs);
    clock.advance(kUsbResendMs * 4);
    EXPECT_THAT(wire.codes, ElementsAre(0x1001u, 0x1001u));
    ASSERT_EQ(memo.size(), 1u);
    EXPECT_EQ(memo[0], QStringLiteral("NO ACK RESEND"));
}

TEST_F(ExchangeTest, HoldsKeepTheExchangeBusyAcrossWaits)
{
    EXPECT_TRUE(ex.idle());
    {
        auto hold = ex.hold();
        EXPECT_FALSE(ex.idle());
    }
    EXPECT_TRUE(ex.idle());
}

// Counts the frames of waiting operations still alive.
struct Alive {
    int& count;
    explicit Alive(int& c)
        : count(c)
    {
        ++count;
    }
    ~Alive() { --count; }
};

Operation<void> WaitsOnReply(Exchange& ex, int& alive)
{
    Alive a(alive);
    co_await ex.send(Request(0x1000));
}

Operation<void> WaitsOnDelay(Exchange& ex, int& alive)
{
    Alive a(alive);
    co_await ex.delay(500);
}

Operation<void> AwaitsBoth(Exchange& ex, int& alive)
{
    Alive a(alive);
    co_await WaitsOnDelay(ex, alive);
    co_await WaitsOnReply(ex, alive);
}

TEST_F(ExchangeTest, OperationsStillWaitingGoWithTheExchangeWithoutBeingResumed)
{
    int alive = 0;
    bool finished = false;
    {
        Exchange own{clock};
        own.attach(&wire);
        Operation<void> nested = AwaitsBoth(own, alive);
        Operation<void> onReply = WaitsOnReply(own, alive);
        nested.onFinished([&finished, nested] { finished = true; });
        EXPECT_EQ(alive, 3);
        EXPECT_FALSE(nested.finished());
    }
    EXPECT_EQ(alive, 0) << "every frame, the awaiting one too, is destroyed";
    EXPECT_FALSE(finished) << "nothing runs from a destructor";
    EXPECT_FALSE(clock.delayPending());
}

} // namespace
} // namespace trivel::test
