// The 17x17 point mode and the user maps of the Warp Adjust page, driven through its widgets
// against the box model.

#include "box/Box.h"
#include "WarpPageFixture.h"

#include "box/Watchdog.h"
#include "warp/Warp.h"
#include "warp/WarpModel.h"

#include <QCursor>
#include <QGuiApplication>

#include <gtest/gtest.h>

#include <memory>

using namespace trivel;
using namespace trivel::test;

namespace {

OffsetPair PointOf(const WarpModel& m, int column, int row)
{
    return m.PointOffsets[std::size_t(column)][std::size_t(row)];
}

std::vector<int> Sleeps(const VirtualClock& clock)
{
    std::vector<int> out;
    for (const auto& w : clock.waits())
        if (w.kind == VirtualClock::WaitKind::Sleep)
            out.push_back(w.ms);
    return out;
}

} // namespace

TEST(WarpPointMode, EnteringExpandsTheControlGridAlongTheSplines)
{
    WarpPage f;
    f.enter("BtnWP9x5");
    f.offsets()[7] = {12, -4}; // row 0, column 7
    f.click("BtnWP17x17");
    EXPECT_EQ(f.link->log, (Log{"2006", "1200"}));
    EXPECT_EQ(f.model().ControlPattern, WarpMode::Points);
    EXPECT_EQ(f.model().WarpPattern, Pattern17x17);
    EXPECT_EQ(PointOf(f.model(), 14, 0), (OffsetPair{12, -4}));
    // Column 15 lies halfway between columns 14 (1680 + 12) and 16 (1920).
    EXPECT_EQ(PointOf(f.model(), 15, 0).dx, 6);
    EXPECT_EQ(PointOf(f.model(), 0, 0), (OffsetPair{0, 0}));
    EXPECT_TRUE(f.find<QAbstractButton>("BtnWP17x17")->isChecked());
    EXPECT_FALSE(f.find<QAbstractButton>("BtnWP9x5")->isChecked());
    EXPECT_EQ(f.box.window(0).controlPattern, 100);
}

TEST(WarpPointMode, EnteringFromTwoByTwoOrWallExpandsWithTheNineByFivePattern)
{
    for (const char* from : {"BtnWP2x2", "BtnWPWall", "BtnWP3x3"}) {
        SCOPED_TRACE(from);
        WarpPage f;
        f.enter(from);
        f.click("BtnWP17x17");
        const bool coarse = std::string(from) == "BtnWP3x3";
        EXPECT_EQ(f.model().ActiveColumnCount, coarse ? 3 : 9);
        EXPECT_EQ(f.model().ActiveRowCount, coarse ? 3 : 5);
    }
}

TEST(WarpPointMode, PointMovesStopAt600AndSendThePoint)
{
    WarpPage f;
    f.enter("BtnWP17x17");
    f.click("BtnCurRight");
    EXPECT_EQ(f.link->log, Log{"2006"});
    EXPECT_EQ(f.model().GridCursor, (CursorPos{1, 0}));
    SetPointOffset(f.model(), 1, 0, {595, 0});
    f.link->clearLog();
    f.click("BtnMoveRight");
    ASSERT_EQ(f.link->log, Log{"1201"});
    const auto& frame = f.link->sent.back();
    EXPECT_EQ(frame[10], 1);
    EXPECT_EQ(frame[11], 0);
    EXPECT_EQ(frame[16] | frame[17] << 8, 600);
    EXPECT_EQ(PointOf(f.model(), 1, 0).dx, 600);
    EXPECT_EQ(f.label("WPLRVal"), "600");
    EXPECT_EQ(f.box.window(0).pointOffsets[17 * 4], 600 & 0xFF);
    EXPECT_FALSE(f.s.box->warp.adjust().WarpBusy);
}

TEST(WarpPointMode, BackToTheConfirmedModeSendsTheCachedTablesInsteadOfAModeCommand)
{
    WarpPage f;
    f.enter("BtnWP3x3");
    f.offsets()[4] = {9, 9};
    f.click("BtnWP17x17");
    f.link->clearLog();
    f.clock.clearWaits();
    f.click("BtnWP3x3");
    EXPECT_EQ(f.link->log,
        (Log{"1002 s0095I+000", "2007", "3000", "1002 s00UDT+001", "3000", "1002 s00UDT+002",
            "1002 s00UDT+003"}));
    EXPECT_EQ(Sleeps(f.clock), (std::vector<int>{200, 500, 300, 100}));
    EXPECT_EQ(f.link->sent[2][9], 2); // block 1 of the confirmed mode ...
    EXPECT_EQ(f.link->sent[2][12 + 16], 9); // ... with the cached offsets
    EXPECT_EQ(f.box.window(0).controlOffsets[8], 9);
    EXPECT_EQ(f.model().ControlPattern, WarpMode::Grid3x3);
    EXPECT_TRUE(f.find<QWidget>("GPWPMode")->isEnabled());
    EXPECT_FALSE(f.s.busy());
}

