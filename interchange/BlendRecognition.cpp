#include "interchange/BlendMaps.h"

#include "preview/OutputPreview.h"

#include <QRgba64>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace trivel {

namespace {

using Profile = std::array<std::vector<double>, 3>;

// Differences below this are what 8-bit maps and the box's whole-number settings cannot avoid.
constexpr double kTolerance = 2.0 / 255.0;
constexpr const char* kSideName[4] = {"left", "right", "top", "bottom"};

// Each column's and each row's largest sample per channel: with edge ramps that multiply, the
// column's is its horizontal factor, the row's its vertical one.
void Profiles(const QImage& a, Profile& cols, Profile& rows)
{
    for (std::size_t c = 0; c < 3; ++c) {
        cols[c].assign(std::size_t(a.width()), 0.0);
        rows[c].assign(std::size_t(a.height()), 0.0);
    }
    const auto lineBytes = std::size_t(a.bytesPerLine());
    for (int y = 0; y < a.height(); ++y) {
        // A row like the one above adds nothing to the columns' largest samples.
        if (y > 0 && std::memcmp(a.constScanLine(y), a.constScanLine(y - 1), lineBytes) == 0) {
            for (std::size_t c = 0; c < 3; ++c)
                rows[c][std::size_t(y)] = rows[c][std::size_t(y - 1)];
            continue;
        }
        const auto* line = reinterpret_cast<const QRgba64*>(a.constScanLine(y));
        for (int x = 0; x < a.width(); ++x) {
            const double s[3]
                = {line[x].red() / 65535.0, line[x].green() / 65535.0, line[x].blue() / 65535.0};
            for (std::size_t c = 0; c < 3; ++c) {
                cols[c][std::size_t(x)] = std::max(cols[c][std::size_t(x)], s[c]);
                rows[c][std::size_t(y)] = std::max(rows[c][std::size_t(y)], s[c]);
            }
        }
    }
}

struct EdgeFit {
    bool ramp = true;
    int width = 0; // 0: no blend on the edge
    int shift = 0;
    QString why;
};

// Sums of the regression log f = log g + e log((d - shift + 0.5) / width) over a ramp's samples.
struct LogFit {
    double n = 0, sx = 0, sy = 0, sxx = 0, sxy = 0, syy = 0;

