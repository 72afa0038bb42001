// The Warp Adjust page driven through its widgets against the box model: the frames each
// button sends, their order, and what the tables and labels hold afterwards.

#include "box/Box.h"
#include "WarpPageFixture.h"

#include "box/PageShow.h"
#include "settings/SettingsState.h"
#include "warp/Warp.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QSlider>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>
#include <set>

using namespace trivel;
using namespace trivel::test;

TEST(WarpAdjustPage, ModeButtonsSendTheirSequenceAndTheSelectedModeAgainSendsNothing)
{
    const struct {
        const char* button;
        int mode;
        Log log;
    } cases[] = {
        {"BtnWP2x2", 1, {"1002 s0095I+000", "2007", "1002 s00WPM+001", "1007", "1008", "1009"}},
        {"BtnWP3x3", 2, {"1002 s0095I+000", "2007", "1002 s00WPM+002", "1007", "1008", "1009"}},
        {"BtnWP5x3", 3, {"1002 s0095I+000", "2007", "1002 s00WPM+003", "1007", "1008", "1009"}},
        // 9x5 and WALL show the cursor before they select the point.
        {"BtnWP9x5", 4, {"2007", "1002 s0095I+000", "1002 s00WPM+004", "1007", "1008", "1009"}},
        {"BtnWPWall", 16, {"2007", "1002 s0095I+000", "1002 s00WPM+016", "1007", "1008", "1009"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.button);
        WarpPage f;
        f.box.window(0).controlOffsets[0] = 33; // the read-back brings the box's tables
        f.click(c.button);
        EXPECT_EQ(f.link->log, c.log);
        EXPECT_EQ(f.model().ControlPattern, c.mode);
        EXPECT_EQ(f.s.box->warp.adjust().ConfirmedMode[0], c.mode);
        EXPECT_EQ(f.offsets()[0].x, 33);
        EXPECT_FALSE(f.s.busy());
        EXPECT_TRUE(f.find<QWidget>("GPWPMode")->isEnabled());
        EXPECT_TRUE(f.find<QAbstractButton>(c.button)->isChecked());

        f.link->clearLog();
        f.click(c.button);
        EXPECT_TRUE(f.link->log.empty());
        EXPECT_TRUE(f.find<QAbstractButton>(c.button)->isChecked());
    }
}

TEST(WarpAdjustPage, ModeButtonsWaitForARunningChain)
{
    WarpPage f;
    const auto running = f.s.exchange.hold(); // an operation holds the link
    f.click("BtnWP3x3");
    EXPECT_TRUE(f.link->log.empty());
    EXPECT_EQ(f.model().ControlPattern, 0);
    EXPECT_FALSE(f.find<QAbstractButton>("BtnWP3x3")->isChecked());
}

TEST(WarpAdjustPage, CursorVisitsThePointsOfEachMode)
{
    // 9x5: every point, row by row.
    {
        WarpPage f;
        f.enter("BtnWP9x5");
        for (int r = 0; r < 5; ++r) {
            for (int c = 0; c < 9; ++c)
                f.click("BtnCurRight");
            f.click("BtnCurDown");
        }
        const std::vector<int> seen = f.cursorFrames();
        EXPECT_EQ(std::set<int>(seen.begin(), seen.end()).size(), 45u);
        EXPECT_EQ(f.box.window(0).selectedPoint, 0); // back at the start after 5 x 9 + 5 steps
    }
    // 3x3: columns 0, 4, 8 and rows 0, 2, 4.
    {
        WarpPage f;
        f.enter("BtnWP3x3");
        for (int i = 0; i < 3; ++i)
            f.click("BtnCurRight");
        for (int i = 0; i < 3; ++i)
            f.click("BtnCurDown");
        EXPECT_EQ(f.cursorFrames(), (std::vector<int>{4, 8, 0, 18, 36, 0}));
    }
    // WALL: the centre (row 2, column 4 = point 22) is never reached; from the right-middle
    // point a step right wraps to column 0 of the same row.
    {
        WarpPage f;
        f.enter("BtnWPWall");
        const char* walk[] = {"BtnCurRight", "BtnCurRight", "BtnCurDown", "BtnCurRight", "BtnCurRight",
            "BtnCurDown", "BtnCurRight", "BtnCurRight", "BtnCurUp", "BtnCurLeft", "BtnCurUp"};
        for (const char* b : walk)
            f.click(b);
        const std::vector<int> seen = f.cursorFrames();
        EXPECT_EQ(seen, (std::vector<int>{4, 8, 26, 18, 26, 44, 36, 40, 4, 0, 36}));
        EXPECT_EQ(std::count(seen.begin(), seen.end(), 22), 0);
    }
}

TEST(WarpAdjustPage, MovesStopAt600AndSendTheClampedValue)
{
    const struct {
        const char* mode;
        const char* sent;
    } cases[] = {
        {"BtnWP2x2", "1002 s00TLA+600"},
        {"BtnWPWall", "1002 s00WLX+600"},
        {"BtnWP9x5", "100c S0095X+600"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        WarpPage f;
        f.enter(c.mode);
        f.s.box->warp.adjust().KeystoneCorners[0][0].x = 597;
        f.s.box->warp.adjust().WallPoints[0][0].x = 597;
        f.offsets()[0].x = 597;
        f.click("BtnMoveRight");
        EXPECT_EQ(f.link->log, Log{c.sent});
        EXPECT_EQ(f.label("WPLRVal"), "600");
        EXPECT_FALSE(f.s.busy());
        EXPECT_FALSE(f.s.box->warp.adjust().WarpBusy);
        ASSERT_EQ(f.s.box->warp.undoCount(0), 2); // the mode change and the move
        EXPECT_EQ(f.s.box->warp.undoAt(0, 1).action, int(WarpDir::Right));
    }
}

TEST(WarpAdjustPage, TheBoxsEchoWinsAndUndoReturnsToTheValueBeforeTheMove)
{
    WarpPage f;
    f.enter("BtnWP5x3");
    f.find<QSlider>("TBAdjustStep2")->setValue(12);
    EXPECT_EQ(f.label("STAdjustValue2"), "12");
    // This box moves the point by 10 whatever it is asked.
    f.box.replyHook = [](std::uint32_t code, std::vector<std::uint8_t>& reply) {
        if (code == Cmd::SettingQuery && reply[11] == '9' && reply[12] == '5' && reply[13] == 'X')
            std::copy_n("+010", 4, reply.begin() + 14);
        return true;
    };
    f.click("BtnMoveRight");
    EXPECT_EQ(f.link->log, Log{"100c S0095X+012"});
    EXPECT_EQ(f.offsets()[0].x, 10);
    EXPECT_EQ(f.label("WPLRVal"), "10");

    f.box.replyHook = nullptr;
    f.link->clearLog();
    f.click("BtnWPUndo");
    EXPECT_EQ(f.link->log, Log{"100c S0095X+000"});
    EXPECT_EQ(f.offsets()[0].x, 0);
    EXPECT_EQ(f.s.box->warp.undoCount(0), 1); // only the mode change is left
    // The replay's step does not outlive it.
    f.link->clearLog();
    f.click("BtnMoveDown");
    EXPECT_EQ(f.link->log, Log{"100c S0095Y+012"});
}

TEST(WarpAdjustPage, UndoOfACursorStepRestoresThePointAndRecordsNothing)
{
    WarpPage f;
    f.enter("BtnWP9x5");
    f.click("BtnCurRight");
    f.click("BtnCurDown");
    ASSERT_EQ(f.s.box->warp.undoCount(0), 3);
    EXPECT_EQ(f.box.window(0).selectedPoint, 10);
    f.click("BtnWPUndo");
    EXPECT_EQ(f.box.window(0).selectedPoint, 1);
    EXPECT_EQ(f.model().ControlCursor, (CursorPos{1, 0}));
    EXPECT_EQ(f.s.box->warp.undoCount(0), 2);
    EXPECT_EQ(MemoLines(f.ui, "UNDO Mode:").last(), "UNDO Mode:0007");
}

TEST(WarpAdjustPage, UndoHistoryWritesItsMemoLines)
{
    WarpPage f;
    f.enter("BtnWP3x3");
    f.click("BtnMoveLeft");
    f.click("BtnCurDown");
    EXPECT_EQ(MemoLines(f.ui, "UNDO "),
        (QStringList{"UNDO Mode:1000", "UNDO Countr:1", "UNDO Mode:0000", "UNDO Countr:2", "UNDO Mode:0007",
            "UNDO Countr:3"}));
    // Undo of a mode change goes back to the mode before it: here warp off.
    f.click("BtnWPUndo");
    f.click("BtnWPUndo");
    f.link->clearLog();
    f.click("BtnWPUndo");
    EXPECT_EQ(f.model().ControlPattern, 0);
    EXPECT_EQ(f.s.box->warp.undoCount(0), 0);
    EXPECT_NE(std::find(f.link->log.begin(), f.link->log.end(), "1002 s00WPM+000"), f.link->log.end());
}

TEST(WarpAdjustPage, ResetInWallClearsOnlyTheWallPointsWithItsWholeChain)
{
    WarpPage f;
    f.enter("BtnWPWall");
    f.click("BtnMoveDown");
    f.offsets()[3] = {5, -5};
    f.s.box->warp.adjust().KeystoneCorners[0][1] = {7, 7};
    f.link->clearLog();
    f.clock.clearWaits();

    // "No" keeps everything.
    QString text;
    f.answerNextMessage(QMessageBox::No, &text);
    f.click("BtnWPReset");
    EXPECT_EQ(text, "Do you want to reset warp?");
    EXPECT_TRUE(f.link->log.empty());
    EXPECT_EQ(f.s.box->warp.adjust().WallPoints[0][0].y, 8);

    f.answerNextMessage(QMessageBox::Yes);
    f.click("BtnWPReset");
    EXPECT_EQ(f.link->log,
        (Log{"3000", "1002 s00UDT+001", "3000", "1002 s00UDT+002", "1202", "1202", "1202", "1002 s00UDT+003",
            "1002 s00UDT+004"}));
    std::vector<int> waits;
    for (const auto& w : f.clock.waits())
        if (w.kind == VirtualClock::WaitKind::Sleep)
            waits.push_back(w.ms);
    EXPECT_EQ(waits, (std::vector<int>{200, 500, 300, 100}));
    EXPECT_EQ(f.s.box->warp.adjust().WallPoints[0][0].y, 0);
    EXPECT_EQ(f.box.window(0).wallPoints[1], 0);
    EXPECT_EQ(f.offsets()[3], (PointOffset{5, -5}));
    EXPECT_EQ(f.s.box->warp.adjust().KeystoneCorners[0][1], (PointOffset{7, 7}));
    EXPECT_EQ(f.s.box->warp.undoCount(0), 0);
    EXPECT_FALSE(f.s.busy());
    // Block 2 carries the wall points at 50 and the corners at 12; the chunks their numbers.
    EXPECT_EQ(f.link->sent[2][9], 16);
    EXPECT_EQ(f.link->sent[2][16], 7);
    EXPECT_EQ(f.link->sent[4][9], 0);
    EXPECT_EQ(f.link->sent[6][9], 2);
}

TEST(WarpAdjustPage, PageShowSendsColourPointAndCursor)
{
    WarpPage f;
    f.s.box->warp.adjust().PatternColourIndex[0] = 2; // "Red"
    f.model().ControlCursor = {3, 1};
    RunPageShow(f.s, Page::WarpAdjust);
    f.settle();
    EXPECT_EQ(f.link->log, (Log{"2030", "2003", "1002 s0095I+012", "2007"}));
    EXPECT_EQ(f.box.window(0).patternColour, 1);
    EXPECT_EQ(f.box.window(0).controlCursorShown, 1);
    EXPECT_TRUE(f.s.TmrStatus->isEnabled());

    // Once the User Map page has sent its table, the box updates on the way back.
    f.s.box->warp.adjust().UserMapShown[0] = true;
    f.link->clearLog();
    RunPageShow(f.s, Page::WarpAdjust);
    f.settle();
    EXPECT_EQ(f.link->log.back(), "1002 s00UDT+003");
    EXPECT_FALSE(f.s.box->warp.adjust().UserMapShown[0]);

    // A refill of the pages shows nothing on the box.
    f.link->clearLog();
    f.s.setFlag(Flag::Refreshing, true);
    RunPageShow(f.s, Page::WarpAdjust);
    f.settle();
    EXPECT_TRUE(f.link->log.empty());
}

TEST(WarpAdjustPage, RefreshingThePagesFillsTheControlsAndSendsNothing)
{
    WarpPage f;
    f.s.CurrentWindow = 2;
    f.s.box->warp.state().model[2].ControlPattern = WarpMode::Grid5x3;
    f.s.box->warp.adjust().ControlOffsets[2][0] = {-7, 3};
    f.s.box->warp.adjust().PatternColourIndex[2] = 4;
    f.s.box->warp.adjust().GridSpacing[2] = 50;
    f.s.box->warp.adjust().MoveStep[2] = 3;
    RefreshPages(f.s);
    f.settle();
    EXPECT_TRUE(f.find<QAbstractButton>("BtnWP5x3")->isChecked());
    EXPECT_EQ(f.find<QComboBox>("CBPatternSel1")->currentIndex(), 4);
    EXPECT_EQ(f.find<QSlider>("TBGrid")->value(), 50);
    EXPECT_EQ(f.label("STGridVal"), "50");
    EXPECT_EQ(f.find<QSlider>("TBAdjustStep2")->value(), 3);
    EXPECT_EQ(f.label("WPLRVal"), "-7");
    EXPECT_EQ(f.label("WPUDVal"), "3");
    for (const std::string& line : f.link->log) {
        EXPECT_EQ(line.find("GRD"), std::string::npos);
        EXPECT_NE(line, "2003");
    }
}

TEST(WarpAdjustPage, ACornerMoveFromThePointModeTravelsLinked)
{
    WarpPage f;
    f.model().ControlPattern = WarpMode::Points;
    f.click("BtnWP2x2");
    EXPECT_TRUE(f.s.flag(Flag::LinkedWarp));
    EXPECT_EQ(f.link->log[2], "100b s00WPM+001");
    f.link->clearLog();
    f.click("BtnCurDown");
    f.click("BtnCurRight");
    f.click("BtnMoveUp");
    EXPECT_EQ(f.link->log.back(), "100b s00BRB-008");
    EXPECT_EQ(f.s.box->warp.adjust().KeystoneCorners[0][3].y, -8);
    // Any other mode ends the link.
    f.click("BtnWP3x3");
    EXPECT_FALSE(f.s.flag(Flag::LinkedWarp));
}

TEST(WarpAdjustPage, GridTrackBarSpringsBackWhileAReplyIsPending)
{
    WarpPage f;
    f.enter("BtnWP9x5");
    QSlider* grid = f.find<QSlider>("TBGrid");
    grid->setValue(40);
    f.settle();
    EXPECT_EQ(f.link->log, Log{"1002 s00GRD+040"});
    EXPECT_EQ(f.label("STGridVal"), "40");

    f.link->delivery = Delivery::Pumped;
    f.link->clearLog();
    f.click("BtnMoveRight");
    ASSERT_TRUE(f.s.box->warp.adjust().WarpBusy);
    grid->setValue(64);
    f.settle();
    EXPECT_EQ(grid->value(), 40);
    EXPECT_EQ(f.label("STGridVal"), "40");
    EXPECT_EQ(f.link->log, Log{"100c S0095X+008"});
    f.link->pump();
    grid->setValue(64);
    EXPECT_EQ(f.link->log.back(), "1002 s00GRD+064");
}

TEST(WarpAdjustPage, PatternColourGoesToTheBox)
{
    WarpPage f;
    auto* combo = f.find<QComboBox>("CBPatternSel1");
    ASSERT_EQ(combo->count(), 9);
    EXPECT_EQ(combo->itemText(8), "Transparent");
    const int codes[] = {0, 7, 1, 2, 4, 6, 5, 3, 15};
    for (int i = 0; i < 9; ++i) {
        combo->setCurrentIndex(i);
        emit combo->activated(i);
        f.settle();
        EXPECT_EQ(f.box.window(0).patternColour, codes[i]) << i;
    }
    // The P key steps through the list and wraps; Ctrl+P goes back to "Off".
    f.form.FormShortCut(Qt::Key_P, Qt::NoModifier);
    EXPECT_EQ(combo->currentIndex(), 0);
    f.form.FormShortCut(Qt::Key_P, Qt::NoModifier);
    f.settle();
    EXPECT_EQ(f.box.window(0).patternColour, 7);
    f.form.FormShortCut(Qt::Key_P, Qt::ControlModifier);
    f.settle();
    EXPECT_EQ(f.box.window(0).patternColour, 0);
}

// Holding an arrow key: repeats that arrive while a move's reply is pending are dropped, never
// queued, so every move that goes out carries the value the tool shows.
TEST(WarpAdjustPage, KeyRepeatNeverQueuesStaleMoves)
{
    WarpPage f;
    f.enter("BtnWP9x5");
    f.link->delivery = Delivery::Pumped;
    QWidget* target = f.find<QWidget>("Warp95Tab");
    // Every event its own object, as the platform delivers them.
    std::vector<std::unique_ptr<QKeyEvent>> events;
    auto press = [&](bool repeat) {
        events.push_back(
            std::make_unique<QKeyEvent>(QEvent::KeyPress, Qt::Key_Right, Qt::NoModifier, QString(), repeat));
        QApplication::sendEvent(target, events.back().get());
    };
    std::vector<int> shown;
    for (int round = 0; round < 4; ++round) {
        press(round > 0);
        press(true);
        press(true); // two repeats while the reply is on its way
        shown.push_back(f.label("WPLRVal").toInt());
        f.link->pump();
    }
    EXPECT_EQ(f.link->log, (Log{"100c S0095X+008", "100c S0095X+016", "100c S0095X+024", "100c S0095X+032"}));
    EXPECT_EQ(shown, (std::vector<int>{8, 16, 24, 32}));
    EXPECT_EQ(f.box.window(0).controlOffsets[0], 32);
    EXPECT_EQ(f.link->queued(), 0u);
    // Shift+arrow nudges by one pixel.
    events.push_back(std::make_unique<QKeyEvent>(QEvent::KeyPress, Qt::Key_Left, Qt::ShiftModifier));
    QApplication::sendEvent(target, events.back().get());
    f.link->pump();
    EXPECT_EQ(f.link->log.back(), "100c S0095X+031");
    EXPECT_FALSE(f.s.box->warp.adjust().FineStep);
}
