#include "align/WindowFit.h"

#include <opencv2/calib3d.hpp>
#include <opencv2/core.hpp>

#include <algorithm>
#include <cmath>

namespace trivel::align {

namespace {

void Basis(double t, std::array<double, 4>& b)
{
    const double s = 1.0 - t;
    b[0] = s * s * s / 6.0;
    b[1] = (3.0 * t * t * t - 6.0 * t * t + 4.0) / 6.0;
    b[2] = (-3.0 * t * t * t + 3.0 * t * t + 3.0 * t + 1.0) / 6.0;
    b[3] = t * t * t / 6.0;
}

// Solves the symmetric positive definite system a x = b in place (a is n x n, row-major).
bool Cholesky(std::vector<double>& a, std::vector<double>& b, std::size_t n)
{
    for (std::size_t j = 0; j < n; ++j) {
        double d = a[j * n + j];
        for (std::size_t k = 0; k < j; ++k)
            d -= a[j * n + k] * a[j * n + k];
        if (!(d > 1e-12))
            return false;
        d = std::sqrt(d);
        a[j * n + j] = d;
        for (std::size_t i = j + 1; i < n; ++i) {
            double s = a[i * n + j];
            for (std::size_t k = 0; k < j; ++k)
                s -= a[i * n + k] * a[j * n + k];
            a[i * n + j] = s / d;
        }
    }
    for (std::size_t i = 0; i < n; ++i) {
        double s = b[i];
        for (std::size_t k = 0; k < i; ++k)
            s -= a[i * n + k] * b[k];
        b[i] = s / a[i * n + i];
    }
    for (std::size_t i = n; i-- > 0;) {
        double s = b[i];
        for (std::size_t k = i + 1; k < n; ++k)
            s -= a[k * n + i] * b[k];
        b[i] = s / a[i * n + i];
    }
    return true;
}

} // namespace

SplineSurface::SplineSurface(double x0, double y0, double width, double height, int cellsX, int cellsY)
    : m_x0(x0)
    , m_y0(y0)
    , m_hx(width / std::max(cellsX, 1))
    , m_hy(height / std::max(cellsY, 1))
    , m_nx(std::max(cellsX, 1))
    , m_ny(std::max(cellsY, 1))
    , m_c(std::size_t(m_nx + 3) * std::size_t(m_ny + 3), 0.0)
{
}

void SplineSurface::terms(
    double x, double y, std::array<int, 16>& index, std::array<double, 16>& weight) const
{
    const double u = (x - m_x0) / m_hx, v = (y - m_y0) / m_hy;
    const int i = std::clamp(int(std::floor(u)), 0, m_nx - 1);
    const int j = std::clamp(int(std::floor(v)), 0, m_ny - 1);
    std::array<double, 4> bx, by;
    Basis(u - i, bx);
    Basis(v - j, by);
    for (int b = 0; b < 4; ++b)
        for (int a = 0; a < 4; ++a) {
            index[std::size_t(4 * b + a)] = (j + b) * (m_nx + 3) + i + a;
            weight[std::size_t(4 * b + a)] = bx[std::size_t(a)] * by[std::size_t(b)];
        }
}

double SplineSurface::value(double x, double y) const
{
    if (m_c.empty())
        return 0.0;
    std::array<int, 16> index;
    std::array<double, 16> weight;
    terms(x, y, index, weight);
    double s = 0.0;
    for (std::size_t k = 0; k < 16; ++k)
        s += weight[k] * m_c[std::size_t(index[k])];
    return s;
}

bool SplineSurface::fit(const std::vector<Sample>& samples, double smoothing)
{
    const std::size_t n = m_c.size(), cols = std::size_t(m_nx + 3);
    std::vector<double> a(n * n, 0.0), b(n, 0.0);
    std::array<int, 16> index;
    std::array<double, 16> weight;
    for (const Sample& s : samples) {
        terms(s.x, s.y, index, weight);
        for (std::size_t p = 0; p < 16; ++p) {
            const auto ip = std::size_t(index[p]);
            b[ip] += s.weight * weight[p] * s.target;
            for (std::size_t q = 0; q < 16; ++q)
                a[ip * n + std::size_t(index[q])] += s.weight * weight[p] * weight[q];
        }
    }
    // Second differences along both axes, scaled to the data so the penalty stays light.
    double trace = 0.0;
    for (std::size_t i = 0; i < n; ++i)
        trace += a[i * n + i];
    const double lambda = smoothing * std::max(trace / double(n), 1e-6);
    auto penalise = [&](std::size_t i0, std::size_t i1, std::size_t i2) {
        const std::size_t id[3] = {i0, i1, i2};
        const double w[3] = {1.0, -2.0, 1.0};
        for (int p = 0; p < 3; ++p)
            for (int q = 0; q < 3; ++q)
                a[id[p] * n + id[q]] += lambda * w[p] * w[q];
    };
    const std::size_t rows = std::size_t(m_ny + 3);
    for (std::size_t r = 0; r < rows; ++r)
        for (std::size_t c = 0; c + 2 < cols; ++c)
            penalise(r * cols + c, r * cols + c + 1, r * cols + c + 2);
    for (std::size_t c = 0; c < cols; ++c)
        for (std::size_t r = 0; r + 2 < rows; ++r)
            penalise(r * cols + c, (r + 1) * cols + c, (r + 2) * cols + c);
    for (std::size_t i = 0; i < n; ++i)
        a[i * n + i] += 1e-9 * lambda + 1e-12; // a plane is free of the penalty; this pins it
    if (!Cholesky(a, b, n))
        return false;
    m_c = b;
    return true;
}

namespace {

std::optional<Homography> RoughHomography(const std::vector<CellSample>& cells)
{
    if (cells.size() < 8)
        return std::nullopt;
    std::vector<cv::Point2f> cam, out;
    for (const CellSample& c : cells) {
        cam.emplace_back(float(c.camera.x), float(c.camera.y));
        out.emplace_back(float(c.output.x), float(c.output.y));
    }
    const cv::Mat h = cv::findHomography(cam, out, cv::LMEDS);
    if (h.empty())
        return std::nullopt;
    Homography r;
    for (int i = 0; i < 9; ++i)
        r.m[std::size_t(i)] = h.at<double>(i / 3, i % 3);
    if (!r.finite() || !r.inverse())
        return std::nullopt;
    return r;
}

// Fits one correction surface; samples further than a robust bound from the first fit are set
// aside and the fit repeated. Returns the RMS of the samples kept, or nothing.
std::optional<double> FitAxis(
    SplineSurface& surface, const std::vector<EdgeSample>& edges, const Homography& h, bool xAxis, int& used)
{
    std::vector<SplineSurface::Sample> samples;
    samples.reserve(edges.size());
    for (const EdgeSample& e : edges) {
        const Vec2 p = h.map({e.camX, e.camY});
        samples.push_back({p.x, p.y, e.value - (xAxis ? p.x : p.y)});
    }
    if (samples.size() < 50)
        return std::nullopt;
    double rms = 0.0;
    for (int round = 0; round < 3; ++round) {
        if (!surface.fit(samples, 1e-3))
            return std::nullopt;
        std::vector<double> err;
        err.reserve(samples.size());
        for (const auto& s : samples)
            err.push_back(std::abs(s.target - surface.value(s.x, s.y)));
        std::vector<double> sorted = err;
        std::nth_element(sorted.begin(), sorted.begin() + std::ptrdiff_t(sorted.size() / 2), sorted.end());
        const double bound = std::max(0.25, 5.0 * 1.4826 * sorted[sorted.size() / 2]);
        double sum = 0.0;
        int kept = 0;
        for (std::size_t i = 0; i < samples.size(); ++i) {
            samples[i].weight = err[i] <= bound ? 1.0 : 0.0;
            if (err[i] <= bound)
                sum += err[i] * err[i], ++kept;
        }
        rms = kept ? std::sqrt(sum / kept) : 0.0;
        used = kept;
    }
    return rms;
}

} // namespace

std::optional<WindowMapping> WindowMapping::Fit(
    const Correspondences& c, int frameWidth, int frameHeight, int stripesX, int stripesY, QString& error)
{
    WindowMapping m;
    m.m_width = frameWidth;
    m.m_height = frameHeight;
    const auto h = RoughHomography(c.cells);
    if (!h) {
        error = QStringLiteral("too few stripe cells decoded");
        return std::nullopt;
    }
    m.m_h = *h;
    const double margin = 64.0;
    const int cx = std::clamp(stripesX / 4, 3, 10), cy = std::clamp(stripesY / 4, 3, 10);
    m.m_dx = SplineSurface(
        -0.5 - margin, -0.5 - margin, frameWidth + 2 * margin, frameHeight + 2 * margin, cx, cy);
    m.m_dy = m.m_dx;
    int usedX = 0, usedY = 0;
    const auto rx = FitAxis(m.m_dx, c.xEdges, m.m_h, true, usedX);
    const auto ry = FitAxis(m.m_dy, c.yEdges, m.m_h, false, usedY);
    if (!rx || !ry) {
        error = QStringLiteral("too few stripe boundaries found");
        return std::nullopt;
    }
    m.m_rmsX = *rx;
    m.m_rmsY = *ry;
    m.m_used = usedX + usedY;
    return m;
}

Vec2 WindowMapping::outputOf(Vec2 camera) const
{
    const Vec2 p = m_h.map(camera);
    return {p.x + m_dx.value(p.x, p.y), p.y + m_dy.value(p.x, p.y)};
}

std::optional<Vec2> WindowMapping::cameraOf(Vec2 output) const
{
    const auto inv = m_h.inverse();
    if (!inv)
        return std::nullopt;
    Vec2 c = inv->map(output);
    for (int i = 0; i < 30; ++i) {
        const Vec2 f = outputOf(c) - output;
        if (f.norm() < 1e-6)
            return c;
        const double e = 0.25;
        const Vec2 fx = (outputOf(c + Vec2{e, 0}) - outputOf(c - Vec2{e, 0})) * (0.5 / e);
        const Vec2 fy = (outputOf(c + Vec2{0, e}) - outputOf(c - Vec2{0, e})) * (0.5 / e);
        const double det = fx.x * fy.y - fy.x * fx.y;
        if (!(std::abs(det) > 1e-12))
            return std::nullopt;
        c = c - Vec2{(fy.y * f.x - fy.x * f.y) / det, (-fx.y * f.x + fx.x * f.y) / det};
        if (!std::isfinite(c.x) || !std::isfinite(c.y))
            return std::nullopt;
    }
    if ((outputOf(c) - output).norm() < 1e-3)
        return c;
    return std::nullopt;
}

} // namespace trivel::align
