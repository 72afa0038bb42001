#pragma once
// What the connect read-back filled, as JSON with the caches' own names, and as text lines.

#include <QJsonObject>
#include <QStringList>

namespace trivel {
class Session;
}

namespace trivel::cli {

// The Identify result: firmware, controller number, board kind, windows, frame sizes, features.
QJsonObject IdentifyReport(const Session& s, const QString& memoLine);
// Every cache of the read-back.
QJsonObject ReadbackReport(const Session& s, const QString& memoLine);
// The per-window caches alone (what a setting file also carries), with the same names.
QJsonObject CacheReport(const Session& s);
// "Key.Sub: value" lines, one per scalar or array of scalars.
QStringList ReportLines(const QJsonObject& report);

} // namespace trivel::cli