// The re-select shows the hourglass from its first request to its last reply; a mode change that
// reads the tables back leaves the cursor alone; a re-select cut short by the reply watchdog does
// not leave the hourglass behind.
TEST(WarpPointMode, TheReselectShowsTheHourglassUntilItsLastReply)
{
    WarpPage f;
    std::vector<std::pair<std::uint32_t, bool>> seen; // request code, hourglass shown as it went out
    f.box.replyHook = [&](std::uint32_t code, std::vector<std::uint8_t>&) {
        const QCursor* c = QGuiApplication::overrideCursor();
        EXPECT_EQ(f.s.ui.hourglass(), c && c->shape() == Qt::WaitCursor) << "port and screen agree";
        seen.push_back({code, f.s.ui.hourglass()});
        return true;
    };
    auto shownFor = [&](std::uint32_t code) {
        std::vector<bool> out;
        for (const auto& [c, shown] : seen)
            if (c == code)
                out.push_back(shown);
        return out;
    };

    f.enter("BtnWP3x3");
    f.click("BtnWP17x17");
    seen.clear();
    f.click("BtnWP3x3");
    EXPECT_EQ(shownFor(Cmd::BulkWarpBlock), (std::vector<bool>{true, true}));
    EXPECT_EQ(shownFor(Cmd::Setting), (std::vector<bool>{false, true, true, true})) << "95I, UDT 1, 2, 3";
    EXPECT_FALSE(f.s.ui.hourglass());
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);

    seen.clear();
    f.click("BtnWP9x5"); // a new mode: WPM and the table read-back
    ASSERT_GT(shownFor(Cmd::ReadWarpC).size(), 0u);
    for (const auto& [code, shown] : seen)
        EXPECT_FALSE(shown) << std::hex << code;

    f.click("BtnWP17x17");
    f.link->silent = true;
    f.click("BtnWP9x5");
    EXPECT_TRUE(f.s.ui.hourglass());
    f.answerNextMessage(QMessageBox::Ok);
    f.clock.advance(kReplyWatchdogMs + 1);
    // The re-select has ended (the mode group is back); the status poll it held back may be on
    // the link by now.
    EXPECT_TRUE(f.find<QWidget>("GPWPMode")->isEnabled());
    EXPECT_FALSE(f.s.ui.hourglass());
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST(WarpPointMode, AGridTheSplinesCannotPassLeavesEverythingAsItWas)
{
    WarpPage f;
    f.enter("BtnWP9x5");
    // Column 0 moved onto column 2: two knots of row 0 at x = 240.
    f.offsets()[0] = {240, 0};
    const auto before = std::make_unique<WarpState>(f.s.box->warp.state());
    const int history = f.s.box->warp.undoCount(0);
    QString text;
    f.answerNextMessage(QMessageBox::Ok, &text);
    f.click("BtnWP17x17");
    EXPECT_FALSE(text.isEmpty());
    EXPECT_TRUE(f.link->log.empty());
    EXPECT_EQ(f.model().ControlPattern, WarpMode::Grid9x5);
    EXPECT_EQ(f.model().WarpPattern, before->model[0].WarpPattern);
    EXPECT_EQ(f.model().PointOffsets, before->model[0].PointOffsets);
    EXPECT_EQ(f.model().UserGrid, before->model[0].UserGrid);
    EXPECT_EQ(f.s.box->warp.state().SourceXTable, before->SourceXTable);
    EXPECT_EQ(f.s.box->warp.undoCount(0), history);
    EXPECT_TRUE(f.find<QAbstractButton>("BtnWP9x5")->isChecked());
    // The same failure reached through undo is met the same way.
    f.offsets()[0] = {0, 0};
    f.click("BtnWP17x17");
    ASSERT_EQ(f.model().ControlPattern, WarpMode::Points);
    f.enter("BtnWP9x5");
    f.offsets()[0] = {240, 0};
    text.clear();
    f.answerNextMessage(QMessageBox::Ok, &text);
    f.click("BtnWPUndo"); // back to 17x17: the grid is expanded again
    EXPECT_FALSE(text.isEmpty());
    EXPECT_EQ(f.model().ControlPattern, WarpMode::Grid9x5);
}

