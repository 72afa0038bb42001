// Real key events on the shown main window, delivered as the window system delivers them (to the
// focused control first): every warp shortcut reaches its handler whatever control has focus,
// with or without a modifier pressed first, held down, and after a window switch. The frames
// the box model received say what happened.

#include "box/Box.h"
#include "warp/WarpPageFixture.h"

#include "box/StatusPoll.h"
#include "session/Operations.h"
#include "settings/Settings.h"
#include "warp/Controls.h"
#include "warp/Warp.h"

#include <QComboBox>
#include <QSlider>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QWindow>

#include <gtest/gtest.h>

using namespace trivel;
using namespace trivel::test;

namespace {

constexpr int kHomePoint = 22; // column 4, row 2 of the 9 x 5 grid: no cursor step wraps
constexpr int kHomeX = 8;

// The shown main window in 9x5 on window 1, the cursor in the middle at x = 8 after one recorded
// move right, pattern "Yellow" (index 7).
struct KeyRig : WarpPage {
    KeyRig()
    {
        s.ChannelCount = 4;
        ApplyChannelLayout(s, true);
        s.BoardMask = 0x3;
        form.show();
        form.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&form));
        enter("BtnWP9x5");
        home();
    }

    void home()
    {
        if (s.CurrentWindow != 0) {
            Launch(s, s.settingsService().selectWindow(0));
            settle();
        }
        for (int w = 0; w < 4; ++w) {
            WarpModel& m = s.box->warp.state().model[std::size_t(w)];
            m.ControlPattern = WarpMode::Grid9x5;
            m.ControlCursor = {4, 2};
            s.box->warp.adjust().ConfirmedMode[std::size_t(w)] = WarpMode::Grid9x5;
            s.box->warp.adjust().ControlOffsets[std::size_t(w)] = {};
            s.box->warp.adjust().UndoHistory[std::size_t(w)].clear();
            s.box->warp.adjust().PatternColourIndex[std::size_t(w)] = 7;
            sim::WindowState& b = box.window(w);
            b.controlPattern = WarpMode::Grid9x5;
            b.selectedPoint = kHomePoint;
            b.controlOffsets.fill(0);
        }
        s.box->warp.adjust().ControlOffsets[0][kHomePoint].x = kHomeX;
        box.window(0).controlOffsets[kHomePoint * 2] = kHomeX;
        const std::int32_t moveRight[] = {int(WarpDir::Right), kHomeX, 4, 2};
        for (std::int32_t v : moveRight)
            for (int b = 0; b < 4; ++b)
                s.box->warp.adjust().UndoHistory[0].push_back(std::uint8_t(std::uint32_t(v) >> (8 * b)));
        // What a key taken by the wrong control changed.
        while (QWidget* popup = QApplication::activePopupWidget())
            popup->close();
        form.PCMain->setCurrentIndex(Page::WarpAdjust);
        s.box->warp.state().model[0].WarpPattern = Pattern9x5;
        s.box->warp.showMode();
        s.ui.setEnabled(ctl::GPWPMode, true);
        find<QComboBox>("CBPatternSel1")->setCurrentIndex(7);
        find<QSlider>("TBAdjustStep2")->setValue(8);
        find<QSlider>("TBGrid")->setValue(32);
        settle();
        link->clearLog();
    }

    QWindow* win() { return form.windowHandle(); }

    // A key as the window system hands it over: without (bare) or after the presses of its
    // modifier keys, as fingers do.
    void press(int key, Qt::KeyboardModifiers mods, bool modifierFirst)
    {
        if (modifierFirst) {
            QTest::keyClick(win(), Qt::Key(key), mods);
        } else {
            const QString text
                = key >= Qt::Key_A && key <= Qt::Key_Z ? QString(QChar(key)).toLower() : QString();
            QTest::simulateEvent(win(), true, key, mods, text, false);
            QTest::simulateEvent(win(), false, key, mods, text, false);
        }
        settle();
    }
    // A key held down: one press, then `repeats` auto-repeated presses, then the release.
    void hold(int key, Qt::KeyboardModifiers mods, int repeats)
    {
        QTest::simulateEvent(win(), true, key, mods, QString(), false);
        for (int i = 0; i < repeats; ++i)
            QTest::simulateEvent(win(), true, key, mods, QString(), true);
        QTest::simulateEvent(win(), false, key, mods, QString(), false);
        settle();
    }

    int pattern() const { return s.box->warp.adjust().PatternColourIndex[0]; }
};

