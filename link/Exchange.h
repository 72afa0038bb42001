#pragma once
// The exchange with the box: one request buffer, one reply buffer, one request in flight.
// Operations await send() and get the reply to their own request, never another's; pauses and
// fixed waits are timers, never sleeps; the reply watchdog and the USB resend guard live here.

#include "link/Clock.h"
#include "link/Operation.h"
#include "protocol/Frame.h"
#include "protocol/Request.h"

#include <QObject>

#include <deque>
#include <functional>
#include <memory>
#include <vector>

namespace trivel {

class Transport;

// Silence allowed for a reply before the step fails.
inline constexpr int kReplyAllowanceMs = 10000;
// A box flashes a firmware image before it answers the end or commit frame.
inline constexpr int kFlashAllowanceMs = 120000;
// Over USB the guarded request goes out once more when its reply is this late.
inline constexpr int kUsbResendMs = 500;

struct SendOptions {
    // The next request goes out no earlier than this after this one, and the sender goes on no
    // earlier either.
    int pauseMs = 0;
    // False for the restart frame and the test request, which the box does not answer.
    bool awaitReply = true;
    int allowanceMs = kReplyAllowanceMs;
    // Over USB: sent once more when no reply has come after kUsbResendMs.
    bool resendOnUsb = false;
};

// The reply to one request: valid until the operation sends again.
using Reply = FrameView;

class Exchange : public QObject {
    Q_OBJECT
public:
    explicit Exchange(Clock& clock, QObject* parent = nullptr);
    ~Exchange() override;

    // The link frames go to from now on; none: every waiting step fails with the reason.
    void attach(Transport* transport);
    void detach(const QString& reason);
    // Destroys every operation that waits here, and the ones awaiting those, without resuming
    // any: for the owner's destructor, while what the operations refer to still stands.
    void abandonAll();
    Transport* transport() const { return m_transport; }
    bool attached() const;

    class SendAwaiter;
    class DelayAwaiter;

    // Sends when the link is free; resumes with the reply once it has come and the pause passed.
    // Fails with NoReply, LinkLost or Cancelled.
    [[nodiscard]] SendAwaiter send(Request request, SendOptions options = {});
    // The same without waiting: the reply is taken off the link and dropped; a failure is
    // reported through stepFailed().
    void post(Request request, SendOptions options = {});
    // A fixed wait inside an operation; Tick for a pace that a test lets pass explicitly.
    [[nodiscard]] DelayAwaiter delay(int ms, DelayKind kind = DelayKind::Sleep);

    // Held by a running operation, including across its fixed waits: the status poll waits for
    // every hold to go.
    class Hold {
    public:
        Hold() = default;
        explicit Hold(Exchange* e);
        Hold(Hold&& o) noexcept;
        Hold& operator=(Hold&& o) noexcept;
        ~Hold();
        void release();

    private:
        Exchange* m_exchange = nullptr;
    };
    [[nodiscard]] Hold hold() { return Hold(this); }

    // Nothing queued, nothing on the wire, no operation holding the link.
    bool idle() const;
    bool holding() const { return m_holds > 0; }

    // Receive side, on the main thread: one whole reply frame, report id first over USB.
    void deliver(const std::uint8_t* bytes, std::size_t n, bool withReportId);

    FrameBuffer& requestBuffer() { return m_request; }
    FrameBuffer& replyBuffer() { return m_reply; }
    const FrameBuffer& lastRequest() const { return m_request; }

    // Replies that no request awaits (a box that talks out of turn, a late reply).
    std::function<void()> onUnsolicitedReply;
    // Called on every frame sent and every reply taken in, for the silence bookkeeping.
    std::function<void()> onFrameSent;
    std::function<void()> onReplyTaken;

signals:
    // A posted request failed (no reply, link lost).
    void stepFailed(const Failure& failure);
    // A memo line ("NO ACK RESEND", a reply that does not belong to its request).
    void memo(const QString& line);
    // A reply of `code` came while a request of `awaited` waited for its own.
    void replyOfAnotherCode(std::uint32_t code, std::uint32_t awaited);

private:
    struct Entry;
    friend class SendAwaiter;

    void enqueue(const std::shared_ptr<Entry>& e);
    void pump();
    void transmit(const std::shared_ptr<Entry>& e);
    void complete(const std::shared_ptr<Entry>& e, const Failure* failure);
    void replyTimedOut(const std::shared_ptr<Entry>& e);
    void resendTimedOut(const std::shared_ptr<Entry>& e);
    void cancel(const std::shared_ptr<Entry>& e);
    void pauseOver(const std::shared_ptr<Entry>& e);
    std::shared_ptr<Entry> takeFromWire(const std::shared_ptr<Entry>& e);

    Clock& m_clock;
    Transport* m_transport = nullptr;
    FrameBuffer m_request{};
    FrameBuffer m_reply{};
    std::deque<std::shared_ptr<Entry>> m_queue;
    // Requests on the wire in the order the box answers them.
    std::deque<std::shared_ptr<Entry>> m_onWire;
    // Closed from a send with a pause until that pause has passed: nothing else goes out.
    bool m_gateClosed = false;
    // The entry whose pause holds the gate: a posted one has nobody else keeping it alive once
    // its reply is in.
    std::shared_ptr<Entry> m_pausing;
    int m_holds = 0;
    bool m_pumping = false;
    // Operations suspended on a send or a delay of this exchange.
    std::vector<std::coroutine_handle<>> m_waiting;
    void noteWaiting(std::coroutine_handle<> h) { m_waiting.push_back(h); }
    void noteResumed(std::coroutine_handle<> h);
};

struct Exchange::Entry {
    Request request;
    SendOptions options;
    std::function<void(const Reply*, const Failure*)> done;
    std::unique_ptr<ClockTimer> deadline;
    std::unique_ptr<ClockTimer> resend;
    std::unique_ptr<ClockTimer> pause;
    bool replied = false;
    bool paused = false; // its pause has not passed yet
    bool finished = false;
    // Cancelled while on the wire: its reply is still taken off, and dropped.
    bool abandoned = false;
    bool resent = false;
    // A reply of another code came while this one waited.
    std::uint32_t wrongCode = 0;

    Entry(Request r, SendOptions o)
        : request(std::move(r))
        , options(o)
    {
    }
};

class Exchange::SendAwaiter {
public:
    SendAwaiter(Exchange& e, Request r, SendOptions o);
    bool await_ready() const noexcept { return false; }
    // False (go on at once, cancelled) when the operation was cancelled before this step.
    template <typename P> bool await_suspend(std::coroutine_handle<P> h)
    {
        return start(h, *h.promise().base);
    }
    Reply await_resume();

private:
    bool start(std::coroutine_handle<> h, detail::StateBase& owner);

    Exchange* m_exchange;
    std::shared_ptr<Entry> m_entry;
    std::optional<Failure> m_failure;
    bool m_starting = false;
    bool m_doneWhileStarting = false;
};

class Exchange::DelayAwaiter {
public:
    DelayAwaiter(Exchange& e, int ms, DelayKind kind)
        : m_exchange(&e)
        , m_ms(ms)
        , m_kind(kind)
    {
    }
    bool await_ready() const noexcept { return false; }
    template <typename P> bool await_suspend(std::coroutine_handle<P> h)
    {
        return start(h, *h.promise().base);
    }
    void await_resume() const;

private:
    bool start(std::coroutine_handle<> h, detail::StateBase& owner);

    Exchange* m_exchange;
    int m_ms;
    DelayKind m_kind;
    bool m_cancelled = false;
    std::unique_ptr<ClockTimer> m_timer;
};

} // namespace trivel
