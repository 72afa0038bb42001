#include "interchange/ImportPlan.h"

#include "interchange/PointOffsetPlan.h"

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

bool PlanPointOffsets(const MpcdiRegionData& d, ImportPlan& plan, QString* error)
{
    QString why;
    std::optional<PointOffsetResult> r
        = NearestPointOffsets(d.grid, plan.window, plan.width, plan.height, &why);
    if (!r)
        return Refuse(error, QStringLiteral("Region \"%1\": %2").arg(d.region.id, why));
    plan.offsets = r->offsets;
    plan.sourceX = r->sourceX;
    plan.sourceY = r->sourceY;
    if (r->followingNeighbours > 0)
        plan.report << QStringLiteral(
            "%1 of the 17x17 points show content the grid does not reach; they follow "
            "their neighbours.")
                           .arg(r->followingNeighbours);
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
