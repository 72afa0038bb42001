#pragma once
// trivelctl's firmware commands: `firmware info FILE.BIN` (offline) and
// `[--tcp HOST[:PORT] | --usb] firmware FILE.BIN [--no-restart]` (a download on the page's chains).

#include "cli/Bootstrap.h"

#include <QStringList>

namespace trivel {

// Whether the arguments ask for a firmware command.
bool IsFirmwareCommand(const QStringList& args);
// args without the program name. Exit codes: 0 confirmed by the box, 2 usage or file refused,
// 3 link failure or lost link or no reply, 4 box rejected, 5 checksum mismatch or no board.
int RunFirmwareCommand(const QStringList& args, const cli::BoxEnv& env);

} // namespace trivel
