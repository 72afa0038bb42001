#pragma once
// trivelctl mask upload/read/delete/assign: the Digi Mapping page's slot operations on a box.

#include "cli/Bootstrap.h"

#include <QStringList>

namespace trivel {

// True when the first word (after the link options) is "mask" and the second one of the box
// operations.
bool IsMaskBoxCommand(const QStringList& args);
// Exit codes: 0 done, 1 refused or failed, 2 usage error, 3 link failure, 4 box rejected.
int RunMaskBoxCommand(const QStringList& args, const cli::BoxEnv& env);

} // namespace trivel
