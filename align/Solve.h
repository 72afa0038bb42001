#pragma once
// From the windows' geometry on the screen to what the box is sent: the canvas, each window's
// source rectangle on it, its exact User Map tables or its 17x17 point offsets, and the edge
// blend of every overlap.

#include "align/AlignPorts.h"
#include "align/Geometry.h"

#include <QStringList>

#include <optional>
#include <vector>

namespace trivel::align {

// How the windows' inputs relate to the canvas. Shared: every window receives the same picture,
// which fills the canvas, and its tables cut out its part. Tiled: each window's input is its own
// part of the canvas (a video-wall crop or one output of a media server), overlaps included.
enum class InputMode { Shared, Tiled };

// Where a window's source frame lies on the screen: source pixel (u, v) at
// (left + (u + 0.5) width / frameWidth, top + (v + 0.5) height / frameHeight).
struct SourcePlacement {
    Rect screen;
    int frameWidth = 1920;
    int frameHeight = 1080;
    Vec2 screenOf(Vec2 source) const;
    Vec2 sourceOf(Vec2 screen) const;
};

// One overlap between neighbours a (left or above) and b, in each window's output pixels: the
// line where b's frame begins, inside a, and where a's frame ends, inside b (averaged along the
// seam, over the canvas), and how far those lines lean from one end of the seam to the other.
struct Seam {
    int a = 0;
    int b = 0;
    bool sideBySide = true; // a left of b; else a above b
    double edgeInA = 0.0;
    double edgeInB = 0.0;
    double leanInA = 0.0;
    double leanInB = 0.0;
};

struct SolveOptions {
    InputMode input = InputMode::Shared;
    double aspect = 0.0; // canvas width / height; 0: as large as the footprints allow
    std::optional<Rect> canvas; // a canvas the user marked, in screen pixels
    double projectorGamma = 2.2; // for the blend curve: light ramps that add up to one
};

struct WindowSolution {
    SourcePlacement source;
    SourceTables tables;
    GridArray<OffsetPair> pointOffsets{};
    int pointsClamped = 0; // offsets cut to the point mode's -600..600
    BlendPlan blend;
};

struct Solution {
    Rect canvas;
    std::vector<WindowSolution> windows;
    std::vector<Seam> seams;
    QStringList problems; // when not empty, nothing may be sent
    QStringList warnings;
};

Solution Solve(
    const std::vector<WindowGeometry>& windows, const WallLayout& layout, const SolveOptions& options);

// The tables that put the window's output on its source placement.
SourceTables TablesFor(const WindowGeometry& g, const SourcePlacement& source);
// The 17x17 point offsets that do the same as well as the point mode can; clamped counts points
// whose offset was cut to the mode's range.
GridArray<OffsetPair> PointOffsetsFor(const WindowGeometry& g, const SourcePlacement& source, int& clamped);
// What the box makes of point offsets: the tool's warp model run on them; nothing if its splines fail.
std::optional<SourceTables> TablesFromPointOffsets(
    int width, int height, const GridArray<OffsetPair>& offsets);

// The source position an output pixel (the nearest whole one) shows through tables, as the box
// reads them in the output preview's model: bilinear between mesh points, then down to 1/16 pixel.
Vec2 SourceThroughTables(const SourceTables& t, Vec2 output);

// The blend curve for projectors of this gamma: ramps straight in light.
void SetBlendCurve(BlendPlan& plan, double projectorGamma);

} // namespace trivel::align
