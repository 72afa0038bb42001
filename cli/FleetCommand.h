#pragma once
// trivelctl backup / restore: every box of a venue at once, each in a trivelctl save or load of
// its own, at most eight at a time.

#include <QString>
#include <QStringList>

class QDir;

namespace trivel {

// Whether the first word of args is "backup" or "restore".
bool IsFleetCommand(const QStringList& args);

// args: the arguments after the program name. Returns 0 when every box succeeded, 1 when any
// failed, 2 for a usage error.
int RunFleetCommand(const QStringList& args);

// The hosts of a hosts file, in its order: one HOST[:PORT] a line; blank lines and text after '#'
// are skipped. A box named again ("10.0.0.1" and "10.0.0.1:7" are one box) is kept once, at its
// first line, and each repeat gives a warning naming both lines.
struct HostsList {
    QStringList hosts;
    QStringList warnings;
};
HostsList ReadHostsFile(const QString& text);
QStringList ParseHostsFile(const QString& text);

// File name stem of a box's backups: the address with ':' as '_' ("10.0.0.5_7001").
QString BackupStem(const QString& host);
// The newest file of `host` that a backup wrote into dir; empty when there is none.
QString LatestBackup(const QDir& dir, const QString& host);

} // namespace trivel
