#include "box/Watchdog.h"

#include "firmware/FirmwareOps.h"
#include "firmware/FirmwareUpdate.h"
#include "session/Controls.h"
#include "session/PendingOps.h"
#include "session/Session.h"
#include "box/StatusPoll.h"

namespace trivel {

bool ReplyWatchdogGuards(int op)
{
    return op != Op::Idle && op != Op::StatusPoll && op != Op::PollWindowSettings;
}

int ReplyAllowanceMs(int op)
{
    return Op::IsFirmwareFlashWait(op) ? kFirmwareFlashAllowanceMs : kReplyWatchdogMs;
}

// The timer always starts with the short interval (PendingOp may be set after the send); a step
// with a longer allowance gets the rest of it when that interval runs out.
void ArmWatchdog(Session& s, bool on)
{
    if (!s.ReplyWatchdog)
        return;
    if (s.ReplyWatchdog->interval() != kReplyWatchdogMs)
        s.ReplyWatchdog->setInterval(kReplyWatchdogMs);
    s.ReplyWatchdog->setEnabled(on);
}

void NoteFrameSent(Session& s)
{
    // The sender may set PendingOp only after the send, so any send arms the watchdog; the
    // timeout looks at PendingOp when it fires.
    ArmWatchdog(s, true);
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
    if (!ReplyWatchdogGuards(s.PendingOp)) {
        s.ReplyWatchdog->setEnabled(false);
        return;
    }
    const int allowance = ReplyAllowanceMs(s.PendingOp);
    if (s.ReplyWatchdog->interval() == kReplyWatchdogMs && allowance > kReplyWatchdogMs) {
        s.ReplyWatchdog->setInterval(allowance - kReplyWatchdogMs);
        s.ReplyWatchdog->setEnabled(true);
        return;
    }
    s.ReplyWatchdog->setEnabled(false);
    s.ReplyWatchdog->setInterval(kReplyWatchdogMs);
    qCWarning(lcSession) << "no reply for step" << s.PendingOp;
    if (Op::IsFirmwareOp(s.PendingOp)) {
        AbortFirmwareUpdate(s, FirmwareOutcome::NoReply, kFirmwareNoReply);
        return;
    }
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