// Controls that take arrows, letters or digits themselves when the shortcut hook lets them.
QWidget* FocusTarget(KeyRig& f, const char* name)
{
    if (QLatin1String(name) == QLatin1String("tabs"))
        return f.form.PCMain->tabBar();
    return f.find<QWidget>(name);
}
const char* const kFocusTargets[] = {
    "BtnWP9x5", "BtnWin1", "TBAdjustStep2", "TBGrid", "CBPatternSel1", "BtnMoveRight", "tabs", "TntButton2"};

constexpr auto None = Qt::NoModifier;
constexpr auto Shift = Qt::ShiftModifier;
constexpr auto Ctrl = Qt::ControlModifier;
constexpr auto Alt = Qt::AltModifier;

struct KeyCase {
    int key;
    Qt::KeyboardModifiers mods;
    Log log; // the frames the box receives
    int pattern = 7; // the window's pattern index afterwards
    int window = 0; // the current window afterwards
};

// The shortcut table of the Warp Adjust page and the window keys, from the home state.
const KeyCase kCases[] = {
    {Qt::Key_Left, None, {"100c S0095X+000"}},
    {Qt::Key_Right, None, {"100c S0095X+016"}},
    {Qt::Key_Up, None, {"100c S0095Y-008"}},
    {Qt::Key_Down, None, {"100c S0095Y+008"}},
    // Shift: one pixel.
    {Qt::Key_Left, Shift, {"100c S0095X+007"}},
    {Qt::Key_Right, Shift, {"100c S0095X+009"}},
    {Qt::Key_Up, Shift, {"100c S0095Y-001"}},
    {Qt::Key_Down, Shift, {"100c S0095Y+001"}},
    // Ctrl: the cursor.
    {Qt::Key_Left, Ctrl, {"1002 s0095I+021", "2007"}},
    {Qt::Key_Right, Ctrl, {"1002 s0095I+023", "2007"}},
    {Qt::Key_Up, Ctrl, {"1002 s0095I+013", "2007"}},
    {Qt::Key_Down, Ctrl, {"1002 s0095I+031", "2007"}},
    // Any other combination: a full step.
    {Qt::Key_Left, Alt, {"100c S0095X+000"}},
    {Qt::Key_Up, Ctrl | Shift, {"100c S0095Y-008"}},
    {Qt::Key_Down, Ctrl | Alt, {"100c S0095Y+008"}},
    {Qt::Key_Right, Shift | Alt, {"100c S0095X+016"}},
    // Pattern colour: next entry ("Transparent", code 15), Ctrl back to "Off".
    {Qt::Key_P, None, {"2003"}, 8},
    {Qt::Key_P, Shift, {"2003"}, 8},
    {Qt::Key_P, Ctrl, {"2003"}, 0},
    // Undo of the recorded move right.
    {Qt::Key_U, None, {"100c S0095X+000"}},
    {Qt::Key_U, Ctrl, {"100c S0095X+000"}},
    // Window 2 by its board bit.
    {Qt::Key_2, Ctrl | Alt, {"2007", "1002 s00VKY+061", "2030", "2003", "1002 s0095I+022", "2007", "2015"}, 7,
        1},
};

} // namespace

TEST(WarpKeys, EveryShortcutReachesItsHandlerWhateverHasFocus)
{
    KeyRig f;
    for (const char* target : kFocusTargets) {
        for (const KeyCase& c : kCases) {
            for (bool modifierFirst : {false, true}) {
                if (modifierFirst && c.mods == None)
                    continue;
                SCOPED_TRACE(testing::Message()
                    << target << " key " << QKeySequence(c.key).toString().toStdString() << " mods "
                    << int(c.mods) << (modifierFirst ? " modifier first" : ""));
                f.home();
                QWidget* focus = FocusTarget(f, target);
                focus->setFocus(Qt::TabFocusReason);
                ASSERT_EQ(QApplication::focusWidget(), focus);
                f.press(c.key, c.mods, modifierFirst);

                EXPECT_EQ(f.link->log, c.log);
                EXPECT_EQ(f.pattern(), c.pattern);
                EXPECT_EQ(f.s.CurrentWindow, c.window);
                // The focused control kept what it showed.
                EXPECT_EQ(f.form.PCMain->currentIndex(), Page::WarpAdjust);
                EXPECT_TRUE(f.find<QAbstractButton>("BtnWP9x5")->isChecked());
                EXPECT_EQ(f.find<QSlider>("TBAdjustStep2")->value(), 8);
                EXPECT_EQ(f.find<QSlider>("TBGrid")->value(), 32);
            }
        }
    }
}

