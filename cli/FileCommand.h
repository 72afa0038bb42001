#pragma once
// trivelctl file: setting files read without a box (dump, diff, check).

#include <QStringList>
#include <QTextStream>

namespace trivel {

// args: everything after "file". Returns 0 on success (diff: the files are the same), 1 when
// the files differ or a file is refused, 2 for a usage error; messages go to err.
int RunFileCommand(const QStringList& args, QTextStream& out, QTextStream& err);

} // namespace trivel
