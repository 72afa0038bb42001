#include "app/BuildInfo.h"

#include <QLocale>

namespace trivel {

QString BuildCaption(const QDate& buildDate)
{
    return QStringLiteral("%1.%2").arg(
        QString::fromLatin1(kMainCaption), buildDate.toString(QStringLiteral("yyMMdd")));
}

QDate BuildDate()
{
    // __DATE__ is "Mmm dd yyyy" with a blank instead of a leading zero in the day.
    const QString text = QString::fromLatin1(__DATE__).simplified();
    const QDate d = QLocale::c().toDate(text, QStringLiteral("MMM d yyyy"));
    return d.isValid() ? d : QDate(2000, 1, 1);
}

} // namespace trivel
