#include "interchange/WarpGrid.h"

#include "warp/WarpModel.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace trivel {

namespace {

// Cell and fraction of a position along a grid side; beyond the ends the fraction leaves 0..1.
struct Cell {
    int index = 0;
    double t = 0.0;
};

Cell CellAt(double position, int size, int points)
{
    const double g = position * double(points - 1) / double(size);
    const int i = std::clamp(int(std::floor(g)), 0, points - 2);
    return {i, g - double(i)};
}

} // namespace

int ExportGridSpacing(int size)
{
    return std::gcd(std::max(size, 1), kMeshStep);
}

std::uint16_t TableWord(double pixels)
{
    const long v = std::lround(pixels * 16.0);
    return std::uint16_t(std::clamp(v, -16384L, 49151L));
}

SourcePosition SampleSourceTables(
    const std::uint16_t* sourceX, const std::uint16_t* sourceY, double x, double y)
{
    const double gx = std::clamp(x / kMeshStep, 0.0, double(kSourceTableColumns - 1));
    const double gy = std::clamp(y / kMeshStep, 0.0, double(kSourceTableRows - 1));
    const int l = std::min(int(gx), kSourceTableColumns - 2);
    const int n = std::min(int(gy), kSourceTableRows - 2);
    const double fx = gx - l;
    const double fy = gy - n;
    auto at = [&](const std::uint16_t* t, int dl, int dn) {
        return TablePixels(t[std::size_t(SourceTableIndex(l + dl, n + dn))]);
    };
    auto mix = [&](const std::uint16_t* t) {
        return (at(t, 0, 0) * (1 - fx) + at(t, 1, 0) * fx) * (1 - fy)
            + (at(t, 0, 1) * (1 - fx) + at(t, 1, 1) * fx) * fy;
    };
    return {mix(sourceX), mix(sourceY)};
}

WarpGrid GridFromTables(int width, int height, const std::vector<std::uint16_t>& sourceX,
    const std::vector<std::uint16_t>& sourceY)
{
    const int sx = ExportGridSpacing(width);
    const int sy = ExportGridSpacing(height);
    WarpGrid g;
    g.columns = width / sx + 1;
    g.rows = height / sy + 1;
    g.u.resize(std::size_t(g.columns) * std::size_t(g.rows));
    g.v.resize(g.u.size());
    const bool warped = sourceX.size() == std::size_t(kSourceTableEntries)
        && sourceY.size() == std::size_t(kSourceTableEntries);
    for (int r = 0; r < g.rows; ++r) {
        for (int c = 0; c < g.columns; ++c) {
            const double x = double(c * sx);
            const double y = double(r * sy);
            const SourcePosition p
                = warped ? SampleSourceTables(sourceX.data(), sourceY.data(), x, y) : SourcePosition{x, y};
            g.u[g.index(c, r)] = float(p.x / width);
            g.v[g.index(c, r)] = float(p.y / height);
        }
    }
    return g;
}

SourcePosition SampleGrid(const WarpGrid& grid, int width, int height, double x, double y)
{
    const Cell cx = CellAt(x, width, grid.columns);
    const Cell cy = CellAt(y, height, grid.rows);
    auto mix = [&](const std::vector<float>& f) {
        const double p00 = f[grid.index(cx.index, cy.index)];
        const double p10 = f[grid.index(cx.index + 1, cy.index)];
        const double p01 = f[grid.index(cx.index, cy.index + 1)];
        const double p11 = f[grid.index(cx.index + 1, cy.index + 1)];
        return (p00 * (1 - cx.t) + p10 * cx.t) * (1 - cy.t) + (p01 * (1 - cx.t) + p11 * cx.t) * cy.t;
    };
    return {mix(grid.u) * width, mix(grid.v) * height};
}

void TablesFromGrid(const WarpGrid& grid, int width, int height, SourceTable& sourceX, SourceTable& sourceY)
{
    const int meshColumns = (width - 1) / kMeshStep + 1;
    const int meshRows = (height - 1) / kMeshStep + 1;
    for (int l = 0; l < kSourceTableColumns; ++l) {
        for (int n = 0; n < kSourceTableRows; ++n) {
            const auto i = std::size_t(SourceTableIndex(l, n));
            if (l > meshColumns || n > meshRows) {
                sourceX[i] = std::uint16_t(256 * l);
                sourceY[i] = std::uint16_t(256 * n);
                continue;
            }
            const SourcePosition p
                = SampleGrid(grid, width, height, double(l * kMeshStep), double(n * kMeshStep));
            sourceX[i] = TableWord(p.x);
            sourceY[i] = TableWord(p.y);
        }
    }
}

GridDifference WorstGridDifference(
    const WarpGrid& grid, int width, int height, const SourceTable& sourceX, const SourceTable& sourceY)
{
    GridDifference worst;
    worst.pixels = -1.0;
    for (int r = 0; r < grid.rows; ++r) {
        const double y = double(r) * height / (grid.rows - 1);
        for (int c = 0; c < grid.columns; ++c) {
            const double x = double(c) * width / (grid.columns - 1);
            const SourcePosition shown = SampleSourceTables(sourceX.data(), sourceY.data(), x, y);
            const SourcePosition file{
                double(grid.u[grid.index(c, r)]) * width, double(grid.v[grid.index(c, r)]) * height};
            auto outside
                = [&](SourcePosition p) { return p.x < 0 || p.y < 0 || p.x > width || p.y > height; };
            if (outside(shown) && outside(file))
                continue;
            const double dx = shown.x - file.x;
            const double dy = shown.y - file.y;
            const double d = std::hypot(dx, dy);
            if (d > worst.pixels)
                worst = {d, c, r};
        }
    }
    worst.pixels = std::max(worst.pixels, 0.0);
    return worst;
}

PfmImage GridToPfm(const WarpGrid& grid)
{
    PfmImage img;
    img.width = grid.columns;
    img.height = grid.rows;
    img.channels = 3;
    img.samples.resize(grid.u.size() * 3);
    for (std::size_t i = 0; i < grid.u.size(); ++i) {
        img.samples[3 * i] = grid.u[i];
        img.samples[3 * i + 1] = grid.v[i];
        img.samples[3 * i + 2] = 0.0f;
    }
    return img;
}

std::optional<WarpGrid> GridFromPfm(const PfmImage& pfm, QString* error)
{
    if (pfm.channels != 3) {
        if (error)
            *error = QStringLiteral("the warp file is a grey PFM (\"Pf\"); a warp grid needs a colour one "
                                    "(\"PF\") with x in red and y in green");
        return std::nullopt;
    }
    WarpGrid g;
    g.columns = pfm.width;
    g.rows = pfm.height;
    g.u.resize(std::size_t(g.columns) * std::size_t(g.rows));
    g.v.resize(g.u.size());
    for (int r = 0; r < g.rows; ++r) {
        for (int c = 0; c < g.columns; ++c) {
            const float u = pfm.at(c, r, 0);
            const float v = pfm.at(c, r, 1);
            if (!std::isfinite(u) || !std::isfinite(v)) {
                if (error)
                    *error = QStringLiteral("the warp grid holds no position (NaN or infinite) at column %1, "
                                            "row %2 from the top")
                                 .arg(c)
                                 .arg(r);
                return std::nullopt;
            }
            g.u[g.index(c, r)] = u;
            g.v[g.index(c, r)] = v;
        }
    }
    return g;
}

} // namespace trivel
