#pragma once
// identify and readback: what the box says about itself, and every cache the read-back fills.

#include "cli/Bootstrap.h"

#include <QStringList>

namespace trivel::cli {

int RunIdentifyCommand(const QStringList& args, const BoxEnv& env);

} // namespace trivel::cli
