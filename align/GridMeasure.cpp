#include "align/GridMeasure.h"

#include <QGuiApplication>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace trivel::align {

void ResidualStats::add(double r)
{
    ++points;
    rms += r * r;
    worst = std::max(worst, r);
}

void ResidualStats::finish()
{
    rms = points ? std::sqrt(rms / points) : 0.0;
}

GridSpec GridFor(const SourcePlacement& source, const CameraView& view, double cameraPixels)
{
    // The source may be stretched unevenly (a shared input on a wide wall): the closer lines count.
    const Vec2 mid{source.frameWidth / 2.0, source.frameHeight / 2.0};
    const Vec2 at = view.photoOf(source.screenOf(mid));
    const double perSource = std::min((view.photoOf(source.screenOf(mid + Vec2{10, 0})) - at).norm(),
                                 (view.photoOf(source.screenOf(mid + Vec2{0, 10})) - at).norm())
        / 10.0;
    GridSpec g;
    if (!(perSource > 0.0))
        return g;
    g.spacing = std::clamp(int(std::lround(cameraPixels / perSource)), 8, 120);
    // Lines about a camera pixel and a half wide: bright enough, and still narrow.
    g.lineWidth = std::clamp(2 * int(std::lround(0.75 / perSource - 0.5)) + 1, 1, std::max(1, g.spacing / 5));
    return g;
}

namespace {

// Points on a bright line through `at` with direction `dir` (a unit vector), between `from` and
// `to` along it: on each pixel row (a steep line) or column it crosses, the centroid of the light
// in a window about it. A centroid of whole pixels, unlike an interpolated peak, does not depend
// on where the line falls between two pixels once the line is blurred over a pixel or so.
struct LineFit {
    Vec2 point;
    Vec2 direction;
};

std::optional<LineFit> FitLine(
    const Photo& photo, const Photo& dark, Vec2 at, Vec2 dir, double reachAlong, double gap, int reach)
{
    const double from = -reachAlong, to = reachAlong;
    const bool rows = std::abs(dir.y) >= std::abs(dir.x);
    const double a0 = rows ? at.y + dir.y * from : at.x + dir.x * from;
    const double a1 = rows ? at.y + dir.y * to : at.x + dir.x * to;
    std::vector<Vec2> points;
    for (int a = int(std::ceil(std::min(a0, a1))); a <= int(std::floor(std::max(a0, a1))); ++a) {
        const double t = ((rows ? a - at.y : a - at.x)) / (rows ? dir.y : dir.x);
        if (std::abs(t) < gap) // the crossing line lights these
            continue;
        const double across = rows ? at.x + dir.x * t : at.y + dir.y * t;
        const int limit = rows ? photo.width : photo.height;
        if (a < 0 || a >= (rows ? photo.height : photo.width))
            continue;
        auto value = [&](int c) {
            return rows ? double(photo.at(c, a)) - dark.at(c, a) : double(photo.at(a, c)) - dark.at(a, c);
        };
        int centre = int(std::lround(across));
        if (centre - 2 * reach < 0 || centre + 2 * reach >= limit)
            continue;
        for (int c = centre - 2; c <= centre + 2; ++c)
            if (value(c) > value(centre))
                centre = c;
        double sum = 0.0, moment = 0.0, peak = 0.0;
        for (int c = centre - reach; c <= centre + reach; ++c) {
            const double v = value(c);
            sum += v;
            moment += v * c;
            peak = std::max(peak, v);
        }
        if (peak < 8.0 || sum <= 0.0)
            continue;
        const double c = moment / sum;
        points.push_back(rows ? Vec2{c, double(a)} : Vec2{double(a), c});
    }
    if (points.size() < 3)
        return std::nullopt;
    // Least squares of the across coordinate over the along one.
    double ma = 0.0, mc = 0.0;
    for (const Vec2& p : points)
        ma += (rows ? p.y : p.x) / points.size(), mc += (rows ? p.x : p.y) / points.size();
    double saa = 0.0, sac = 0.0;
    for (const Vec2& p : points) {
        const double da = (rows ? p.y : p.x) - ma, dc = (rows ? p.x : p.y) - mc;
        saa += da * da;
        sac += da * dc;
    }
    if (saa <= 0.0)
        return std::nullopt;
    const double slope = sac / saa;
    // Points off the line by more than a pixel: another line or a speck was measured.
    for (const Vec2& p : points)
        if (std::abs((rows ? p.x : p.y) - mc - slope * ((rows ? p.y : p.x) - ma)) > 1.0)
            return std::nullopt;
    return rows ? LineFit{{mc, ma}, {slope, 1.0}} : LineFit{{ma, mc}, {1.0, slope}};
}

std::optional<Vec2> Intersect(Vec2 a1, Vec2 a2, Vec2 b1, Vec2 b2)
{
    const Vec2 da = a2 - a1, db = b2 - b1;
    const double det = da.x * db.y - da.y * db.x;
    if (std::abs(det) < 1e-9)
        return std::nullopt;
    const double s = ((b1.x - a1.x) * db.y - (b1.y - a1.y) * db.x) / det;
    return a1 + da * s;
}

Vec2 Unit(Vec2 v)
{
    const double n = v.norm();
    return n > 0.0 ? v * (1.0 / n) : Vec2{1, 0};
}

} // namespace

