#pragma once
// PendingOp values of the register page.

#include "session/OpRange.h"

#include <array>

namespace trivel::Op {

inline constexpr int RegisterRead = 33024; // bank read or single-register read
inline constexpr int RegisterWrite = 33025;

inline constexpr std::array<OpRange, 1> kRegisterOps{
    {{RegisterRead, RegisterWrite, "registers: bank read, write"}}};

} // namespace trivel::Op