    void add(double u, double f)
    {
        // Samples near zero or full say little and carry the quantisation's whole error.
        if (f < 0.01 || f > 0.98 || u <= 0.0)
            return;
        const double x = std::log(u);
        const double y = std::log(f);
        n += 1;
        sx += x;
        sy += y;
        sxx += x * x;
        sxy += x * y;
        syy += y * y;
    }
    bool solve(double& exponent, double& gain) const
    {
        const double var = n * sxx - sx * sx;
        if (n < 2 || var <= 1e-12)
            return false;
        exponent = (n * sxy - sx * sy) / var;
        gain = std::exp((sy - exponent * sx) / n);
        return exponent > 0;
    }
    double residual() const
    {
        double e = 0, g = 0;
        if (!solve(e, g))
            return 0.0;
        const double k = std::log(g);
        // Sum of (y - k - e x)^2 expanded over the sums.
        return syy - 2 * k * sy - 2 * e * sxy + n * k * k + 2 * k * e * sx + e * e * sxx;
    }
};

// One channel's samples of an edge, read from the edge inwards.
struct EdgeSamples {
    const std::vector<double>& p;
    bool fromFar;
    double at(int d) const { return p[std::size_t(fromFar ? int(p.size()) - 1 - d : d)]; }
};

LogFit FitSamples(const EdgeSamples& s, int shift, int width)
{
    LogFit fit;
    for (int d = std::max(shift, 0); d < shift + width; ++d)
        fit.add((d - shift + 0.5) / width, s.at(d));
    return fit;
}

// The ramp of one edge: the first full sample ends the zone (several channels: the widest, as a
// channel with a gain above neutral reaches full early); the shift is the one whose curve fits
// best, as a steep curve's first samples round to zero.
EdgeFit FitEdge(const Profile& p, bool fromFar, int maxWidth, double quantum)
{
    // Half a step of the map's samples: what still counts as zero, or as full.
    const double zero = quantum / 2;
    const int size = int(p[0].size());
    const std::array<EdgeSamples, 3> ch{
        EdgeSamples{p[0], fromFar}, EdgeSamples{p[1], fromFar}, EdgeSamples{p[2], fromFar}};
    EdgeFit fit;
    int end = 0;
    int lead = size;
    for (const EdgeSamples& c : ch) {
        int z = 0;
        while (z < size && c.at(z) <= zero)
            ++z;
        int e = 0;
        while (e < size && c.at(e) < 1.0 - zero)
            ++e;
        lead = std::min(lead, z);
        end = std::max(end, e);
    }
    if (end == 0)
        return fit;
    if (end >= size / 2) {
        fit.ramp = false;
        fit.why = QStringLiteral("it does not reach full within half the frame");
        return fit;
    }
    // Rising to full, then full up to the middle: anything else is no ramp along the edge.
    for (const EdgeSamples& c : ch)
        for (int d = lead; d + 1 < size / 2; ++d)
            if (c.at(d + 1) < (d + 1 < end ? c.at(d) : 1.0) - kTolerance) {
                fit.ramp = false;
                fit.why = QStringLiteral("it falls again %1 px in").arg(d + 1);
                return fit;
            }
    int best = lead;
    double bestResidual = -1.0;
    for (int shift = std::max(lead - 100, -100); shift <= std::min(lead, 500); ++shift) {
        if (end - shift < 1)
            continue;
        double r = 0.0;
        for (const EdgeSamples& c : ch)
            r += FitSamples(c, shift, end - shift).residual();
        if (bestResidual < 0.0 || r < bestResidual - 1e-12) {
            bestResidual = r;
            best = shift;
        }
    }
    fit.shift = best;
    fit.width = end - best;
    if (fit.width < 50 || fit.width > maxWidth) {
        fit.ramp = false;
        fit.why = QStringLiteral("its ramp is %1 px wide; the box blends 50 to %2 px")
                      .arg(fit.width)
                      .arg(maxWidth);
    }
    return fit;
}

// Exponent and gain of one channel from all ramps' samples together: every edge shares them.
bool FitCurve(const Profile& cols, const Profile& rows, const std::array<EdgeFit, 4>& edges, std::size_t c,
    double& exponent, double& gain)
{
    LogFit all;
    for (int side = 0; side < 4; ++side) {
        const EdgeFit& e = edges[std::size_t(side)];
        if (!e.ramp || e.width == 0)
            continue;
        const EdgeSamples s{side < 2 ? cols[c] : rows[c], side % 2 == 1};
        for (int d = std::max(e.shift, 0); d < e.shift + e.width; ++d)
            all.add((d - e.shift + 0.5) / e.width, s.at(d));
    }
    return all.solve(exponent, gain);
}

// beta: RGBX64 at the frame size.
void PlanBlackLevels(const QImage& b, BlendPlan& plan)
{
    std::vector<int> colZone(static_cast<std::size_t>(b.width()));
    std::vector<int> rowZone(static_cast<std::size_t>(b.height()));
    for (int x = 0; x < b.width(); ++x)
        colZone[std::size_t(x)] = BlendZone(plan.record, 0, 1, x, b.width());
    for (int y = 0; y < b.height(); ++y)
        rowZone[std::size_t(y)] = BlendZone(plan.record, 2, 3, y, b.height());
    // Rows of one zone that are alike (most are) are counted once with their number.
    std::array<std::array<double, 3>, 9> sum{};
    std::array<double, 9> count{};
    const auto lineBytes = std::size_t(b.bytesPerLine());
    auto sameAsAbove = [&](int y) {
        return y > 0 && rowZone[std::size_t(y)] == rowZone[std::size_t(y - 1)]
            && std::memcmp(b.constScanLine(y), b.constScanLine(y - 1), lineBytes) == 0;
    };
    for (int y = 0, run = 1; y < b.height(); y += run) {
        run = 1;
        while (y + run < b.height() && sameAsAbove(y + run))
            ++run;
        const auto* line = reinterpret_cast<const QRgba64*>(b.constScanLine(y));
        for (int x = 0; x < b.width(); ++x) {
            const auto slot = std::size_t(BlackLevelSlot(rowZone[std::size_t(y)], colZone[std::size_t(x)]));
            count[slot] += run;
            sum[slot][0] += run * (line[x].red() / 65535.0);
            sum[slot][1] += run * (line[x].green() / 65535.0);
            sum[slot][2] += run * (line[x].blue() / 65535.0);
        }
    }
    for (int slot = 0; slot < 9; ++slot)
        for (int c = 0; c < 3; ++c)
            if (count[std::size_t(slot)] > 0)
                plan.record.blackLevel(slot, c) = std::uint8_t(std::clamp(
                    std::lround(sum[std::size_t(slot)][std::size_t(c)] / count[std::size_t(slot)] * 255.0),
                    0L, 255L));
    plan.worstBeta = 0.0;
    for (int y = 0; y < b.height(); ++y) {
        if (sameAsAbove(y))
            continue;
        const auto* line = reinterpret_cast<const QRgba64*>(b.constScanLine(y));
        for (int x = 0; x < b.width(); ++x) {
            const int slot = BlackLevelSlot(rowZone[std::size_t(y)], colZone[std::size_t(x)]);
            const quint16 v[3] = {line[x].red(), line[x].green(), line[x].blue()};
            for (int c = 0; c < 3; ++c) {
                const double d = std::abs(v[c] / 65535.0 - plan.record.blackLevel(slot, c) / 255.0);
                if (d > plan.worstBeta) {
                    plan.worstBeta = d;
                    plan.worstBetaAt = QPoint(x, y);
                }
            }
        }
    }
    plan.betaRepresentable = plan.worstBeta <= kTolerance;
    QStringList lifts;
    for (int slot = 0; slot < 9; ++slot)
        lifts << QStringLiteral("%1/%2/%3")
                     .arg(plan.record.blackLevel(slot, 0))
                     .arg(plan.record.blackLevel(slot, 1))
                     .arg(plan.record.blackLevel(slot, 2));
    plan.report << QStringLiteral("Black level (R/G/B lift per slot 0..8): %1.")
                       .arg(lifts.join(QStringLiteral(", ")));
    if (!plan.betaRepresentable)
        plan.report << QStringLiteral("Beta map: not representable: it is not constant over the blend's nine "
                                      "parts; the box will differ by up to %1% (at %2, %3).")
                           .arg(plan.worstBeta * 100.0, 0, 'f', 1)
                           .arg(plan.worstBetaAt.x())
                           .arg(plan.worstBetaAt.y());
}

QString Percent(double v)
{
    return QStringLiteral("%1%").arg(v * 100.0, 0, 'f', 1);
}

// With every channel's gain above neutral a ramp reaches full before its zone ends, and any width
// from there on draws the same ramp; the beta map's black-level parts show where the zone ends.
void WidenToBlackLevelParts(const QImage& beta, std::array<EdgeFit, 4>& edges)
{
    for (int side = 0; side < 4; ++side) {
        EdgeFit& e = edges[std::size_t(side)];
        const bool columns = side < 2;
        const int size = columns ? beta.width() : beta.height();
        const int across = (columns ? beta.height() : beta.width()) / 2;
        auto at = [&](int d) {
            const int pos = side % 2 ? size - 1 - d : d;
            const QRgba64 p = columns ? reinterpret_cast<const QRgba64*>(beta.constScanLine(across))[pos]
                                      : reinterpret_cast<const QRgba64*>(beta.constScanLine(pos))[across];
            return quint64(p);
        };
        const int end = e.shift + e.width;
        if (!e.ramp || e.width == 0 || end < 1 || end >= size / 2 || at(end) != at(end - 1))
            continue;
        for (int d = end + 1; d < size / 2; ++d)
            if (at(d) != at(d - 1)) {
                if (d - e.shift <= (columns ? 1920 : 1200))
                    e.width = d - e.shift;
                break;
            }
    }
}

// Transition gammas and gains of the three channels from the ramps; true when every channel's
// gain came out at neutral or above.
bool FitCurves(
    const Profile& cols, const Profile& rows, const std::array<EdgeFit, 4>& edges, int offset, BlendRecord& r)
{
    bool allFull = true;
    for (std::size_t c = 0; c < 3; ++c) {
        double exponent = 1.0;
        double gain = 1.0;
        if (!FitCurve(cols, rows, edges, c, exponent, gain))
            continue;
        r.setTransitionGamma(int(c), std::uint16_t(std::clamp(std::lround(offset / exponent), 90L, 300L)));
        r.gammaGain(int(c)) = std::uint8_t(std::clamp(std::lround((gain - 0.5) * 100.0), 0L, 100L));
        allFull = allFull && gain >= 0.999;
    }
    return allFull;
}

QImage AtFrame(const QImage& map, int width, int height)
{
    QImage m = map.convertToFormat(QImage::Format_RGBX64);
    if (m.size() != QSize(width, height))
        m = m.scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return m;
}

} // namespace

