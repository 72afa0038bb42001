#include "files/SettingFiles.h"

#include "box/Box.h"
#include "files/SettingTransfer.h"
#include "session/Operations.h"
#include "session/Session.h"

namespace trivel {

SettingFiles::SettingFiles(Box& box)
    : m_box(box)
{
}

Session& SettingFiles::session() const
{
    return m_box.session;
}

bool SettingFiles::busy() const
{
    return m_box.session.transfer.Running;
}

SettingFileOutcome SettingFiles::loadAndTransfer(const QString& path)
{
    Session& s = m_box.session;
    if (busy() || path.isEmpty())
        return {};
    const SettingFileOutcome o = LoadSettingFile(s, path);
    if (!o.ok) {
        s.ui.message(MsgIcon::Information, QString(), o.message, MsgButtons::Ok);
        return o;
    }
    m_transfer = TransferLoadedSettings(m_box, o.maskTransfer);
    Launch(s, m_transfer);
    return o;
}

Operation<void> SettingFiles::transfer(bool wholeBox)
{
    m_transfer = TransferSettings(m_box, wholeBox);
    Launch(m_box.session, m_transfer);
    return m_transfer;
}

} // namespace trivel
