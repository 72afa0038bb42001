#include "session/Session.h"

#include "box/StatusPoll.h"
#include "box/Watchdog.h"
#include "link/Transport.h"
#include "session/Controls.h"

#include <algorithm>

namespace trivel {

Session::Session(Clock& c, UiPort& u)
    : clock(c)
    , ui(u)
{
    for (const PageInfo& p : kPages)
        PageEnabled[std::size_t(p.index)] = true;
    TmrStatus = clock.createTimer(2000);
    TmrStatus->onTimeout = [this] { StatusPollTick(*this); };
    TmrStatus->setEnabled(true);
    // A reply nobody awaits (a late one, a box talking out of turn) is dropped without a word.
    exchange.onUnsolicitedReply = [this] { reply().setCode(0); };
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
