#include "warp/WarpSpline.h"

#include <array>
#include <cmath>

namespace trivel {

namespace {

float toFloat(double v)
{
    return static_cast<float>(v);
}

} // namespace

// Intermediate overflow needs no check of its own: an infinity or NaN carries through to the
// segment coefficients, which are checked at the end.
void BuildCubicSegments(const float* x, const float* y, int n, SplineSegment* segments)
{
    if (n < 2 || n > kMaxKnots)
        throw WarpMathError("spline needs 2 to 17 knots");

    std::array<float, kMaxKnots> h{};
    std::array<float, kMaxKnots> s{};
    for (int k = 0; k + 1 < n; ++k) {
        h[k] = toFloat(double(x[k + 1]) - double(x[k]));
        if (h[k] == 0.0f)
            throw WarpMathError("zero-length spline interval");
        s[k] = toFloat((double(y[k + 1]) - double(y[k])) / double(h[k]));
    }

    // H[i + 2] = h[i], with the end intervals repeated once more on each side.
    std::array<float, kMaxKnots + 2> H{};
    std::array<float, kMaxKnots + 2> S{};
    H[0] = H[1] = h[0];
    S[0] = S[1] = s[0];
    for (int i = 0; i + 1 < n; ++i) {
        H[i + 2] = h[i];
        S[i + 2] = s[i];
    }
    H[n + 1] = h[n - 2];
    S[n + 1] = s[n - 2];

    // Rows of the tridiagonal system, already extended by one copy of each end row (index + 1).
    std::array<float, kMaxKnots + 2> D{}, U{}, L{}, R{};
    for (int i = 0; i < n; ++i) {
        D[i + 1] = toFloat(2.0 * (double(H[i + 1]) + double(H[i + 2])));
        U[i + 1] = H[i + 2];
        L[i + 1] = H[i + 1];
        R[i + 1] = toFloat(3.0 * (double(S[i + 2]) - double(S[i + 1])));
    }
    D[0] = D[1];
    U[0] = U[1];
    L[0] = L[1];
    R[0] = R[1];
    D[n + 1] = D[n];
    U[n + 1] = U[n];
    L[n + 1] = L[n];
    R[n + 1] = R[n];

    std::array<float, kMaxKnots> c{};
    for (int i = 0; i < n; ++i) {
        const double d0 = D[i], d1 = D[i + 1], d2 = D[i + 2];
        const float numerator = toFloat(d0 * d2 * R[i + 1] - d2 * L[i + 1] * R[i] - d0 * U[i + 1] * R[i + 2]);
        const float denominator
            = toFloat(d0 * d1 * d2 - d2 * double(U[i]) * L[i + 1] - d0 * double(U[i + 1]) * L[i + 2]);
        if (denominator == 0.0f)
            throw WarpMathError("singular spline system");
        c[i] = toFloat(double(numerator) / double(denominator));
    }

    for (int k = 0; k + 1 < n; ++k) {
        SplineSegment& seg = segments[k];
        seg.a = y[k];
        seg.c = c[k];
        seg.d = toFloat((double(c[k + 1]) - double(c[k])) / (3.0 * double(h[k])));
        seg.b = toFloat(double(s[k]) - (double(seg.d) * h[k] + seg.c) * h[k]);
        if (!std::isfinite(seg.a) || !std::isfinite(seg.b) || !std::isfinite(seg.c) || !std::isfinite(seg.d))
            throw WarpMathError("warp spline value out of range");
    }
}

} // namespace trivel
