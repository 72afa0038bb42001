#pragma once
// trivelctl file: setting files read without a box (dump, diff, check).

#include <QStringList>
#include <QTextStream>

namespace trivel {

class Session;

// args: everything after "file". Returns 0 on success (diff: the files are the same), 1 when
// the files differ or a file is refused, 2 for a usage error; messages go to err.
// Loads a setting file into s as an offline tool sees it: no box, and the mask feature when the
// file carries masks. On failure says why on err and leaves s's caches unchanged.
bool LoadSettingFileOffline(Session& s, const QString& path, QTextStream& err);

int RunFileCommand(const QStringList& args, QTextStream& out, QTextStream& err);

} // namespace trivel
