#pragma once
// The User Map editor (TabWapAdjust): coarse patterns over the 17 x 17 grid, point and line
// edits held inside their neighbours, the 2x2 corners, the WALL offsets, undo, reset and the
// transfer of the rebuilt source tables. The Warp Adjust page's point mode shares its cursor.

namespace trivel {

class Session;
enum class WarpDir;

// TabWapAdjustShow.
void TabWapAdjustShow(Session& s);
// WP2x2BtnClick .. WPWallBtnClick: pattern 0..7.
void SelectUserMapPattern(Session& s, int pattern);
// BtnCursor*Click.
void MoveUserMapCursor(Session& s, WarpDir dir);
// BtnGrid*Click: the point (or, in line mode, its row or column) by the edit step.
void EditUserMapPoint(Session& s, WarpDir dir);
void TBAdjustStepChange(Session& s, int position);
void CBPatternSelChange(Session& s, int index);
void CBLineMoveClick(Session& s, bool checked);
// BtnWarpResetClick.
void UserMapReset(Session& s);
// BtnUndoClick. A grid the splines cannot pass leaves everything as it was and says so.
void UserMapUndo(Session& s);

// The User Map controls of the current window: pattern button, edit step, pattern colour.
void RefreshUserMap(Session& s);

int UserMapUndoCount(const Session& s, int window);

// Sends the current window's source tables whole, as they stand: 44 x-chunks, 44 y-chunks and
// apply, with no short first transfer. trivelctl warp push runs it on a grid it rebuilt itself.
void TransferUserMapTables(Session& s);
// Chunks of the running table transfer the box has acknowledged (0..88), for a progress line.
int UserMapChunksAcknowledged(const Session& s);
inline constexpr int kUserMapChunksPerTable = 44;

// Steps 0x8000..0x8002.
void UserMapStep(Session& s, int op);

} // namespace trivel
