#include "sim/rig/RigTruth.h"

#include "warp/WarpState.h"

#include <cmath>

namespace trivel::sim {

align::ResidualStats TableTruth(const Rig& rig, int window, const align::SourceTables& tables,
    const align::SourcePlacement& source, int step)
{
    const RigProjector& p = rig.projectors[std::size_t(window)];
    align::ResidualStats s;
    if (tables.x.size() != std::size_t(kSourceTableEntries)
        || tables.y.size() != std::size_t(kSourceTableEntries))
        return s;
    for (int y = 0; y < p.height; y += step)
        for (int x = 0; x < p.width; x += step) {
            const Vec2 src = align::SourceThroughTables(tables, {double(x), double(y)});
            if (src.x < -0.5 || src.y < -0.5 || src.x > source.frameWidth - 0.5
                || src.y > source.frameHeight - 0.5)
                continue;
            s.add((p.screenOf({double(x), double(y)}) - source.screenOf(src)).norm());
        }
    s.finish();
    return s;
}

align::Rect TrueTile(const Rig& rig, int window, const align::Rect& canvas)
{
    const RigProjector& p = rig.projectors[std::size_t(window)];
    const double w = p.width, h = p.height;
    double side[4];
    for (int k = 0; k < 4; ++k) {
        double sum = 0.0;
        int n = 0;
        for (int i = 0; i <= 64; ++i) {
            const double t = i / 64.0;
            const Vec2 o = k == 0 ? Vec2{-0.5, -0.5 + t * h}
                : k == 1          ? Vec2{w - 0.5, -0.5 + t * h}
                : k == 2          ? Vec2{-0.5 + t * w, -0.5}
                                  : Vec2{-0.5 + t * w, h - 0.5};
            const Vec2 s = p.screenOf(o);
            if (k < 2 ? (s.y >= canvas.top && s.y <= canvas.bottom)
                      : (s.x >= canvas.left && s.x <= canvas.right))
                sum += k < 2 ? s.x : s.y, ++n;
        }
        side[k] = n ? sum / n : 0.0;
    }
    return {std::max(side[0], canvas.left), std::max(side[2], canvas.top), std::min(side[1], canvas.right),
        std::min(side[3], canvas.bottom)};
}

align::ResidualStats UncorrectedTruth(const Rig& rig, int window, const align::Rect& canvas, int step)
{
    const RigProjector& p = rig.projectors[std::size_t(window)];
    align::SourcePlacement tile{TrueTile(rig, window, canvas), p.width, p.height};
    align::SourceTables identity;
    identity.x.resize(kSourceTableEntries);
    identity.y.resize(kSourceTableEntries);
    for (int l = 0; l < kSourceTableColumns; ++l)
        for (int n = 0; n < kSourceTableRows; ++n) {
            identity.x[std::size_t(SourceTableIndex(l, n))] = std::uint16_t(256 * l);
            identity.y[std::size_t(SourceTableIndex(l, n))] = std::uint16_t(256 * n);
        }
    return TableTruth(rig, window, identity, tile, step);
}

namespace {

std::optional<double> EdgeIn(const RigProjector& from, bool nearSide, bool sideBySide,
    const RigProjector& into, const align::Rect& canvas)
{
    const double w = from.width, h = from.height;
    double sum = 0.0;
    int n = 0;
    for (int i = 0; i <= 96; ++i) {
        const double t = i / 96.0;
        const Vec2 o = sideBySide ? Vec2{nearSide ? -0.5 : w - 0.5, -0.5 + t * h}
                                  : Vec2{-0.5 + t * w, nearSide ? -0.5 : h - 0.5};
        const Vec2 s = from.screenOf(o);
        if (!canvas.contains(s))
            continue;
        const auto q = into.outputOf(s);
        if (!q)
            continue;
        const double along = sideBySide ? q->y : q->x;
        if (along < -0.5 || along > (sideBySide ? into.height : into.width) - 0.5)
            continue;
        sum += sideBySide ? q->x : q->y;
        ++n;
    }
    return n >= 4 ? std::optional<double>(sum / n) : std::nullopt;
}

} // namespace

std::optional<SeamEdges> TrueSeamEdges(const Rig& rig, const align::Seam& seam, const align::Rect& canvas)
{
    const RigProjector& a = rig.projectors[std::size_t(seam.a)];
    const RigProjector& b = rig.projectors[std::size_t(seam.b)];
    const auto inA = EdgeIn(b, true, seam.sideBySide, a, canvas);
    const auto inB = EdgeIn(a, false, seam.sideBySide, b, canvas);
    if (!inA || !inB)
        return std::nullopt;
    return SeamEdges{*inA, *inB};
}

} // namespace trivel::sim
