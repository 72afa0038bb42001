#pragma once
// trivelctl warp mode / nudge / reset / save-map / load-map / push: the warp subsystem's
// operations on a connected box.

#include "cli/Bootstrap.h"

#include <QStringList>

namespace trivel {

// args: the command line without the program name. Returns -1 when the arguments are not one of
// these commands, else the exit code.
int RunWarpBoxCommand(const QStringList& args, const cli::BoxEnv& env);

} // namespace trivel
