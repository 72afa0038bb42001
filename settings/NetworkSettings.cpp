#include "link/Session.h"
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
    s.ui.setChecked("RBDHCP", dhcp);
    s.ui.setChecked("RBSTATICIP", !dhcp);
    for (int i = 0; i < 3; ++i) {
        s.ui.setCaption(kNetworkEdits[i], n.addressText(i, dhcp));
        s.ui.setEnabled(kNetworkEdits[i], !dhcp);
    }
}

} // namespace trivel