std::vector<GridCrossing> MeasureGrid(int window, const Photo& photo, const Photo& dark,
    const WindowGeometry& g, const SourcePlacement& source, const CameraView& view, const GridSpec& grid)
{
    std::vector<GridCrossing> out;
    const int s = std::max(grid.spacing, 4);
    const double margin = 12.0;
    // A line at the source's edge is cut by it, and its centre would be off.
    const int end = grid.lineWidth + 1;
    for (int k = 1; k * s + end < source.frameWidth; ++k)
        for (int j = 1; j * s + end < source.frameHeight; ++j) {
            GridCrossing c;
            c.window = window;
            c.source = {grid.lineCentre(k), grid.lineCentre(j)};
            c.target = source.screenOf(c.source);
            const auto o = g.outputOf(c.target);
            if (!o || o->x < margin || o->y < margin || o->x > g.frameWidth() - 1 - margin
                || o->y > g.frameHeight() - 1 - margin)
                continue;
            c.output = *o;
            const Vec2 at = view.photoOf(c.target);
            const Vec2 du = view.photoOf(source.screenOf(c.source + Vec2{s / 4.0, 0})) - at;
            const Vec2 dv = view.photoOf(source.screenOf(c.source + Vec2{0, s / 4.0})) - at;
            // Each line on both sides of the crossing, away from it and from the next crossings.
            // Spacing and line widths in camera pixels; the centroid window holds the whole line
            // and its blur, and no other line.
            const double su = 4.0 * du.norm(), sv = 4.0 * dv.norm();
            const double wu = grid.lineWidth * su / s, wv = grid.lineWidth * sv / s;
            const int reachU = std::min(int(std::ceil(0.5 * wu + 2.0)), int(0.4 * su));
            const int reachV = std::min(int(std::ceil(0.5 * wv + 2.0)), int(0.4 * sv));
            const auto vertical = FitLine(photo, dark, at, Unit(dv), 0.4 * sv, 0.5 * wv + 2.0, reachU);
            const auto horizontal = FitLine(photo, dark, at, Unit(du), 0.4 * su, 0.5 * wu + 2.0, reachV);
            if (!vertical || !horizontal)
                continue;
            const auto hit = Intersect(vertical->point, vertical->point + vertical->direction,
                horizontal->point, horizontal->point + horizontal->direction);
            if (!hit || (*hit - at).norm() > 0.3 * std::min(su, sv))
                continue;
            const Vec2 p = view.screenOf(*hit);
            c.landed = p;
            c.camera = *hit;
            c.measured = true;
            out.push_back(c);
        }
    return out;
}

ResidualStats StatsOf(const std::vector<GridCrossing>& crossings)
{
    ResidualStats s;
    for (const GridCrossing& c : crossings)
        if (c.measured)
            s.add(c.residual());
    s.finish();
    return s;
}

ResidualStats SeamStats(
    const std::vector<GridCrossing>& crossings, const Seam& seam, const std::vector<WindowGeometry>& windows)
{
    const auto fa = windows[std::size_t(seam.a)].footprint();
    const auto fb = windows[std::size_t(seam.b)].footprint();
    ResidualStats s;
    for (const GridCrossing& c : crossings)
        if (c.measured && (c.window == seam.a || c.window == seam.b) && InsidePolygon(fa, c.target)
            && InsidePolygon(fb, c.target))
            s.add(c.residual());
    s.finish();
    return s;
}

