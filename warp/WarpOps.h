#pragma once
// PendingOp values of the warp pages.

#include "session/OpRange.h"

#include <array>

namespace trivel::Op {

inline constexpr std::array<OpRange, 5> kWarpOps{{
    {9500, 9500, "warp: point move"},
    {12288, 12302, "warp: Warp Adjust steps"},
    {32768, 32770, "warp: User Map transfer"},
    {33280, 33281, "warp: warp map data"},
    {33296, 33310, "warp: map data load"},
}};

} // namespace trivel::Op
