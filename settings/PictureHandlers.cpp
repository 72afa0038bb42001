#include "settings/PictureHandlers.h"

#include "session/Session.h"
#include "settings/BoundedIndex.h"
#include "settings/Controls.h"
#include "settings/SettingsState.h"

namespace trivel {

int CheckedIndex(Session& s, const char* field, int value, int count)
{
    return BoundedIndex(s, field, value, count);
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
    const std::size_t w = std::size_t(s.CurrentWindow & 3);
    if (s.flag(Flag::PipCapable))
        return s.settings().PipSettings[w].bytes[PipRecord::PIO] == 0;
    return (s.settings().WindowSettings.WindowCaps[w] & 0x80) == 0;
}

} // namespace trivel
