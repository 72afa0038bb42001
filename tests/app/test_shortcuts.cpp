#include "box/Box.h"
#include "AppFixture.h"

#include "app/ControlTables.h"
#include "widgets/IpAddressEdit.h"
#include "widgets/WarpShortcutTarget.h"

#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>

#include <gtest/gtest.h>

using namespace trivel;
using namespace trivel::test;

namespace {

// Records every call as a word; the fine-step flag shows as "fine+" / "fine-".
class RecordingWarpTarget final : public WarpShortcutTarget {
public:
    QStringList calls;
    bool busy = false;
    int pattern = 0;
    int patterns = 9;

    bool warpBusy() const override { return busy; }
    void BtnCurLeftClick() override { calls << "CurLeft"; }
    void BtnCurUpClick() override { calls << "CurUp"; }
    void BtnCurRightClick() override { calls << "CurRight"; }
    void BtnCurDownClick() override { calls << "CurDown"; }
    void setFineStep(bool on) override { calls << (on ? "fine+" : "fine-"); }
    void BtnMoveLeftClick() override { calls << "MoveLeft"; }
    void BtnMoveUpClick() override { calls << "MoveUp"; }
    void BtnMoveRightClick() override { calls << "MoveRight"; }
    void BtnMoveDownClick() override { calls << "MoveDown"; }
    int patternIndex() const override { return pattern; }
    int patternCount() const override { return patterns; }
    void selectPattern(int index) override
    {
        pattern = index;
        calls << QStringLiteral("select%1").arg(index);
    }
    void CBPatternSel1Change() override { calls << "PatternChange"; }
    void BtnWP2x2Click() override { calls << "2x2"; }
    void BtnWP3x3Click() override { calls << "3x3"; }
    void BtnWP5x3Click() override { calls << "5x3"; }
    void BtnWP9x5Click() override { calls << "9x5"; }
    void BtnWP17x17Click() override { calls << "17x17"; }
    void BtnWPWallClick() override { calls << "Wall"; }
    void BtnWPResetClick() override { calls << "Reset"; }
    void BtnWPUndoClick() override { calls << "Undo"; }
};

struct ShortcutFixture : AppFixture {
    RecordingWarpTarget target;
    ShortcutFixture() { form.setWarpShortcutTarget(&target); }
};

constexpr auto None = Qt::NoModifier;
constexpr auto Shift = Qt::ShiftModifier;
constexpr auto Ctrl = Qt::ControlModifier;
constexpr auto Alt = Qt::AltModifier;

} // namespace

TEST(Shortcuts, WarpAdjustKeysCallTheirHandlers)
{
    const struct {
        int key;
        Qt::KeyboardModifiers mods;
        const char* calls;
        bool handled;
    } cases[] = {
        {Qt::Key_Left, Ctrl, "CurLeft", true},
        {Qt::Key_Up, Ctrl, "CurUp", true},
        {Qt::Key_Right, Ctrl, "CurRight", true},
        {Qt::Key_Down, Ctrl, "CurDown", true},
        {Qt::Key_Left, Shift, "fine+ MoveLeft fine-", true},
        {Qt::Key_Down, Shift, "fine+ MoveDown fine-", true},
        {Qt::Key_Right, None, "MoveRight", true},
        {Qt::Key_Up, Qt::KeypadModifier, "MoveUp", true},
        // Any other combination moves without the fine step.
        {Qt::Key_Left, Ctrl | Shift, "MoveLeft", true},
        {Qt::Key_Up, Alt, "MoveUp", true},
        {Qt::Key_Down, Ctrl | Alt, "MoveDown", true},
        {Qt::Key_P, None, "select4 PatternChange", true},
        {Qt::Key_P, Shift, "select4 PatternChange", true},
        {Qt::Key_P, Ctrl, "select0 PatternChange", true},
        {Qt::Key_R, None, "Reset", false},
        {Qt::Key_R, Ctrl, "Reset", false},
        {Qt::Key_U, Shift, "Undo", false},
        {Qt::Key_A, None, "", false},
        {Qt::Key_Return, None, "", false},
    };
    for (const auto& c : cases) {
        ShortcutFixture f;
        f.target.pattern = 3;
        const bool handled = f.form.FormShortCut(c.key, c.mods);
        EXPECT_EQ(f.target.calls.join(' '), QString::fromLatin1(c.calls)) << c.calls << " key " << c.key;
        EXPECT_EQ(handled, c.handled) << c.calls << " key " << c.key;
    }
}

TEST(Shortcuts, PatternKeyWrapsAfterTheLastEntry)
{
    ShortcutFixture f;
    f.target.patterns = 9;
    f.target.pattern = 8;
    EXPECT_TRUE(f.form.FormShortCut(Qt::Key_P, None));
    EXPECT_EQ(f.target.pattern, 0);
    EXPECT_TRUE(f.form.FormShortCut(Qt::Key_P, None));
    EXPECT_EQ(f.target.pattern, 1);
}

