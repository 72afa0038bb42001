// A window exported and imported again: the box gets back the tables it had, and the blend it
// had wherever the format can say it.

#include "InterchangeFixtures.h"

#include "interchange/ImportPlan.h"
#include "preview/OutputPreview.h"

#include <QPainter>

#include <gtest/gtest.h>

#include <set>

namespace trivel {
namespace {

int Signed(std::uint16_t w)
{
    return w >= 0xC000 ? int(w) - 65536 : int(w);
}

std::optional<ImportPlan> ExportAndImport(const WindowExport& w, const ImportOptions& options, QString* why)
{
    const std::optional<QByteArray> zip = BuildMpcdiArchive({w}, QDateTime::currentDateTime(), why);
    std::optional<MpcdiContents> contents = zip ? ReadMpcdiArchive(*zip, why) : std::nullopt;
    std::optional<MpcdiRegionData> region
        = contents ? ReadMpcdiRegion(*contents, RegionIdOf(w.window), why) : std::nullopt;
    return region ? PlanImport(*region, options, why) : std::nullopt;
}

// Largest difference in table units over the window's mesh (what the box reads for its frame).
int WorstTableDifference(const WindowExport& w, const SourceTable& x, const SourceTable& y)
{
    int worst = 0;
    for (int l = 0; l <= (w.width - 1) / kMeshStep + 1; ++l)
        for (int n = 0; n <= (w.height - 1) / kMeshStep + 1; ++n) {
            const auto i = std::size_t(SourceTableIndex(l, n));
            worst = std::max({worst, std::abs(Signed(x[i]) - Signed(w.sourceX[i])),
                std::abs(Signed(y[i]) - Signed(w.sourceY[i]))});
        }
    return worst;
}

struct RoundTripCase {
    std::uint32_t seed;
    int width;
    int height;
};

class RoundTrip : public ::testing::TestWithParam<RoundTripCase> { };

TEST_P(RoundTrip, GivesBackTheUserMapTablesWithinOneUnitAndTheBlend)
{
    const auto [seed, width, height] = GetParam();
    const WindowExport w = test::RandomWarpedWindow(seed, width, height, int(seed % 4));
    ImportOptions options;
    options.window = w.window;
    QString why;
    const std::optional<ImportPlan> plan = ExportAndImport(w, options, &why);
    ASSERT_TRUE(plan) << why.toStdString();
    EXPECT_EQ(plan->window, w.window);
    EXPECT_EQ(QSize(plan->width, plan->height), QSize(width, height));
    EXPECT_LE(WorstTableDifference(w, plan->sourceX, plan->sourceY), 1);
    // What the box shows against the file's own grid: the tables' 1/16 pixel and no more.
    EXPECT_LT(plan->worst.pixels, 0.05);

    const BlendPlan& b = plan->blend;
    EXPECT_TRUE(b.alphaRepresentable) << b.report.join('\n').toStdString();
    EXPECT_TRUE(b.betaRepresentable) << b.report.join('\n').toStdString();
    BlendRecord want = w.blend;
    BlendRecord got = b.record;
    // Slots of parts the frame has (a part exists where its edges blend or in the middle).
    std::set<int> shown;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            shown.insert(BlackLevelSlot(BlendZone(want, 2, 3, y, height), BlendZone(want, 0, 1, x, width)));
    for (int slot : shown)
        for (int c = 0; c < 3; ++c)
            EXPECT_EQ(got.blackLevel(slot, c), want.blackLevel(slot, c))
                << "slot " << slot << " channel " << c;
    // A gain above neutral in every channel reaches full before the width: the same ramp then
    // has a narrower width at neutral gain.
    const bool gainsHideWidth = std::min({want.gammaGain(0), want.gammaGain(1), want.gammaGain(2)}) > 50;
    for (int side = 0; side < 4; ++side) {
        EXPECT_TRUE(b.edgeRecognised[std::size_t(side)]) << "side " << side;
        if (want.edgeWidth(side) == 0) {
            EXPECT_EQ(got.edgeWidth(side), 0) << "side " << side;
        } else if (!gainsHideWidth) {
            EXPECT_EQ(got.edgeWidth(side), want.edgeWidth(side)) << "side " << side;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(RandomGrids, RoundTrip,
    ::testing::Values(RoundTripCase{1, 1920, 1080}, RoundTripCase{2, 1920, 1080}, RoundTripCase{3, 1280, 720},
        RoundTripCase{4, 1366, 768}, RoundTripCase{5, 1024, 768}, RoundTripCase{6, 2096, 1232},
        RoundTripCase{7, 800, 600}, RoundTripCase{8, 1919, 1079}, RoundTripCase{9, 16, 16},
        RoundTripCase{10, 333, 250}),
    [](const auto& info) {
        return "Seed" + std::to_string(info.param.seed) + "_" + std::to_string(info.param.width) + "x"
            + std::to_string(info.param.height);
    });

// A grid made of whole-pixel 17x17 offsets comes back as those offsets, give or take a pixel
// where the tables do not tell them apart (points beyond the frame's edges).
TEST(RoundTrip, PointOffsetsComeBackAsTheSameOffsets)
{
    for (const std::uint32_t seed : {11u, 12u, 13u}) {
        SCOPED_TRACE(seed);
        auto ws = std::make_unique<WarpState>();
        std::mt19937 rng(seed);
        GridArray<OffsetPair> offsets{};
        for (auto& column : offsets)
            for (OffsetPair& p : column)
                p = {std::int16_t(int(rng() % 61) - 30), std::int16_t(int(rng() % 31) - 15)};
        for (int k = 0; k < kGridSize; ++k)
            for (int j = 0; j < kGridSize; ++j)
                SetPointOffset(ws->current(), k, j, offsets[std::size_t(k)][std::size_t(j)]);
        SelectWarpPattern(*ws, Pattern17x17);
        RebuildWarpTables(*ws);
        WindowExport w;
        w.sourceX.assign(ws->SourceXTable.begin(), ws->SourceXTable.end());
        w.sourceY.assign(ws->SourceYTable.begin(), ws->SourceYTable.end());

        ImportOptions options;
        options.pointOffsets = true;
        QString why;
        const std::optional<ImportPlan> plan = ExportAndImport(w, options, &why);
        ASSERT_TRUE(plan) << why.toStdString();
        int worstOffset = 0;
        for (int k = 0; k < kGridSize; ++k)
            for (int j = 0; j < kGridSize; ++j) {
                const OffsetPair a = plan->offsets[std::size_t(k)][std::size_t(j)];
                const OffsetPair b = offsets[std::size_t(k)][std::size_t(j)];
                worstOffset = std::max({worstOffset, std::abs(a.dx - b.dx), std::abs(a.dy - b.dy)});
            }
        EXPECT_LE(worstOffset, 1);
        EXPECT_LE(WorstTableDifference(w, plan->sourceX, plan->sourceY), 16);
        EXPECT_LT(plan->worst.pixels, 1.0);

        // Applied to a window's state, ready for the transfer.
        auto target = std::make_unique<WarpState>();
        BlendRecord blend;
        ApplyImportPlan(*plan, *target, blend);
        EXPECT_EQ(target->current().PointOffsets, plan->offsets);
    }
}

// Strongly warped grids with their corners moved: the nearest offsets come within a pixel.
TEST(RoundTrip, PointOffsetsOfAWarpedGridComeWithinAPixel)
{
    for (const std::uint32_t seed : {1u, 2u, 3u}) {
        SCOPED_TRACE(seed);
        ImportOptions options;
        options.pointOffsets = true;
        QString why;
        const std::optional<ImportPlan> plan
            = ExportAndImport(test::RandomWarpedWindow(seed, 1920, 1080), options, &why);
        ASSERT_TRUE(plan) << why.toStdString();
        EXPECT_LT(plan->worst.pixels, 1.0);
        EXPECT_TRUE(plan->report.join('\n').contains("the nearest 17x17 point offsets"));
    }
}

// Alpha maps other tools wrote: ramps along edges become blend widths, the rest is said.
struct AlphaCase {
    const char* name;
    std::function<void(QImage&)> paint; // on a white 8-bit grey 640 x 360 map
    std::array<int, 4> widths; // left, right, top, bottom; -1: not representable
    bool representable;
};

void LinearRamp(QImage& img, int side, int width, int shift = 0)
{
    for (int d = 0; d < width + shift; ++d) {
        const int v = d < shift ? 0 : int(std::lround(255.0 * (d - shift + 0.5) / width));
        for (int i = 0; i < (side < 2 ? img.height() : img.width()); ++i) {
            const int x = side == 0 ? d : side == 1 ? img.width() - 1 - d : i;
            const int y = side == 2 ? d : side == 3 ? img.height() - 1 - d : i;
            const int old = img.pixelColor(x, y).red();
            img.setPixelColor(x, y, QColor(old * v / 255, old * v / 255, old * v / 255));
        }
    }
}

const AlphaCase kAlphaCases[] = {
    {"NoBlend", [](QImage&) {}, {0, 0, 0, 0}, true},
    {"LeftAndTopRamps",
        [](QImage& i) {
            LinearRamp(i, 0, 120);
            LinearRamp(i, 2, 60);
        },
        {120, 0, 60, 0}, true},
    {"RightRampShifted", [](QImage& i) { LinearRamp(i, 1, 100, 10); }, {0, 100, 0, 0}, true},
    {"RampTooNarrow", [](QImage& i) { LinearRamp(i, 3, 20); }, {0, 0, 0, -1}, false},
    {"NotMonotonic",
        [](QImage& i) {
            LinearRamp(i, 0, 100);
            QPainter(&i).fillRect(40, 0, 5, i.height(), Qt::white);
        },
        {-1, 0, 0, 0}, false},
    {"Vignette",
        [](QImage& i) {
            QPainter p(&i);
            p.setPen(Qt::NoPen);
            p.setBrush(Qt::black);
            p.drawEllipse(QPoint(320, 180), 40, 40);
        },
        {0, 0, 0, 0}, false},
};

class AlphaMaps : public ::testing::TestWithParam<AlphaCase> { };

TEST_P(AlphaMaps, RampsAlongAnEdgeBecomeBlendWidths)
{
    const AlphaCase& c = GetParam();
    QImage alpha(640, 360, QImage::Format_Grayscale8);
    alpha.fill(Qt::white);
    c.paint(alpha);
    const BlendPlan plan = RecogniseBlend(alpha, {}, 640, 360, 2.2, {});
    for (int side = 0; side < 4; ++side) {
        const int want = c.widths[std::size_t(side)];
        EXPECT_EQ(plan.edgeRecognised[std::size_t(side)], want >= 0) << "side " << side;
        if (want >= 0) {
            EXPECT_EQ(plan.record.edgeWidth(side), want) << "side " << side;
        }
    }
    EXPECT_EQ(plan.alphaRepresentable, c.representable) << plan.report.join('\n').toStdString();
    if (!c.representable) {
        EXPECT_TRUE(plan.report.join('\n').contains("not representable"))
            << plan.report.join('\n').toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(OtherTools, AlphaMaps, ::testing::ValuesIn(kAlphaCases),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace trivel
