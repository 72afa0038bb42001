#include "link/Clock.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <limits>
#include <utility>

namespace trivel {

namespace {

QElapsedTimer& processTimer()
{
    static QElapsedTimer t = [] {
        QElapsedTimer e;
        e.start();
        return e;
    }();
    return t;
}

class RealTimer final : public ClockTimer {
public:
    explicit RealTimer(int ms)
    {
        m_timer.setInterval(ms);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            if (onTimeout)
                onTimeout();
        });
    }
    void setInterval(int ms) override { m_timer.setInterval(ms); }
    int interval() const override { return m_timer.interval(); }
    void setEnabled(bool on) override
    {
        if (on)
            m_timer.start();
        else
            m_timer.stop();
    }
    bool isEnabled() const override { return m_timer.isActive(); }

private:
    QTimer m_timer;
};

} // namespace

qint64 RealClock::tickMs() const
{
    return processTimer().elapsed();
}

void RealClock::sleepMs(int ms)
{
    if (ms > 0)
        QThread::msleep(ulong(ms));
}

std::unique_ptr<ClockTimer> RealClock::createTimer(int intervalMs)
{
    return std::make_unique<RealTimer>(intervalMs);
}

namespace {

// One object per delay that is its own timer: a deadline is armed for every request, so it costs
// no more than a timer id. Dropping the handle, even from inside the call, kills the timer.
class RealSingleShot final : public QObject, public ClockTimer {
public:
    RealSingleShot(int ms, std::function<void()> fn)
        : m_interval(ms)
        , m_fn(std::move(fn))
        , m_id(startTimer(ms, Qt::PreciseTimer))
    {
    }
    void setInterval(int) override { }
    int interval() const override { return m_interval; }
    void setEnabled(bool on) override
    {
        if (!on)
            stop();
    }
    bool isEnabled() const override { return m_id != 0; }

protected:
    void timerEvent(QTimerEvent*) override
    {
        stop();
        // The call may destroy this object: nothing of it is touched afterwards.
        auto call = std::move(m_fn);
        call();
    }

private:
    void stop()
    {
        if (m_id != 0)
            killTimer(std::exchange(m_id, 0));
    }
    int m_interval;
    std::function<void()> m_fn;
    int m_id;
};

} // namespace

std::unique_ptr<ClockTimer> RealClock::singleShot(int ms, DelayKind, std::function<void()> fn)
{
    return std::make_unique<RealSingleShot>(std::max(ms, 0), std::move(fn));
}

namespace {

bool Skippable(DelayKind kind)
{
    return kind == DelayKind::Sleep || kind == DelayKind::Pause;
}

} // namespace

class VirtualClock::Timer final : public ClockTimer {
public:
    Timer(VirtualClock& clock, int ms)
        : m_clock(&clock)
        , m_interval(ms)
    {
        m_clock->m_timers.push_back(this);
    }
    ~Timer() override
    {
        if (m_clock)
            std::erase(m_clock->m_timers, this);
    }
    void setInterval(int ms) override
    {
        m_interval = ms;
        if (m_enabled && m_clock)
            m_due = m_clock->m_now + std::max(ms, 1);
    }
    int interval() const override { return m_interval; }
    void setEnabled(bool on) override
    {
        m_enabled = on && m_clock;
        if (m_enabled)
            m_due = m_clock->m_now + std::max(m_interval, 1);
    }
    bool isEnabled() const override { return m_enabled; }

    // Null once the clock has gone: the timer then never fires again.
    VirtualClock* m_clock;
    int m_interval;
    bool m_enabled = false;
    qint64 m_due = 0;
    bool m_oneShot = false;
    DelayKind m_kind = DelayKind::Sleep;
};

VirtualClock::VirtualClock() = default;

VirtualClock::~VirtualClock()
{
    // Timers owned elsewhere may outlive the clock in a badly ordered test; detach them so
    // their own destruction does not reach back into a clock that has gone.
    for (Timer* t : m_timers) {
        t->m_clock = nullptr;
        t->m_enabled = false;
    }
    m_timers.clear();
}

void VirtualClock::processEvents()
{
    if (QCoreApplication::instance())
        QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void VirtualClock::sleepMs(int ms)
{
    m_waits.push_back({WaitKind::Sleep, ms, m_now});
    if (ms > 0)
        m_now += ms;
}

std::unique_ptr<ClockTimer> VirtualClock::createTimer(int intervalMs)
{
    return std::make_unique<Timer>(*this, intervalMs);
}

std::unique_ptr<ClockTimer> VirtualClock::singleShot(int ms, DelayKind kind, std::function<void()> fn)
{
    if (kind == DelayKind::Sleep || kind == DelayKind::Pause)
        m_waits.push_back({kind == DelayKind::Sleep ? WaitKind::Sleep : WaitKind::Pump, ms, m_now});
    auto t = std::make_unique<Timer>(*this, std::max(ms, 0));
    Timer* raw = t.get();
    t->m_oneShot = true;
    t->m_kind = kind;
    t->onTimeout = [raw, fn = std::move(fn)] {
        raw->m_enabled = false;
        fn();
    };
    t->m_enabled = true;
    t->m_due = m_now + std::max(ms, 0);
    return t;
}

bool VirtualClock::delayPending() const
{
    return std::any_of(m_timers.begin(), m_timers.end(),
        [](const Timer* t) { return t->m_enabled && t->m_oneShot && Skippable(t->m_kind); });
}

bool VirtualClock::runNextDelay()
{
    Timer* next = nullptr;
    for (Timer* t : m_timers)
        if (t->m_enabled && t->m_oneShot && Skippable(t->m_kind) && (!next || t->m_due < next->m_due))
            next = t;
    if (!next)
        return false;
    m_now = std::max(m_now, next->m_due);
    next->m_enabled = false;
    // A copy: the call may destroy the timer that holds it.
    if (auto call = next->onTimeout)
        call();
    processEvents();
    return true;
}

void VirtualClock::advance(qint64 ms)
{
    const qint64 end = m_now + ms;
    processEvents();
    for (;;) {
        Timer* next = nullptr;
        for (Timer* t : m_timers)
            if (t->m_enabled && t->m_due <= end && (!next || t->m_due < next->m_due))
                next = t;
        if (!next)
            break;
        m_now = std::max(m_now, next->m_due);
        next->m_due = m_now + std::max(next->m_interval, 1);
        if (next->m_oneShot)
            next->m_enabled = false;
        if (auto call = next->onTimeout)
            call();
        processEvents();
    }
    m_now = std::max(m_now, end);
}

} // namespace trivel
