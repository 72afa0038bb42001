#pragma once
// Spline arithmetic of the warp model. Every stored value is a 32-bit float; expressions are
// evaluated in double and rounded when stored, so results do not depend on the compiler's
// choice of float or double intermediates.

#include "warp/WarpState.h"

#include <cmath>
#include <cstdint>
#include <stdexcept>

namespace trivel {

// A warp computation that cannot be carried out: two knots at the same position, a singular
// system or perspective, or a value that is no longer a finite number. Callers abandon the
// operation and send nothing.
class WarpMathError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

inline constexpr int kMaxKnots = kGridSize;

// Fits n - 1 segments through knots x[0..n-1] (increasing) with values y[0..n-1], 2 <= n <= 17.
// Each second-derivative coefficient comes from the local 3 x 3 system around its knot (Cramer's
// rule), not from a sweep of the whole system; the end intervals act as if repeated outside.
// Throws WarpMathError for a zero-length interval or a singular local system.
void BuildCubicSegments(const float* x, const float* y, int n, SplineSegment* segments);

// Value of one segment at distance t past its first knot.
inline float EvaluateSegment(const SplineSegment& segment, float t)
{
    const float t2 = static_cast<float>(double(t) * t);
    const float t3 = static_cast<float>(double(t2) * t);
    return static_cast<float>(
        double(segment.b) * t + segment.a + double(segment.c) * t2 + double(segment.d) * t3);
}

// Value of the spline through knots x[0..n-1] at position: the first segment whose right knot
// lies beyond the position, else the last one (both ends extrapolate).
// The search may start at segment `first` when an earlier call with a position no larger than
// this one found it: every segment before it ends at or before that position too. The segment
// found is stored back for the next, larger position.
inline float EvaluateSpline(const float* x, const SplineSegment* segments, int n, double position, int& first)
{
    int k = first;
    while (k < n - 2 && !(position < x[k + 1]))
        ++k;
    first = k;
    return EvaluateSegment(segments[k], static_cast<float>(position - x[k]));
}

inline float EvaluateSpline(const float* x, const SplineSegment* segments, int n, double position)
{
    int first = 0;
    return EvaluateSpline(x, segments, n, position, first);
}

// Source position in pixels -> stored table entry: trunc(v * 16 + 0.5) toward zero, clamped to
// -16384..49151, low 16 bits. Throws WarpMathError for a value that is not finite.
inline std::uint16_t EncodeSourceValue(float pixels)
{
    if (!std::isfinite(pixels))
        throw WarpMathError("source position is not a number");
    // trunc(w) toward zero, then the clamp; decided on w itself so the conversion below only
    // ever sees values in range (and needs no trunc call).
    const double w = double(pixels) * 16.0 + 0.5;
    std::int32_t v;
    if (w <= -16384.0)
        v = -16384;
    else if (w >= 49151.0)
        v = 49151;
    else
        v = static_cast<std::int32_t>(w);
    return static_cast<std::uint16_t>(v & 0xFFFF);
}

} // namespace trivel
