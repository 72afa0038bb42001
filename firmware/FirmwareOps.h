#pragma once
// PendingOp values of the three firmware download procedures.

#include "session/OpRange.h"

#include <array>

namespace trivel::Op {

inline constexpr std::array<OpRange, 3> kFirmwareOps{{
    {201, 205, "firmware: short image"},
    {230, 233, "firmware: prefixed image"},
    {300, 304, "firmware: large image"},
}};

} // namespace trivel::Op
