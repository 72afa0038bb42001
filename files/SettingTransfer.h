#pragma once
// Pushes the caches of a loaded setting file to the box: the mask slots, then per window the
// setting commands, the warp blocks, the point data, the blend block, the mask assignment and
// the warp cursor, one request per reply (PendingOp 9000..9022). A whole-box transfer ends in a
// fresh read-back; a single-window transfer ends by itself.

#include <array>

namespace trivel {

class Session;

// What the load does once the caches are replaced and a box is connected: shows the progress
// panel and starts the chain. wholeBox: the file was a whole-box file (all windows, unless
// SessionFlags bit 0x4000 asks for one); otherwise the current window is sent alone. Nothing
// happens without a box.
void StartSettingTransfer(Session& s, bool wholeBox);
// Starts the chain after a load that has already prepared it (progress panel, transfer window,
// slot counter): with the mask phase, or with the first window.
void ContinueSettingTransfer(Session& s, bool maskTransfer);

// Chooses the first mask state for s.transfer.TransferWindow and selects the window on the box.
void StartMaskTransfer(Session& s);
// Fills CommandList for s.transfer.TransferWindow and selects that window on the box.
void StartWindowTransfer(Session& s);

// Steps 9000..9022.
void SettingTransferStep(Session& s, int op);

// The 73 CommandList indices sent for each window, in order.
extern const std::array<int, 73> kCommandOrder;

// The fixed wait before list command `index` is sent, in ms (before any scaling).
int ListCommandWaitMs(int index);

// The parts of a transfer, as SessionEvents::settingTransferStep names them.
enum class TransferPhase { MaskSlots, Settings, Warp, Blend, Readback };

// ProgressBar2 maxima of a whole-box and a single-window transfer.
inline constexpr int kWholeBoxProgress = 322;
inline constexpr int kSingleWindowProgress = 103;

} // namespace trivel