bool CorrectFromCrossings(WindowGeometry& g, const std::vector<GridCrossing>& crossings, double* largest)
{
    std::vector<const GridCrossing*> used;
    for (const GridCrossing& c : crossings)
        if (c.measured)
            used.push_back(&c);
    if (used.size() < 12)
        return false;
    // Crossings far from the rest (a speck, a line taken for another) do not steer the fit.
    std::vector<double> size;
    for (const GridCrossing* c : used)
        size.push_back(c->residual());
    std::vector<double> sorted = size;
    std::nth_element(sorted.begin(), sorted.begin() + std::ptrdiff_t(sorted.size() / 2), sorted.end());
    const double bound = 4.0 * std::max(sorted[sorted.size() / 2], 0.05);
    std::vector<SplineSurface::Sample> sx, sy;
    for (std::size_t i = 0; i < used.size(); ++i) {
        if (size[i] > bound)
            continue;
        const GridCrossing& c = *used[i];
        sx.push_back({c.output.x, c.output.y, c.landed.x - c.target.x});
        sy.push_back({c.output.x, c.output.y, c.landed.y - c.target.y});
    }
    const double w = g.frameWidth(), h = g.frameHeight(), n = double(sx.size());
    const int cx = std::clamp(int(std::sqrt(n * w / h) / 3.0), 1, 6);
    const int cy = std::clamp(int(std::sqrt(n * h / w) / 3.0), 1, 4);
    SplineSurface dx(-0.5, -0.5, w, h, cx, cy), dy = dx;
    if (n < 12 || !dx.fit(sx, 0.1) || !dy.fit(sy, 0.1))
        return false;
    // Only a correction the crossings show beyond their own scatter (an F test at about 1 %):
    // the verification is noisier than the patterns, and must not undo their precision.
    double before = 0.0, after = 0.0, biggest = 0.0;
    for (std::size_t i = 0; i < sx.size(); ++i) {
        const double fx = dx.value(sx[i].x, sx[i].y), fy = dy.value(sy[i].x, sy[i].y);
        before += sx[i].target * sx[i].target + sy[i].target * sy[i].target;
        after += (sx[i].target - fx) * (sx[i].target - fx) + (sy[i].target - fy) * (sy[i].target - fy);
        biggest = std::max(biggest, std::hypot(fx, fy));
    }
    const double terms = 2.0 * double(dx.coefficients().size()), values = 2.0 * n;
    if (values <= 2.0 * terms || after <= 0.0)
        return false;
    const double f = ((before - after) / terms) / (after / (values - terms));
    if (f < 3.0)
        return false;
    g.addCorrection(dx, dy);
    if (largest)
        *largest = biggest;
    return true;
}

QImage PhotoImage(const Photo& photo)
{
    QImage img(std::max(photo.width, 1), std::max(photo.height, 1), QImage::Format_Grayscale8);
    img.fill(0);
    for (int y = 0; y < photo.height; ++y) {
        uchar* row = img.scanLine(y);
        for (int x = 0; x < photo.width; ++x)
            row[x] = uchar(std::clamp(int(std::lround(photo.at(x, y))), 0, 255));
    }
    return img;
}

namespace {

QColor ResidualColour(double r)
{
    const double t = std::clamp(r / 1.5, 0.0, 1.0);
    return t < 0.5 ? QColor::fromRgbF(float(2 * t), 0.8f, 0.1f)
                   : QColor::fromRgbF(1.0f, float(0.8 * (2 - 2 * t)), 0.1f);
}

} // namespace

QImage HeatMap(const Photo& photo, const std::vector<GridCrossing>& crossings)
{
    QImage img = PhotoImage(photo).convertToFormat(QImage::Format_RGB32);
    QPainter p(&img);
    p.fillRect(img.rect(), QColor(0, 0, 0, 110));
    p.setRenderHint(QPainter::Antialiasing);
    const double radius = std::max(2.5, photo.width / 300.0);
    for (const GridCrossing& c : crossings) {
        if (!c.measured)
            continue;
        p.setPen(Qt::NoPen);
        p.setBrush(ResidualColour(c.residual()));
        p.drawEllipse(QPointF(c.camera.x, c.camera.y), radius, radius);
    }
    // The scale: a bar from 0 to 1.5 screen pixels.
    const int bw = std::max(60, photo.width / 5), bh = std::max(6, photo.height / 60);
    const QRect bar(bh, img.height() - 3 * bh, bw, bh);
    for (int x = 0; x < bw; ++x) {
        p.setPen(ResidualColour(1.5 * x / bw));
        p.drawLine(bar.left() + x, bar.top(), bar.left() + x, bar.bottom());
    }
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance())) { // fonts need the GUI application
        QFont f = p.font();
        f.setPixelSize(std::max(8, bh + 2));
        p.setFont(f);
        p.setPen(Qt::white);
        p.drawText(bar.left(), bar.top() - 2, QStringLiteral("0"));
        p.drawText(bar.right() - bh * 4, bar.top() - 2, QStringLiteral("1.5 px"));
    }
    return img;
}

QString ResidualText(const ResidualStats& r, int decimals)
{
    if (r.points < kMinVerifiedPoints)
        return QStringLiteral("not verified, the grid was not seen");
    return QStringLiteral("RMS %1, worst %2").arg(r.rms, 0, 'f', decimals).arg(r.worst, 0, 'f', decimals);
}

} // namespace trivel::align
