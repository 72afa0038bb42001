#pragma once
// The one seam for time: tick count, blocking waits and timers.
// RealClock drives the product; VirtualClock lets tests step time without sleeping.

#include <QtGlobal>

#include <functional>
#include <memory>
#include <vector>

namespace trivel {

class ClockTimer {
public:
    virtual ~ClockTimer() = default;
    virtual void setInterval(int ms) = 0;
    virtual int interval() const = 0;
    virtual void setEnabled(bool on) = 0; // enabling (re)starts the interval
    virtual bool isEnabled() const = 0;
    std::function<void()> onTimeout;
};

// What a one-shot delay stands for: a test's virtual clock records the first two as waits and
// runs them when it settles; a deadline fires only when time really passes.
enum class DelayKind {
    Sleep, // a fixed wait between two steps
    Pause, // the gap a request keeps before the next one
    Deadline, // a time-out that ends a wait
    Tick, // a pace that lets real time pass (a progress bar filling): not a wait a test skips
};

class Clock {
public:
    virtual ~Clock() = default;
    virtual qint64 tickMs() const = 0;
    // A plain wait of the calling thread: nothing is dispatched meanwhile. Operations never use
    // it; they wait with timers (Exchange::delay, a send's pause).
    virtual void sleepMs(int ms) = 0;
    virtual std::unique_ptr<ClockTimer> createTimer(int intervalMs) = 0;
    // Calls fn once, ms from now, from the event loop; destroying the handle cancels it.
    virtual std::unique_ptr<ClockTimer> singleShot(int ms, DelayKind kind, std::function<void()> fn) = 0;
};

class RealClock final : public Clock {
public:
    qint64 tickMs() const override;
    void sleepMs(int ms) override;
    std::unique_ptr<ClockTimer> createTimer(int intervalMs) override;
    std::unique_ptr<ClockTimer> singleShot(int ms, DelayKind kind, std::function<void()> fn) override;
};

// Time only moves when a wait is asked for or the test advances it. Every wait is
// recorded so a test can assert "500 ms before this request".
class VirtualClock final : public Clock {
public:
    enum class WaitKind { Sleep, Pump };
    struct Wait {
        WaitKind kind;
        int ms;
        qint64 at;
    };

    VirtualClock();
    ~VirtualClock() override;

    qint64 tickMs() const override { return m_now; }
    void sleepMs(int ms) override;
    std::unique_ptr<ClockTimer> createTimer(int intervalMs) override;
    // Sleeps and pauses are recorded as waits when they start.
    std::unique_ptr<ClockTimer> singleShot(int ms, DelayKind kind, std::function<void()> fn) override;

    // Runs the earliest pending sleep or pause, moving time to its end (periodic timers,
    // deadlines and ticks do not fire). False when none is pending.
    bool runNextDelay();
    bool delayPending() const;

    // Moves time forward, firing due timers in order and processing posted events between them.
    void advance(qint64 ms);
    const std::vector<Wait>& waits() const { return m_waits; }
    void clearWaits() { m_waits.clear(); }

private:
    class Timer;
    friend class Timer;
    void processEvents();

    qint64 m_now = 0;
    std::vector<Wait> m_waits;
    std::vector<Timer*> m_timers;
};

} // namespace trivel
