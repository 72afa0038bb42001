#pragma once
// Pushes the caches of a loaded setting file to the box as one operation: the mask slots, then
// per window the setting commands, the warp blocks, the point data, the blend block, the mask
// assignment and the warp cursor, one request per reply with the box's fixed pauses between them.
// A whole-box transfer ends in a fresh read-back; a single-window transfer ends by itself. Where
// it is shows through SessionEvents::settingTransferStep and ProgressBar2.

#include "link/Operation.h"

#include <array>

namespace trivel {

class Box;

// What the load does once the caches are replaced and a box is connected: shows the progress
// panel and sends them. wholeBox: the file was a whole-box file (all windows, unless
// SessionFlags bit 0x4000 asks for one); otherwise the current window is sent alone. Without a
// box nothing is sent and the operation ends at once.
Operation<void> TransferSettings(Box& box, bool wholeBox);
// The same after a load that has already prepared it (progress panel, transfer window, slot
// counter): with the mask phase, or with the first window.
Operation<void> TransferLoadedSettings(Box& box, bool maskTransfer);

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
