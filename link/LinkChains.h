#pragma once
// Link-owned chain helpers that the connection logic also calls.

namespace trivel {

class Session;

// Window buttons after Identify (connected) or back to the start-up layout (disconnected).
void ApplyChannelLayout(Session& s, bool connected);
// Indicator panels beside the window buttons; two zero masks clear them.
void ShowSignalIndicators(Session& s, int inputMask, int outputMask);

} // namespace trivel
