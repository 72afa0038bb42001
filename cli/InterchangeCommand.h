#pragma once
// trivelctl export / import: windows to and from .mpcdi files (and PFM warp grids), offline.

#include <QStringList>

namespace trivel {

// args: the command line without the program name. Returns -1 when the arguments are not one of
// these commands, else the exit code.
int RunInterchangeCommand(const QStringList& args);

} // namespace trivel
