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

// User operations of the Digi Mapping and Mask pages.
inline constexpr int MaskPreview = 34048; // upload chunks
inline constexpr int MaskPreviewShown = 34049; // the show frame after the last chunk
inline constexpr int MaskSave = 34050;
inline constexpr int MaskSaveAssigned = 34051;
inline constexpr int MaskDelete = 34052;
inline constexpr int MaskDeleteCleared = 34053;
inline constexpr int MaskReadHeader = 34055;
inline constexpr int MaskReadChunk = 34056;
inline constexpr int MaskReadColourHeader = 34057;
inline constexpr int MaskReadColourChunk = 34058;
inline constexpr int MaskAssign = 34059;

inline constexpr std::array<OpRange, 2> kMaskOps{{
    {MaskSlotHeader, MaskColourChunk, "mask: slots at connect"},
    {MaskPreview, MaskAssign, "mask: preview, save, delete, read, set"},
}};

} // namespace trivel::Op
