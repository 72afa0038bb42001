#include "align/Geometry.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace trivel::align {

std::optional<CameraView> CameraView::FromMarks(const LensModel& lens, const ScreenMarks& marks)
{
    std::array<Vec2, 4> ideal;
    for (std::size_t i = 0; i < 4; ++i)
        ideal[i] = lens.undistort(marks.camera[i]);
    const auto h = HomographyFromQuad(ideal, marks.screen);
    const auto inv = h ? h->inverse() : std::nullopt;
    if (!h || !inv)
        return std::nullopt;
    CameraView v;
    v.m_lens = lens;
    v.m_toScreen = *h;
    v.m_fromScreen = *inv;
    return v;
}

std::optional<ScreenMarks> CanvasMarks(
    const std::array<Vec2, 4>& corners, const LensModel& lens, double screenPerCamera)
{
    std::array<Vec2, 4> ideal;
    for (std::size_t i = 0; i < 4; ++i)
        ideal[i] = lens.undistort(corners[i]);
    for (std::size_t i = 0; i < 4; ++i) {
        const Vec2 a = ideal[(i + 1) % 4] - ideal[i], b = ideal[(i + 2) % 4] - ideal[(i + 1) % 4];
        // Clockwise on the picture (rows run down), and no side shorter than a few pixels.
        if (!(a.x * b.y - a.y * b.x > 0.0) || a.norm() < 4.0)
            return std::nullopt;
    }
    if (!(screenPerCamera > 0.0) || !std::isfinite(screenPerCamera))
        return std::nullopt;
    const double width
        = 0.5 * ((ideal[1] - ideal[0]).norm() + (ideal[2] - ideal[3]).norm()) * screenPerCamera;
    const double height
        = 0.5 * ((ideal[3] - ideal[0]).norm() + (ideal[2] - ideal[1]).norm()) * screenPerCamera;
    ScreenMarks m;
    m.camera = corners;
    m.screen = {Vec2{0, 0}, Vec2{width, 0}, Vec2{width, height}, Vec2{0, height}};
    return m;
}

CameraView CameraView::Square(const LensModel& lens, double scale)
{
    CameraView v;
    v.m_lens = lens;
    v.m_toScreen.m = {scale, 0, 0, 0, scale, 0, 0, 0, 1};
    v.m_fromScreen.m = {1.0 / scale, 0, 0, 0, 1.0 / scale, 0, 0, 0, 1};
    return v;
}

WindowGeometry::WindowGeometry(WindowMapping mapping, const CameraView& view)
    : m_mapping(std::move(mapping))
    , m_view(view)
{
}

Vec2 WindowGeometry::uncorrected(Vec2 output) const
{
    const auto cam = m_mapping.cameraOf(output);
    if (!cam)
        return {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::quiet_NaN()};
    return m_view.screenOf(*cam);
}

Vec2 WindowGeometry::screenOf(Vec2 output) const
{
    Vec2 s = uncorrected(output);
    for (const auto& [dx, dy] : m_corrections)
        s = s + Vec2{dx.value(output.x, output.y), dy.value(output.x, output.y)};
    return s;
}

std::optional<Vec2> WindowGeometry::outputOf(Vec2 screen) const
{
    Vec2 o = m_mapping.outputOf(m_view.photoOf(screen));
    if (m_corrections.empty())
        return o;
    for (int i = 0; i < 12; ++i) {
        const Vec2 f = screenOf(o) - screen;
        if (!std::isfinite(f.x) || !std::isfinite(f.y))
            return std::nullopt;
        if (f.norm() < 1e-5)
            break;
        const double e = 0.5;
        const Vec2 gx = (screenOf(o + Vec2{e, 0}) - screenOf(o - Vec2{e, 0})) * (0.5 / e);
        const Vec2 gy = (screenOf(o + Vec2{0, e}) - screenOf(o - Vec2{0, e})) * (0.5 / e);
        const double det = gx.x * gy.y - gy.x * gx.y;
        if (!(std::abs(det) > 1e-12))
            return std::nullopt;
        o = o - Vec2{(gy.y * f.x - gy.x * f.y) / det, (-gx.y * f.x + gx.x * f.y) / det};
    }
    return o;
}

