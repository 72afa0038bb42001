#pragma once
// The one seam for time: tick count, blocking waits, event-pumping pauses and timers.
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

class Clock {
public:
    virtual ~Clock() = default;
    virtual qint64 tickMs() const = 0;
    // A plain wait of the calling thread: nothing is dispatched meanwhile.
    virtual void sleepMs(int ms) = 0;
    // A pause that keeps processing events, so replies are dispatched inside it.
    virtual void pumpMs(int ms) = 0;
    virtual std::unique_ptr<ClockTimer> createTimer(int intervalMs) = 0;
};

class RealClock final : public Clock {
public:
    qint64 tickMs() const override;
    void sleepMs(int ms) override;
    void pumpMs(int ms) override;
    std::unique_ptr<ClockTimer> createTimer(int intervalMs) override;
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
    void pumpMs(int ms) override;
    std::unique_ptr<ClockTimer> createTimer(int intervalMs) override;

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
