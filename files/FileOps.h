#pragma once
// PendingOp values of the transfer of a loaded setting file.

#include "session/OpRange.h"

#include <array>

namespace trivel::Op {

inline constexpr std::array<OpRange, 1> kFileOps{{{9000, 9022, "files: setting transfer"}}};

} // namespace trivel::Op
