#pragma once
// The control grids of the Warp Adjust modes: which point a cursor names, the limits of an offset,
// the pattern colours, and the actions an undo entry records. Plain functions over positions.

#include "warp/WarpState.h"

#include <cstdint>

namespace trivel {

// Directions of the move and cursor keys; also the undo actions 0..3 of a move.
enum class WarpDir { Left = 0, Right = 1, Up = 2, Down = 3 };

inline constexpr int kOffsetLimit = 600;

// Undo actions besides the moves (0..3 = WarpDir).
inline constexpr int kUndoCursorLeft = 4;
inline constexpr int kUndoCursorRight = 5;
inline constexpr int kUndoCursorUp = 6;
inline constexpr int kUndoCursorDown = 7;
inline constexpr int kUndoMode = 0x1000; // + the mode before the change

// The modes with a cursor to move: 2x2, 3x3, 5x3, 9x5, WALL and the 17x17 point mode.
bool HasControlGrid(int mode);
int ControlIndex(const CursorPos& c); // row * 9 + column of the 9 x 5 grid
int CornerIndex(const CursorPos& c); // top-left, top-right, bottom-left, bottom-right
int WallIndex(const CursorPos& c); // the eight wall points, centre skipped
std::int16_t ClampOffset(int v); // to -600..600
// The box knows no bulk tables of the point mode: its coarse source is the 9x5 grid.
int BulkMode(int mode);
// The cursor of the mode: the 17 x 17 one in the point mode, else the 9 x 5 one.
CursorPos CurrentCursor(const WarpModel& m);
// The opposite of a direction, and its column and row steps.
WarpDir Opposite(WarpDir dir);
int ColumnStep(WarpDir dir);
int RowStep(WarpDir dir);

// The colour code of a pattern list item ("Off", "White", ... "Transparent"), 0 for others.
int PatternColourCode(int index);
inline constexpr int kPatternColourCount = 9;

} // namespace trivel
