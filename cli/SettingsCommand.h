#pragma once
// trivelctl's settings commands, on the settings table the pages use:
//   trivelctl [link] set [--window N] NAME=VALUE ...
//   trivelctl [link] get [--window N] [--json] [NAME ...]
//   trivelctl settings list [--json]

#include "cli/Bootstrap.h"

#include <QString>
#include <QStringList>

namespace trivel::cli {

// Runs the command when `args` (without the program name) is one of the settings commands and
// returns its exit code; -1 when it is not one of them.
int RunSettingsCommand(const QStringList& args, const BoxEnv& env);

// The value a page shows for a control position, and back (-1 .. for none that fits).
int ShownValue(const char* mnemonic, int position);

// Every row of the settings table: mnemonic, page, control, range, start value.
QString SettingsListText(bool json);

} // namespace trivel::cli
