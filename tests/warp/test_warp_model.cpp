#include "warp/WarpModel.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

namespace trivel {
namespace {

std::uint16_t word(int v)
{
    return static_cast<std::uint16_t>(v & 0xFFFF);
}

// A fresh state on the heap (the tables are large), window 0 at the given frame size.
struct WarpFixture : ::testing::Test {
    std::unique_ptr<WarpState> owner = std::make_unique<WarpState>();
    WarpState& s = *owner;
    WarpModel& m() { return s.current(); }

    void shiftAll(int dx, int dy)
    {
        for (int k = 0; k < kGridSize; ++k)
            for (int j = 0; j < kGridSize; ++j)
                SetPointOffset(m(), k, j, {std::int16_t(dx), std::int16_t(dy)});
    }
    std::uint16_t X(int l, int n) const { return s.SourceXTable[SourceTableIndex(l, n)]; }
    std::uint16_t Y(int l, int n) const { return s.SourceYTable[SourceTableIndex(l, n)]; }
    void expectIdentity(int columns = kSourceTableColumns, int rows = kSourceTableRows)
    {
        int wrong = 0;
        for (int l = 0; l < columns; ++l)
            for (int n = 0; n < rows; ++n)
                wrong += X(l, n) != word(256 * l) || Y(l, n) != word(256 * n);
        EXPECT_EQ(wrong, 0);
    }
};

TEST_F(WarpFixture, FrameSizeGivesMeshAndBaseGrid)
{
    struct Case {
        int width, height, meshColumns, meshRows;
    };
    for (const Case& c :
        {Case{1920, 1080, 120, 68}, Case{16, 16, 1, 1}, Case{17, 33, 2, 3}, Case{2096, 1232, 131, 77}}) {
        ASSERT_TRUE(SetWarpFrameSize(s, c.width, c.height)) << c.width;
        EXPECT_EQ(m().frameWidth, c.width);
        EXPECT_EQ(m().MeshColumns, c.meshColumns) << c.width;
        EXPECT_EQ(m().MeshRows, c.meshRows) << c.height;
    }
    ASSERT_TRUE(SetWarpFrameSize(s, 1920, 1080));
    const std::array<std::int32_t, 17> y1080{
        0, 67, 135, 202, 270, 337, 405, 472, 540, 607, 675, 742, 810, 877, 945, 1012, 1080};
    EXPECT_EQ(m().BaseGridY, y1080);
    EXPECT_EQ(m().BaseGridX[1], 120);
    EXPECT_EQ(m().UserGrid[3][2], (GridPoint{360, 135}));
    EXPECT_EQ(m().CornerPositions[BottomRight], (GridPoint{1920, 1080}));
}

TEST_F(WarpFixture, SizesBeyondTheTablesAreRefusedAndChangeNothing)
{
    SetPointOffset(m(), 3, 3, {5, 5});
    const WarpModel before = m();
    for (auto [w, h] :
        {std::pair{2097, 1080}, {1920, 1233}, {4096, 2160}, {0, 0}, {15, 1080}, {-1920, 1080}}) {
        EXPECT_FALSE(SetWarpFrameSize(s, w, h)) << w << "x" << h;
        EXPECT_EQ(m().frameWidth, 1920);
        EXPECT_EQ(m().MeshColumns, before.MeshColumns);
        EXPECT_EQ(m().PointOffsets[3][3], (OffsetPair{5, 5}));
    }
}

TEST_F(WarpFixture, ResetsRestoreBaseGridAndIdentityTables)
{
    SelectWarpPattern(s, Pattern17x17);
    shiftAll(7, -3);
    SetCornerOffset(m(), TopLeft, {4, 4});
    m().WallOffsets[8][0] = {9, 9};
    ResetGridPositions(s); // keeps the offsets
    EXPECT_EQ(m().UserGrid[5][5], (GridPoint{600, 337}));
    EXPECT_EQ(m().PointOffsets[5][5], (OffsetPair{7, -3}));
    expectIdentity();
    ResetWarpWindow(s);
    EXPECT_EQ(m().PointOffsets[5][5], OffsetPair{});
    EXPECT_EQ(m().WallOffsets[8][0], OffsetPair{});
    EXPECT_EQ(m().CornerOffsets[TopLeft], OffsetPair{});
    EXPECT_EQ(m().CornerPositions[TopLeft], (GridPoint{0, 0}));
}

TEST_F(WarpFixture, UneditedGridGivesIdentityTables)
{
    // 2x2 and 17x17 use the grid as it is. The coarse patterns fill rows in straight lines,
    // which matches the base grid only where its steps are even (1088, not 1080).
    struct Case {
        int width, height;
        std::uint8_t pattern;
    };
    const Case cases[] = {{1920, 1080, Pattern2x2}, {1920, 1080, Pattern17x17}, {1920, 1088, Pattern3x3},
        {1920, 1088, Pattern5x3}, {1920, 1088, Pattern5x5}, {1920, 1088, Pattern9x5},
        {1920, 1088, Pattern9x9}, {1280, 720, Pattern17x17}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << " pattern " << int(c.pattern));
        ASSERT_TRUE(SetWarpFrameSize(s, c.width, c.height));
        s.SourceXTable.fill(0x1234);
        s.SourceYTable.fill(0x1234);
        SelectWarpPattern(s, c.pattern);
        RebuildWarpTables(s);
        expectIdentity(m().MeshColumns + 1, m().MeshRows + 1);
        // Beyond the window's mesh the previous contents stay.
        EXPECT_EQ(X(m().MeshColumns + 1, 0), 0x1234);
        EXPECT_EQ(Y(0, m().MeshRows + 1), 0x1234);
        EXPECT_EQ(X(131, 77), 0x1234);
    }
    // The largest frame covers the whole table.
    ASSERT_TRUE(SetWarpFrameSize(s, 2096, 1232));
    s.SourceXTable.fill(0);
    SelectWarpPattern(s, Pattern3x3);
    RebuildWarpTables(s);
    expectIdentity();
}

TEST_F(WarpFixture, UniformShiftMovesSourceByTheOffset)
{
    SelectWarpPattern(s, Pattern17x17);
    shiftAll(10, 0);
    RebuildWarpTables(s);
    EXPECT_EQ(X(0, 0), word(-159)); // trunc(-159.5) toward zero
    EXPECT_EQ(X(0, 68), word(-159));
    int wrong = 0;
    for (int l = 1; l <= 120; ++l)
        for (int n = 0; n <= 68; ++n)
            wrong += X(l, n) != word(256 * l - 160);
    EXPECT_EQ(wrong, 0);
    for (int l = 0; l <= 120; ++l)
        for (int n = 0; n <= 68; ++n)
            wrong += Y(l, n) != word(256 * n);
    EXPECT_EQ(wrong, 0);
}

TEST_F(WarpFixture, MeshBeyondTheGridGetsFixedSourcePositions)
{
    SelectWarpPattern(s, Pattern17x17);
    shiftAll(200, 200); // first column and row curves now lie 200 px in, more than one interval
    RebuildWarpTables(s);
    EXPECT_EQ(X(0, 30), kSourceBeforeGrid); // -1024 px
    EXPECT_EQ(kSourceBeforeGrid, 0xC000);
    EXPECT_EQ(Y(30, 0), 0xC000);
    EXPECT_EQ(X(5, 30), word(-1919)); // within one interval: -120 px extrapolated, trunc(-1919.5)
    shiftAll(-200, -200);
    RebuildWarpTables(s);
    EXPECT_EQ(X(120, 30), 49088); // 3068 px, kSourceBeyondGrid
    EXPECT_EQ(Y(30, 68), 49088);
}

TEST_F(WarpFixture, ThreeByThreeFillsRowsColumnsAndTheRest)
{
    SelectWarpPattern(s, Pattern3x3);
    RebuildWarpTables(s);
    const auto unedited = m().UserGrid;
    SetPointOffset(m(), 8, 8, {30, -20});
    RebuildWarpTables(s);
    const auto& g = m().UserGrid;

    for (int i = 0; i < kGridSize; ++i) {
        EXPECT_EQ(g[i][0], unedited[i][0]) << i;
        EXPECT_EQ(g[i][16], unedited[i][16]) << i;
        EXPECT_EQ(g[0][i], unedited[0][i]) << i;
        EXPECT_EQ(g[16][i], unedited[16][i]) << i;
    }
    // Between active rows y is a straight line, not the uneven base grid (540 / 8 steps).
    EXPECT_FLOAT_EQ(unedited[0][1].y, 67.5f);
    // Row 8 follows the cubic through its three active points; x is linear between them.
    const float rx[3]{g[0][8].x, g[8][8].x, g[16][8].x};
    const float ry[3]{g[0][8].y, g[8][8].y, g[16][8].y};
    SplineSegment rowSeg[2];
    BuildCubicSegments(rx, ry, 3, rowSeg);
    EXPECT_FLOAT_EQ(g[4][8].x, (4 * 990.0f + 4 * 0.0f) / 8);
    EXPECT_FLOAT_EQ(g[4][8].y, EvaluateSegment(rowSeg[0], g[4][8].x - rx[0]));
    EXPECT_FLOAT_EQ(g[12][8].y, EvaluateSegment(rowSeg[1], g[12][8].x - rx[1]));
    EXPECT_NE(g[4][8].y, 540.0f);
    // Column 8 likewise, x over y.
    const float cy[3]{g[8][0].y, g[8][8].y, g[8][16].y};
    const float cx[3]{g[8][0].x, g[8][8].x, g[8][16].x};
    SplineSegment colSeg[2];
    BuildCubicSegments(cy, cx, 3, colSeg);
    EXPECT_FLOAT_EQ(g[8][4].y, (4 * 520.0f + 4 * 0.0f) / 8);
    EXPECT_FLOAT_EQ(g[8][4].x, EvaluateSegment(colSeg[0], g[8][4].y - cy[0]));
    EXPECT_NE(g[8][4].x, 960.0f);
    // Off both: x from its row's ends, y from its column's ends.
    EXPECT_FLOAT_EQ(g[4][4].x, (g[0][4].x + g[8][4].x) / 2);
    EXPECT_FLOAT_EQ(g[4][4].y, (g[4][0].y + g[4][8].y) / 2);
    EXPECT_FLOAT_EQ(g[2][4].x, (2 * g[8][4].x + 6 * g[0][4].x) / 8);
    // The live grid is the user grid rounded to whole pixels (corners untouched).
    EXPECT_EQ(s.LiveGrid[8][8], (GridPoint{990, 520}));
    EXPECT_NEAR(s.LiveGrid[4][4].x, g[4][4].x, 0.5001);
    EXPECT_EQ(s.LiveGrid[4][4].x, std::trunc(s.LiveGrid[4][4].x));
}

TEST_F(WarpFixture, CornerMoveBendsLiveGridButNotUserGrid)
{
    SelectWarpPattern(s, Pattern2x2);
    SetCornerOffset(m(), TopRight, {100, 40});
    EXPECT_EQ(m().CornerPositions[TopRight], (GridPoint{2020, 40}));
    const auto user = m().UserGrid;
    RebuildWarpTables(s);
    EXPECT_EQ(m().UserGrid, user);
    EXPECT_EQ(s.LiveGrid[0][0], (GridPoint{0, 0}));
    EXPECT_EQ(s.LiveGrid[16][0], (GridPoint{2020, 40}));
    EXPECT_EQ(s.LiveGrid[0][16], (GridPoint{0, 1080}));
    EXPECT_EQ(s.LiveGrid[16][16], (GridPoint{1920, 1080}));
    EXPECT_GT(s.LiveGrid[8][0].x, 960.0f);
    EXPECT_GT(s.LiveGrid[8][0].y, 0.0f);
    EXPECT_NE(s.LiveGrid[8][8], user[8][8]);
    EXPECT_NE(X(100, 5), word(256 * 100));
    // Corners back: identity again.
    SetCornerOffset(m(), TopRight, {});
    RebuildWarpTables(s);
    expectIdentity(121, 69);
}

TEST_F(WarpFixture, ArithmeticFailureIsAnErrorAndKeepsTheTables)
{
    SelectWarpPattern(s, Pattern17x17);
    // Points 4 and 5 of row 3 at the same x.
    SetPointOffset(m(), 5, 3, {-120, 0});
    s.SourceXTable.fill(0x4242);
    EXPECT_THROW(RebuildWarpTables(s), WarpMathError);
    EXPECT_EQ(X(10, 10), 0x4242);

    // A collapsed corner quadrilateral has no perspective.
    SetPointOffset(m(), 5, 3, {});
    SelectWarpPattern(s, Pattern2x2);
    SetCornerOffset(m(), TopRight, {-1920, 0});
    SetCornerOffset(m(), BottomRight, {-1920, 0});
    EXPECT_THROW(RebuildWarpTables(s), WarpMathError);

    // WALL has no splines.
    SetCornerOffset(m(), TopRight, {});
    SetCornerOffset(m(), BottomRight, {});
    SelectWarpPattern(s, PatternWall);
    EXPECT_THROW(RebuildWarpTables(s), WarpMathError);
    m().WarpPattern = 200; // as a damaged setting file could leave it
    EXPECT_THROW(RebuildWarpTables(s), WarpMathError);
}

TEST_F(WarpFixture, PatternsAndEditingHelpers)
{
    const int columns[] = {2, 3, 5, 5, 9, 9, 17, 1};
    const int rows[] = {2, 3, 3, 5, 5, 9, 17, 1};
    for (std::uint8_t p = 0; p < 8; ++p) {
        ASSERT_TRUE(SelectWarpPattern(s, p));
        EXPECT_EQ(m().WarpPattern, p);
        EXPECT_EQ(m().ActiveColumnCount, columns[p]);
        EXPECT_EQ(m().ActiveRowCount, rows[p]);
    }
    EXPECT_FALSE(SelectWarpPattern(s, 8));
    EXPECT_EQ(m().WarpPattern, PatternWall);

    SetPointOffset(m(), 2, 3, {-5, 7});
    CopyUserGridToLive(s);
    EXPECT_EQ(s.LiveGrid[2][3], (GridPoint{235, 209}));
    m().UserGrid[1][1] = {120 - 2.75f, 67 + 3.5f};
    m().UserGrid[1][2] = {1e9f, -1e9f};
    CapturePointOffsets(m());
    EXPECT_EQ(m().PointOffsets[1][1], (OffsetPair{-2, 3})); // toward zero
    EXPECT_EQ(m().PointOffsets[2][3], (OffsetPair{-5, 7}));
    EXPECT_EQ(m().PointOffsets[1][2], (OffsetPair{32767, -32768}));

    s.SourceXTable[SourceTableIndex(1, 2)] = 0xBFC0;
    const auto bytes = SourceTableBytes(s.SourceXTable);
    EXPECT_EQ(bytes.size(), 20592u);
    EXPECT_EQ(bytes[2 * (78 + 2)], 0xC0);
    EXPECT_EQ(bytes[2 * (78 + 2) + 1], 0xBF);
}

TEST_F(WarpFixture, EditedGridGivesPinnedTables)
{
    // Pins every bit of one non-trivial rebuild (5x3 fill, perspective, inverses), so that a
    // change of evaluation order or rounding shows up here before it reaches a box.
    SelectWarpPattern(s, Pattern5x3);
    SetPointOffset(m(), 4, 0, {-25, 18});
    SetPointOffset(m(), 8, 8, {40, -30});
    SetPointOffset(m(), 12, 16, {15, -22});
    SetPointOffset(m(), 16, 8, {-35, 10});
    SetCornerOffset(m(), BottomLeft, {60, -45});
    RebuildWarpTables(s);

    std::uint64_t hash = 1469598103934665603ull; // FNV-1a over both tables
    for (auto v : s.SourceXTable)
        hash = (hash ^ v) * 1099511628211ull;
    for (auto v : s.SourceYTable)
        hash = (hash ^ v) * 1099511628211ull;
    EXPECT_EQ(hash, 0x9860a431e8152769ull);

    struct Spot {
        int l, n;
        std::uint16_t x, y;
    };
    for (const Spot& p : {Spot{0, 0, 0, 0}, Spot{30, 20, 7840, 5040}, Spot{60, 34, 14814, 9205},
             Spot{100, 60, 25564, 15634}, Spot{120, 68, 30708, 17418}, Spot{7, 50, 1124, 13234}}) {
        EXPECT_EQ(X(p.l, p.n), p.x) << p.l << "," << p.n;
        EXPECT_EQ(Y(p.l, p.n), p.y) << p.l << "," << p.n;
    }
    EXPECT_EQ(s.LiveGrid[4][4], (GridPoint{466, 277}));
    EXPECT_FLOAT_EQ(m().UserGrid[6][4].x, 727.617554f);
    EXPECT_FLOAT_EQ(m().UserGrid[6][4].y, 265.930603f);
}

TEST(WarpState, StartsWithEveryWindowAt1920x1080)
{
    auto s = std::make_unique<WarpState>();
    EXPECT_EQ(s->WarpWindow, 0);
    for (const WarpModel& m : s->model) {
        EXPECT_EQ(m.MeshColumns, 120);
        EXPECT_EQ(m.BaseGridY[1], 67);
        EXPECT_EQ(m.UserGrid[16][16], (GridPoint{1920, 1080}));
    }
    s->WarpWindow = 2;
    ASSERT_TRUE(SetWarpFrameSize(*s, 1280, 720));
    EXPECT_EQ(s->model[2].MeshColumns, 80);
    EXPECT_EQ(s->model[1].MeshColumns, 120);
}

} // namespace
} // namespace trivel