BlendPlan RecogniseBlend(const QImage& alpha, const QImage& beta, int width, int height, double gammaEmbedded,
    const BlendRecord& base)
{
    BlendPlan plan;
    plan.record = base;
    const bool deep = alpha.depth() == 64 || alpha.format() == QImage::Format_Grayscale16;
    const QImage a = AtFrame(alpha, width, height);
    const QImage b = beta.isNull() ? QImage() : AtFrame(beta, width, height);
    Profile cols, rows;
    Profiles(a, cols, rows);
    std::array<EdgeFit, 4> edges;
    for (int side = 0; side < 4; ++side)
        edges[std::size_t(side)] = FitEdge(
            side < 2 ? cols : rows, side % 2 == 1, side < 2 ? 1920 : 1200, deep ? 1.0 / 65535 : 1.0 / 255);

    const int offset = std::isfinite(gammaEmbedded) && gammaEmbedded >= 0.9 && gammaEmbedded <= 2.5
        ? int(std::lround(gammaEmbedded * 100.0))
        : (base.bytes[25] ? base.bytes[25] : 220);
    plan.record.gammaOffset() = std::uint8_t(offset);
    if (FitCurves(cols, rows, edges, offset, plan.record) && !b.isNull()) {
        WidenToBlackLevelParts(b, edges);
        FitCurves(cols, rows, edges, offset, plan.record);
    }
    QStringList found;
    for (int side = 0; side < 4; ++side) {
        const EdgeFit& e = edges[std::size_t(side)];
        plan.edgeRecognised[std::size_t(side)] = e.ramp;
        plan.record.setEdgeWidth(side, std::uint16_t(e.ramp ? e.width : 0));
        plan.record.setEdgeShift(side, std::int16_t(e.ramp ? e.shift : 0));
        if (!e.ramp)
            plan.report << QStringLiteral(
                "Blend: the %1 edge is not representable (%2); it is left without a blend.")
                               .arg(QLatin1String(kSideName[side]), e.why);
        else
            found << (e.width ? QStringLiteral("%1 %2 px (shift %3)")
                                    .arg(QLatin1String(kSideName[side]))
                                    .arg(e.width)
                                    .arg(e.shift)
                              : QStringLiteral("%1 none").arg(QLatin1String(kSideName[side])));
    }
    plan.report.prepend(
        QStringLiteral("Blend: %1; transition gamma %2/%3/%4, gamma gain %5/%6/%7, gamma offset %8.")
            .arg(found.join(QStringLiteral(", ")))
            .arg(plan.record.transitionGamma(0) / 100.0, 0, 'f', 2)
            .arg(plan.record.transitionGamma(1) / 100.0, 0, 'f', 2)
            .arg(plan.record.transitionGamma(2) / 100.0, 0, 'f', 2)
            .arg(plan.record.gammaGain(0))
            .arg(plan.record.gammaGain(1))
            .arg(plan.record.gammaGain(2))
            .arg(offset / 100.0, 0, 'f', 2));
    plan.worstAlpha = AlphaDifference(a, plan.record, &plan.worstAlphaAt);
    plan.alphaRepresentable = plan.worstAlpha <= kTolerance;
    if (plan.alphaRepresentable)
        plan.report << QStringLiteral("Alpha map: the box shows it within %1.").arg(Percent(plan.worstAlpha));
    else
        plan.report << QStringLiteral(
            "Alpha map: not representable as ramps along the edges: the box will differ by "
            "up to %1 (at %2, %3).")
                           .arg(Percent(plan.worstAlpha))
                           .arg(plan.worstAlphaAt.x())
                           .arg(plan.worstAlphaAt.y());
    if (!b.isNull())
        PlanBlackLevels(b, plan);
    return plan;
}

} // namespace trivel
