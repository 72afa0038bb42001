#include "settings/BoundedIndex.h"

#include "session/Session.h"
#include "settings/SettingsState.h"

namespace trivel {

Q_LOGGING_CATEGORY(lcSettings, "trivel.settings")

int BoundedIndex(Session& s, const char* what, int value, int count)
{
    if (value >= 0 && value < count)
        return value;
    // Every refresh meets the same value again: one line is enough.
    const QString key = QStringLiteral("%1=%2").arg(QLatin1String(what)).arg(value);
    if (!s.settings().ReportedBadValues.contains(key)) {
        s.settings().ReportedBadValues.insert(key);
        qCWarning(lcSettings, "box value outside its table: %s (0..%d)", qPrintable(key), count - 1);
    }
    return -1;
}

} // namespace trivel
