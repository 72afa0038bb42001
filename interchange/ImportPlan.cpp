#include "interchange/ImportPlan.h"

#include "warp/WarpModel.h"
#include "warp/WarpSpline.h"

#include <cmath>
#include <memory>

namespace trivel {

namespace {

// What the box's tables can name, in pixels, and half a table unit for a float's rounding.
constexpr double kLowestSource = -1024.0;
constexpr double kHighestSource = 49151.0 / 16.0;
constexpr double kHalfUnit = 1.0 / 32.0;

bool Refuse(QString* error, const QString& why)
{
    if (error)
        *error = why;
    return false;
}

bool CheckPositions(const MpcdiRegionData& d, int width, int height, QString* error)
{
    for (int r = 0; r < d.grid.rows; ++r)
        for (int c = 0; c < d.grid.columns; ++c) {
            const double x = double(d.grid.u[d.grid.index(c, r)]) * width;
            const double y = double(d.grid.v[d.grid.index(c, r)]) * height;
            if (x < kLowestSource - kHalfUnit || x > kHighestSource + kHalfUnit
                || y < kLowestSource - kHalfUnit || y > kHighestSource + kHalfUnit)
                return Refuse(error,
                    QStringLiteral("Region \"%1\": the point at column %2, row %3 from the top names "
                                   "(%4, %5) of the region, (%6, %7) px of a %8 x %9 frame: beyond "
                                   "the %10 to %11 px the box's tables hold.")
                        .arg(d.region.id)
                        .arg(c)
                        .arg(r)
                        .arg(double(d.grid.u[d.grid.index(c, r)]))
                        .arg(double(d.grid.v[d.grid.index(c, r)]))
                        .arg(x, 0, 'f', 1)
                        .arg(y, 0, 'f', 1)
                        .arg(width)
                        .arg(height)
                        .arg(kLowestSource)
                        .arg(kHighestSource));
        }
    return true;
}

// The output position the grid shows `source` at: Newton's method on the grid's mapping.
std::optional<SourcePosition> OutputOf(const WarpGrid& g, int width, int height, SourcePosition source)
{
    SourcePosition p = source;
    constexpr double h = 0.5;
    for (int i = 0; i < 40; ++i) {
        const SourcePosition f = SampleGrid(g, width, height, p.x, p.y);
        const double ex = f.x - source.x;
        const double ey = f.y - source.y;
        if (std::hypot(ex, ey) < 1e-3)
            return p;
        const SourcePosition fx1 = SampleGrid(g, width, height, p.x + h, p.y);
        const SourcePosition fx0 = SampleGrid(g, width, height, p.x - h, p.y);
        const SourcePosition fy1 = SampleGrid(g, width, height, p.x, p.y + h);
        const SourcePosition fy0 = SampleGrid(g, width, height, p.x, p.y - h);
        const double a = (fx1.x - fx0.x) / (2 * h), b = (fy1.x - fy0.x) / (2 * h);
        const double c = (fx1.y - fx0.y) / (2 * h), d = (fy1.y - fy0.y) / (2 * h);
        const double det = a * d - b * c;
        if (std::abs(det) < 1e-9)
            return std::nullopt;
        p.x -= (d * ex - b * ey) / det;
        p.y -= (a * ey - c * ex) / det;
        if (!std::isfinite(p.x) || !std::isfinite(p.y) || std::abs(p.x) > 1e6 || std::abs(p.y) > 1e6)
            return std::nullopt;
    }
    return std::nullopt;
}

using PointTargets = GridArray<SourcePosition>;

// Where a grid shows each point of the base grid: the output positions the 17x17 points should
// take. Empty when a point has none (the grid folds over).
std::optional<PointTargets> PointTargetsOf(const WarpGrid& g, const WarpModel& m, int width, int height)
{
    PointTargets t{};
    for (int k = 0; k < kGridSize; ++k)
        for (int j = 0; j < kGridSize; ++j) {
            const SourcePosition base{
                double(m.BaseGridX[std::size_t(k)]), double(m.BaseGridY[std::size_t(j)])};
            const std::optional<SourcePosition> p = OutputOf(g, width, height, base);
            if (!p)
                return std::nullopt;
            t[std::size_t(k)][std::size_t(j)] = *p;
        }
    return t;
}

std::int16_t Whole(double v)
{
    return std::int16_t(std::clamp(std::lround(v), -32768L, 32767L));
}

// One try of 17x17 positions: the model's tables of their offsets and how close they come.
struct PointTry {
    bool ok = false;
    double worst = 0.0;
    GridArray<OffsetPair> offsets{};
    SourceTable sourceX{};
    SourceTable sourceY{};
    PointTargets shown{}; // where the try's own tables show the base grid
    QString failure;
};

PointTry TryPositions(const MpcdiRegionData& d, WarpState& ws, const PointTargets& ask, int width, int height)
{
    PointTry t;
    WarpModel& m = ws.current();
    for (int k = 0; k < kGridSize; ++k)
        for (int j = 0; j < kGridSize; ++j) {
            const SourcePosition& p = ask[std::size_t(k)][std::size_t(j)];
            t.offsets[std::size_t(k)][std::size_t(j)]
                = {Whole(p.x - m.BaseGridX[std::size_t(k)]), Whole(p.y - m.BaseGridY[std::size_t(j)])};
            SetPointOffset(m, k, j, t.offsets[std::size_t(k)][std::size_t(j)]);
        }
    try {
        RebuildWarpTables(ws);
    } catch (const WarpMathError& e) {
        t.failure = QString::fromUtf8(e.what());
        return t;
    }
    t.sourceX = ws.SourceXTable;
    t.sourceY = ws.SourceYTable;
    t.worst = WorstGridDifference(d.grid, width, height, t.sourceX, t.sourceY).pixels;
    const std::vector<std::uint16_t> x(t.sourceX.begin(), t.sourceX.end());
    const std::vector<std::uint16_t> y(t.sourceY.begin(), t.sourceY.end());
    const std::optional<PointTargets> shown
        = PointTargetsOf(GridFromTables(width, height, x, y), m, width, height);
    t.ok = shown.has_value();
    if (shown)
        t.shown = *shown;
    return t;
}

// The 17x17 offsets that put each base grid point where the file shows it. The model's tables
// are its splines' inverse, not the grid itself, so the positions asked for are corrected by what
// the model's tables show, a smaller step whenever a full one makes things worse.
bool PlanPointOffsets(const MpcdiRegionData& d, ImportPlan& plan, QString* error)
{
    auto ws = std::make_unique<WarpState>();
    ws->WarpWindow = plan.window;
    SetWarpFrameSize(*ws, plan.width, plan.height);
    SelectWarpPattern(*ws, Pattern17x17);
    const std::optional<PointTargets> target = PointTargetsOf(d.grid, ws->current(), plan.width, plan.height);
    if (!target)
        return Refuse(error,
            QStringLiteral("Region \"%1\": the grid folds over; no 17x17 point offsets show it.")
                .arg(d.region.id));
    PointTargets ask = *target;
    PointTry best = TryPositions(d, *ws, ask, plan.width, plan.height);
    if (!best.ok)
        return Refuse(error,
            QStringLiteral("Region \"%1\": its 17x17 point offsets cannot be computed%2.")
                .arg(d.region.id, best.failure.isEmpty() ? QString() : " (" + best.failure + ")"));
    for (int round = 0; round < 8 && best.worst >= 1.0 / 32; ++round) {
        bool improved = false;
        for (const double step : {1.0, 0.5, 0.25}) {
            PointTargets next = ask;
            for (int k = 0; k < kGridSize; ++k)
                for (int j = 0; j < kGridSize; ++j) {
                    const auto ki = std::size_t(k), ji = std::size_t(j);
                    next[ki][ji].x += step * ((*target)[ki][ji].x - best.shown[ki][ji].x);
                    next[ki][ji].y += step * ((*target)[ki][ji].y - best.shown[ki][ji].y);
                }
            PointTry t = TryPositions(d, *ws, next, plan.width, plan.height);
            if (t.ok && t.worst < best.worst) {
                best = std::move(t);
                ask = next;
                improved = true;
                break;
            }
        }
        if (!improved)
            break;
    }
    plan.offsets = best.offsets;
    plan.sourceX = best.sourceX;
    plan.sourceY = best.sourceY;
    return true;
}

QStringList Introduction(const MpcdiRegionData& d, const ImportPlan& plan)
{
    QStringList lines;
    lines << QStringLiteral(
        "Region \"%1\": a %2 x %3 warp grid (geometry level %4) into window %5, a %6 x %7 frame.")
                 .arg(d.region.id)
                 .arg(d.grid.columns)
                 .arg(d.grid.rows)
                 .arg(d.geometryLevel)
                 .arg(plan.window + 1)
                 .arg(plan.width)
                 .arg(plan.height);
    if (d.interpolation.compare(QLatin1String("linear"), Qt::CaseInsensitive) != 0)
        lines << QStringLiteral("The warp file asks for \"%1\" interpolation; it is read as linear.")
                     .arg(d.interpolation);
    if (d.region.x != 0.0 || d.region.y != 0.0 || d.region.xsize != 1.0 || d.region.ysize != 1.0)
        lines << QStringLiteral(
            "The region is a part of its buffer; the window's input is taken as that part.");
    for (const QString& note : d.region.notes)
        lines << QStringLiteral("File note: %1").arg(note);
    return lines;
}

} // namespace

std::optional<ImportPlan> PlanImport(const MpcdiRegionData& d, const ImportOptions& options, QString* error)
{
    ImportPlan plan;
    plan.window = std::clamp(options.window, 0, 3);
    plan.regionId = d.region.id;
    plan.width = options.frameWidth > 0 ? options.frameWidth : d.region.xResolution;
    plan.height = options.frameHeight > 0 ? options.frameHeight : d.region.yResolution;
    plan.pointOffsets = options.pointOffsets;
    if (!WarpFrameSizeFits(plan.width, plan.height)) {
        Refuse(error,
            QStringLiteral("A %1 x %2 frame does not fit the box's tables (16 x 16 to %3 x %4); give the "
                           "window's frame size.")
                .arg(plan.width)
                .arg(plan.height)
                .arg(kMaxWarpFrameWidth)
                .arg(kMaxWarpFrameHeight));
        return std::nullopt;
    }
    if (!CheckPositions(d, plan.width, plan.height, error))
        return std::nullopt;
    plan.report = Introduction(d, plan);
    if (plan.pointOffsets) {
        if (!PlanPointOffsets(d, plan, error))
            return std::nullopt;
        plan.report << QStringLiteral(
            "Geometry: the nearest 17x17 point offsets (whole pixels); the box interpolates "
            "them itself, shown here through the tool's warp model.");
    } else {
        TablesFromGrid(d.grid, plan.width, plan.height, plan.sourceX, plan.sourceY);
        plan.report << QStringLiteral(
            "Geometry: resampled to the User Map tables (132 x 78 mesh points, 1/16 pixel).");
    }
    plan.worst = WorstGridDifference(d.grid, plan.width, plan.height, plan.sourceX, plan.sourceY);
    plan.report << QStringLiteral("Worst difference: %1 px (at grid column %2, row %3 from the top).")
                       .arg(plan.worst.pixels, 0, 'f', 3)
                       .arg(plan.worst.column)
                       .arg(plan.worst.row);
    plan.blend
        = RecogniseBlend(d.alpha, d.beta, plan.width, plan.height, d.gammaEmbedded, options.currentBlend);
    plan.report << plan.blend.report;
    return plan;
}

void ApplyImportPlan(const ImportPlan& plan, WarpState& warp, BlendRecord& blend)
{
    warp.WarpWindow = plan.window;
    if (plan.pointOffsets) {
        WarpModel& m = warp.current();
        for (int k = 0; k < kGridSize; ++k)
            for (int j = 0; j < kGridSize; ++j)
                SetPointOffset(m, k, j, plan.offsets[std::size_t(k)][std::size_t(j)]);
    } else {
        warp.SourceXTable = plan.sourceX;
        warp.SourceYTable = plan.sourceY;
    }
    blend = plan.blend.record;
}

} // namespace trivel
