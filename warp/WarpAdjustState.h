#pragma once
// Box-side warp tables of the Warp Adjust page, as the box reports them in its warp blocks
// (0x1007..0x1009). ControlPattern and ControlCursor live in WarpModel (warp/WarpState.h).

#include "warp/WarpState.h"

#include <array>
#include <cstdint>
#include <vector>

namespace trivel {

struct PointOffset {
    std::int16_t x = 0;
    std::int16_t y = 0;
    bool operator==(const PointOffset&) const = default;
};

inline constexpr int kControlPoints = 45; // 9 x 5 grid, index row * 9 + column
inline constexpr int kWallPoints = 8;
inline constexpr int kKeystoneCorners = 4;

// Values of ControlPattern, the box-side warp mode of a window.
namespace WarpMode {
inline constexpr int Off = 0;
inline constexpr int Keystone = 1; // 2x2
inline constexpr int Grid3x3 = 2;
inline constexpr int Grid5x3 = 3;
inline constexpr int Grid9x5 = 4;
inline constexpr int FirstUserMap = 6; // user map 1..10 = 6..15
inline constexpr int LastUserMap = 15;
inline constexpr int Wall = 16;
inline constexpr int Points = 100; // 17x17 point mode
} // namespace WarpMode

// One entry of a window's undo history, 16 bytes little-endian on the stream.
struct WarpUndoRecord {
    std::int32_t action = 0; // 0..3 moves, 4..7 cursor steps, 0x1000 + previous mode
    std::int32_t amount = 0;
    std::int32_t column = 0;
    std::int32_t row = 0;
};
inline constexpr std::size_t kWarpUndoRecordSize = 16;

// State of the User Map editor (the tool-side tables), per window where it says so.
struct UserMapState {
    std::array<std::int32_t, 4> EditStep{8, 8, 8, 8}; // TBAdjustStep
    std::array<bool, 4> TableTransferred{};
    bool LineMode = false; // CBLineMove
    bool FullTransfer = false; // set once, never cleared
    int TransferChunk = 0; // first mesh column of the chunk being sent
    std::array<std::uint16_t, kSourceTableEntries> CopyX{};
    std::array<std::uint16_t, kSourceTableEntries> CopyY{};
    // 20-byte records: pattern, column, row, dx, dy before the edit.
    std::array<std::vector<std::uint8_t>, 4> UndoHistory{};
};
inline constexpr std::size_t kUserMapUndoRecordSize = 20;

struct WarpAdjustState {
    std::array<std::array<PointOffset, kControlPoints>, 4> ControlOffsets{}; // 180 bytes per window
    std::array<std::array<PointOffset, kWallPoints>, 4> WallPoints{}; // 32 bytes per window
    std::array<std::array<PointOffset, kKeystoneCorners>, 4> KeystoneCorners{}; // 16 bytes per window
    std::array<std::int32_t, 4> ConfirmedMode{99, 0, 0, 0};

    std::array<std::int32_t, 4> MoveStep{8, 8, 8, 8}; // TBAdjustStep2
    std::array<int, 4> PatternColourIndex{}; // CBPatternSel1
    std::array<std::int32_t, 4> GridSpacing{32, 32, 32, 32}; // TBGrid
    std::int32_t LastSentSpacing = -1; // -1 until TBGrid first changes

    bool FineStep = false; // Shift+arrow: a move uses step 1
    std::int32_t ReplayAmount = 0; // step of the undo being replayed
    CursorPos SavedCursor; // where a replayed mode change puts the cursor
    // From a move or grid change until its reply; shared with the User Map and point mode.
    bool WarpBusy = false;
    // The User Map page has sent its table for the window since Warp Adjust was last shown.
    std::array<bool, 4> UserMapShown{};

    std::array<std::vector<std::uint8_t>, 4> UndoHistory{};
    int LoadMapSlot = 0; // the slot of the last selected user map, which a load reads

    UserMapState userMap;
};

} // namespace trivel
