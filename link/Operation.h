#pragma once
// An operation: a multi-step exchange with the box written as a C++20 coroutine. It starts at
// once, runs on the main thread, awaits replies and pauses without blocking, and ends done, failed
// (with the reason) or cancelled. Callers chain on it with onFinished() or co_await it from
// another operation; a failure inside arrives in the awaiting operation as an OperationFailure.

#include <QString>

#include <coroutine>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <type_traits>
#include <utility>
#include <vector>

namespace trivel {

struct Failure {
    enum class Kind {
        NoReply, // the box did not answer within its allowance
        LinkLost, // the link closed under the operation
        BoxFault, // the box answered, but not what the step needs
        Refused, // the tool refused to start or go on (nothing sent for this step)
        Cancelled,
        Error, // anything else
    };
    Kind kind = Kind::Error;
    QString reason;
    // The user has been told already (a message of the step itself): say nothing more.
    bool shown = false;
};

// Thrown by an awaited step that cannot go on; the operation ends failed with it.
class OperationFailure : public std::exception {
public:
    explicit OperationFailure(Failure f)
        : m_failure(std::move(f))
    {
    }
    const Failure& failure() const { return m_failure; }
    const char* what() const noexcept override { return "operation failed"; }

private:
    Failure m_failure;
};

[[noreturn]] inline void Fail(Failure::Kind kind, const QString& reason, bool shown = false)
{
    throw OperationFailure({kind, reason, shown});
}

namespace detail {

struct StateBase {
    bool done = false;
    std::optional<Failure> failure;
    std::coroutine_handle<> continuation;
    std::vector<std::function<void()>> finished;
    // Cancels whatever the operation awaits right now; set by each awaited step.
    std::function<void()> cancelAwaited;
    bool cancelRequested = false;

    void finish()
    {
        done = true;
        cancelAwaited = nullptr;
        auto callbacks = std::move(finished);
        for (auto& f : callbacks)
            f();
        if (auto c = std::exchange(continuation, {}))
            c.resume();
    }
};

template <typename T> struct State : StateBase {
    std::optional<T> value;
};
template <> struct State<void> : StateBase { };

// Reaches the state of the coroutine that awaits, to hang its cancel hook there.
struct PromiseBase {
    std::shared_ptr<StateBase> base;
};

} // namespace detail

template <typename T = void> class [[nodiscard]] Operation {
public:
    using StateType = detail::State<T>;

    struct promise_type;

    Operation() = default;
    explicit Operation(std::shared_ptr<StateType> s)
        : m_state(std::move(s))
    {
    }

    bool valid() const { return m_state != nullptr; }
    bool finished() const { return !m_state || m_state->done; }
    bool succeeded() const { return m_state && m_state->done && !m_state->failure; }
    const std::optional<Failure>& failure() const { return m_state->failure; }
    // The result of a finished operation that succeeded.
    template <typename U = T>
        requires(!std::is_void_v<U>)
    const U& value() const
    {
        return *m_state->value;
    }

    // Runs f once the operation has ended (at once if it has).
    void onFinished(std::function<void()> f) const
    {
        if (!m_state || m_state->done)
            f();
        else
            m_state->finished.push_back(std::move(f));
    }

    // Ends the operation cancelled at its current step. The reply of a request already on the
    // wire is still taken off the link, and dropped.
    void cancel() const
    {
        if (!m_state || m_state->done)
            return;
        m_state->cancelRequested = true;
        if (auto c = std::exchange(m_state->cancelAwaited, nullptr))
            c();
    }

    // Awaiting another operation: its failure becomes ours.
    bool await_ready() const noexcept { return !m_state || m_state->done; }
    template <typename P> void await_suspend(std::coroutine_handle<P> h)
    {
        m_state->continuation = h;
        auto self = m_state;
        h.promise().base->cancelAwaited = [self] { Operation(self).cancel(); };
    }
    T await_resume() const
    {
        if (!m_state)
            Fail(Failure::Kind::Error, QStringLiteral("no operation"));
        if (m_state->failure)
            throw OperationFailure(*m_state->failure);
        if constexpr (!std::is_void_v<T>)
            return std::move(*m_state->value);
    }

private:
    std::shared_ptr<StateType> m_state;
};

namespace detail {

template <typename T> struct PromiseCommon : PromiseBase {
    std::shared_ptr<State<T>> state = std::make_shared<State<T>>();
    bool finishing = false;

    PromiseCommon() { base = state; }
    PromiseCommon(const PromiseCommon&) = delete;
    PromiseCommon& operator=(const PromiseCommon&) = delete;
    // A frame destroyed before its end (the exchange it waits on goes away) takes the frames
    // that await it along; none of them is resumed.
    ~PromiseCommon()
    {
        if (finishing || state->done)
            return;
        state->cancelAwaited = nullptr;
        // Never called now; dropped, as a callback may hold the operation itself.
        auto callbacks = std::move(state->finished);
        callbacks.clear();
        if (auto c = std::exchange(state->continuation, {}))
            c.destroy();
    }
    Operation<T> get_return_object() { return Operation<T>(state); }
    std::suspend_never initial_suspend() noexcept { return {}; }

    struct FinalAwaiter {
        bool await_ready() const noexcept { return false; }
        template <typename P> void await_suspend(std::coroutine_handle<P> h) noexcept
        {
            // The frame goes first; whoever waits may start new work from inside finish().
            std::shared_ptr<State<T>> s = h.promise().state;
            h.promise().finishing = true;
            h.destroy();
            s->finish();
        }
        void await_resume() const noexcept { }
    };
    FinalAwaiter final_suspend() noexcept { return {}; }

    void unhandled_exception() noexcept
    {
        try {
            throw;
        } catch (const OperationFailure& f) {
            state->failure = f.failure();
        } catch (const std::exception& e) {
            state->failure = Failure{Failure::Kind::Error, QString::fromLocal8Bit(e.what())};
        } catch (...) {
            state->failure = Failure{Failure::Kind::Error, QStringLiteral("unknown error")};
        }
    }
};

} // namespace detail

template <typename T> struct Operation<T>::promise_type : detail::PromiseCommon<T> {
    void return_value(T v) { this->state->value = std::move(v); }
};

template <> struct Operation<void>::promise_type : detail::PromiseCommon<void> {
    void return_void() { }
};

// An operation that has already ended: for a step that finds nothing to do.
inline Operation<void> Finished()
{
    co_return;
}

// An operation that ends failed at once.
inline Operation<void> Refuse(QString reason)
{
    Fail(Failure::Kind::Refused, reason);
    co_return;
}

// Inside an operation: throws Cancelled when cancel() has been asked for, so a step that does
// several things in a row can stop between them.
struct CancellationPoint {
    bool await_ready() const noexcept { return false; }
    template <typename P> bool await_suspend(std::coroutine_handle<P> h) noexcept
    {
        m_cancelled = h.promise().base->cancelRequested;
        return false;
    }
    void await_resume() const
    {
        if (m_cancelled)
            Fail(Failure::Kind::Cancelled, QStringLiteral("cancelled"));
    }
    bool m_cancelled = false;
};

} // namespace trivel
