#pragma once
// trivelctl export / import: windows to and from .mpcdi files (and PFM warp grids), from a setting
// file or a box, and into a box.

#include "cli/Bootstrap.h"

#include <QStringList>

namespace trivel {

// args: the command line without the program name, link options included. Returns -1 when the
// arguments are not one of these commands, else the exit code.
int RunInterchangeCommand(const QStringList& args, const cli::BoxEnv& env);

} // namespace trivel
