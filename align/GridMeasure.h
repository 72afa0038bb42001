#pragma once
// Verification: the test grid shown through a window's warp, photographed, and each grid
// crossing compared with where the canvas wants it. The residuals, per window and per seam, in
// screen pixels; a smooth correction fitted to them for a second pass; a heat map picture.

#include "align/Solve.h"

#include <QImage>

#include <QString>

#include <vector>

namespace trivel::align {

struct GridCrossing {
    int window = 0;
    Vec2 source; // the crossing in source pixels
    Vec2 target; // where the canvas wants it, screen pixels
    Vec2 output; // the output pixel that shows it, by the current estimate
    Vec2 camera; // where it was seen
    Vec2 landed; // where it was seen, screen pixels
    bool measured = false;
    double residual() const { return (landed - target).norm(); }
};

// Fewer crossings than this and a window's verification has seen no grid.
inline constexpr int kMinVerifiedPoints = 4;

struct ResidualStats {
    int points = 0;
    double rms = 0.0;
    double worst = 0.0;
    void add(double r);
    void finish();
};

// The grid that puts about `cameraPixels` between lines (the box's spacing 8..120) with lines
// about a camera pixel and a half wide.
GridSpec GridFor(const SourcePlacement& source, const CameraView& view, double cameraPixels);

// Crossings of the grid that the window shows, measured in its photo (dark subtracted).
std::vector<GridCrossing> MeasureGrid(int window, const Photo& photo, const Photo& dark,
    const WindowGeometry& g, const SourcePlacement& source, const CameraView& view, const GridSpec& grid);

ResidualStats StatsOf(const std::vector<GridCrossing>& crossings);
// "RMS r, worst w" in screen pixels; a window whose grid was not seen gets no figure, not a
// perfect one.
QString ResidualText(const ResidualStats& r, int decimals);
// The crossings of either window of the seam that lie where both windows light the screen.
ResidualStats SeamStats(
    const std::vector<GridCrossing>& crossings, const Seam& seam, const std::vector<WindowGeometry>& windows);

// Fits where the window's pixels really land from its measured crossings and adds that to its
// geometry, if the crossings show a correction beyond their own scatter; largest is its size.
bool CorrectFromCrossings(
    WindowGeometry& g, const std::vector<GridCrossing>& crossings, double* largest = nullptr);

// The photo, darkened, with each measured crossing as a disc coloured by its residual (green 0,
// yellow 0.75, red 1.5 screen pixels and more) and a scale.
QImage HeatMap(const Photo& photo, const std::vector<GridCrossing>& crossings);
// A photo as an 8-bit grey picture.
QImage PhotoImage(const Photo& photo);

} // namespace trivel::align
