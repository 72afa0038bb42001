#include "align/AlignTypes.h"

#include <QRegularExpression>

#include <algorithm>

namespace trivel::align {

std::optional<Homography> Homography::inverse() const
{
    const auto& a = m;
    const double c00 = a[4] * a[8] - a[5] * a[7];
    const double c01 = a[5] * a[6] - a[3] * a[8];
    const double c02 = a[3] * a[7] - a[4] * a[6];
    const double det = a[0] * c00 + a[1] * c01 + a[2] * c02;
    if (!std::isfinite(det) || std::abs(det) < 1e-300)
        return std::nullopt;
    Homography r;
    r.m = {c00 / det, (a[2] * a[7] - a[1] * a[8]) / det, (a[1] * a[5] - a[2] * a[4]) / det, c01 / det,
        (a[0] * a[8] - a[2] * a[6]) / det, (a[2] * a[3] - a[0] * a[5]) / det, c02 / det,
        (a[1] * a[6] - a[0] * a[7]) / det, (a[0] * a[4] - a[1] * a[3]) / det};
    return r;
}

Homography Homography::operator*(const Homography& o) const
{
    Homography r;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            double s = 0.0;
            for (int k = 0; k < 3; ++k)
                s += m[std::size_t(3 * i + k)] * o.m[std::size_t(3 * k + j)];
            r.m[std::size_t(3 * i + j)] = s;
        }
    return r;
}

bool Homography::finite() const
{
    return std::all_of(m.begin(), m.end(), [](double v) { return std::isfinite(v); });
}

namespace {

// Gaussian elimination with partial pivoting on an n x (n + 1) augmented matrix.
bool SolveSmall(std::vector<std::vector<double>>& a, std::vector<double>& x)
{
    const std::size_t n = a.size();
    for (std::size_t c = 0; c < n; ++c) {
        std::size_t p = c;
        for (std::size_t r = c + 1; r < n; ++r)
            if (std::abs(a[r][c]) > std::abs(a[p][c]))
                p = r;
        if (std::abs(a[p][c]) < 1e-12)
            return false;
        std::swap(a[p], a[c]);
        for (std::size_t r = 0; r < n; ++r) {
            if (r == c)
                continue;
            const double f = a[r][c] / a[c][c];
            for (std::size_t k = c; k <= n; ++k)
                a[r][k] -= f * a[c][k];
        }
    }
    x.resize(n);
    for (std::size_t i = 0; i < n; ++i)
        x[i] = a[i][n] / a[i][i];
    return true;
}

} // namespace

std::optional<Homography> HomographyFromQuad(const std::array<Vec2, 4>& from, const std::array<Vec2, 4>& to)
{
    // Normalised so that pixel-sized coordinates do not spoil the pivots.
    auto frame = [](const std::array<Vec2, 4>& p) {
        Vec2 c;
        for (const Vec2& q : p)
            c = c + q * 0.25;
        double s = 0.0;
        for (const Vec2& q : p)
            s += (q - c).norm() * 0.25;
        s = s > 0.0 ? std::sqrt(2.0) / s : 1.0;
        Homography t;
        t.m = {s, 0, -s * c.x, 0, s, -s * c.y, 0, 0, 1};
        return t;
    };
    const Homography tf = frame(from);
    const Homography tt = frame(to);
    std::vector<std::vector<double>> a(8, std::vector<double>(9, 0.0));
    for (std::size_t i = 0; i < 4; ++i) {
        const Vec2 p = tf.map(from[i]);
        const Vec2 q = tt.map(to[i]);
        a[2 * i] = {p.x, p.y, 1, 0, 0, 0, -q.x * p.x, -q.x * p.y, q.x};
        a[2 * i + 1] = {0, 0, 0, p.x, p.y, 1, -q.y * p.x, -q.y * p.y, q.y};
    }
    std::vector<double> h;
    if (!SolveSmall(a, h))
        return std::nullopt;
    Homography n;
    n.m = {h[0], h[1], h[2], h[3], h[4], h[5], h[6], h[7], 1.0};
    const auto tti = tt.inverse();
    if (!tti)
        return std::nullopt;
    Homography r = *tti * n * tf;
    if (!r.finite() || std::abs(r.m[8]) < 1e-300)
        return std::nullopt;
    for (double& v : r.m)
        v /= r.m[8];
    return r;
}

Vec2 LensModel::distort(Vec2 ideal) const
{
    const double x = (ideal.x - cx) / fx;
    const double y = (ideal.y - cy) / fy;
    const double r2 = x * x + y * y;
    const double radial = 1.0 + k1 * r2 + k2 * r2 * r2;
    const double xd = x * radial + 2.0 * p1 * x * y + p2 * (r2 + 2.0 * x * x);
    const double yd = y * radial + p1 * (r2 + 2.0 * y * y) + 2.0 * p2 * x * y;
    return {cx + fx * xd, cy + fy * yd};
}

Vec2 LensModel::undistort(Vec2 pixel) const
{
    if (!distorts())
        return pixel;
    const double xd = (pixel.x - cx) / fx;
    const double yd = (pixel.y - cy) / fy;
    double x = xd;
    double y = yd;
    for (int i = 0; i < 40; ++i) {
        const double r2 = x * x + y * y;
        const double radial = 1.0 + k1 * r2 + k2 * r2 * r2;
        const double dx = 2.0 * p1 * x * y + p2 * (r2 + 2.0 * x * x);
        const double dy = p1 * (r2 + 2.0 * y * y) + 2.0 * p2 * x * y;
        const double nx = (xd - dx) / radial;
        const double ny = (yd - dy) / radial;
        const bool done = std::abs(nx - x) + std::abs(ny - y) < 1e-12;
        x = nx;
        y = ny;
        if (done)
            break;
    }
    return {cx + fx * x, cy + fy * y};
}

bool LensModel::valid() const
{
    const std::array<double, 8> v{fx, fy, cx, cy, k1, k2, p1, p2};
    return std::all_of(v.begin(), v.end(), [](double d) { return std::isfinite(d); }) && fx > 1.0 && fy > 1.0
        && std::abs(k1) < 1.0 && std::abs(k2) < 1.0 && std::abs(p1) < 0.1 && std::abs(p2) < 0.1;
}

float Photo::sample(double x, double y) const
{
    if (!(x >= 0.0 && y >= 0.0 && x <= width - 1 && y <= height - 1))
        return 0.0f;
    const int x0 = std::min(int(x), width - 1);
    const int y0 = std::min(int(y), height - 1);
    const int x1 = std::min(x0 + 1, width - 1);
    const int y1 = std::min(y0 + 1, height - 1);
    const float fx = float(x - x0);
    const float fy = float(y - y0);
    const float top = at(x0, y0) * (1.0f - fx) + at(x1, y0) * fx;
    const float bottom = at(x0, y1) * (1.0f - fx) + at(x1, y1) * fx;
    return top * (1.0f - fy) + bottom * fy;
}

std::optional<WallLayout> ParseWallLayout(const QString& text)
{
    static const QRegularExpression re(QStringLiteral("^([1-4])x([1-4])$"));
    const auto m = re.match(text.trimmed());
    if (!m.hasMatch())
        return std::nullopt;
    WallLayout l{m.captured(1).toInt(), m.captured(2).toInt()};
    if (!l.valid())
        return std::nullopt;
    return l;
}

} // namespace trivel::align
