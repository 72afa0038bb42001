#include "interchange/PointOffsetPlan.h"

#include "warp/WarpModel.h"
#include "warp/WarpSpline.h"

#include <cmath>
#include <memory>

namespace trivel {

namespace {

using PointTargets = GridArray<SourcePosition>;

double Distance(SourcePosition a, SourcePosition b)
{
    return std::hypot(a.x - b.x, a.y - b.y);
}

// The output position the grid shows `source` at: Newton's method from `start`, each step
// shortened until it brings the grid closer (the grid bends sharply where the tables hold their
// outside-the-grid values).
std::optional<SourcePosition> OutputOf(
    const WarpGrid& g, int width, int height, SourcePosition source, SourcePosition p)
{
    constexpr double h = 0.5;
    double error = Distance(SampleGrid(g, width, height, p.x, p.y), source);
    for (int i = 0; i < 50; ++i) {
        if (error < 1e-3)
            return p;
        const SourcePosition f = SampleGrid(g, width, height, p.x, p.y);
        const SourcePosition fx1 = SampleGrid(g, width, height, p.x + h, p.y);
        const SourcePosition fx0 = SampleGrid(g, width, height, p.x - h, p.y);
        const SourcePosition fy1 = SampleGrid(g, width, height, p.x, p.y + h);
        const SourcePosition fy0 = SampleGrid(g, width, height, p.x, p.y - h);
        const double a = (fx1.x - fx0.x) / (2 * h), b = (fy1.x - fy0.x) / (2 * h);
        const double c = (fx1.y - fx0.y) / (2 * h), d = (fy1.y - fy0.y) / (2 * h);
        const double det = a * d - b * c;
        if (!std::isfinite(det) || std::abs(det) < 1e-9)
            return std::nullopt;
        const double ex = f.x - source.x, ey = f.y - source.y;
        const double sx = -(d * ex - b * ey) / det, sy = -(a * ey - c * ex) / det;
        bool closer = false;
        for (double t = 1.0; t > 1e-4 && !closer; t /= 2) {
            const SourcePosition q{p.x + t * sx, p.y + t * sy};
            const double e = Distance(SampleGrid(g, width, height, q.x, q.y), source);
            if (std::isfinite(e) && e < error) {
                p = q;
                error = e;
                closer = true;
            }
        }
        if (!closer)
            return std::nullopt;
    }
    return std::nullopt;
}

// Where a grid shows each point of the base grid. Points it never shows take the mean
// displacement of their placed neighbours; `following` counts them.
std::optional<PointTargets> PointTargetsOf(
    const WarpGrid& g, const WarpModel& m, int width, int height, int* following)
{
    PointTargets t{};
    GridArray<bool> placed{};
    auto base = [&m](int k, int j) {
        return SourcePosition{double(m.BaseGridX[std::size_t(k)]), double(m.BaseGridY[std::size_t(j)])};
    };
    auto displacement = [&](int k, int j) {
        const SourcePosition p = t[std::size_t(k)][std::size_t(j)];
        return SourcePosition{p.x - base(k, j).x, p.y - base(k, j).y};
    };
    int count = 0;
    for (int k = 0; k < kGridSize; ++k)
        for (int j = 0; j < kGridSize; ++j) {
            // Start where the neighbour above (or to the left) went.
            SourcePosition start = base(k, j);
            if (j > 0 && placed[std::size_t(k)][std::size_t(j - 1)])
                start = {start.x + displacement(k, j - 1).x, start.y + displacement(k, j - 1).y};
            else if (k > 0 && placed[std::size_t(k - 1)][std::size_t(j)])
                start = {start.x + displacement(k - 1, j).x, start.y + displacement(k - 1, j).y};
            if (const std::optional<SourcePosition> p = OutputOf(g, width, height, base(k, j), start)) {
                t[std::size_t(k)][std::size_t(j)] = *p;
                placed[std::size_t(k)][std::size_t(j)] = true;
                ++count;
            }
        }
    if (count == 0)
        return std::nullopt;
    *following = kGridSize * kGridSize - count;
    while (count < kGridSize * kGridSize) {
        GridArray<bool> next = placed;
        for (int k = 0; k < kGridSize; ++k)
            for (int j = 0; j < kGridSize; ++j) {
                if (placed[std::size_t(k)][std::size_t(j)])
                    continue;
                SourcePosition sum{};
                int n = 0;
                for (const auto& [dk, dj] : {std::pair{-1, 0}, {1, 0}, {0, -1}, {0, 1}}) {
                    const int nk = k + dk, nj = j + dj;
                    if (nk < 0 || nj < 0 || nk >= kGridSize || nj >= kGridSize
                        || !placed[std::size_t(nk)][std::size_t(nj)])
                        continue;
                    sum = {sum.x + displacement(nk, nj).x, sum.y + displacement(nk, nj).y};
                    ++n;
                }
                if (n == 0)
                    continue;
                t[std::size_t(k)][std::size_t(j)] = {base(k, j).x + sum.x / n, base(k, j).y + sum.y / n};
                next[std::size_t(k)][std::size_t(j)] = true;
                ++count;
            }
        placed = next;
    }
    return t;
}

std::int16_t Whole(double v)
{
    return std::int16_t(std::clamp(std::lround(v), -32768L, 32767L));
}

// One try of 17x17 positions: the model's tables of their offsets and how close they come.
struct PointTry {
    bool computed = false;
    double worst = 0.0;
    GridArray<OffsetPair> offsets{};
    SourceTable sourceX{};
    SourceTable sourceY{};
    std::optional<PointTargets> shown; // where the try's own tables show the base grid
    QString failure;
};

PointTry TryPositions(const WarpGrid& grid, WarpState& ws, const PointTargets& ask, int width, int height)
{
    PointTry t;
    WarpModel& m = ws.current();
    for (int k = 0; k < kGridSize; ++k)
        for (int j = 0; j < kGridSize; ++j) {
            const SourcePosition& p = ask[std::size_t(k)][std::size_t(j)];
            t.offsets[std::size_t(k)][std::size_t(j)]
                = {Whole(p.x - m.BaseGridX[std::size_t(k)]), Whole(p.y - m.BaseGridY[std::size_t(j)])};
            SetPointOffset(m, k, j, t.offsets[std::size_t(k)][std::size_t(j)]);
        }
    try {
        RebuildWarpTables(ws);
    } catch (const WarpMathError& e) {
        t.failure = QString::fromUtf8(e.what());
        return t;
    }
    t.computed = true;
    t.sourceX = ws.SourceXTable;
    t.sourceY = ws.SourceYTable;
    t.worst = WorstGridDifference(grid, width, height, t.sourceX, t.sourceY).pixels;
    const std::vector<std::uint16_t> x(t.sourceX.begin(), t.sourceX.end());
    const std::vector<std::uint16_t> y(t.sourceY.begin(), t.sourceY.end());
    int following = 0;
    t.shown = PointTargetsOf(GridFromTables(width, height, x, y), m, width, height, &following);
    return t;
}

} // namespace

std::optional<PointOffsetResult> NearestPointOffsets(
    const WarpGrid& grid, int window, int width, int height, QString* error)
{
    auto ws = std::make_unique<WarpState>();
    ws->WarpWindow = window;
    SetWarpFrameSize(*ws, width, height);
    SelectWarpPattern(*ws, Pattern17x17);
    PointOffsetResult result;
    const std::optional<PointTargets> target
        = PointTargetsOf(grid, ws->current(), width, height, &result.followingNeighbours);
    if (!target) {
        if (error)
            *error = QStringLiteral(
                "the grid shows none of the 17x17 points' content; it has no point offsets.");
        return std::nullopt;
    }
    // The model's tables are its splines' inverse, not the grid itself: the positions asked for
    // are corrected by what the model's tables show, a shorter step when a full one is worse.
    PointTargets ask = *target;
    PointTry best = TryPositions(grid, *ws, ask, width, height);
    if (!best.computed) {
        if (error)
            *error = QStringLiteral("its 17x17 point offsets cannot be computed (%1).").arg(best.failure);
        return std::nullopt;
    }
    for (int round = 0; round < 8 && best.worst >= 1.0 / 32 && best.shown; ++round) {
        bool improved = false;
        for (const double step : {1.0, 0.5, 0.25}) {
            PointTargets next = ask;
            for (std::size_t k = 0; k < std::size_t(kGridSize); ++k)
                for (std::size_t j = 0; j < std::size_t(kGridSize); ++j) {
                    next[k][j].x += step * ((*target)[k][j].x - (*best.shown)[k][j].x);
                    next[k][j].y += step * ((*target)[k][j].y - (*best.shown)[k][j].y);
                }
            PointTry t = TryPositions(grid, *ws, next, width, height);
            if (t.computed && t.worst < best.worst) {
                best = std::move(t);
                ask = next;
                improved = true;
                break;
            }
        }
        if (!improved)
            break;
    }
    result.offsets = best.offsets;
    result.sourceX = best.sourceX;
    result.sourceY = best.sourceY;
    return result;
}

} // namespace trivel
