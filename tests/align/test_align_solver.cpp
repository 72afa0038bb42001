// The solver on its own: patterns as the box would show them, the fit on synthetic stripe
// boundaries of a known wall, the canvas, the tables, the point offsets and the blend.

#include "align/Solve.h"
#include "preview/OutputPreview.h"
#include "sim/rig/RigScene.h"

#include <gtest/gtest.h>

#include <random>

using namespace trivel;
using namespace trivel::align;

namespace {

// What a window shows with this stream as its mask, over a black source.
QImage Shown(const MaskBytes& stream, int w, int h)
{
    PreviewInput in;
    in.width = w;
    in.height = h;
    in.mask = sim::PreviewMaskFromStream(stream);
    return RenderOutputPreview(in);
}

} // namespace

TEST(AlignPatterns, EveryFrameLightsItsStripesAndTheInverseTheRest)
{
    const PatternSet set = MakePatternSet(64, 40, 3, 2);
    ASSERT_EQ(set.frames.size(), 1u + 2 * (3 + 2));
    for (const PatternFrame& f : set.frames) {
        const MaskBytes stream = PatternStream(set, f);
        EXPECT_EQ(stream.size(), PatternStreamBytes(set, f));
        const QImage img = Shown(stream, 64, 40);
        ASSERT_FALSE(img.isNull());
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 64; ++x) {
                bool lit = true;
                if (f.kind == PatternFrame::Kind::Stripes) {
                    lit = f.axis == Axis::X ? set.x.lit(x, f.bit) : set.y.lit(y, f.bit);
                    lit = lit != f.inverse;
                }
                ASSERT_EQ(qGray(img.pixel(x, y)), lit ? 255 : 0)
                    << FrameNumber(set, f) << " at " << x << "," << y;
            }
    }
}

TEST(AlignPatterns, NeighbouringStripesDifferInTheBitOfTheirBoundary)
{
    const StripeCode c = StripeCode::Make(1920, 5);
    EXPECT_EQ(c.bounds.front(), 0);
    EXPECT_EQ(c.bounds.back(), 1920);
    EXPECT_EQ(c.narrowest(), 60);
    for (int k = 1; k < c.stripes(); ++k) {
        const int changed = StripeCode::Gray(k) ^ StripeCode::Gray(k - 1);
        EXPECT_EQ(changed, 1 << StripeCode::BitOfBoundary(k));
        EXPECT_EQ(StripeCode::FromGray(StripeCode::Gray(k)), k);
        EXPECT_EQ(c.stripeOf(c.bounds[std::size_t(k)]), k);
        EXPECT_EQ(c.stripeOf(c.bounds[std::size_t(k)] - 1), k - 1);
        EXPECT_DOUBLE_EQ(c.boundary(k), c.bounds[std::size_t(k)] - 0.5);
    }
}

// The finest code that fits the box: its stripes wide enough for the camera and each stream
// within MonoMaskLimit. A full-height column pattern costs a run byte per stripe and row.
TEST(AlignPatterns, BitsRespectTheCameraAndTheBoxLimit)
{
    struct Case {
        Axis axis;
        double minStripe;
        std::size_t limit;
        int bits;
    };
    const Case cases[] = {
        {Axis::X, 6.0, kMonoMaskLimitSmall, 5}, // 33 runs a row of 1080 passes 32 KiB
        {Axis::X, 6.0, kMonoMaskLimitLarge, 8}, // 7.5-pixel stripes; 9 bits would be 3.75
        {Axis::X, 100.0, kMonoMaskLimitLarge, 4}, // 120-pixel stripes
        {Axis::Y, 6.0, kMonoMaskLimitSmall, 7}, // rows of one value cost the same for every bit
        {Axis::Y, 30.0, kMonoMaskLimitSmall, 5},
    };
    for (const Case& c : cases) {
        const int bits = BitsFor(c.axis, 1920, 1080, c.minStripe, c.limit);
        EXPECT_EQ(bits, c.bits) << c.minStripe << " " << c.limit;
        const PatternSet set
            = MakePatternSet(1920, 1080, c.axis == Axis::X ? bits : 1, c.axis == Axis::Y ? bits : 1);
        for (const PatternFrame& f : set.frames)
            EXPECT_LE(PatternStreamBytes(set, f), c.limit);
    }
    EXPECT_EQ(WhiteFrameStream().size(), 33u);
    const PatternCost cost = CostOfStream(1000);
    EXPECT_EQ(cost.roundTrips, 3 + 1); // chunks of 480, 480 and 40 bytes, then the show frame
}

