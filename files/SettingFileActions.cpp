#include "files/SettingFileActions.h"

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
    // The transfer of a loaded file to a connected box starts here.
    return o;
}

} // namespace trivel
