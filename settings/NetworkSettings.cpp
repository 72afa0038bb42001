#include "protocol/SettingFrames.h"
#include "session/Operations.h"
#include "session/Session.h"
#include "settings/Controls.h"
#include "settings/SettingsState.h"
#include "settings/SystemLogic.h"

namespace trivel {

QString NetworkRecord::addressText(int which, bool inUse) const
{
    const std::size_t at = (inUse ? 1 : 13) + 4 * std::size_t(which % 3);
    return QString::asprintf("%d.%d.%d.%d.", bytes[at], bytes[at + 1], bytes[at + 2], bytes[at + 3]);
}

void ShowNetworkSettings(Session& s, const FrameView& reply)
{
    NetworkRecord& n = s.settings().Network;
    proto::NetworkReplyView{reply}.copyRecord(n.bytes);
    const bool dhcp = n.dhcp();
    s.ui.setChecked(ctl::RBDHCP, dhcp);
    s.ui.setChecked(ctl::RBSTATICIP, !dhcp);
    for (std::size_t i = 0; i < ctl::NetworkEdits.size(); ++i) {
        s.ui.setCaption(ctl::NetworkEdits[i], n.addressText(int(i), dhcp));
        s.ui.setEnabled(ctl::NetworkEdits[i], !dhcp);
    }
}

void NetworkChoiceClick(Session& s, bool dhcp)
{
    for (const Control& e : ctl::NetworkEdits)
        s.ui.setEnabled(e, !dhcp);
}

namespace {

// The frame goes out; over TCP the box may now answer on another address, so the link closes.
Operation<void> UpdateNetwork(Session& s, Request request)
{
    if (!s.connected() || !s.exchange.attached())
        co_return;
    s.exchange.post(std::move(request));
    if (s.TcpSelected && s.connected()) {
        co_await s.exchange.delay(200);
        emit s.events.disconnectRequested();
    }
}

} // namespace

bool Button15Click(Session& s, bool dhcp, const std::array<QString, 3>& texts)
{
    std::array<std::uint8_t, 12> octets{};
    if (!dhcp) {
        for (std::size_t i = 0; i < texts.size(); ++i) {
            const QStringList parts = texts[i].left(19).split(QLatin1Char('.'));
            for (int k = 0; k < 4; ++k) {
                const QString part = k < parts.size() ? parts[k] : QString();
                bool ok = false;
                const int v = part.trimmed().toInt(&ok);
                if (!ok) {
                    s.ui.message(MsgIcon::Error, QString(),
                        QStringLiteral("'%1' is not a valid integer value").arg(part), MsgButtons::Ok);
                    return false;
                }
                octets[4 * i + std::size_t(k)] = std::uint8_t(v);
            }
        }
    }
    Launch(s, UpdateNetwork(s, proto::NetworkWrite(dhcp, octets)));
    return true;
}

} // namespace trivel
