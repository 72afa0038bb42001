#include "link/Clock.h"

#include <gtest/gtest.h>

using namespace trivel;

TEST(VirtualClock, FiresTimersInOrderAndRecordsWaits)
{
    VirtualClock clock;
    std::vector<std::pair<char, qint64>> fired;
    auto a = clock.createTimer(200);
    auto b = clock.createTimer(500);
    a->onTimeout = [&] { fired.push_back({'a', clock.tickMs()}); };
    b->onTimeout = [&] {
        fired.push_back({'b', clock.tickMs()});
        b->setEnabled(false);
    };
    a->setEnabled(true);
    b->setEnabled(true);
    clock.advance(1000);
    std::vector<std::pair<char, qint64>> expected{
        {'a', 200}, {'a', 400}, {'b', 500}, {'a', 600}, {'a', 800}, {'a', 1000}};
    EXPECT_EQ(fired, expected);

    clock.sleepMs(500);
    bool paused = false;
    const auto pause = clock.singleShot(80, DelayKind::Pause, [&paused] { paused = true; });
    ASSERT_EQ(clock.waits().size(), 2u);
    EXPECT_EQ(clock.waits()[0].ms, 500);
    EXPECT_EQ(clock.waits()[1].kind, VirtualClock::WaitKind::Pump);
    EXPECT_TRUE(clock.runNextDelay());
    EXPECT_TRUE(paused);
    EXPECT_EQ(clock.tickMs(), 1580);
}

TEST(VirtualClock, ATimerMayOutliveItsClock)
{
    auto clock = std::make_unique<VirtualClock>();
    std::unique_ptr<ClockTimer> timer = clock->createTimer(100);
    timer->setEnabled(true);
    int fired = 0;
    timer->onTimeout = [&fired] { ++fired; };
    clock.reset();
    // Detached: it neither fires nor touches the clock that has gone, even when re-enabled.
    timer->setEnabled(true);
    timer->setInterval(50);
    EXPECT_FALSE(timer->isEnabled());
    EXPECT_EQ(timer->interval(), 50);
    timer.reset();
    EXPECT_EQ(fired, 0);
}
