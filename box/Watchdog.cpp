#include "box/Watchdog.h"

#include "box/StatusPoll.h"
#include "session/Controls.h"
#include "session/Session.h"

namespace trivel {

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

void ReportSilentBox(Session& s)
{
    if (s.SilenceReported || !s.connected() || s.clock.tickMs() - s.LastReplyTick < kReplyWatchdogMs)
        return;
    s.SilenceReported = true;
    qCWarning(lcSession) << "no reply from the box for" << s.clock.tickMs() - s.LastReplyTick << "ms";
    s.ui.message(MsgIcon::Warning, QString(), QStringLiteral("No reply from the box."), MsgButtons::Ok);
}

} // namespace trivel
