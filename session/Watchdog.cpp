#include "session/Watchdog.h"

#include "session/Controls.h"
#include "session/PendingOps.h"
#include "session/Session.h"
#include "session/StatusPoll.h"

namespace trivel {

bool ReplyWatchdogGuards(int op)
{
    return op != Op::Idle && op != Op::StatusPoll && op != Op::PollWindowSettings;
}

void NoteFrameSent(Session& s)
{
    // The sender may set PendingOp only after the send, so any send arms the watchdog; the
    // timeout looks at PendingOp when it fires.
    if (s.ReplyWatchdog)
        s.ReplyWatchdog->setEnabled(true);
}

namespace {

void ClearSilence(Session& s)
{
    s.UnansweredPolls = 0;
    s.SilenceReported = false;
    s.LastReplyTick = s.clock.tickMs();
}

} // namespace

void NoteLinkOpened(Session& s)
{
    ClearSilence(s);
}

void NoteReplyDispatched(Session& s)
{
    if (s.UnansweredPolls >= kSilentPolls)
        s.ui.appendMemo(QStringLiteral("BOX ANSWERING AGAIN"));
    ClearSilence(s);
    if (s.ReplyWatchdog)
        s.ReplyWatchdog->setEnabled(ReplyWatchdogGuards(s.PendingOp));
}

void ReplyWatchdogTimeout(Session& s)
{
    if (!ReplyWatchdogGuards(s.PendingOp)) {
        s.ReplyWatchdog->setEnabled(false);
        return;
    }
    // A reset paces itself with Timer2 for up to half a minute before its next request.
    if (s.Timer2 && s.Timer2->isEnabled())
        return;
    s.ReplyWatchdog->setEnabled(false);
    qCWarning(lcSession) << "no reply for step" << s.PendingOp;
    s.PendingOp = Op::Idle;
    s.ui.set(ctl::UpdateStep, Prop::Top, 680);
    s.ui.closeWaitWindow();
    if (s.connected()) {
        s.SilenceReported = true;
        s.ui.message(MsgIcon::Warning, QString(), QStringLiteral("No reply from the box."), MsgButtons::Ok);
    }
}

void ReportSilentBox(Session& s)
{
    if (s.SilenceReported || !s.connected() || s.clock.tickMs() - s.LastReplyTick < kReplyWatchdogMs)
        return;
    s.SilenceReported = true;
    qCWarning(lcSession) << "no reply from the box for" << s.clock.tickMs() - s.LastReplyTick << "ms";
    s.ui.message(MsgIcon::Warning, QString(), QStringLiteral("No reply from the box."), MsgButtons::Ok);
}

} // namespace trivel
