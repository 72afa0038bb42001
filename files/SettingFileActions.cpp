#include "files/SettingFileActions.h"

#include "files/SettingTransfer.h"
#include "session/Session.h"

namespace trivel {

void TntButton1Click(Session& s, const QString& path)
{
    if (s.PendingOp != 0 || path.isEmpty())
        return;
    const SettingFileOutcome o = SaveSettingFile(s, path);
    s.ui.message(MsgIcon::Information, QString(),
        o.ok ? QStringLiteral("File saved successfully.") : o.message, MsgButtons::Ok);
}

SettingFileOutcome TntButton2Click(Session& s, const QString& path)
{
    if (s.PendingOp != 0 || path.isEmpty())
        return {};
    const SettingFileOutcome o = LoadSettingFile(s, path);
    if (!o.ok)
        s.ui.message(MsgIcon::Information, QString(), o.message, MsgButtons::Ok);
    if (o.ok)
        ContinueSettingTransfer(s, o.maskTransfer);
    return o;
}

} // namespace trivel
