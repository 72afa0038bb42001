#include "files/SettingFileActions.h"

#include "session/Session.h"

#include <QFileInfo>

namespace trivel {

void TntButton1Click(Session& s, const QString& path, bool wholeBoxChosen)
{
    if (s.transfer.Running || path.isEmpty())
        return;
    const SaveTarget target = ResolveSaveName(path, wholeBoxChosen);
    const QString name = QFileInfo(target.path).fileName();
    // The dialog asked about the name it was given, not about the one with the extension added.
    if (target.path != path && QFileInfo::exists(target.path)
        && s.ui.message(MsgIcon::Question, QString(),
               QStringLiteral("%1 already exists.\nDo you want to replace it?").arg(name),
               MsgButtons::OkCancel)
            != MsgResult::Ok)
        return;
    const SettingFileOutcome o = SaveSettingFile(s, target.path, target.wholeBox);
    s.ui.message(MsgIcon::Information, QString(),
        o.ok ? QStringLiteral("File saved successfully.\n\n%1: %2.").arg(name, o.contents) : o.message,
        MsgButtons::Ok);
}

} // namespace trivel
