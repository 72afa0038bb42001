#pragma once
// trivelctl preview: the output preview of one window, or of all, written as PNG files.

#include "cli/Bootstrap.h"

#include <QStringList>

namespace trivel {

// args: the command line without the program name. Returns -1 when the arguments are not this
// command, else the exit code.
int RunPreviewCommand(const QStringList& args, const cli::BoxEnv& env);

} // namespace trivel
