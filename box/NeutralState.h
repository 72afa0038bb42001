#pragma once
// The neutral state every page show and a disconnect leave the box in: blend marker 0x2030 for the
// current window (value markerValue; skipped when sendMarker is false), the User Map pattern list
// back to the window's entry, test pattern colour 0 (0x2003), the warp control cursor hidden
// (0x2007), each request followed by a 20 ms pause. Nothing goes out while not connected; the
// pattern list is set either way.

#include "link/Operation.h"

namespace trivel {

class Session;

inline constexpr int kNeutralStatePauseMs = 20;

// Each request awaits its answer.
Operation<void> SendNeutralState(Session& s, bool sendMarker, int markerValue = 0);

// The disconnect's variant: the same requests and pauses, but no answer is awaited, so a box that
// restarts or has gone silent does not hold the close up.
Operation<void> LeaveNeutralState(Session& s);

} // namespace trivel
