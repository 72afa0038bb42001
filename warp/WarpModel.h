#pragma once
// The per-window warp model: frame size, base grid, user grid and offsets, coarse patterns,
// the corner perspective and the computation of the box's source lookup tables. Every
// operation acts on the model of state.WarpWindow; callers set it first.

#include "warp/WarpSpline.h"
#include "warp/WarpState.h"

#include <QLoggingCategory>

#include <array>
#include <cstdint>

Q_DECLARE_LOGGING_CATEGORY(lcWarp)

namespace trivel {

// Stores a frame size and resets the window's model and the source tables. Sizes outside
// 16..2096 x 16..1232 do not fit the tables (or give coinciding grid lines): they are refused,
// false is returned and nothing changes.
bool SetWarpFrameSize(WarpState& state, int width, int height);
bool WarpFrameSizeFits(int width, int height);

// Start-up initialisation of the current window: a 1920 x 1080 frame.
void InitWarpWindow(WarpState& state);

// Base grid, UserGrid and LiveGrid from the frame size; all offsets zero; corners captured.
void ResetWarpWindow(WarpState& state);
// UserGrid and LiveGrid back to the base grid (offsets kept), then ResetSourceTables.
void ResetGridPositions(WarpState& state);
// Identity mapping over the whole of both tables.
void ResetSourceTables(WarpState& state);

// Stores WarpPattern and its active counts. Patterns above 7 are refused (false, no change).
bool SelectWarpPattern(WarpState& state, std::uint8_t pattern);
int ActiveColumnCountOf(std::uint8_t pattern);
int ActiveRowCountOf(std::uint8_t pattern);

// Masks of the 17 x 17 grid; an unknown pattern byte (a damaged file) counts as all active.
bool ColumnMask(std::uint8_t pattern, int column);
bool RowMask(std::uint8_t pattern, int row);
// Masks of the 9 x 5 control grid by table entry 1..6; other entries have no active point
// besides the edges.
bool ControlColumnMask(int entry, int column);
bool ControlRowMask(int entry, int row);

// Recomputes fill-in, perspective, splines, inverses and both source tables for the current
// window. Throws WarpMathError (a zero-length interval, a singular perspective, a pattern
// without splines); the source tables are then left as they were.
void RebuildWarpTables(WarpState& state);

// LiveGrid = perspective(UserGrid) through the window's CornerPositions.
void ApplyCornerPerspective(WarpState& state);

// LiveGrid = UserGrid; when the selected window changes.
void CopyUserGridToLive(WarpState& state);

void MoveGridCursor(WarpState& state, int dColumn, int dRow);
void MoveControlCursor(WarpState& state, int dColumn, int dRow);

// Editing helpers shared by the warp pages and trivelctl.
// PointOffsets[column][row] = offset and UserGrid there = base + offset.
void SetPointOffset(WarpModel& model, int column, int row, OffsetPair offset);
// CornerOffsets[corner] = offset and CornerPositions = CornerBase + offset.
void SetCornerOffset(WarpModel& model, int corner, OffsetPair offset);
// PointOffsets = trunc(UserGrid - base grid) toward zero, saturated to int16.
void CapturePointOffsets(WarpModel& model);

// A source table as the box receives it: 132 x 78 little-endian 16-bit words, column-major.
std::array<std::uint8_t, kSourceTableBytes> SourceTableBytes(
    const std::array<std::uint16_t, kSourceTableEntries>& table);

} // namespace trivel