namespace {

// A known wall of two windows side by side: output pixels -> screen by a homography each, the
// camera a lens over the screen's own coordinates.
struct KnownWall {
    std::array<Homography, 2> toScreen;
    LensModel lens{2000.0, 2000.0, 1800.0, 560.0, -0.03, 0.0, 0.0, 0.0};

    KnownWall()
    {
        toScreen[0]
            = *HomographyFromQuad({Vec2{-0.5, -0.5}, {1919.5, -0.5}, {1919.5, 1079.5}, {-0.5, 1079.5}},
                {Vec2{40, 30}, {1960, 60}, {1940, 1110}, {30, 1080}});
        toScreen[1]
            = *HomographyFromQuad({Vec2{-0.5, -0.5}, {1919.5, -0.5}, {1919.5, 1079.5}, {-0.5, 1079.5}},
                {Vec2{1640, 50}, {3560, 20}, {3580, 1100}, {1660, 1060}});
    }
    Vec2 camera(int w, Vec2 output) const { return lens.distort(toScreen[std::size_t(w)].map(output)); }

    // Stripe boundaries as the decoder reports them, with a little noise in the camera.
    Correspondences boundaries(int w, double noise, std::mt19937& rng) const
    {
        std::normal_distribution<double> n(0.0, noise);
        Correspondences c;
        const StripeCode x = StripeCode::Make(1920, 5), y = StripeCode::Make(1080, 5);
        for (int k = 0; k <= x.stripes(); ++k)
            for (double v = 0; v < 1080; v += 3) {
                const double at = k == 0 ? -0.5 : k == x.stripes() ? 1919.5 : x.boundary(k);
                const Vec2 p = camera(w, {at, v}) + Vec2{n(rng), n(rng)};
                c.xEdges.push_back({float(p.x), float(p.y), float(at)});
            }
        for (int k = 0; k <= y.stripes(); ++k)
            for (double u = 0; u < 1920; u += 3) {
                const double at = k == 0 ? -0.5 : k == y.stripes() ? 1079.5 : y.boundary(k);
                const Vec2 p = camera(w, {u, at}) + Vec2{n(rng), n(rng)};
                c.yEdges.push_back({float(p.x), float(p.y), float(at)});
            }
        for (int i = 0; i < x.stripes(); ++i)
            for (int j = 0; j < y.stripes(); ++j) {
                const Vec2 o{(x.bounds[std::size_t(i)] + x.bounds[std::size_t(i) + 1] - 1) / 2.0,
                    (y.bounds[std::size_t(j)] + y.bounds[std::size_t(j) + 1] - 1) / 2.0};
                c.cells.push_back({camera(w, o), o, 100});
            }
        return c;
    }
    CameraView view() const
    {
        ScreenMarks m;
        m.screen = {Vec2{0, 0}, {3600, 0}, {3600, 1140}, {0, 1140}};
        for (std::size_t i = 0; i < 4; ++i)
            m.camera[i] = lens.distort(m.screen[i]);
        return *CameraView::FromMarks(lens, m);
    }
};

} // namespace

