#pragma once
// PendingOp values of the warp pages.

#include "session/OpRange.h"

#include <array>

namespace trivel::Op {

// Warp Adjust page: a corner, wall or point move awaiting its acknowledge (0x251C).
inline constexpr int WarpMove = 9500;
// A 95X / 95Y move awaiting the box's echo of the value (0x3000, 0x3001).
inline constexpr int WarpMoveX = 12288;
inline constexpr int WarpMoveY = 12289;
// Reset: bulk block 1 sent, then UDT 1, block 2, UDT 2, the point chunks, UDT 3, UDT 4
// (0x3002..0x3008).
inline constexpr int WarpResetBlock1 = 12290;
inline constexpr int WarpResetUpdate1 = 12291;
inline constexpr int WarpResetBlock2 = 12292;
inline constexpr int WarpResetUpdate2 = 12293;
inline constexpr int WarpResetChunks = 12294;
inline constexpr int WarpResetUpdate3 = 12295;
inline constexpr int WarpResetUpdate4 = 12296;
// Re-select of the confirmed mode: bulk block 1 sent, then UDT 1, block 2, UDT 2, UDT 3
// (0x3009..0x300D).
inline constexpr int WarpReselectBlock1 = 12297;
inline constexpr int WarpReselectUpdate1 = 12298;
inline constexpr int WarpReselectBlock2 = 12299;
inline constexpr int WarpReselectUpdate2 = 12300;
inline constexpr int WarpReselectUpdate3 = 12301;
// Grid spacing sent (0x300E).
inline constexpr int WarpGrid = 12302;

// User Map table transfer: x chunks, y chunks, the apply (or a WALL send) (0x8000..0x8002).
inline constexpr int UserMapX = 32768;
inline constexpr int UserMapY = 32769;
inline constexpr int UserMapApplied = 32770;

// Save to a slot: the save acknowledged, then the map's selection (0x8200, 0x8201).
inline constexpr int WarpMapSave = 33280;
inline constexpr int WarpMapSelected = 33281;
// Load a stored map: the query, five blocks, eight corner requests, point (0, 0)
// (0x8210..0x821E).
inline constexpr int WarpMapQuery = 33296;
inline constexpr int WarpMapBlock0 = 33297; // .. block 4 at 33301
inline constexpr int WarpMapCorners = 33302; // TLA answered; TLB .. BRA answered up to 33308
inline constexpr int WarpMapPoint = 33309; // BRB answered
inline constexpr int WarpMapLoaded = 33310;

inline constexpr std::array<OpRange, 5> kWarpOps{{
    {WarpMove, WarpMove, "warp: point move"},
    {WarpMoveX, WarpGrid, "warp: Warp Adjust steps"},
    {UserMapX, UserMapApplied, "warp: User Map transfer"},
    {WarpMapSave, WarpMapSelected, "warp: warp map data"},
    {WarpMapQuery, WarpMapLoaded, "warp: map data load"},
}};

} // namespace trivel::Op