TEST(WarpKeys, HeldKeysRepeatTheirHandler)
{
    const struct {
        int key;
        Qt::KeyboardModifiers mods;
        Log log;
        int pattern = 7;
    } cases[] = {
        {Qt::Key_Right, None, {"100c S0095X+016", "100c S0095X+024", "100c S0095X+032"}},
        {Qt::Key_Down, Shift, {"100c S0095Y+001", "100c S0095Y+002", "100c S0095Y+003"}},
        {Qt::Key_Right, Ctrl,
            {"1002 s0095I+023", "2007", "1002 s0095I+024", "2007", "1002 s0095I+025", "2007"}},
        {Qt::Key_P, None, {"2003", "2003", "2003"}, 1},
    };
    KeyRig f;
    for (const char* target : {"BtnWP9x5", "BtnWin1", "TBAdjustStep2", "CBPatternSel1"}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(testing::Message()
                << target << " key " << QKeySequence(c.key).toString().toStdString() << " mods "
                << int(c.mods));
            f.home();
            FocusTarget(f, target)->setFocus(Qt::TabFocusReason);
            if (c.mods & Shift)
                QTest::keyPress(f.win(), Qt::Key_Shift);
            if (c.mods & Ctrl)
                QTest::keyPress(f.win(), Qt::Key_Control);
            f.hold(c.key, c.mods, 2);
            EXPECT_EQ(f.link->log, c.log);
            EXPECT_EQ(f.pattern(), c.pattern);
            EXPECT_EQ(f.s.CurrentWindow, 0);
        }
    }
}

TEST(WarpKeys, ModeKeyCyclesTheModes)
{
    KeyRig f;
    f.find<QWidget>("BtnWin1")->setFocus(Qt::TabFocusReason);
    f.press(Qt::Key_M, Shift, true);
    EXPECT_EQ(f.s.box->warp.state().model[0].ControlPattern, WarpMode::Points);
    EXPECT_EQ(f.link->sentCodes.back(), Cmd::PointModeEnter);
    f.press(Qt::Key_M, None, false);
    EXPECT_EQ(f.s.box->warp.state().model[0].ControlPattern, WarpMode::Wall);
    EXPECT_EQ(f.box.window(0).controlPattern, WarpMode::Wall);
    EXPECT_EQ(f.s.CurrentWindow, 0);
}

// 'R' asks once and still reaches the focused control, even when the finger leaves the key while
// the question is up.
TEST(WarpKeys, ResetKeyAsksOnce)
{
    KeyRig f;
    QStringList asked;
    QTimer answer;
    answer.setInterval(0);
    QObject::connect(&answer, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        asked << box->text();
        QTest::keyRelease(box, Qt::Key_R);
        box->button(QMessageBox::No)->click();
    });
    answer.start();
    for (const char* target : {"BtnWP9x5", "BtnMoveRight", "TntButton2"}) {
        SCOPED_TRACE(target);
        f.home();
        asked.clear();
        QWidget* focus = FocusTarget(f, target);
        focus->setFocus(Qt::TabFocusReason);
        int seen = 0;
        struct Count : QObject {
            int* n;
            bool eventFilter(QObject*, QEvent* e) override
            {
                *n += e->type() == QEvent::KeyPress;
                return false;
            }
        } count;
        count.n = &seen;
        focus->installEventFilter(&count);
        f.press(Qt::Key_R, None, false);
        focus->removeEventFilter(&count);
        EXPECT_EQ(asked, QStringList{"Do you want to reset warp?"});
        EXPECT_EQ(seen, 1);
        EXPECT_TRUE(f.link->log.empty());
    }
}

