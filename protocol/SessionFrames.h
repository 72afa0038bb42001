#pragma once
// Frames of the neutral state a page show and a disconnect leave the box in: the blend marker, the
// test pattern colour and the warp control cursor, as the neutral state sends them. (The warp
// pages send their own cursor and pattern frames.)

#include "protocol/Frame.h"
#include "protocol/Request.h"

#include <cstdint>

namespace trivel::proto {

// 0x2030: the blend marker of a window shown (1) or not (0); written over the previous frame.
Request NeutralBlendMarker(int window, int marker);
// 0x2003: the test pattern colour of a window back to 0; written over the previous frame.
Request NeutralPatternColour(int window);
// 0x2007: the control cursor of a window at control point `point`, hidden; on a cleared frame.
Request NeutralControlCursor(int window, int point);

// A blend marker or pattern colour request as the box sees it: the window and its value.
struct WindowValueRequestView {
    const FrameView& f;
    int window() const { return f.u8(8); }
    int value() const { return f.u8(9); }
};

} // namespace trivel::proto
