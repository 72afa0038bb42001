#include "session/Operations.h"

#include "session/Controls.h"
#include "session/Session.h"

namespace trivel {

void ReportFailure(Session& s, const Operation<void>& op)
{
    op.onFinished([&s, op] {
        if (op.failure())
            ReportFailure(s, *op.failure());
    });
}

void ReportFailure(Session& s, const Failure& f)
{
    if (f.shown || f.kind == Failure::Kind::Cancelled || f.kind == Failure::Kind::LinkLost)
        return;
    qCWarning(lcSession) << "operation failed:" << f.reason;
    s.ui.set(ctl::UpdateStep, Prop::Top, 680);
    s.ui.closeWaitWindow();
    if (!s.connected())
        return;
    if (f.kind == Failure::Kind::NoReply) {
        // Said once until the box answers again.
        if (s.SilenceReported)
            return;
        s.SilenceReported = true;
        s.ui.message(MsgIcon::Warning, QString(), QStringLiteral("No reply from the box."), MsgButtons::Ok);
        return;
    }
    s.ui.message(MsgIcon::Warning, QString(), f.reason, MsgButtons::Ok);
}

} // namespace trivel
