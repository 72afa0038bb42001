#pragma once
// PendingOp values of the transfer of a loaded setting file.

#include "session/OpRange.h"

#include <array>

namespace trivel::Op {

// Each value is named by the request whose reply it awaits.
inline constexpr int TransferWindowStart = 9000;
// All slots: a mono slot's first step, its chunks, the next slot, the colour chunks, the end.
inline constexpr int TransferMaskFirst = 9001;
inline constexpr int TransferMaskChunk = 9002;
inline constexpr int TransferMaskNext = 9003;
inline constexpr int TransferColourChunk = 9004;
inline constexpr int TransferMaskDone = 9005;
// One slot, for a single window: mono, its chunks, colour.
inline constexpr int TransferSingleMono = 9006;
inline constexpr int TransferSingleMonoChunk = 9007;
inline constexpr int TransferSingleColour = 9008;
inline constexpr int TransferList = 9010;
inline constexpr int TransferBlock1 = 9011;
inline constexpr int TransferUpdate1 = 9012;
inline constexpr int TransferBlock2 = 9013;
inline constexpr int TransferUpdate2 = 9014;
inline constexpr int TransferPoints = 9015;
inline constexpr int TransferUpdate3 = 9016;
inline constexpr int TransferBlend = 9017;
inline constexpr int TransferUpdate4 = 9018;
inline constexpr int TransferAssignment = 9019;
inline constexpr int TransferControlPoint = 9020;
inline constexpr int TransferCursor = 9021;
inline constexpr int TransferWindowEnd = 9022;

inline constexpr std::array<OpRange, 1> kFileOps{{{9000, 9022, "files: setting transfer"}}};

} // namespace trivel::Op
