#pragma once
// The main window caption carries the build date.

#include <QDate>
#include <QString>

namespace trivel {

inline constexpr const char* kMainCaption = "TRIVEL 3  V2.1";

// "TRIVEL 3  V2.1.YYMMDD" for the given build date.
QString BuildCaption(const QDate& buildDate);
// The date this program was compiled on.
QDate BuildDate();

} // namespace trivel
