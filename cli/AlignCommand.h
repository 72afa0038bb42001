#pragma once
// trivelctl align: camera alignment of the box's windows (patterns, photos, the solve, the undo
// file, the send and the verification), with its report folder.

#include "cli/Bootstrap.h"

#include <QStringList>

namespace trivel {

// The command asks for its patterns on a screen of the PC: main() then makes a QApplication.
bool AlignWantsScreen(const QStringList& args);

int RunAlignCommand(const QStringList& args, const cli::BoxEnv& env);

} // namespace trivel
