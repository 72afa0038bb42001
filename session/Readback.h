#pragma once
// The connect-time read-back: Identify, model, network, window settings, warp and blend
// blocks, the per-window queries and FinishReadback; also the warp re-read after a mode change.

#include <cstdint>

namespace trivel {

class Session;

// Identify answers below this controller firmware number are refused.
inline constexpr std::uint32_t kMinControllerFirmware = 93224;

// Steps 4094..4096, 4103..4123 (4097..4100 belong to the mask slots).
void ReadbackStep(Session& s, int op);

// Common end of the read-back; the PIP order refreshes the pages first.
void FinishReadback(Session& s, bool pipOrder);

// Mnemonic of PIP item 0..10 of the per-window loop (PIO .. PBO).
const char* PipQueryName(int item);

// Sends the Identify request and waits for its reply (step 4094).
void SendIdentify(Session& s);

} // namespace trivel
