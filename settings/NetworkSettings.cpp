#include "session/Session.h"
#include "settings/Controls.h"
#include "settings/SettingsState.h"

namespace trivel {

QString NetworkRecord::addressText(int which, bool inUse) const
{
    const std::size_t at = (inUse ? 1 : 13) + 4 * std::size_t(which % 3);
    return QString::asprintf("%d.%d.%d.%d.", bytes[at], bytes[at + 1], bytes[at + 2], bytes[at + 3]);
}

void ShowNetworkSettings(Session& s, const FrameView& reply)
{
    NetworkRecord& n = s.settings.Network;
    reply.copyOut(NetworkRecord::kReplyOffset, n.bytes.data(), NetworkRecord::kSize);
    const bool dhcp = n.dhcp();
    s.ui.setChecked(ctl::RBDHCP, dhcp);
    s.ui.setChecked(ctl::RBSTATICIP, !dhcp);
    for (std::size_t i = 0; i < ctl::NetworkEdits.size(); ++i) {
        s.ui.setCaption(ctl::NetworkEdits[i], n.addressText(int(i), dhcp));
        s.ui.setEnabled(ctl::NetworkEdits[i], !dhcp);
    }
}

} // namespace trivel