void WindowGeometry::addCorrection(const SplineSurface& dx, const SplineSurface& dy)
{
    m_corrections.emplace_back(dx, dy);
}

std::vector<Vec2> WindowGeometry::footprint(int step) const
{
    const double w = frameWidth(), h = frameHeight();
    std::vector<Vec2> out;
    const int nx = std::max(1, int(std::ceil(w / step))), ny = std::max(1, int(std::ceil(h / step)));
    for (int i = 0; i < nx; ++i)
        out.push_back(screenOf({-0.5 + w * i / nx, -0.5}));
    for (int i = 0; i < ny; ++i)
        out.push_back(screenOf({w - 0.5, -0.5 + h * i / ny}));
    for (int i = nx; i > 0; --i)
        out.push_back(screenOf({-0.5 + w * i / nx, h - 0.5}));
    for (int i = ny; i > 0; --i)
        out.push_back(screenOf({-0.5, -0.5 + h * i / ny}));
    return out;
}

bool InsidePolygon(const std::vector<Vec2>& polygon, Vec2 p)
{
    bool inside = false;
    for (std::size_t i = 0, j = polygon.size() - 1; i < polygon.size(); j = i++) {
        const Vec2 a = polygon[i], b = polygon[j];
        if ((a.y > p.y) != (b.y > p.y) && p.x < (b.x - a.x) * (p.y - a.y) / (b.y - a.y) + a.x)
            inside = !inside;
    }
    return inside;
}

namespace {

using Intervals = std::vector<std::pair<double, double>>;

// Where a horizontal (or vertical) line at `at` is inside the union of the polygons.
Intervals UnionAlong(const std::vector<std::vector<Vec2>>& polygons, double at, bool horizontal)
{
    Intervals all;
    for (const auto& poly : polygons) {
        std::vector<double> cross;
        for (std::size_t i = 0, j = poly.size() - 1; i < poly.size(); j = i++) {
            const double a0 = horizontal ? poly[i].y : poly[i].x, a1 = horizontal ? poly[j].y : poly[j].x;
            if ((a0 > at) == (a1 > at))
                continue;
            const double b0 = horizontal ? poly[i].x : poly[i].y, b1 = horizontal ? poly[j].x : poly[j].y;
            cross.push_back(b0 + (at - a0) * (b1 - b0) / (a1 - a0));
        }
        std::sort(cross.begin(), cross.end());
        for (std::size_t k = 0; k + 1 < cross.size(); k += 2)
            all.emplace_back(cross[k], cross[k + 1]);
    }
    std::sort(all.begin(), all.end());
    Intervals merged;
    for (const auto& iv : all) {
        if (!merged.empty() && iv.first <= merged.back().second)
            merged.back().second = std::max(merged.back().second, iv.second);
        else
            merged.push_back(iv);
    }
    return merged;
}

bool Covers(const Intervals& iv, double from, double to)
{
    for (const auto& [a, b] : iv)
        if (a <= from && b >= to)
            return true;
    return false;
}

bool RectInside(const std::vector<std::vector<Vec2>>& polygons, const Rect& r)
{
    // Each side tested a hair inside, so that a side lying on a polygon's edge counts as inside.
    const double e
        = 1e-7 * std::max({1.0, std::abs(r.left), std::abs(r.right), std::abs(r.top), std::abs(r.bottom)});
    const Rect in{r.left + e, r.top + e, r.right - e, r.bottom - e};
    return Covers(UnionAlong(polygons, in.top, true), in.left, in.right)
        && Covers(UnionAlong(polygons, in.bottom, true), in.left, in.right)
        && Covers(UnionAlong(polygons, in.left, false), in.top, in.bottom)
        && Covers(UnionAlong(polygons, in.right, false), in.top, in.bottom)
        && Covers(UnionAlong(polygons, 0.5 * (in.top + in.bottom), true), in.left, in.right)
        && Covers(UnionAlong(polygons, 0.5 * (in.left + in.right), false), in.top, in.bottom);
}

// Every maximal rectangle under a histogram of column heights, as (left, right, height) with
// right one past the last column: the stack method, linear in the columns.
template <typename Visit> void LargestUnderHistogram(const std::vector<int>& height, Visit visit)
{
    const int cols = int(height.size());
    std::vector<int> stack;
    for (int c = 0; c <= cols; ++c) {
        const int hc = c < cols ? height[std::size_t(c)] : 0;
        while (!stack.empty() && height[std::size_t(stack.back())] >= hc) {
            const int top = height[std::size_t(stack.back())];
            stack.pop_back();
            visit(stack.empty() ? 0 : stack.back() + 1, c, top);
        }
        stack.push_back(c);
    }
}

// Each side pushed out as far as the union allows (at most `reach`), to a small fraction of a pixel.
void PushSidesOut(const std::vector<std::vector<Vec2>>& polygons, Rect& best, double reach)
{
    for (int side = 0; side < 4; ++side) {
        double lo = 0.0, hi = reach;
        for (int i = 0; i < 16; ++i) {
            const double mid = 0.5 * (lo + hi);
            Rect t = best;
            (side == 0          ? t.left
                    : side == 1 ? t.right
                    : side == 2 ? t.top
                                : t.bottom)
                += (side % 2 ? mid : -mid);
            (RectInside(polygons, t) ? lo : hi) = mid;
        }
        (side == 0          ? best.left
                : side == 1 ? best.right
                : side == 2 ? best.top
                            : best.bottom)
            += (side % 2 ? lo : -lo);
    }
}

} // namespace

