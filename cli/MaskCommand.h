#pragma once
// trivelctl mask: offline conversion of BMP files into mask streams and of streams into PNGs.

#include <QStringList>
#include <QTextStream>

namespace trivel {

// args: everything after "mask". Returns 0 on success, 2 for a usage error, 1 for any other
// failure; messages go to err.
int RunMaskCommand(const QStringList& args, QTextStream& out, QTextStream& err);

} // namespace trivel
