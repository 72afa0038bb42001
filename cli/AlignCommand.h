#pragma once
// trivelctl align: camera alignment of the box's windows (patterns, photos, the solve, the undo
// file, the send and the verification), with its report folder.

#include "cli/Bootstrap.h"

#include <QStringList>

namespace trivel {

int RunAlignCommand(const QStringList& args, const cli::BoxEnv& env);

} // namespace trivel
