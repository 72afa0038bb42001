// The User Map editor driven through its widgets against the box model: the neighbour rule, line
// mode, WALL limits, undo and the table transfer.

#include "box/Box.h"
#include "WarpPageFixture.h"

#include "box/PageShow.h"
#include "settings/SettingsState.h"
#include "warp/Warp.h"
#include "warp/WarpModel.h"

#include <QCheckBox>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

using namespace trivel;
using namespace trivel::test;

namespace {

struct UserMapPage : WarpPage {
    UserMapPage() { SetPageAvailable(s, Page::UserMap, true); }

    void pattern(const char* button)
    {
        click(button);
        link->clearLog();
    }
    int count(const char* code) const { return int(std::count(link->log.begin(), link->log.end(), code)); }
    OffsetPair point(int c, int r) { return model().PointOffsets[std::size_t(c)][std::size_t(r)]; }
};

} // namespace

TEST(UserMap, APointStopsTwoPixelsInsideItsNeighbour)
{
    UserMapPage f;
    f.pattern("WP17x17Btn");
    for (int i = 0; i < 8; ++i)
        f.click("BtnCursorDown");
    ASSERT_EQ(f.model().GridCursor, (CursorPos{0, 8}));
    ASSERT_EQ(f.model().BaseGridY[8], 540);
    ASSERT_EQ(int(f.model().UserGrid[0][7].y), 472);
    for (int i = 0; i < 12; ++i)
        f.click("BtnGridUp");
    // 476 - 8 = 468 passes 472: held at 472 + 2; a point one pixel inside would stand.
    EXPECT_EQ(f.point(0, 8).dy, -66);
    EXPECT_EQ(f.model().UserGrid[0][8].y, 474.0f);
    EXPECT_EQ(f.s.box->warp.userMapUndoCount(0), 9); // -8 .. -64, then -66; the rest changed nothing
}

TEST(UserMap, LineModeMovesTheWholeRowWithAnUndoEntryPerPoint)
{
    UserMapPage f;
    f.pattern("WP3x3Btn");
    f.click("BtnCursorDown");
    ASSERT_EQ(f.model().GridCursor, (CursorPos{0, 8}));
    f.find<QCheckBox>("CBLineMove")->setChecked(true);
    f.click("BtnCursorRight");
    f.click("BtnGridUp");
    for (int c : {0, 8, 16})
        EXPECT_EQ(f.point(c, 8).dy, -8) << c;
    EXPECT_EQ(f.point(4, 8).dy, 0); // not an active point: filled in by the rebuild
    EXPECT_EQ(f.s.box->warp.userMapUndoCount(0), 3);
    EXPECT_EQ(f.model().GridCursor, (CursorPos{8, 8}));
    // A refill of the pages shows the window's own pattern.
    f.s.CurrentWindow = 1;
    RefreshPages(f.s);
    EXPECT_TRUE(f.find<QAbstractButton>("WP2x2Btn")->isChecked());
    f.s.CurrentWindow = 0;
    RefreshPages(f.s);
    EXPECT_TRUE(f.find<QAbstractButton>("WP3x3Btn")->isChecked());
}

TEST(UserMap, TheFirstTransferIsShortThenEveryTransferSendsAllChunks)
{
    UserMapPage f;
    f.click("BtnWarpReset");
    // One chunk of each table, then the whole of both and the apply.
    Log expected{"2010", "2011"};
    expected.insert(expected.end(), 44, "2010");
    expected.insert(expected.end(), 44, "2011");
    expected.push_back("2012");
    EXPECT_EQ(f.link->log, expected);
    EXPECT_FALSE(f.s.busy());
    EXPECT_FALSE(f.s.box->warp.adjust().WarpBusy);
    // An unedited 1920 x 1080 grid after a reset: the identity, chunk by chunk.
    for (std::size_t i = 2; i < f.link->sent.size() - 1; ++i) {
        const auto& frame = f.link->sent[i];
        const bool y = frame[4] == 0x11;
        const int chunk = frame[8];
        EXPECT_EQ(frame[9], 3);
        for (int k = 0; k < 3 * 78; ++k) {
            const int l = chunk + k / 78, n = k % 78;
            const int word = frame[32 + 2 * k] | frame[33 + 2 * k] << 8;
            ASSERT_EQ(word, y ? 256 * n : 256 * l) << "chunk " << chunk << " entry " << k;
        }
    }
    EXPECT_TRUE(f.s.box->warp.adjust().userMap.TableTransferred[0]);
}

TEST(UserMap, WallOffsetsStopAt900AndAnEditAtTheLimitRecordsNothing)
{
    UserMapPage f;
    f.pattern("WPWallBtn");
    f.model().WallOffsets[0][0].dx = 896;
    f.click("BtnGridRight");
    EXPECT_EQ(f.model().WallOffsets[0][0].dx, 900);
    EXPECT_EQ(f.s.box->warp.userMapUndoCount(0), 1);
    f.link->clearLog();
    f.click("BtnGridRight");
    EXPECT_EQ(f.link->log, Log{"2020"});
    EXPECT_EQ(f.s.box->warp.userMapUndoCount(0), 1);
    EXPECT_EQ(f.box.window(0).userMapWall[0], 900);
    // Undo puts the WALL pair back and tells the box.
    f.link->clearLog();
    f.click("BtnUndo");
    EXPECT_EQ(f.model().WallOffsets[0][0].dx, 896);
    EXPECT_EQ(f.link->log.back(), "2020");
    EXPECT_EQ(f.box.window(0).userMapWall[0], 896);
}