std::optional<Rect> LargestRectangle(const std::vector<std::vector<Vec2>>& polygons, double aspect)
{
    Rect box{1e18, 1e18, -1e18, -1e18};
    for (const auto& poly : polygons)
        for (const Vec2& p : poly) {
            if (!std::isfinite(p.x) || !std::isfinite(p.y))
                return std::nullopt;
            box = {std::min(box.left, p.x), std::min(box.top, p.y), std::max(box.right, p.x),
                std::max(box.bottom, p.y)};
        }
    if (box.empty())
        return std::nullopt;
    const double g = std::max(1.0, std::max(box.width(), box.height()) / 1500.0);
    const int cols = int(box.width() / g) + 1, rows = int(box.height() / g) + 1;
    // A node row at a time: which nodes are inside; a cell is inside when both its rows' nodes are.
    std::vector<int> height(std::size_t(cols), 0);
    std::vector<char> prev(std::size_t(cols) + 1, 0), cur(std::size_t(cols) + 1, 0);
    Rect best;
    double bestArea = 0.0;
    for (int r = 0; r <= rows; ++r) {
        const double y = box.top + r * g;
        const Intervals iv = UnionAlong(polygons, y, true);
        for (int c = 0; c <= cols; ++c)
            cur[std::size_t(c)] = Covers(iv, box.left + c * g, box.left + c * g);
        if (r > 0) {
            for (int c = 0; c < cols; ++c) {
                const auto cc = std::size_t(c);
                const bool in = cur[cc] && cur[cc + 1] && prev[cc] && prev[cc + 1];
                height[cc] = in ? height[cc] + 1 : 0;
            }
            LargestUnderHistogram(height, [&](int left, int right, int top) {
                const double area = double(top) * (right - left);
                if (area > bestArea) {
                    bestArea = area;
                    best = {box.left + left * g, y - top * g, box.left + right * g, y};
                }
            });
        }
        std::swap(prev, cur);
    }
    if (bestArea <= 0.0)
        return std::nullopt;
    PushSidesOut(polygons, best, 1.5 * g);
    if (aspect > 0.0) {
        if (best.width() > aspect * best.height()) {
            const double cut = 0.5 * (best.width() - aspect * best.height());
            best.left += cut, best.right -= cut;
        } else {
            const double cut = 0.5 * (best.height() - best.width() / aspect);
            best.top += cut, best.bottom -= cut;
        }
    }
    return best;
}

} // namespace trivel::align