// The mode buttons write the pattern byte and leave the active counts: a later rebuild must
// still fill in from the pattern's own lines.
TEST(WarpPointMode, APatternByteWithoutItsCountsStillRebuildsLikeThePattern)
{
    WarpPage f;
    f.enter("BtnWP3x3");
    f.enter("BtnWP9x5");
    ASSERT_EQ(f.model().WarpPattern, Pattern9x5);
    SetPointOffset(f.model(), 8, 8, {30, -20});
    auto proper = std::make_unique<WarpState>(f.s.box->warp.state());
    SelectWarpPattern(*proper, Pattern9x5);
    RebuildWarpTables(*proper);
    RebuildWarpTables(f.s.box->warp.state());
    EXPECT_EQ(f.s.box->warp.state().SourceXTable, proper->SourceXTable);
    EXPECT_EQ(f.s.box->warp.state().SourceYTable, proper->SourceYTable);
}

TEST(WarpPointMode, LoadingSlot3ReadsFiveBlocksAndSendsEightCorners)
{
    WarpPage f;
    sim::StoredMap map;
    map.pointOffsets[0] = 7; // point (0, 0) dx = 7
    map.pointOffsets[1156 - 2] = 0xFE; // point (16, 16) dy = -2
    map.pointOffsets[1156 - 1] = 0xFF;
    map.keystoneCorners = {1, 2, 3, 4, 5, 6, 7, -8};
    f.box.storedMap(0, 3) = map;
    f.click("BtnUserMap4");
    EXPECT_EQ(f.link->log, Log{"1002 s00WPM+009"});
    EXPECT_TRUE(f.find<QAbstractButton>("BtnLoadData")->isEnabled());
    f.link->clearLog();
    f.clock.clearWaits();
    f.click("BtnLoadData");
    EXPECT_EQ(f.link->log,
        (Log{"2016", "2017", "2017", "2017", "2017", "2017", "1002 s00TLA+001", "1002 s00TLB+002",
            "1002 s00TRA+003", "1002 s00TRB+004", "1002 s00BLA+005", "1002 s00BLB+006", "1002 s00BRA+007",
            "1002 s00BRB-008", "1201", "2006"}));
    EXPECT_EQ(Sleeps(f.clock), std::vector<int>{200});
    EXPECT_EQ(PointOf(f.model(), 0, 0), (OffsetPair{7, 0}));
    EXPECT_EQ(PointOf(f.model(), 16, 16), (OffsetPair{0, -2}));
    EXPECT_EQ(f.s.box->warp.adjust().KeystoneCorners[0][3], (PointOffset{7, -8}));
    EXPECT_EQ(f.model().ControlPattern, WarpMode::Points);
    EXPECT_EQ(f.model().GridCursor, (CursorPos{0, 0}));
    EXPECT_EQ(f.model().ControlCursor, (CursorPos{0, 0}));
    EXPECT_TRUE(f.find<QAbstractButton>("BtnWP17x17")->isChecked());
    EXPECT_EQ(f.label("WPLRVal"), "7");

    // An empty slot says so and changes nothing.
    f.click("BtnUserMap1");
    QString text;
    f.answerNextMessage(QMessageBox::Ok, &text);
    f.click("BtnLoadData");
    EXPECT_EQ(text, "No 17x17 warp information!!");
    EXPECT_FALSE(f.s.busy());
    EXPECT_EQ(PointOf(f.model(), 0, 0), (OffsetPair{7, 0}));
}

TEST(WarpPointMode, SavingToSlot9SelectsUserMap10OnceTheBoxConfirms)
{
    WarpPage f;
    f.enter("BtnWP17x17");
    SetPointOffset(f.model(), 3, 3, {5, 5});
    f.click("BtnMoveRight"); // the box holds the point mode's offsets
    f.link->clearLog();
    QString text;
    f.answerNextMessage(QMessageBox::Ok, &text);
    f.click("BtnSaveMap9");
    EXPECT_EQ(f.link->log, (Log{"2013", "1002 s00WPM+015"}));
    EXPECT_EQ(f.link->sent[0][9], 9);
    EXPECT_EQ(f.link->sent[0][12], Pattern17x17);
    EXPECT_EQ(text, "User Warp saved!!");
    EXPECT_EQ(f.model().ControlPattern, 15);
    EXPECT_TRUE(f.find<QAbstractButton>("BtnUserMap10")->isChecked());
    ASSERT_TRUE(f.box.storedMap(0, 9).has_value());
    EXPECT_EQ(f.box.storedMap(0, 9)->pointOffsets[0], 8);
    // Undo of the save goes back to the point mode.
    f.click("BtnWPUndo");
    EXPECT_EQ(f.model().ControlPattern, WarpMode::Points);
}

TEST(WarpPointMode, TheModeKeyCyclesThroughThePointMode)
{
    WarpPage f;
    const int expected[] = {1, 2, 3, 4, 100, 16, 1};
    for (int mode : expected) {
        f.form.FormShortCut(Qt::Key_M, Qt::NoModifier);
        f.settle();
        EXPECT_EQ(f.model().ControlPattern, mode);
    }
}
