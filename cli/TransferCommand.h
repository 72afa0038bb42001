#pragma once
// trivelctl save / load: a setting file from a box and back into one, on the chains of the
// Save Setting and Load Setting buttons.

#include "cli/Bootstrap.h"

#include <QStringList>

namespace trivel {

// Whether the first word of args (options skipped) is "save" or "load".
bool IsTransferCommand(const QStringList& args);

// args: the arguments after the program name. Returns 0 done, 1 file refused or not written,
// 2 usage error, 3 link failure, 4 box rejected.
int RunTransferCommand(const QStringList& args, const cli::BoxEnv& env);

} // namespace trivel