TEST(AlignSolver, FitOnSyntheticBoundariesFindsWhereEveryPixelLands)
{
    const KnownWall wall;
    std::mt19937 rng(7);
    for (double noise : {0.0, 0.1}) {
        QString error;
        const auto m = WindowMapping::Fit(wall.boundaries(0, noise, rng), 1920, 1080, 32, 32, error);
        ASSERT_TRUE(m) << qPrintable(error);
        const WindowGeometry g(*m, wall.view());
        double worst = 0.0;
        for (double y = 0; y < 1080; y += 40)
            for (double x = 0; x < 1920; x += 40) {
                worst = std::max(worst, (g.screenOf({x, y}) - wall.toScreen[0].map({x, y})).norm());
                const auto back = g.outputOf(wall.toScreen[0].map({x, y}));
                ASSERT_TRUE(back);
                worst = std::max(worst, (*back - Vec2{x, y}).norm());
            }
        EXPECT_LT(worst, noise == 0.0 ? 0.1 : 0.25) << noise;
    }
}

TEST(AlignSolver, TablesBlendAndPointsOfAKnownWall)
{
    const KnownWall wall;
    std::mt19937 rng(3);
    std::vector<WindowGeometry> windows;
    for (int w = 0; w < 2; ++w) {
        QString error;
        const auto m = WindowMapping::Fit(wall.boundaries(w, 0.0, rng), 1920, 1080, 32, 32, error);
        ASSERT_TRUE(m) << qPrintable(error);
        windows.emplace_back(*m, wall.view());
    }
    for (InputMode mode : {InputMode::Shared, InputMode::Tiled}) {
        SolveOptions o;
        o.input = mode;
        const Solution s = Solve(windows, {1, 2}, o);
        ASSERT_TRUE(s.problems.isEmpty()) << qPrintable(s.problems.join(' '));
        // The canvas as the true footprints give it.
        std::vector<std::vector<Vec2>> footprints;
        for (const Homography& h : wall.toScreen)
            footprints.push_back(
                {h.map({-0.5, -0.5}), h.map({1919.5, -0.5}), h.map({1919.5, 1079.5}), h.map({-0.5, 1079.5})});
        const Rect truth = *LargestRectangle(footprints);
        EXPECT_NEAR(s.canvas.left, truth.left, 0.5);
        EXPECT_NEAR(s.canvas.top, truth.top, 0.5);
        EXPECT_NEAR(s.canvas.right, truth.right, 0.5);
        EXPECT_NEAR(s.canvas.bottom, truth.bottom, 0.5);
        for (int w = 0; w < 2; ++w) {
            const WindowSolution& ws = s.windows[std::size_t(w)];
            for (double y = 8; y < 1080; y += 64)
                for (double x = 8; x < 1920; x += 64) {
                    const Vec2 src = SourceThroughTables(ws.tables, {x, y});
                    // The fit's 0.05 and half a 1/16 source pixel at up to 1.8 screen pixels each.
                    EXPECT_LT(
                        (ws.source.screenOf(src) - wall.toScreen[std::size_t(w)].map({x, y})).norm(), 0.15);
                }
            if (mode
                == InputMode::Tiled) { // the point mode's splines and whole pixels: within a pixel or two
                EXPECT_EQ(ws.pointsClamped, 0);
                const auto viaPoints = TablesFromPointOffsets(1920, 1080, ws.pointOffsets);
                ASSERT_TRUE(viaPoints);
                for (double y = 8; y < 1080; y += 64)
                    for (double x = 8; x < 1920; x += 64)
                        EXPECT_LT(
                            (SourceThroughTables(*viaPoints, {x, y}) - SourceThroughTables(ws.tables, {x, y}))
                                .norm(),
                            2.0);
            }
        }
        // The blend ramps cover the overlap: from where window 2's frame begins to where window 1's
        // ends, both taken halfway down the canvas (the edges are straight, so that is their mean).
        ASSERT_EQ(s.seams.size(), 1u);
        const BlendPlan& a = s.windows[0].blend;
        const BlendPlan& b = s.windows[1].blend;
        EXPECT_EQ(a.width[0] + a.width[2] + a.width[3], 0);
        EXPECT_EQ(b.width[1] + b.width[2] + b.width[3], 0);
        const double midY = 0.5 * (s.canvas.top + s.canvas.bottom);
        auto edgeAt = [&](int from, double x, int into) {
            // The point of `from`'s frame edge x at the screen row midY, in `into`'s output.
            double lo = -0.5, hi = 1079.5;
            for (int i = 0; i < 60; ++i) {
                const double mid = 0.5 * (lo + hi);
                (wall.toScreen[std::size_t(from)].map({x, mid}).y < midY ? lo : hi) = mid;
            }
            return wall.toScreen[std::size_t(into)]
                .inverse()
                ->map(wall.toScreen[std::size_t(from)].map({x, lo}))
                .x;
        };
        EXPECT_NEAR(1919.5 - a.width[1], edgeAt(1, -0.5, 0), 2.0);
        EXPECT_NEAR(b.width[0] - 0.5, edgeAt(0, 1919.5, 1), 2.0);
        EXPECT_EQ(a.gammaOffset * 22, a.transitionGamma * 10); // straight in light for gamma 2.2
    }
}

