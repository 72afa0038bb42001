#pragma once
// PendingOp values of the mask chains.

#include "session/OpRange.h"

#include <array>

namespace trivel::Op {

// Slot copies read at connect, between the network and the window-settings steps.
inline constexpr int MaskSlotHeader = 4097;
inline constexpr int MaskSlotChunk = 4098;
inline constexpr int MaskColourHeader = 4099;
inline constexpr int MaskColourChunk = 4100;

inline constexpr std::array<OpRange, 2> kMaskOps{{
    {MaskSlotHeader, MaskColourChunk, "mask: slots at connect"},
    {34048, 34059, "mask: preview, save, delete, read, set"},
}};

} // namespace trivel::Op
