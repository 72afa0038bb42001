// Random rigs: every projector gets its own keystone, rotation, scale, lens and falloff, then is
// placed so that its overlap with the neighbour to its left and above has the drawn width at the
// narrowest point of the seam.

#include "sim/rig/Rig.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <random>

namespace trivel::sim {

namespace {

class Draw {
public:
    explicit Draw(std::uint64_t seed)
        : m_rng(seed * 0x9E3779B97F4A7C15ull + 0x2545F4914F6CDD1Dull)
    {
    }
    double uniform(double a, double b) { return a + (b - a) * double(m_rng() >> 11) * 0x1.0p-53; }
    int pick(int n) { return int(m_rng() % std::uint64_t(n)); }

private:
    std::mt19937_64 m_rng;
};

using Quad = std::array<Vec2, 4>; // top-left, top-right, bottom-right, bottom-left

Quad FrameCorners(int w, int h)
{
    return {Vec2{-0.5, -0.5}, Vec2{w - 0.5, -0.5}, Vec2{w - 0.5, h - 0.5}, Vec2{-0.5, h - 0.5}};
}

// The projector's picture before it is placed: keystone, scale and rotation about the origin.
Homography ProjectorShape(Draw& d, int w, int h, const RandomRigRanges& r)
{
    Quad q = FrameCorners(w, h);
    for (Vec2& p : q)
        p = p - Vec2{(w - 1) / 2.0, (h - 1) / 2.0};
    const double k = d.uniform(0.0, r.keystoneMax) / 2.0;
    switch (d.pick(4)) {
    case 0: // top edge shorter
        q[0].x += k * w, q[1].x -= k * w;
        break;
    case 1: // bottom
        q[3].x += k * w, q[2].x -= k * w;
        break;
    case 2: // left
        q[0].y += k * h, q[3].y -= k * h;
        break;
    default: // right
        q[1].y += k * h, q[2].y -= k * h;
        break;
    }
    const double s = d.uniform(0.97, 1.03);
    const double a = d.uniform(-r.rotationMaxDegrees, r.rotationMaxDegrees) * std::numbers::pi / 180.0;
    for (Vec2& p : q)
        p = Vec2{s * (p.x * std::cos(a) - p.y * std::sin(a)), s * (p.x * std::sin(a) + p.y * std::cos(a))};
    return *HomographyFromQuad(FrameCorners(w, h), q);
}

// Screen points along one edge of the frame: side 0 left, 1 right, 2 top, 3 bottom.
std::vector<Vec2> Edge(const RigProjector& p, int side, int samples = 48)
{
    std::vector<Vec2> e;
    for (int i = 0; i <= samples; ++i) {
        const double t = double(i) / samples;
        const double x = side == 0 ? -0.5 : side == 1 ? p.width - 0.5 : -0.5 + t * p.width;
        const double y = side >= 2 ? (side == 2 ? -0.5 : p.height - 0.5) : -0.5 + t * p.height;
        e.push_back(p.screenOf({x, y}));
    }
    return e;
}

// Coordinate `across` of a polyline at coordinate `along` (linear between its points).
std::optional<double> At(const std::vector<Vec2>& line, double along, bool vertical)
{
    for (std::size_t i = 0; i + 1 < line.size(); ++i) {
        const double a0 = vertical ? line[i].y : line[i].x, a1 = vertical ? line[i + 1].y : line[i + 1].x;
        if ((along - a0) * (along - a1) <= 0.0 && a0 != a1) {
            const double t = (along - a0) / (a1 - a0);
            const double b0 = vertical ? line[i].x : line[i].y, b1 = vertical ? line[i + 1].x : line[i + 1].y;
            return b0 + t * (b1 - b0);
        }
    }
    return std::nullopt;
}

// The narrowest overlap of a (left or above) and b along their seam.
double SeamOverlap(const RigProjector& a, const RigProjector& b, bool vertical)
{
    const auto ea = Edge(a, vertical ? 1 : 3);
    const auto eb = Edge(b, vertical ? 0 : 2);
    double narrowest = 1e9;
    for (const Vec2& p : eb) {
        if (const auto v = At(ea, vertical ? p.y : p.x, vertical))
            narrowest = std::min(narrowest, *v - (vertical ? p.x : p.y));
    }
    for (const Vec2& p : ea) {
        if (const auto v = At(eb, vertical ? p.y : p.x, vertical))
            narrowest = std::min(narrowest, (vertical ? p.x : p.y) - *v);
    }
    return narrowest;
}

void Translate(RigProjector& p, Vec2 by)
{
    Homography t;
    t.m = {1, 0, by.x, 0, 1, by.y, 0, 0, 1};
    p.toScreen = t * p.toScreen;
}

// Moves b along the seam's normal until its narrowest overlap with a is `overlap` pixels.
void PlaceAgainst(const RigProjector& a, RigProjector& b, bool vertical, double overlap)
{
    for (int i = 0; i < 6; ++i) {
        const double now = SeamOverlap(a, b, vertical);
        if (now > 1e8) { // no common stretch yet: move b next to a first
            const Vec2 ca = a.screenOf({(a.width - 1) / 2.0, (a.height - 1) / 2.0});
            const Vec2 cb = b.screenOf({(b.width - 1) / 2.0, (b.height - 1) / 2.0});
            Translate(b, vertical ? Vec2{0, ca.y - cb.y} : Vec2{ca.x - cb.x, 0});
            continue;
        }
        Translate(b, vertical ? Vec2{now - overlap, 0} : Vec2{0, now - overlap});
    }
}

void FrameScreen(Rig& rig)
{
    double x0 = 1e18, y0 = 1e18, x1 = -1e18, y1 = -1e18;
    for (const RigProjector& p : rig.projectors)
        for (int side = 0; side < 4; ++side)
            for (const Vec2& s : Edge(p, side)) {
                x0 = std::min(x0, s.x), y0 = std::min(y0, s.y);
                x1 = std::max(x1, s.x), y1 = std::max(y1, s.y);
            }
    const double margin = 24.0;
    for (RigProjector& p : rig.projectors)
        Translate(p, {margin - x0, margin - y0});
    rig.screenWidth = std::ceil(x1 - x0 + 2 * margin);
    rig.screenHeight = std::ceil(y1 - y0 + 2 * margin);
}

void PlaceCamera(Draw& d, Rig& rig, int width, int height, const RandomRigRanges& r)
{
    RigCamera& c = rig.camera;
    c.width = width;
    c.height = height;
    const double s = 0.88 * std::min(width / rig.screenWidth, height / rig.screenHeight);
    const double hw = 0.5 * s * rig.screenWidth, hh = 0.5 * s * rig.screenHeight;
    Quad q{Vec2{-hw, -hh}, Vec2{hw, -hh}, Vec2{hw, hh}, Vec2{-hw, hh}};
    const double k = d.uniform(0.0, 0.04) / 2.0;
    if (d.pick(2) == 0)
        q[0].x += k * 2 * hw, q[1].x -= k * 2 * hw;
    else
        q[0].y += k * 2 * hh, q[3].y -= k * 2 * hh;
    const double a = d.uniform(-2.0, 2.0) * std::numbers::pi / 180.0;
    for (Vec2& p : q)
        p = Vec2{p.x * std::cos(a) - p.y * std::sin(a) + (width - 1) / 2.0,
            p.x * std::sin(a) + p.y * std::cos(a) + (height - 1) / 2.0};
    const Quad screen{Vec2{0, 0}, Vec2{rig.screenWidth, 0}, Vec2{rig.screenWidth, rig.screenHeight},
        Vec2{0, rig.screenHeight}};
    c.fromScreen = *HomographyFromQuad(screen, q);
    c.lens = LensModel{double(width), double(width), (width - 1) / 2.0, (height - 1) / 2.0};
    const double corner2 = (0.25 * width * width + 0.25 * height * height) / (double(width) * width);
    c.lens.k1 = d.uniform(-r.distortionMax, r.distortionMax) / corner2;
    c.noise = r.cameraNoise;
    c.blur = r.cameraBlur;
    c.exposure = 210.0;
    c.ambient = 3.0;
    c.supersample = r.supersample;
}

} // namespace

Rig RandomRig(std::uint64_t seed, align::WallLayout layout, int cameraWidth, int cameraHeight,
    const RandomRigRanges& ranges)
{
    Draw d(seed);
    Rig rig;
    rig.layout = layout;
    const int w = 1920, h = 1080;
    std::vector<double> across(std::size_t(std::max(layout.columns - 1, 0)));
    std::vector<double> down(std::size_t(std::max(layout.rows - 1, 0)));
    for (double& o : across)
        o = d.uniform(ranges.overlapMin, ranges.overlapMax) * w;
    for (double& o : down)
        o = d.uniform(ranges.overlapMin, ranges.overlapMax) * h;
    for (int i = 0; i < layout.windows(); ++i) {
        RigProjector p;
        p.width = w;
        p.height = h;
        p.toScreen = ProjectorShape(d, w, h, ranges);
        p.distortion = d.uniform(-ranges.distortionMax, ranges.distortionMax);
        p.falloff = d.uniform(0.1, 0.35);
        p.brightness = d.uniform(0.85, 1.0);
        p.black = d.uniform(0.001, 0.004);
        rig.projectors.push_back(p);
    }
    for (int i = 0; i < layout.windows(); ++i) {
        RigProjector& p = rig.projectors[std::size_t(i)];
        const int row = layout.rowOf(i), column = layout.columnOf(i);
        if (column == 0 && row > 0) { // under the left column's projector, not at its side
            const RigProjector& above = rig.projectors[std::size_t(i - layout.columns)];
            Translate(p, {above.screenOf({-0.5, h / 2.0}).x - p.screenOf({-0.5, h / 2.0}).x, 0});
        }
        if (column > 0)
            PlaceAgainst(rig.projectors[std::size_t(i - 1)], p, true, across[std::size_t(column - 1)]);
        if (row > 0)
            PlaceAgainst(
                rig.projectors[std::size_t(i - layout.columns)], p, false, down[std::size_t(row - 1)]);
        if (column > 0 && row > 0) // the vertical move shifted the left seam a little
            PlaceAgainst(rig.projectors[std::size_t(i - 1)], p, true, across[std::size_t(column - 1)]);
    }
    FrameScreen(rig);
    PlaceCamera(d, rig, cameraWidth, cameraHeight, ranges);
    rig.camera.seed = seed;
    return rig;
}

} // namespace trivel::sim
