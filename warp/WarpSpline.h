#pragma once
// Spline arithmetic of the warp model. Every stored value is a 32-bit float; expressions are
// evaluated in double and rounded when stored, so results do not depend on the compiler's
// choice of float or double intermediates.

#include "warp/WarpState.h"

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
float EvaluateSegment(const SplineSegment& segment, float t);

// Value of the spline through knots x[0..n-1] at position: the first segment whose right knot
// lies beyond the position, else the last one (both ends extrapolate).
float EvaluateSpline(const float* x, const SplineSegment* segments, int n, double position);

// Source position in pixels -> stored table entry: trunc(v * 16 + 0.5) toward zero, clamped to
// -16384..49151, low 16 bits. Throws WarpMathError for a value that is not finite.
std::uint16_t EncodeSourceValue(float pixels);

} // namespace trivel
