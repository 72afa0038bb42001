#pragma once
// What really happens on the simulated wall, from the rig's own model: where a window's pixels
// land through the tables it was sent, the overlaps as they are, and the misplacement of a wall
// left uncorrected. The tests and the benchmark judge the procedure by these.

#include "align/GridMeasure.h"
#include "sim/rig/Rig.h"

namespace trivel::sim {

// Over output pixels every `step` pixels that show a part of the source: the distance on the
// screen between where the pixel lands and where the source position it shows belongs (read
// from the tables as the box reads them).
align::ResidualStats TableTruth(const Rig& rig, int window, const align::SourceTables& tables,
    const align::SourcePlacement& source, int step = 8);

// The window's own part of the canvas: its frame's sides averaged along each side, within the canvas.
align::Rect TrueTile(const Rig& rig, int window, const align::Rect& canvas);

// The wall left as it is: every window shows its tile unwarped.
align::ResidualStats UncorrectedTruth(const Rig& rig, int window, const align::Rect& canvas, int step = 8);

// The overlap edges of a seam as they are (same definition as the solver's, from the rig's model).
struct SeamEdges {
    double inA = 0.0;
    double inB = 0.0;
};
std::optional<SeamEdges> TrueSeamEdges(const Rig& rig, const align::Seam& seam, const align::Rect& canvas);

} // namespace trivel::sim
