#include "AppFixture.h"

#include "widgets/BitBtnEZ.h"

#include <QApplication>
#include <QProgressBar>
#include <QSignalSpy>

#include <gtest/gtest.h>

using namespace trivel;
using namespace trivel::test;

TEST(WaitWindow, StartsHiddenWithAFullBar)
{
    VirtualClock clock;
    TForm1 w(clock);
    EXPECT_EQ(w.objectName(), "Form1");
    EXPECT_EQ(w.windowTitle(), "Please  Wait...");
    EXPECT_EQ(w.size(), QSize(473, 50));
    EXPECT_EQ(w.PBLink->geometry(), QRect(8, 8, 457, 33));
    EXPECT_EQ(w.PBLink->maximum(), 100);
    EXPECT_EQ(w.PBLink->value(), 100);
    EXPECT_EQ(w.Timer1->interval(), 100);
    EXPECT_FALSE(w.Timer1->isEnabled());
    EXPECT_FALSE(w.isVisible());
}

TEST(WaitWindow, CyclingBarReturnsToZeroAfterAHundredTicks)
{
    AppFixture f;
    f.ui.openWaitWindow(100);
    f.ui.enableWaitTimer(true);
    f.clock.advance(99 * 100);
    EXPECT_EQ(f.wait.PBLink->value(), 99);
    EXPECT_EQ(f.ui.waitProgress(), 99);
    f.clock.advance(100); // the 100th tick
    EXPECT_EQ(f.wait.PBLink->value(), 0);
    EXPECT_EQ(f.ui.waitProgress(), 0);
    f.clock.advance(250);
    EXPECT_EQ(f.wait.PBLink->value(), 2); // and keeps going
    f.ui.enableWaitTimer(false);
    f.clock.advance(1000);
    EXPECT_EQ(f.wait.PBLink->value(), 2);
    f.ui.closeWaitWindow();
}

TEST(WaitWindow, OpensCentredOverTheMainWindowWhereverItIs)
{
    const QPoint places[] = {{100, 50}, {333, 211}, {0, 0}};
    for (const QPoint& at : places) {
        AppFixture f;
        f.form.move(at);
        f.form.show();
        f.ui.openWaitWindow(40);
        const QRect main = f.form.frameGeometry();
        const QPoint expected(main.left() + main.width() / 2 - f.wait.width() / 2,
            main.top() + main.height() / 2 - f.wait.height() / 2);
        EXPECT_EQ(f.wait.pos(), expected) << at.x() << "," << at.y();
        EXPECT_EQ(f.wait.PBLink->maximum(), 40);
        EXPECT_EQ(f.wait.PBLink->value(), 0);
        EXPECT_TRUE(f.wait.isVisible());
        EXPECT_FALSE(f.form.isEnabled());
        ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
        EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);

        f.ui.addWaitProgress(8);
        EXPECT_EQ(f.wait.PBLink->value(), 8);

        f.ui.closeWaitWindow();
        EXPECT_FALSE(f.wait.isVisible());
        EXPECT_TRUE(f.form.isEnabled());
        EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    }
}

TEST(WaitWindow, ClosingWhenNotShownOnlyRestoresCursorAndMainWindow)
{
    AppFixture f;
    f.form.setEnabled(false);
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    f.ui.closeWaitWindow();
    EXPECT_FALSE(f.wait.isVisible());
    EXPECT_TRUE(f.form.isEnabled());
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST(ArrowButton, ReportsLeavingOnlyToAListener)
{
    QWidget host;
    TBitBtnEZ plain(TBitBtnEZ::Arrow::Left, &host);
    QEvent leave(QEvent::Leave);
    // Nobody listens: nothing happens, and no crash.
    QApplication::sendEvent(&plain, &leave);

    TBitBtnEZ heard(TBitBtnEZ::Arrow::Up, &host);
    QObject* from = nullptr;
    QObject::connect(&heard, &TBitBtnEZ::mouseLeft, [&from](QObject* sender) { from = sender; });
    QApplication::sendEvent(&heard, &leave);
    EXPECT_EQ(from, &heard);
}

TEST(ArrowButton, DrawsNormalAndDisabledGlyphs)
{
    for (auto a :
        {TBitBtnEZ::Arrow::Left, TBitBtnEZ::Arrow::Up, TBitBtnEZ::Arrow::Right, TBitBtnEZ::Arrow::Down}) {
        TBitBtnEZ b(a, nullptr);
        const QImage normal = b.icon().pixmap(16, 16, QIcon::Normal).toImage();
        const QImage disabled = b.icon().pixmap(16, 16, QIcon::Disabled).toImage();
        EXPECT_FALSE(normal.isNull());
        EXPECT_NE(normal, disabled);
    }
    // The four directions are four different pictures.
    TBitBtnEZ l(TBitBtnEZ::Arrow::Left, nullptr), r(TBitBtnEZ::Arrow::Right, nullptr);
    EXPECT_NE(l.icon().pixmap(16, 16).toImage(), r.icon().pixmap(16, 16).toImage());
}
