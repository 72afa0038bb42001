#pragma once
// trivelctl warp table: one window's source lookup tables from a JSON description of its grid.

#include <QStringList>
#include <QTextStream>

namespace trivel {

// args: everything after "warp table". Returns 0 on success, 2 for a usage error, 1 for any
// other failure; messages go to err.
int RunWarpTableCommand(const QStringList& args, QTextStream& out, QTextStream& err);

} // namespace trivel
