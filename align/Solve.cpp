#include "align/Solve.h"

#include "warp/WarpModel.h"
#include "warp/WarpSpline.h"

#include <algorithm>
#include <cmath>

namespace trivel::align {

Vec2 SourcePlacement::screenOf(Vec2 source) const
{
    return {screen.left + (source.x + 0.5) * screen.width() / frameWidth,
        screen.top + (source.y + 0.5) * screen.height() / frameHeight};
}

Vec2 SourcePlacement::sourceOf(Vec2 p) const
{
    return {(p.x - screen.left) * frameWidth / screen.width() - 0.5,
        (p.y - screen.top) * frameHeight / screen.height() - 0.5};
}

namespace {

// Between mesh points the box interpolates and then drops the fraction below 1/16 pixel (the
// output preview models it so); half a unit more in every entry makes that a rounding.
std::uint16_t TableEntry(double source)
{
    const double v
        = std::isfinite(source) ? std::clamp(std::round(source * 16.0 + 0.5), -16384.0, 49151.0) : -16384.0;
    return std::uint16_t(std::int32_t(v) & 0xFFFF);
}

int SignedEntry(std::uint16_t w)
{
    return w >= 0xC000 ? int(w) - 65536 : int(w);
}

} // namespace

SourceTables TablesFor(const WindowGeometry& g, const SourcePlacement& source)
{
    SourceTables t;
    t.x.assign(kSourceTableEntries, 0);
    t.y.assign(kSourceTableEntries, 0);
    // The renderer reads one mesh column and row past the frame; the rest repeats the last.
    const int lastL = std::min(kSourceTableColumns - 1, (g.frameWidth() - 1) / kMeshStep + 2);
    const int lastN = std::min(kSourceTableRows - 1, (g.frameHeight() - 1) / kMeshStep + 2);
    for (int l = 0; l < kSourceTableColumns; ++l)
        for (int n = 0; n < kSourceTableRows; ++n) {
            const auto i = std::size_t(SourceTableIndex(l, n));
            if (l > lastL || n > lastN) {
                const auto from = std::size_t(SourceTableIndex(std::min(l, lastL), std::min(n, lastN)));
                t.x[i] = t.x[from], t.y[i] = t.y[from];
                continue;
            }
            const Vec2 s = source.sourceOf(g.screenOf({double(l * kMeshStep), double(n * kMeshStep)}));
            t.x[i] = TableEntry(s.x);
            t.y[i] = TableEntry(s.y);
        }
    return t;
}

Vec2 SourceThroughTables(const SourceTables& t, Vec2 output)
{
    if (t.x.size() != std::size_t(kSourceTableEntries) || t.y.size() != std::size_t(kSourceTableEntries))
        return output;
    // The output preview's arithmetic: between mesh points in 1/256 pixel, then down to 1/16.
    const int x = std::clamp(int(std::lround(output.x)), 0, kMaxWarpFrameWidth);
    const int y = std::clamp(int(std::lround(output.y)), 0, kMaxWarpFrameHeight);
    const int l = std::min(x >> 4, kSourceTableColumns - 1), fx = x & 15;
    const int n = std::min(y >> 4, kSourceTableRows - 1), fy = y & 15;
    const int l1 = std::min(l + 1, kSourceTableColumns - 1), n1 = std::min(n + 1, kSourceTableRows - 1);
    auto axis = [&](const std::vector<std::uint16_t>& tab) {
        auto at = [&](int a, int b) { return SignedEntry(tab[std::size_t(SourceTableIndex(a, b))]); };
        const int c0 = at(l, n) * (16 - fy) + at(l, n1) * fy;
        const int c1 = at(l1, n) * (16 - fy) + at(l1, n1) * fy;
        return double((c0 * 16 + (c1 - c0) * fx) >> 8) / 16.0;
    };
    return {axis(t.x), axis(t.y)};
}

GridArray<OffsetPair> PointOffsetsFor(const WindowGeometry& g, const SourcePlacement& source, int& clamped)
{
    WarpState st;
    SetWarpFrameSize(st, g.frameWidth(), g.frameHeight());
    const WarpModel& m = st.current();
    GridArray<OffsetPair> out{};
    clamped = 0;
    for (int k = 0; k < kGridSize; ++k)
        for (int j = 0; j < kGridSize; ++j) {
            const Vec2 base{double(m.BaseGridX[std::size_t(k)]), double(m.BaseGridY[std::size_t(j)])};
            const auto o = g.outputOf(source.screenOf(base));
            Vec2 d = o ? *o - base : Vec2{};
            const Vec2 cut{
                std::clamp(std::round(d.x), -600.0, 600.0), std::clamp(std::round(d.y), -600.0, 600.0)};
            clamped += !o || cut.x != std::round(d.x) || cut.y != std::round(d.y);
            out[std::size_t(k)][std::size_t(j)] = {std::int16_t(cut.x), std::int16_t(cut.y)};
        }
    return out;
}

std::optional<SourceTables> TablesFromPointOffsets(
    int width, int height, const GridArray<OffsetPair>& offsets)
{
    WarpState st;
    if (!SetWarpFrameSize(st, width, height))
        return std::nullopt;
    SelectWarpPattern(st, Pattern17x17);
    for (int k = 0; k < kGridSize; ++k)
        for (int j = 0; j < kGridSize; ++j)
            SetPointOffset(st.current(), k, j, offsets[std::size_t(k)][std::size_t(j)]);
    try {
        RebuildWarpTables(st);
    } catch (const WarpMathError&) {
        return std::nullopt;
    }
    return SourceTables{
        {st.SourceXTable.begin(), st.SourceXTable.end()}, {st.SourceYTable.begin(), st.SourceYTable.end()}};
}

void SetBlendCurve(BlendPlan& plan, double projectorGamma)
{
    plan.transitionGamma = 220;
    plan.gammaOffset = std::clamp(int(std::lround(220.0 / std::max(projectorGamma, 0.5))), 90, 250);
}

namespace {

struct EdgeStats {
    double mean = 0.0;
    double lean = 0.0;
};

// The near (left or top) or far edge of `from`, in the output coordinates of `into`, where it
// lies inside the canvas and inside the other window's frame.
std::optional<EdgeStats> EdgeIn(const WindowGeometry& from, bool nearSide, bool sideBySide,
    const WindowGeometry& into, const Rect& canvas)
{
    const double w = from.frameWidth(), h = from.frameHeight();
    std::vector<double> values;
    const int samples = 96;
    for (int i = 0; i <= samples; ++i) {
        const double t = double(i) / samples;
        const Vec2 o = sideBySide ? Vec2{nearSide ? -0.5 : w - 0.5, -0.5 + t * h}
                                  : Vec2{-0.5 + t * w, nearSide ? -0.5 : h - 0.5};
        const Vec2 p = from.screenOf(o);
        if (!canvas.contains(p))
            continue;
        const auto q = into.outputOf(p);
        if (!q)
            continue;
        const double along = sideBySide ? q->y : q->x;
        const double limit = sideBySide ? into.frameHeight() - 0.5 : into.frameWidth() - 0.5;
        if (along < -0.5 || along > limit)
            continue;
        values.push_back(sideBySide ? q->x : q->y);
    }
    if (values.size() < 4)
        return std::nullopt;
    EdgeStats s;
    for (double v : values)
        s.mean += v / double(values.size());
    s.lean = values.back() - values.front();
    return s;
}

// Where a side of the window lies on the canvas, averaged along it; the canvas edge when the
// side lies outside the canvas.
double TileSide(const WindowGeometry& g, int side, const Rect& canvas)
{
    const double w = g.frameWidth(), h = g.frameHeight();
    double sum = 0.0;
    int n = 0;
    for (int i = 0; i <= 64; ++i) {
        const double t = i / 64.0;
        const Vec2 o = side == 0 ? Vec2{-0.5, -0.5 + t * h}
            : side == 1          ? Vec2{w - 0.5, -0.5 + t * h}
            : side == 2          ? Vec2{-0.5 + t * w, -0.5}
                                 : Vec2{-0.5 + t * w, h - 0.5};
        const Vec2 p = g.screenOf(o);
        const bool within = side < 2 ? p.y >= canvas.top && p.y <= canvas.bottom
                                     : p.x >= canvas.left && p.x <= canvas.right;
        if (within)
            sum += side < 2 ? p.x : p.y, ++n;
    }
    const double mean = n ? sum / n
                          : (side == 0        ? canvas.left
                                  : side == 1 ? canvas.right
                                  : side == 2 ? canvas.top
                                              : canvas.bottom);
    switch (side) {
    case 0:
        return std::max(mean, canvas.left);
    case 1:
        return std::min(mean, canvas.right);
    case 2:
        return std::max(mean, canvas.top);
    default:
        return std::min(mean, canvas.bottom);
    }
}

void AddSeam(Solution& sol, const std::vector<WindowGeometry>& g, int a, int b, bool sideBySide,
    const WallLayout& layout)
{
    const auto inA = EdgeIn(g[std::size_t(b)], true, sideBySide, g[std::size_t(a)], sol.canvas);
    const auto inB = EdgeIn(g[std::size_t(a)], false, sideBySide, g[std::size_t(b)], sol.canvas);
    const double sizeA = sideBySide ? g[std::size_t(a)].frameWidth() : g[std::size_t(a)].frameHeight();
    const int widthA = inA ? int(std::lround(sizeA - 0.5 - inA->mean)) : 0;
    const int widthB = inB ? int(std::lround(inB->mean + 0.5)) : 0;
    if (!inA || !inB || widthA <= 0 || widthB <= 0) {
        sol.problems << QStringLiteral(
            "%1 and %2 do not overlap on the screen, though layout %3 puts them %4: check "
            "the layout and the projectors.")
                            .arg(WindowTitle(a), WindowName(b), layout.text(),
                                QLatin1String(sideBySide ? "side by side" : "one above the other"));
        return;
    }
    sol.seams.push_back({a, b, sideBySide, inA->mean, inB->mean, inA->lean, inB->lean});
    BlendPlan& pa = sol.windows[std::size_t(a)].blend;
    BlendPlan& pb = sol.windows[std::size_t(b)].blend;
    pa.width[sideBySide ? 1 : 3] = widthA;
    pb.width[sideBySide ? 0 : 2] = widthB;
    for (int w : {widthA, widthB})
        if (w < 50)
            sol.warnings << QStringLiteral(
                "The overlap of %1 and %2 is only %3 pixels wide; the box's blend page "
                "shows widths from 50.")
                                .arg(WindowName(a), WindowName(b))
                                .arg(w);
}

} // namespace

Solution Solve(
    const std::vector<WindowGeometry>& windows, const WallLayout& layout, const SolveOptions& options)
{
    Solution sol;
    std::vector<std::vector<Vec2>> footprints;
    for (const WindowGeometry& g : windows)
        footprints.push_back(g.footprint());
    const auto canvas = options.canvas ? options.canvas : LargestRectangle(footprints, options.aspect);
    if (!canvas || canvas->empty()) {
        sol.problems << QStringLiteral("The windows do not cover one area of the screen together.");
        return sol;
    }
    sol.canvas = *canvas;
    sol.windows.resize(windows.size());
    for (std::size_t w = 0; w < windows.size(); ++w)
        SetBlendCurve(sol.windows[w].blend, options.projectorGamma);
    for (int w = 0; w < int(windows.size()); ++w) {
        if (layout.columnOf(w) + 1 < layout.columns && w + 1 < int(windows.size()))
            AddSeam(sol, windows, w, w + 1, true, layout);
        if (layout.rowOf(w) + 1 < layout.rows && w + layout.columns < int(windows.size()))
            AddSeam(sol, windows, w, w + layout.columns, false, layout);
    }
    for (std::size_t w = 0; w < windows.size(); ++w) {
        const WindowGeometry& g = windows[w];
        WindowSolution& ws = sol.windows[w];
        ws.source.frameWidth = g.frameWidth();
        ws.source.frameHeight = g.frameHeight();
        ws.source.screen = options.input == InputMode::Shared
            ? sol.canvas
            : Rect{TileSide(g, 0, sol.canvas), TileSide(g, 2, sol.canvas), TileSide(g, 1, sol.canvas),
                TileSide(g, 3, sol.canvas)};
        if (ws.source.screen.empty()) {
            sol.problems << QStringLiteral("%1 has no part of the canvas.").arg(WindowTitle(int(w)));
            continue;
        }
        ws.tables = TablesFor(g, ws.source);
        ws.pointOffsets = PointOffsetsFor(g, ws.source, ws.pointsClamped);
    }
    return sol;
}

void BlendPlan::applyTo(BlendRecord& record) const
{
    for (int side = 0; side < 4; ++side) {
        record.setEdgeWidth(side, std::uint16_t(std::clamp(width[std::size_t(side)], 0, 65535)));
        record.setEdgeShift(side, std::int16_t(std::clamp(shift[std::size_t(side)], -32768, 32767)));
    }
    for (int c = 0; c < 3; ++c) {
        record.setTransitionGamma(c, std::uint16_t(std::clamp(transitionGamma, 0, 65535)));
        record.gammaGain(c) = 50;
    }
    record.gammaOffset() = std::uint8_t(std::clamp(gammaOffset, 0, 255));
}

} // namespace trivel::align
