#pragma once
// trivelctl's register commands on the chip register page's chains:
// `reg read [--window N] [--bank B] [--json]` and `reg write [--window N] ADDR VALUE`.

#include "cli/Bootstrap.h"

#include <QStringList>

namespace trivel {

bool IsRegisterCommand(const QStringList& args);
// args without the program name. Exit codes: 0 done, 2 usage, 3 link failure or no reply,
// 4 box rejected.
int RunRegisterCommand(const QStringList& args, const cli::BoxEnv& env);

} // namespace trivel
