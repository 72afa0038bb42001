#pragma once
// The requests every page show sends, and the neutral state a disconnect leaves the box in.

namespace trivel {

class Session;

// With a 20 ms PostSendDelay: blend marker 0x2030 for the current window (value markerValue;
// skipped when sendMarker is false), the User Map pattern list back to the window's entry,
// test pattern colour 0 (0x2003), the warp control cursor hidden (0x2007). Nothing goes out
// while not connected; the pattern list is set either way.
void SendNeutralState(Session& s, bool sendMarker, int markerValue = 0);

} // namespace trivel