TEST(Shortcuts, ModeKeyFollowsTheCurrentWindowsPattern)
{
    const struct {
        int pattern;
        const char* call;
    } cases[] = {
        {0, "2x2"}, {1, "3x3"}, {2, "5x3"}, {3, "9x5"}, {4, "17x17"}, {100, "Wall"}, {16, "2x2"}, {5, "2x2"}};
    for (const auto& c : cases) {
        ShortcutFixture f;
        f.s.CurrentWindow = 3;
        f.s.box->warp.state().model[3].ControlPattern = std::uint8_t(c.pattern);
        EXPECT_TRUE(f.form.FormShortCut(Qt::Key_M, Shift));
        EXPECT_EQ(f.target.calls.join(' '), QString::fromLatin1(c.call)) << c.pattern;
    }
}

TEST(Shortcuts, OtherPagesLeaveKeysAlone)
{
    ShortcutFixture f;
    for (int page : {Page::VideoWall, Page::Image, Page::System, Page::Firmware}) {
        f.form.PCMain->setCurrentIndex(page);
        for (int key : {int(Qt::Key_Left), int(Qt::Key_Up), int(Qt::Key_P), int(Qt::Key_M), int(Qt::Key_R)})
            EXPECT_FALSE(f.form.FormShortCut(key, None)) << page << " " << key;
    }
    EXPECT_TRUE(f.target.calls.isEmpty());
}

TEST(Shortcuts, BusyWarpSwallowsEveryKey)
{
    ShortcutFixture f;
    f.target.busy = true;
    for (int key : {int(Qt::Key_Left), int(Qt::Key_R), int(Qt::Key_A), int(Qt::Key_1)})
        EXPECT_TRUE(f.form.FormShortCut(key, None));
    f.form.PCMain->setCurrentIndex(Page::Image);
    EXPECT_TRUE(f.form.FormShortCut(Qt::Key_Left, None));
    EXPECT_TRUE(f.target.calls.isEmpty());
}

TEST(Shortcuts, CtrlAltDigitsNeedTheBoardMaskBit)
{
    ShortcutFixture f;
    QSignalSpy clicked(&f.form, &TMainForm::windowButtonClicked);
    auto* win1 = f.find<QPushButton>("BtnWin1");
    auto* win2 = f.find<QPushButton>("BtnWin2");
    win2->setChecked(true);

    // Handled, yet nothing happens while the box has reported no board.
    for (int key : {int(Qt::Key_1), int(Qt::Key_2), int(Qt::Key_3), int(Qt::Key_4)})
        EXPECT_TRUE(f.form.FormShortCut(key, Ctrl | Alt));
    EXPECT_TRUE(win2->isChecked());
    EXPECT_EQ(clicked.count(), 0);

    f.s.BoardMask = 0x1;
    EXPECT_TRUE(f.form.FormShortCut(Qt::Key_1, Ctrl | Alt));
    RunUntilIdle(f.s);
    EXPECT_TRUE(win1->isChecked());
    ASSERT_EQ(clicked.count(), 1);
    EXPECT_EQ(clicked.at(0).at(0).toInt(), 0);
    EXPECT_TRUE(f.form.FormShortCut(Qt::Key_2, Ctrl | Alt)); // bit 1 still clear
    EXPECT_EQ(clicked.count(), 1);

    f.s.BoardMask = 0x3;
    EXPECT_TRUE(f.form.FormShortCut(Qt::Key_2, Ctrl | Alt));
    RunUntilIdle(f.s);
    EXPECT_TRUE(win2->isChecked());
    EXPECT_EQ(clicked.count(), 2);
    // With Shift it is no window shortcut; on Warp Adjust a digit is nobody's key.
    EXPECT_FALSE(f.form.FormShortCut(Qt::Key_1, Ctrl | Alt | Shift));
    EXPECT_TRUE(f.target.calls.isEmpty());
}

// Real key events: what the shortcut hook consumes never reaches the focused control, and
// what it passes on does, once.
TEST(Shortcuts, KeyEventsReachTheFocusedControlUnlessConsumed)
{
    ShortcutFixture f;
    f.form.show();
    QLineEdit* edit = f.form.ConnectAddressBox;
    edit->setEnabled(true);
    edit->setFocus();
    edit->setCursorPosition(5);

    // Warp Adjust page: the arrow moves the point and the edit's cursor stays.
    QTest::keyClick(edit, Qt::Key_Left);
    EXPECT_EQ(f.target.calls.join(' '), "MoveLeft");
    EXPECT_EQ(edit->cursorPosition(), 5);

    // 'R' resets and still reaches the control.
    struct Seen : QObject {
        int keys = 0;
        bool eventFilter(QObject*, QEvent* e) override
        {
            keys += e->type() == QEvent::KeyPress;
            return false;
        }
    } seen;
    edit->installEventFilter(&seen);
    f.target.calls.clear();
    QTest::keyClick(edit, Qt::Key_R);
    EXPECT_EQ(f.target.calls.join(' '), "Reset");
    EXPECT_EQ(seen.keys, 1);

    // Another page: the arrow is the edit's own.
    f.form.PCMain->setCurrentIndex(Page::System);
    f.target.calls.clear();
    edit->setFocus();
    edit->setCursorPosition(5);
    QTest::keyClick(edit, Qt::Key_Left);
    EXPECT_TRUE(f.target.calls.isEmpty());
    EXPECT_EQ(edit->cursorPosition(), 4);
}
