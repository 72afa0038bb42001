#pragma once
// The requests of the Warp Adjust page and its point mode, and the undo recorder they share.
// All act on the current window (WarpWindow follows CurrentWindow).

#include "protocol/Frame.h"
#include "warp/WarpAdjustState.h"

#include <QString>

#include <cstddef>
#include <cstdint>

namespace trivel {

struct Control;
class Session;
struct WarpModel;

inline constexpr int kOffsetLimit = 600;
inline constexpr int kCursorFrameDelay = 80;

// Undo actions besides the moves (0..3 = WarpDir).
inline constexpr int kUndoCursorLeft = 4;
inline constexpr int kUndoCursorRight = 5;
inline constexpr int kUndoCursorUp = 6;
inline constexpr int kUndoCursorDown = 7;
inline constexpr int kUndoMode = 0x1000; // + the mode before the change

QString Hex4(int v);
std::size_t CurrentWarpWindow(const Session& s);
// The model of the current window; sets WarpWindow to it.
WarpModel& CurrentWarpModel(Session& s);

bool HasControlGrid(int mode);
int ControlIndex(const CursorPos& c); // row * 9 + column
int CornerIndex(const CursorPos& c); // top-left, top-right, bottom-left, bottom-right
int WallIndex(const CursorPos& c); // the eight wall points, centre skipped
std::int16_t Clamp(int v); // to -600..600
bool Linked(const Session& s);

void SendText(Session& s, const char* tpl, int value, std::uint32_t code = Cmd::Setting);
void SendUpdate(Session& s, int step); // UDT n
// TLA .. BRB: corner 0..3 (top-left, top-right, bottom-left, bottom-right), x or y.
void SendCornerCommand(Session& s, int corner, bool y, int value);
void SendSelectedPoint(Session& s); // 95I of ControlCursor
void SendControlCursorFrame(Session& s, bool shown); // 0x2007, paced 80 ms
void SendGridCursorFrame(Session& s); // 0x2006, paced 80 ms
void SendPatternColour(Session& s); // 0x2003
void SendPointFrame(Session& s); // 0x1201 of GridCursor
void SendPointChunk(Session& s, int chunk); // 0x1202
void SendBulkBlock(Session& s, int block, int mode); // 0x3000 block 1 or 2
int BulkMode(const WarpModel& m);

const Control* ModeButton(int mode);
void ShowModeButtons(Session& s, int mode);
CursorPos CurrentCursor(const WarpModel& m);

// Writes the pending entry (unless an undo is being replayed) and clears it.
void RecordUndo(Session& s);
// The same into the history of `window`.
void RecordUndo(Session& s, std::size_t window);
void SetPendingUndo(Session& s, int action, int amount, CursorPos at);
void EndBusy(Session& s);

} // namespace trivel
