#include "settings/PictureHandlers.h"

#include "settings/BoundedIndex.h"
#include "session/PendingOps.h"
#include "session/Session.h"
#include "settings/Controls.h"
#include "settings/SettingBinding.h"
#include "settings/SettingsState.h"

namespace trivel {

namespace {

std::size_t Cw(const Session& s)
{
    return std::size_t(s.CurrentWindow & 3);
}

void SendRow(Session& s, const char* mnemonic, int value)
{
    if (const SettingBinding* b = FindBinding(mnemonic))
        SendSetting(s, b->tpl, SentValue(*b, value));
}

} // namespace

int CheckedIndex(Session& s, const char* field, int value, int count)
{
    return BoundedIndex(s, field, value, count);
}

void CBColorChange(Session& s, int item)
{
    const bool custom = item == 3;
    for (const Control& c : {ctl::SBRGN, ctl::SBGGN, ctl::SBBGN})
        s.ui.setEnabled(c, custom);
    // The gains keep their positions when a preset is chosen.
    s.settings.WindowSettings.CLR[Cw(s)] = std::uint8_t(item);
    SendRow(s, "CLR", item);
}

void BtnOpmClick(Session& s, int tag)
{
    SendRow(s, "OPM", tag);
    s.settings.WindowSettings.OPM[Cw(s)] = std::uint8_t(tag);
}

void BtnInpClick(Session& s, int tag)
{
    SendRow(s, "INP", tag);
    WindowSettingsRecord& ws = s.settings.WindowSettings;
    const std::size_t w = Cw(s);
    if (s.flag(Flag::PipCapable)) {
        // The box's INP comes back with the next status poll.
        if (tag == 0 || tag == 1)
            s.settings.PipSettings[w].bytes[PipRecord::PIT] = std::uint8_t(tag);
        return;
    }
    ws.INP[w] = std::uint8_t(tag);
    // The two HDMI inputs are shared with the partner window when it uses one of them too.
    const std::size_t partner = w ^ 1;
    if ((tag == 0 || tag == 1) && ws.INP[partner] <= 1)
        ws.INP[partner] = std::uint8_t(tag);
}

void RBOriClick(Session& s, int tag)
{
    s.settings.WindowSettings.ORI[Cw(s)] = std::uint8_t(tag);
    if (s.flag(Flag::Refreshing))
        return;
    SendRow(s, "ORI", tag);
}

void CBDeepColorClick(Session& s, bool checked)
{
    if (s.PendingOp != Op::Idle)
        return;
    const std::uint8_t v = checked ? 1 : 0;
    s.settings.DCM[Cw(s)] = v;
    if (s.flag(Flag::PairedOutputs))
        s.settings.DCM[Cw(s) ^ 1] = v;
    if (s.flag(Flag::Refreshing))
        return;
    SendRow(s, "DCM", v);
}

void RGHDCPOutputClick(Session& s, int item)
{
    if (s.PendingOp != Op::Idle || s.flag(Flag::Refreshing) || item < 0)
        return;
    SendRow(s, "HDO", item);
    s.settings.HDO[Cw(s)] = std::uint8_t(item);
    if (s.flag(Flag::PairedOutputs))
        s.settings.HDO[Cw(s) ^ 1] = std::uint8_t(item);
}

std::optional<int> OverscanEntry(Session& s, const QString& text)
{
    bool ok = false;
    const int v = text.toInt(&ok);
    if (!ok || v > 1800 || v < -1800) {
        s.ui.message(MsgIcon::None, QString(), QString::fromLatin1(kOverscanMessage), MsgButtons::Ok);
        return std::nullopt;
    }
    return v;
}

std::array<QString, 4> InputNames(const Session& s)
{
    const int w = s.CurrentWindow & 3;
    // Without per-window inputs windows 2p and 2p+1 share one set.
    const int n = s.flag(Flag::PipCapable) ? w : w / 2;
    return {QStringLiteral("HDMI %1").arg(2 * n + 1), QStringLiteral("HDMI %1").arg(2 * n + 2),
        QStringLiteral("DP %1").arg(n + 1), QStringLiteral("VGA %1").arg(n + 1)};
}

bool RotationsAvailable(const Session& s)
{
    const std::size_t w = Cw(s);
    if (s.flag(Flag::PipCapable))
        return s.settings.PipSettings[w].bytes[PipRecord::PIO] == 0;
    return (s.settings.WindowSettings.WindowCaps[w] & 0x80) == 0;
}

} // namespace trivel
