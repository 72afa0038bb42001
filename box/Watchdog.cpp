#include "box/Watchdog.h"

#include "box/StatusPoll.h"
#include "session/Controls.h"
#include "session/PendingOps.h"
#include "session/Session.h"

namespace trivel {

bool ReplyWatchdogGuards(int op)
{
    return op != Op::Idle && op != Op::StatusPoll && op != Op::PollWindowSettings;
}

namespace {

void ArmWatchdog(Session& s, bool on)
{
    if (s.ReplyWatchdog)
        s.ReplyWatchdog->setEnabled(on);
}

void ClearSilence(Session& s)
{
    s.UnansweredPolls = 0;
    s.SilenceReported = false;
    s.LastReplyTick = s.clock.tickMs();
}

} // namespace

void NoteFrameSent(Session& s)
{
    // The sender may set PendingOp only after the send, so any send arms the watchdog; the
    // timeout looks at PendingOp when it fires.
    ArmWatchdog(s, true);
}

void NoteLinkOpened(Session& s)
{
    ClearSilence(s);
}

void NoteReplyTaken(Session& s)
{
    if (s.UnansweredPolls >= kSilentPolls)
        s.ui.appendMemo(QStringLiteral("BOX ANSWERING AGAIN"));
    ClearSilence(s);
}

void NoteReplyDispatched(Session& s)
{
    ArmWatchdog(s, ReplyWatchdogGuards(s.PendingOp));
}

void ReplyWatchdogTimeout(Session& s)
{
    s.ReplyWatchdog->setEnabled(false);
    if (!ReplyWatchdogGuards(s.PendingOp))
        return;
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
