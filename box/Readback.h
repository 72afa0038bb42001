#pragma once
// The connect-time read-back: Identify, model, network, the mask slots, window settings, warp
// and blend blocks, the per-window queries and the end that refills the pages. Also entered
// part-way: after a reset (window settings on) and after a whole-box setting transfer (network on).

#include "link/Operation.h"

#include <cstdint>

namespace trivel {

class Session;

// Identify answers below this controller firmware number are refused.
inline constexpr std::uint32_t kMinControllerFirmware = 93224;

enum class ReadbackStart {
    Identify, // a new link, a profile load, an all reset
    WindowSettings, // after a reset: the request is sent with a whole clear
    AfterTransfer, // after a whole-box setting transfer: network on, its request clears 4 bytes
};

// The read-back as one operation; readbackFinished() is emitted at its end, boxRejected() when
// the Identify reply is refused (the operation then fails with BoxFault).
Operation<void> ReadBack(Session& s, ReadbackStart start = ReadbackStart::Identify);

// Starts the read-back from Identify and keeps it in the session (Session::readback).
void SendIdentify(Session& s);
// Starts it part-way, as a reset or a setting transfer does.
void StartReadback(Session& s, ReadbackStart start);

// Common end of the read-back; the PIP order refreshes the pages first.
Operation<void> FinishReadback(Session& s, bool pipOrder);

// Mnemonic of PIP item 0..10 of the per-window loop (PIO .. PBO).
const char* PipQueryName(int item);

} // namespace trivel
