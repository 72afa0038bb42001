#include "session/Session.h"

#include "link/Transport.h"
#include "box/StatusPoll.h"
#include "session/Controls.h"
#include "session/Dispatch.h"
#include "box/Watchdog.h"

#include <algorithm>

namespace trivel {

Session::Session(Clock& c, UiPort& u)
    : clock(c)
    , ui(u)
{
    for (const PageInfo& p : kPages)
        PageEnabled[std::size_t(p.index)] = true;
    TmrStatus = clock.createTimer(2000);
    ReplyWatchdog = clock.createTimer(kReplyWatchdogMs);
    TmrStatus->onTimeout = [this] { StatusPollTick(*this); };
    ReplyWatchdog->onTimeout = [this] { ReplyWatchdogTimeout(*this); };
    TmrStatus->setEnabled(true);
    exchange.onComposedReply = [this] { DispatchResponse(*this); };
    exchange.onUnsolicitedReply = [this] { DispatchResponse(*this); };
    exchange.onReplyTaken = [this] { NoteReplyTaken(*this); };
    QObject::connect(&exchange, &Exchange::memo, &events, [this](const QString& line) { ui.appendMemo(line); });
}

void Session::setTransport(Transport* t, const QString& closedReason)
{
    transport = t;
    if (t)
        exchange.attach(t);
    else
        exchange.detach(closedReason);
}

Session::~Session()
{
    // Operations still waiting refer to this session: they go while all of it stands.
    exchange.abandonAll();
}

void Session::setFlag(std::uint32_t f, bool on)
{
    const bool was = connected();
    SessionFlags = on ? (SessionFlags | f) : (SessionFlags & ~f);
    if (connected() != was)
        emit events.connectedChanged(connected());
}

void Session::clearRequest(std::size_t bytes)
{
    std::fill_n(RequestBuffer.begin(), std::min(bytes, RequestBuffer.size()), std::uint8_t(0));
}

void SendFrame(Session& s)
{
    if (!s.connected() || !s.transport || !s.transport->isOpen())
        return;
    // TCP: 512 bytes from the request frame; USB: the declared output report from byte 0.
    s.exchange.sendComposed();
    NoteFrameSent(s);
    // The pause keeps dispatching replies: bursts rely on each reply being handled in it.
    // A negative delay ends at once, as "|elapsed| >= delay" does.
    if (s.PostSendDelay != 0)
        s.clock.pumpMs(std::max(s.PostSendDelay, 0));
}

void SetPageAvailable(Session& s, int page, bool on)
{
    const PageInfo* p = FindPage(page);
    if (!p)
        return;
    s.PageEnabled[std::size_t(page)] = on;
    s.ui.setEnabled(p->control, on);
    s.ui.setVisible(p->control, on);
}

void SetActivePage(Session& s, int page)
{
    if (!ValidPage(page))
        return;
    s.ActivePage = page;
    s.ui.setActivePage(page);
}

void SetProgress(Session& s, int position)
{
    s.ProgressPosition = position;
    s.ui.set(ctl::ProgressBar2, Prop::Position, position);
}

void SetProgressMaximum(Session& s, int maximum)
{
    s.ProgressMaximum = maximum;
    s.ui.set(ctl::ProgressBar2, Prop::Maximum, maximum);
}

} // namespace trivel