TEST(UserMap, AnUndoTheSplinesCannotPassLeavesEverythingAsItWas)
{
    UserMapPage f;
    f.pattern("WP17x17Btn");
    f.click("BtnCursorRight");
    f.click("BtnGridRight"); // point (1, 0) to x = 128
    ASSERT_EQ(f.point(1, 0).dx, 8);
    // Column 2 moved onto the place point (1, 0) had.
    SetPointOffset(f.model(), 2, 0, {-120, 0});
    const auto before = std::make_unique<WarpState>(f.s.box->warp.state());
    QString text;
    f.answerNextMessage(QMessageBox::Ok, &text);
    f.link->clearLog();
    f.click("BtnUndo");
    EXPECT_FALSE(text.isEmpty());
    EXPECT_EQ(f.point(1, 0).dx, 8);
    EXPECT_EQ(f.model().UserGrid, before->model[0].UserGrid);
    EXPECT_EQ(f.s.box->warp.state().SourceXTable, before->SourceXTable);
    EXPECT_EQ(f.s.box->warp.userMapUndoCount(0), 1);
    EXPECT_EQ(f.count("2010"), 0);
}

TEST(UserMap, AWrongReplyDuringTheXTransferIsReportedAndWaits)
{
    UserMapPage f;
    f.box.wrongCodeFor = Cmd::UserMapSourceX;
    f.box.wrongCode = 0x1234;
    f.click("BtnWarpReset");
    EXPECT_TRUE(f.s.box->warp.busy()); // the transfer still waits on its first x chunk
    EXPECT_EQ(f.s.box->warp.chunksAcknowledged(), 0);
    EXPECT_TRUE(f.ui.memo().contains("X CMD ERROR:1234"));
    EXPECT_EQ(f.link->log, Log{"2010"});
}

TEST(UserMap, ShowingThePageSendsItsTableOncePerVisitOfWarpAdjust)
{
    UserMapPage f;
    RunPageShow(f.s, Page::UserMap);
    f.settle();
    EXPECT_EQ(f.count("2012"), 1);
    EXPECT_TRUE(f.s.box->warp.adjust().UserMapShown[0]);
    f.link->clearLog();
    RunPageShow(f.s, Page::UserMap);
    f.settle();
    EXPECT_EQ(f.link->log, (Log{"2030", "2003", "2006", "2006"}));
    // Back on Warp Adjust the box is told to update; the next visit uses the stored table.
    RunPageShow(f.s, Page::WarpAdjust);
    f.settle();
    EXPECT_EQ(f.link->log.back(), "1002 s00UDT+003");
    f.link->clearLog();
    RunPageShow(f.s, Page::UserMap);
    f.settle();
    EXPECT_EQ(f.link->log.back(), "2014");
}

TEST(UserMap, UndoRebuildsWithThePatternOfTheEditAndComesBack)
{
    UserMapPage f;
    f.pattern("WP3x3Btn");
    f.click("BtnCursorDown");
    f.click("BtnGridUp"); // (0, 8) up: row 8 bends along the 3x3 spline
    ASSERT_LT(f.model().UserGrid[4][8].y, 540.0f);
    f.click("WP17x17Btn");
    ASSERT_LT(f.point(4, 8).dy, 0);
    f.click("BtnUndo");
    // Filled in again from the unedited 3x3 points: in 17x17 (4, 8) would have kept its bend.
    EXPECT_EQ(f.model().UserGrid[4][8].y, 540.0f);
    EXPECT_EQ(f.model().WarpPattern, Pattern17x17);
    EXPECT_EQ(f.s.box->warp.userMapUndoCount(0), 0);
}

// Not a check: renders the page for docs/ (run with --gtest_also_run_disabled_tests and
// TRIVEL_SCREENSHOT_DIR set). The main window keeps this tab hidden; the fixture shows it.
TEST(UserMap, DISABLED_Screenshot)
{
    const QString out = qEnvironmentVariable("TRIVEL_SCREENSHOT_DIR");
    ASSERT_FALSE(out.isEmpty());
    UserMapPage f;
    f.form.show();
    SetActivePage(f.s, Page::UserMap);
    f.settle();
    f.pattern("WP3x3Btn");
    f.click("BtnCursorRight");
    f.click("BtnCursorDown");
    for (int i = 0; i < 3; ++i)
        f.click("BtnGridRight");
    f.click("BtnGridUp");
    QCoreApplication::processEvents();
    EXPECT_TRUE(f.form.grab().save(out + "/user-map.png"));
}