// After a switch by click or by Ctrl+Alt+2 the arrows move the point of the window switched to.
TEST(WarpKeys, ArrowsAfterAWindowSwitchMoveThatWindowsPoint)
{
    for (bool byKey : {false, true}) {
        SCOPED_TRACE(byKey ? "Ctrl+Alt+2" : "click");
        KeyRig f;
        f.s.box->warp.state().model[1].ControlCursor = {8, 4};
        f.s.box->warp.adjust().ControlOffsets[1][44].x = 100;
        f.box.window(1).controlOffsets[44 * 2] = 100;
        auto* win2 = f.find<QAbstractButton>("BtnWin2");
        win2->setFocus(Qt::TabFocusReason);
        if (byKey)
            f.press(Qt::Key_2, Ctrl | Alt, true);
        else
            QTest::mouseClick(win2, Qt::LeftButton);
        f.settle();
        ASSERT_EQ(f.s.CurrentWindow, 1);
        EXPECT_EQ(f.box.window(1).selectedPoint, 44);
        f.link->clearLog();

        f.press(Qt::Key_Right, None, false);
        f.press(Qt::Key_Left, Shift, true);
        EXPECT_EQ(f.link->log, (Log{"100c S0095X+108", "100c S0095X+107"}));
        EXPECT_EQ(f.box.window(1).controlOffsets[44 * 2], 107);
        EXPECT_EQ(f.box.window(0).controlOffsets[kHomePoint * 2], kHomeX);
        EXPECT_EQ(f.s.box->warp.adjust().ControlOffsets[0][kHomePoint].x, kHomeX);
        EXPECT_EQ(f.label("WPLRVal"), "107");
    }
}

// A key that arrives while a window switch pauses between its frames moves nothing; the switch
// ends on the new window with its own point.
TEST(WarpKeys, AKeyDuringAWindowSwitchMovesNothing)
{
    KeyRig f;
    f.s.box->warp.state().model[1].ControlCursor = {8, 4};
    QWidget* focus = f.find<QWidget>("BtnWP9x5");
    focus->setFocus(Qt::TabFocusReason);
    QCoreApplication::postEvent(focus, new QKeyEvent(QEvent::KeyPress, Qt::Key_Right, Qt::NoModifier));
    QCoreApplication::postEvent(focus, new QKeyEvent(QEvent::KeyRelease, Qt::Key_Right, Qt::NoModifier));
    f.find<QAbstractButton>("BtnWin2")->click();
    f.settle();
    ASSERT_EQ(f.s.CurrentWindow, 1);
    for (const std::string& line : f.link->log)
        EXPECT_EQ(line.find("95X"), std::string::npos) << line;
    EXPECT_EQ(f.s.box->warp.adjust().ControlOffsets[0][kHomePoint].x, kHomeX);
    EXPECT_EQ(f.s.box->warp.adjust().ControlOffsets[1][44].x, 0);

    f.link->clearLog();
    f.press(Qt::Key_Right, None, false);
    EXPECT_EQ(f.link->log, Log{"100c S0095X+008"});
    EXPECT_EQ(f.box.window(1).controlOffsets[44 * 2], 8);
}

// The box's answer to a move lands on the window and point of that move, also when the user has
// switched windows before it came.
TEST(WarpKeys, AMovesEchoAfterAWindowSwitchStaysWithItsWindow)
{
    KeyRig f;
    f.s.box->warp.state().model[1].ControlCursor = {8, 4};
    f.link->delivery = Delivery::Pumped;
    f.press(Qt::Key_Right, None, false);
    ASSERT_EQ(f.link->log, Log{"100c S0095X+016"});
    f.find<QAbstractButton>("BtnWin2")->click();
    f.link->pump();
    f.settle();
    ASSERT_EQ(f.s.CurrentWindow, 1);
    EXPECT_EQ(f.s.box->warp.adjust().ControlOffsets[0][kHomePoint].x, 16);
    EXPECT_EQ(f.s.box->warp.adjust().ControlOffsets[1][kHomePoint].x, 0);
    EXPECT_EQ(f.s.box->warp.adjust().ControlOffsets[1][44].x, 0);
    EXPECT_EQ(f.s.box->warp.undoCount(0), 2);
    EXPECT_EQ(f.s.box->warp.undoCount(1), 0);

    f.link->clearLog();
    f.press(Qt::Key_Right, None, false);
    f.link->pump();
    EXPECT_EQ(f.link->log, Log{"100c S0095X+008"});
    EXPECT_EQ(f.s.box->warp.adjust().ControlOffsets[1][44].x, 8);
}
