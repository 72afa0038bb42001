#include "link/Exchange.h"

#include "link/Log.h"
#include "link/Transport.h"

#include <QString>

#include <algorithm>
#include <cstring>

namespace trivel {

namespace {

QString Hex(std::uint32_t code)
{
    return QStringLiteral("%1").arg(code, 4, 16, QLatin1Char('0'));
}

} // namespace

Exchange::Exchange(Clock& clock, QObject* parent)
    : QObject(parent)
    , m_clock(clock)
{
}

Exchange::~Exchange()
{
    abandonAll();
}

void Exchange::abandonAll()
{
    // Nobody may be resumed from a destructor: drop the waiters without calling them.
    for (auto& e : m_queue)
        e->done = nullptr;
    for (auto& e : m_onWire)
        e->done = nullptr;
    m_queue.clear();
    m_onWire.clear();
    m_gateClosed = false;
    m_pausing.reset();
    // A waiting frame is never another's continuation, so destroying one cannot reach the next.
    for (auto h : std::exchange(m_waiting, {}))
        h.destroy();
}

void Exchange::noteResumed(std::coroutine_handle<> h)
{
    const auto it = std::find(m_waiting.begin(), m_waiting.end(), h);
    if (it != m_waiting.end())
        m_waiting.erase(it);
}

void Exchange::attach(Transport* transport)
{
    m_transport = transport;
    pump();
}

bool Exchange::attached() const
{
    return m_transport && m_transport->isOpen();
}

void Exchange::detach(const QString& reason)
{
    m_transport = nullptr;
    m_gateClosed = false;
    m_pausing.reset();
    const Failure lost{Failure::Kind::LinkLost, reason};
    // Copies: completing a step may start another, which must find the link gone.
    auto wire = std::exchange(m_onWire, {});
    auto queue = std::exchange(m_queue, {});
    for (auto& e : wire)
        complete(e, &lost);
    for (auto& e : queue)
        complete(e, &lost);
}

Exchange::SendAwaiter Exchange::send(Request request, SendOptions options)
{
    return SendAwaiter(*this, std::move(request), options);
}

void Exchange::post(Request request, SendOptions options)
{
    auto e = std::make_shared<Entry>(std::move(request), options);
    e->done = [this](const Reply*, const Failure* f) {
        if (f && f->kind != Failure::Kind::Cancelled)
            emit stepFailed(*f);
    };
    enqueue(e);
}

Exchange::DelayAwaiter Exchange::delay(int ms, DelayKind kind)
{
    return DelayAwaiter(*this, ms, kind);
}

bool Exchange::idle() const
{
    return m_queue.empty() && m_onWire.empty() && m_holds == 0;
}

void Exchange::enqueue(const std::shared_ptr<Entry>& e)
{
    if (!attached()) {
        const Failure lost{Failure::Kind::LinkLost, QStringLiteral("not connected")};
        complete(e, &lost);
        return;
    }
    m_queue.push_back(e);
    pump();
}

void Exchange::pump()
{
    // A completion may enqueue again; this loop takes that up without recursing.
    if (m_pumping)
        return;
    m_pumping = true;
    while (!m_queue.empty() && m_onWire.empty() && !m_gateClosed && attached()) {
        auto e = m_queue.front();
        m_queue.pop_front();
        transmit(e);
    }
    m_pumping = false;
}

void Exchange::transmit(const std::shared_ptr<Entry>& e)
{
    e->request.applyTo(m_request);
    // Everything about the entry is in place before the frame goes: a link may hand the reply
    // over from inside sendFrame.
    std::weak_ptr<Entry> weak = e;
    if (e->options.pauseMs > 0) {
        e->paused = true;
        m_gateClosed = true;
        m_pausing = e;
        e->pause = m_clock.singleShot(e->options.pauseMs, DelayKind::Pause, [this, weak] {
            if (auto p = weak.lock())
                pauseOver(p);
        });
    }
    if (e->options.awaitReply) {
        m_onWire.push_back(e);
        e->deadline = m_clock.singleShot(e->options.allowanceMs, DelayKind::Deadline, [this, weak] {
            if (auto p = weak.lock())
                replyTimedOut(p);
        });
        if (e->options.resendOnUsb && m_transport->isUsb())
            e->resend = m_clock.singleShot(kUsbResendMs, DelayKind::Deadline, [this, weak] {
                if (auto p = weak.lock())
                    resendTimedOut(p);
            });
    }
    m_transport->sendFrame(m_request);
    if (onFrameSent)
        onFrameSent();
    if (!e->options.awaitReply && !e->paused)
        complete(e, nullptr);
}

void Exchange::pauseOver(const std::shared_ptr<Entry>& e)
{
    e->paused = false;
    m_gateClosed = false;
    m_pausing.reset();
    if (!e->finished && (e->replied || !e->options.awaitReply))
        complete(e, nullptr);
    pump();
}

std::shared_ptr<Exchange::Entry> Exchange::takeFromWire(const std::shared_ptr<Entry>& e)
{
    const auto it = std::find(m_onWire.begin(), m_onWire.end(), e);
    if (it == m_onWire.end())
        return nullptr;
    m_onWire.erase(it);
    e->deadline.reset();
    e->resend.reset();
    return e;
}

void Exchange::deliver(const std::uint8_t* bytes, std::size_t n, bool withReportId)
{
    if (withReportId) {
        const std::size_t k = std::min(n, m_reply.size());
        if (k > 0)
            std::memcpy(m_reply.data(), bytes, k);
    } else {
        const std::size_t k = std::min(n, m_reply.size() - 1);
        if (k > 0)
            std::memcpy(m_reply.data() + 1, bytes, k);
    }
    if (onReplyTaken)
        onReplyTaken();
    const FrameView reply = FrameView::ofBuffer(m_reply);
    if (m_onWire.empty()) {
        if (onUnsolicitedReply)
            onUnsolicitedReply();
        else
            emit memo(QStringLiteral("REPLY %1 OUT OF TURN").arg(Hex(reply.code())));
        pump();
        return;
    }
    const std::shared_ptr<Entry> e = m_onWire.front();
    if (reply.code() != e->request.code()) {
        // Not the answer to this request: a late one, or a box answering out of turn. The
        // request keeps waiting for its own reply until its allowance runs out.
        // Said once per request: a box that floods the link must not flood the memo too.
        if (e->wrongCode == 0) {
            emit memo(QStringLiteral("REPLY %1 TO %2").arg(Hex(reply.code()), Hex(e->request.code())));
            emit replyOfAnotherCode(reply.code(), e->request.code());
        }
        e->wrongCode = reply.code() != 0 ? reply.code() : 0xFFFFFFFFu;
        return;
    }
    takeFromWire(e);
    e->replied = true;
    if (e->abandoned) {
        e->finished = true;
        pump();
        return;
    }
    if (!e->paused)
        complete(e, nullptr);
    pump();
}

void Exchange::complete(const std::shared_ptr<Entry>& e, const Failure* failure)
{
    if (e->finished && !failure)
        return;
    const bool first = !e->finished;
    e->finished = true;
    e->deadline.reset();
    e->resend.reset();
    if (failure) {
        if (e->paused) {
            e->pause.reset();
            e->paused = false;
            m_gateClosed = false;
            m_pausing.reset();
        }
    }
    if (!first)
        return;
    if (auto done = std::exchange(e->done, nullptr)) {
        if (failure) {
            done(nullptr, failure);
        } else {
            const Reply reply = FrameView::ofBuffer(m_reply);
            done(e->options.awaitReply ? &reply : nullptr, nullptr);
        }
    }
}

void Exchange::replyTimedOut(const std::shared_ptr<Entry>& e)
{
    if (!takeFromWire(e))
        return;
    qCWarning(lcLink) << "no reply to" << Hex(e->request.code());
    if (e->abandoned || e->finished)
        return;
    const Failure f = e->wrongCode != 0
        ? Failure{Failure::Kind::BoxFault,
              QStringLiteral("The box answered request %1 with another code (%2).")
                  .arg(Hex(e->request.code()), Hex(e->wrongCode == 0xFFFFFFFFu ? 0 : e->wrongCode))}
        : Failure{Failure::Kind::NoReply, QStringLiteral("No reply from the box.")};
    complete(e, &f);
    pump();
}

void Exchange::resendTimedOut(const std::shared_ptr<Entry>& e)
{
    e->resend.reset();
    if (e->resent || e->replied || !attached())
        return;
    e->resent = true;
    emit memo(QStringLiteral("NO ACK RESEND"));
    e->request.applyTo(m_request);
    m_transport->sendFrame(m_request);
}

void Exchange::cancel(const std::shared_ptr<Entry>& e)
{
    const Failure cancelled{Failure::Kind::Cancelled, QStringLiteral("cancelled")};
    const auto queued = std::find(m_queue.begin(), m_queue.end(), e);
    if (queued != m_queue.end()) {
        m_queue.erase(queued);
        complete(e, &cancelled);
        return;
    }
    // On the wire: its reply still comes and is dropped; the deadline frees the link if not.
    e->abandoned = true;
    complete(e, &cancelled);
}

// ---- holds and awaiters ----

Exchange::Hold::Hold(Exchange* e)
    : m_exchange(e)
{
    ++m_exchange->m_holds;
}

Exchange::Hold::Hold(Hold&& o) noexcept
    : m_exchange(std::exchange(o.m_exchange, nullptr))
{
}

Exchange::Hold& Exchange::Hold::operator=(Hold&& o) noexcept
{
    if (this != &o) {
        release();
        m_exchange = std::exchange(o.m_exchange, nullptr);
    }
    return *this;
}

Exchange::Hold::~Hold()
{
    release();
}

void Exchange::Hold::release()
{
    if (Exchange* e = std::exchange(m_exchange, nullptr))
        --e->m_holds;
}

Exchange::SendAwaiter::SendAwaiter(Exchange& e, Request r, SendOptions o)
    : m_exchange(&e)
    , m_entry(std::make_shared<Entry>(std::move(r), o))
{
}

bool Exchange::SendAwaiter::start(std::coroutine_handle<> h, detail::StateBase& owner)
{
    if (owner.cancelRequested) {
        m_failure = Failure{Failure::Kind::Cancelled, QStringLiteral("cancelled")};
        return false;
    }
    Exchange* ex = m_exchange;
    std::weak_ptr<Entry> weak = m_entry;
    detail::StateBase* ownerPtr = &owner;
    owner.cancelAwaited = [ex, weak] {
        if (auto e = weak.lock())
            ex->cancel(e);
    };
    m_entry->done = [this, h, ownerPtr](const Reply*, const Failure* f) {
        ownerPtr->cancelAwaited = nullptr;
        if (f)
            m_failure = *f;
        // Completed while still being started (no link, nothing to wait for): go on without
        // a resume, the caller of start() returns false.
        if (m_starting) {
            m_doneWhileStarting = true;
        } else {
            m_exchange->noteResumed(h);
            h.resume();
        }
    };
    m_starting = true;
    ex->enqueue(m_entry);
    m_starting = false;
    if (m_doneWhileStarting)
        return false;
    ex->noteWaiting(h);
    return true;
}

Reply Exchange::SendAwaiter::await_resume()
{
    if (m_failure)
        throw OperationFailure(*m_failure);
    return FrameView::ofBuffer(m_exchange->m_reply);
}

bool Exchange::DelayAwaiter::start(std::coroutine_handle<> h, detail::StateBase& owner)
{
    if (owner.cancelRequested) {
        m_cancelled = true;
        return false;
    }
    detail::StateBase* ownerPtr = &owner;
    owner.cancelAwaited = [this, h, ownerPtr] {
        ownerPtr->cancelAwaited = nullptr;
        m_cancelled = true;
        m_timer.reset();
        m_exchange->noteResumed(h);
        h.resume();
    };
    m_timer = m_exchange->m_clock.singleShot(m_ms, m_kind, [this, h, ownerPtr] {
        ownerPtr->cancelAwaited = nullptr;
        m_exchange->noteResumed(h);
        h.resume();
    });
    m_exchange->noteWaiting(h);
    return true;
}

void Exchange::DelayAwaiter::await_resume() const
{
    if (m_cancelled)
        Fail(Failure::Kind::Cancelled, QStringLiteral("cancelled"));
}

} // namespace trivel
