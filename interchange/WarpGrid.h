#pragma once
// The warp grid of an interchange file and the box's source tables, one into the other.
//
// A grid is sampled evenly over the window's output frame, its first and last columns on the
// frame's left and right edges (x = 0 and x = width), its rows likewise; row 0 is the top. Each
// point holds the position in the window's content it shows, in parts of the frame: u = source x
// / width, v = source y / height, y downwards. Between points the mapping is linear.

#include "interchange/Pfm.h"

#include "warp/WarpState.h"

#include <QString>

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace trivel {

struct WarpGrid {
    int columns = 0;
    int rows = 0;
    std::vector<float> u; // row by row from the top, columns * rows
    std::vector<float> v;

    std::size_t index(int column, int row) const
    {
        return std::size_t(row) * std::size_t(columns) + std::size_t(column);
    }
};

using SourceTable = std::array<std::uint16_t, kSourceTableEntries>;

// Spacing in pixels of the grid an export writes along a frame side: the largest divisor of 16
// that divides the side, so that every mesh point inside the frame is a grid point.
int ExportGridSpacing(int size);

// The grid of a window's tables (empty tables: no warp) at the export spacing: each point the
// source the box fetches at that output position, between mesh points as the box interpolates.
WarpGrid GridFromTables(int width, int height, const std::vector<std::uint16_t>& sourceX,
    const std::vector<std::uint16_t>& sourceY);

// Source position in pixels the tables give output position (x, y): bilinear between the mesh
// points around it, as the box interpolates.
struct SourcePosition {
    double x = 0.0;
    double y = 0.0;
};
SourcePosition SampleSourceTables(
    const std::uint16_t* sourceX, const std::uint16_t* sourceY, double x, double y);

// The grid's source position in pixels at output position (x, y); beyond the grid's last
// points the edge cells are extended.
SourcePosition SampleGrid(const WarpGrid& grid, int width, int height, double x, double y);

// The tables that show the grid: mesh points inside the frame take the grid's value, those on
// the far side of the frame's edge the edge cell extended, so that the pixels before the edge
// are interpolated towards the grid's edge value; outside the window's mesh the identity.
void TablesFromGrid(const WarpGrid& grid, int width, int height, SourceTable& sourceX, SourceTable& sourceY);

// Largest distance in pixels between the grid's points and what the tables show there. Points
// where both name positions outside the content do not count: the box shows black there either way.
struct GridDifference {
    double pixels = 0.0;
    int column = 0;
    int row = 0;
};
GridDifference WorstGridDifference(
    const WarpGrid& grid, int width, int height, const SourceTable& sourceX, const SourceTable& sourceY);

// The PFM of a grid: R = u, G = v, B = 0.
PfmImage GridToPfm(const WarpGrid& grid);
// The grid of a PFM: three channels, R and G finite. On a refusal returns nothing and says why.
std::optional<WarpGrid> GridFromPfm(const PfmImage& pfm, QString* error);

// The table word of a position in pixels, rounded to 1/16 pixel and held to -1024..3071.9375.
std::uint16_t TableWord(double pixels);
// A table word as pixels.
inline double TablePixels(std::uint16_t word)
{
    return double(word >= 0xC000 ? int(word) - 65536 : int(word)) / 16.0;
}

} // namespace trivel
