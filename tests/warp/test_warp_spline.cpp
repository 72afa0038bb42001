#include "warp/WarpSpline.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace trivel {
namespace {

struct Spline {
    std::vector<float> x, y;
    std::vector<SplineSegment> seg;
    Spline(std::vector<float> knots, std::vector<float> values)
        : x(std::move(knots))
        , y(std::move(values))
        , seg(x.size() - 1)
    {
        BuildCubicSegments(x.data(), y.data(), int(x.size()), seg.data());
    }
    float at(double pos) const { return EvaluateSpline(x.data(), seg.data(), int(x.size()), pos); }
};

TEST(BuildCubicSegments, LocalSystemWorkedExample)
{
    const Spline s({0, 10, 20}, {0, 10, 0});
    // The local 3 x 3 solve, not a natural spline (which would give c = 0, -0.15, 0).
    EXPECT_NEAR(s.seg[0].a, 0.0, 1e-7);
    EXPECT_NEAR(s.seg[0].b, 9.0 / 7.0, 1e-6);
    EXPECT_NEAR(s.seg[0].c, 3.0 / 70.0, 1e-7);
    EXPECT_NEAR(s.seg[0].d, -1.0 / 140.0, 1e-7);
    EXPECT_NEAR(s.seg[1].a, 10.0, 1e-7);
    EXPECT_NEAR(s.seg[1].c, -6.0 / 35.0, 1e-7);

    EXPECT_NEAR(s.at(5), 6.6071, 1e-4);
    EXPECT_NEAR(s.at(15), 6.6071, 1e-4);
    EXPECT_NEAR(s.at(-5), -4.4643, 1e-4); // extrapolates the first segment
    EXPECT_NEAR(s.at(25), -4.4643, 1e-4); // and the last
    EXPECT_FLOAT_EQ(s.at(10), 10.0f);
    EXPECT_FLOAT_EQ(s.at(20), 0.0f);
}

TEST(BuildCubicSegments, TwoKnotsAndCollinearKnotsAreStraight)
{
    struct Case {
        const char* name;
        std::vector<float> x, y;
    };
    const std::vector<Case> cases{
        {"two knots", {0, 960}, {5, 25}},
        {"five uneven collinear", {0, 67, 135, 202, 1080},
            {3, 3 + 67 * 0.5f, 3 + 135 * 0.5f, 3 + 202 * 0.5f, 543}},
        {"seventeen flat",
            {0, 120, 240, 360, 480, 600, 720, 840, 960, 1080, 1200, 1320, 1440, 1560, 1680, 1800, 1920},
            std::vector<float>(17, -10.0f)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Spline s(c.x, c.y);
        for (const SplineSegment& seg : s.seg) {
            EXPECT_NEAR(seg.c, 0.0, 1e-6);
            EXPECT_NEAR(seg.d, 0.0, 1e-8);
        }
        const double slope = (double(c.y.back()) - c.y.front()) / (double(c.x.back()) - c.x.front());
        for (double pos : {-50.0, double(c.x[0]), 33.0, double(c.x.back()) * 0.7, double(c.x.back()) + 40})
            EXPECT_NEAR(s.at(pos), c.y.front() + slope * (pos - c.x.front()), 1e-3) << pos;
    }
}

TEST(BuildCubicSegments, ZeroLengthIntervalIsAnError)
{
    const std::vector<float> x{0, 10, 10, 30};
    const std::vector<float> y{0, 1, 2, 3};
    std::vector<SplineSegment> seg(3);
    EXPECT_THROW(BuildCubicSegments(x.data(), y.data(), 4, seg.data()), WarpMathError);

    const float inf = std::numeric_limits<float>::infinity();
    const std::vector<float> bad{0, inf, 2 * inf, 3 * inf};
    EXPECT_THROW(BuildCubicSegments(bad.data(), y.data(), 4, seg.data()), WarpMathError);
    EXPECT_THROW(BuildCubicSegments(x.data(), y.data(), 1, seg.data()), WarpMathError);
}

TEST(EncodeSourceValue, TruncatesTowardZeroClampsAndKeepsLow16Bits)
{
    struct Case {
        float pixels;
        std::uint16_t stored;
    };
    const Case cases[] = {
        {0.0f, 0},
        {-0.01f, 0}, // trunc(-0.16 + 0.5), not -1
        {-9.96875f, 0xFF61}, // trunc(-159.5 + 0.5) = -159
        {6.03125f, 97}, // 96.5 + 0.5
        {-1024.0f, 0xC001}, // -16383.5 toward zero
        {-1024.03125f, 0xC000},
        {3068.0f, 49088},
        {-5000.0f, 0xC000}, // clamped to -16384
        {5000.0f, 49151}, // clamped to 49151
        {3071.9375f, 49151},
    };
    for (const Case& c : cases)
        EXPECT_EQ(EncodeSourceValue(c.pixels), c.stored) << c.pixels;
    EXPECT_THROW(EncodeSourceValue(std::numeric_limits<float>::quiet_NaN()), WarpMathError);
    EXPECT_THROW(EncodeSourceValue(std::numeric_limits<float>::infinity()), WarpMathError);
}

} // namespace
} // namespace trivel
