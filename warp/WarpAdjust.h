#pragma once
// The Warp Adjust page's handlers and chains: box-side modes (2x2, 3x3, 5x3, 9x5, WALL), the
// control cursor, point moves, grid spacing, pattern colour, reset, undo. They act on the
// current window, take the session only and never read a widget, so tests and trivelctl drive
// them without the page.

#include <QString>

#include <cstdint>

namespace trivel {

class Session;
struct WarpUndoRecord;

// Directions of the move and cursor handlers; also the undo actions 0..3 of a move.
enum class WarpDir { Left = 0, Right = 1, Up = 2, Down = 3 };

// Warp95TabShow: pattern colour, selected point and cursor frame for the current window.
void Warp95TabShow(Session& s);

// The mode buttons (BtnWP2x2Click .. BtnWPWallClick): mode 1, 2, 3, 4 or 16. Nothing while the
// pages refresh, while a chain runs, or when the mode is already selected.
void SelectWarpMode(Session& s, int mode);

// BtnCur*Click: one step of the control cursor over the mode's points.
void MoveWarpCursor(Session& s, WarpDir dir);
// BtnMove*Click: the selected point by the move step (1 with the fine step), clamped to
// -600..600, sent to the box.
void MoveWarpPoint(Session& s, WarpDir dir);

// Puts the cursor straight on a point of the current mode and shows it on the box (trivelctl):
// a 9 x 5 point (column 0..8, row 0..4) in the box-side modes, a 17 x 17 point in the point
// mode. False, and nothing sent, for a point the mode does not have.
bool SelectWarpPoint(Session& s, int column, int row);

void TBAdjustStep2Change(Session& s, int position);
void CBPatternSel1Change(Session& s, int index);
// TBGridChange: while a move or grid change awaits its reply the track bar springs back.
void TBGridChange(Session& s, int position);

// BtnWPResetClick: asks, then clears the mode's offsets and runs the reset chain.
void BtnWPResetClick(Session& s);
// BtnWPUndoClick: replays the opposite of the window's last recorded action.
void BtnWPUndoClick(Session& s);

// WPLRVal and WPUDVal from the selected point of the current window's mode.
void ShowWarpPointValues(Session& s);
// The mode button of the current window's mode down, the others up.
void ShowWarpMode(Session& s);
// The Warp Adjust controls of the current window: mode buttons, step, pattern, grid spacing.
void RefreshWarpAdjust(Session& s);

// Steps 0x251C and 0x3000..0x300E.
void WarpAdjustStep(Session& s, int op);

// The colour code of a CBPatternSel1 item ("Off", "White", ... "Transparent"), 0 for others.
int PatternColourCode(int index);
inline constexpr int kPatternColourCount = 9;

// The window's undo history as records, oldest first.
int WarpUndoCount(const Session& s, int window);
WarpUndoRecord WarpUndoAt(const Session& s, int window, int index);

} // namespace trivel
