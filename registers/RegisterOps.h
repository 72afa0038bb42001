#pragma once
// PendingOp values of the register page.

#include "session/OpRange.h"

#include <array>

namespace trivel::Op {

inline constexpr std::array<OpRange, 1> kRegisterOps{{{33024, 33025, "registers: bank read, write"}}};

} // namespace trivel::Op