TEST(AlignSolver, LargestRectangleInsideTheUnion)
{
    using Poly = std::vector<Vec2>;
    auto box = [](double l, double t, double r, double b) { return Poly{{l, t}, {r, t}, {r, b}, {l, b}}; };
    struct Case {
        const char* name;
        std::vector<Poly> polygons;
        double aspect;
        Rect expected;
    };
    const Case cases[] = {
        {"one box", {box(10, 20, 110, 70)}, 0.0, {10, 20, 110, 70}},
        {"two boxes side by side, offset", {box(0, 0, 100, 50), box(80, 10, 200, 60)}, 0.0, {0, 10, 200, 50}},
        {"the same cut to 2:1", {box(0, 0, 100, 50), box(80, 10, 200, 60)}, 2.0, {60, 10, 140, 50}},
        {"a diamond", {Poly{{50, 0}, {100, 50}, {50, 100}, {0, 50}}}, 0.0, {25, 25, 75, 75}},
    };
    for (const Case& c : cases) {
        const auto r = LargestRectangle(c.polygons, c.aspect);
        ASSERT_TRUE(r) << c.name;
        EXPECT_NEAR(r->left, c.expected.left, 0.3) << c.name;
        EXPECT_NEAR(r->top, c.expected.top, 0.3) << c.name;
        EXPECT_NEAR(r->right, c.expected.right, 0.3) << c.name;
        EXPECT_NEAR(r->bottom, c.expected.bottom, 0.3) << c.name;
    }
    EXPECT_FALSE(LargestRectangle({}));
}

TEST(AlignSolver, LensAndHomographyRoundTrips)
{
    for (const LensModel& lens : {LensModel{1000, 1000, 640, 360, 0.0}, LensModel{1000, 1000, 640, 360, 0.09},
             LensModel{1200, 1100, 600, 380, -0.08, 0.02, 0.001, -0.002}}) {
        for (const Vec2 p : {Vec2{0, 0}, Vec2{1279, 719}, Vec2{640, 10}}) {
            const Vec2 back = lens.distort(lens.undistort(p));
            EXPECT_NEAR(back.x, p.x, 1e-6);
            EXPECT_NEAR(back.y, p.y, 1e-6);
        }
    }
    const std::array<Vec2, 4> from{Vec2{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    const std::array<Vec2, 4> to{Vec2{10, 20}, {110, 25}, {120, 130}, {5, 118}};
    const auto h = HomographyFromQuad(from, to);
    ASSERT_TRUE(h);
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_NEAR(h->map(from[i]).x, to[i].x, 1e-9);
        EXPECT_NEAR(h->inverse()->map(to[i]).y, from[i].y, 1e-9);
    }
    EXPECT_FALSE(HomographyFromQuad(from, {Vec2{0, 0}, {1, 1}, {2, 2}, {3, 3}})); // all on one line
}
