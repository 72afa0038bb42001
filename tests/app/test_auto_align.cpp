// The Auto Align window against a simulated rig in process: the box is BoxModel behind the fake
// transport, the camera the rig's photo service on that same box. The procedure runs on its own
// thread while this one serves the session (virtual clock) and the photo service.

#include "AppFixture.h"
#include "align/SimPhotoProtocol.h"
#include "align/pages/AutoAlignWindow.h"
#include "sim/rig/RigService.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QStandardPaths>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>

using namespace trivel;
using namespace trivel::align;
using namespace trivel::test;

namespace {

// Serves the session and the photo service until the window's run has ended (started by the
// caller, or by `start` once the window listens).
bool RunToEnd(AppFixture& f, AutoAlignWindow& window, const std::function<void()>& start = {})
{
    bool ended = false;
    const auto c = QObject::connect(&window, &AutoAlignWindow::finished, [&ended] { ended = true; });
    if (start)
        start();
    QDeadlineTimer stuck(120000); // a guard against a hang only, far beyond the run's time
    while (!ended && !stuck.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        if (f.s.busy())
            f.clock.runNextDelay();
        else
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    }
    QObject::disconnect(c);
    return ended;
}

struct AlignWall {
    AppFixture f;
    QTemporaryDir saves;
    std::unique_ptr<sim::PhotoServer> photos;
    QStringList reverted;
    std::unique_ptr<AutoAlignWindow> window;

    explicit AlignWall(WallLayout layout = {1, 2}, int cameraWidth = 640, int cameraHeight = 360)
    {
        f.connectFakeBox();
        f.s.ChannelCount = 4;
        photos
            = std::make_unique<sim::PhotoServer>(f.box, sim::RandomRig(3, layout, cameraWidth, cameraHeight));
        photos->listen(QHostAddress::LocalHost, 0);
        Box& b = f.tool;
        AutoAlignHooks hooks{{b.session, b.settings, b.warp, b.masks},
            [this](QString& savedAs, QString&) {
                savedAs = saves.filePath(QStringLiteral("before.WBF"));
                QFile file(savedAs);
                return file.open(QIODevice::WriteOnly) && file.write("saved") == 5;
            },
            [this](const QString& file, QString&) {
                reverted << file;
                return true;
            }};
        window = std::make_unique<AutoAlignWindow>(std::move(hooks));
        window->setCapture(0, 1); // a simulated camera needs no settle time, and has no noise to average
        window->cameraField()->setText(QStringLiteral("sim://127.0.0.1:%1").arg(photos->port()));
        window->layoutBox()->setCurrentText(layout.text());
    }

    bool runToEnd() { return RunToEnd(f, *window); }
};

} // namespace

TEST(AutoAlign, TheMainWindowOpensItFromAButtonAndCtrlShiftA)
{
    AppFixture f;
    auto* window = f.form.findChild<AutoAlignWindow*>();
    ASSERT_NE(window, nullptr);
    QPushButton* button = nullptr;
    for (auto* b : f.form.findChildren<QPushButton*>())
        if (b->text() == QLatin1String("Auto Align"))
            button = b;
    ASSERT_NE(button, nullptr);
    f.form.show();
    button->click();
    EXPECT_TRUE(window->isVisible());
    window->hide();
    f.form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&f.form));
    QTest::keyClick(&f.form, Qt::Key_A, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_TRUE(window->isVisible());
    // Without a box there is nothing to align.
    EXPECT_FALSE(window->startButton()->isEnabled());
}

// The live picture while no run goes on; Start takes the camera from it.
TEST(AutoAlign, LivePictureUntilARunTakesTheCamera)
{
    AlignWall wall;
    AutoAlignWindow& w = *wall.window;
    w.liveBox()->setChecked(true);
    QDeadlineTimer stuck(30000); // a guard against a hang only
    while (w.cameraPicture().isNull() && !stuck.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    ASSERT_FALSE(w.cameraPicture().isNull());
    EXPECT_EQ(w.cameraPicture().size(), QSize(640, 360));
    EXPECT_TRUE(w.watching());
    w.measureOnlyBox()->setChecked(true);
    w.start();
    EXPECT_FALSE(w.watching());
    EXPECT_FALSE(w.liveBox()->isChecked());
    ASSERT_TRUE(wall.runToEnd());
    EXPECT_TRUE(w.lastReport().ok) << qPrintable(w.stepsText());

    // A camera that is not there says so, and the box stays unchecked.
    w.cameraField()->setText(QStringLiteral("sim://127.0.0.1:1"));
    w.liveBox()->setChecked(true);
    QDeadlineTimer again(30000);
    while (w.liveBox()->isChecked() && !again.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    EXPECT_FALSE(w.liveBox()->isChecked());
    EXPECT_TRUE(w.stepsText().contains(QLatin1String("The camera cannot be opened")))
        << qPrintable(w.stepsText());
}

// Measure only, then Apply: the same result reaches the box, after the setting file; Revert
// loads that file.
TEST(AutoAlign, MeasuresThenAppliesThenRevertsAgainstASimulatedRig)
{
    AlignWall wall;
    AutoAlignWindow& w = *wall.window;
    ASSERT_TRUE(w.startButton()->isEnabled());
    w.measureOnlyBox()->setChecked(true);
    w.startButton()->click();
    EXPECT_FALSE(w.startButton()->isEnabled()); // while it runs
    ASSERT_TRUE(wall.runToEnd());
    ASSERT_TRUE(w.lastReport().ok) << qPrintable(w.stepsText());
    EXPECT_FALSE(w.lastReport().sent);
    EXPECT_TRUE(w.stepsText().contains(QLatin1String("Window 2: pattern"))) << qPrintable(w.stepsText());
    EXPECT_FALSE(w.cameraPicture().isNull()); // the camera's picture came as the run went
    EXPECT_TRUE(w.residualLabel()->text().contains(QLatin1String("nothing sent")));
    EXPECT_FALSE(w.revertButton()->isEnabled()); // nothing saved, nothing to go back to
    ASSERT_TRUE(w.applyButton()->isEnabled());

    wall.f.link->clearLog();
    w.applyButton()->click();
    ASSERT_TRUE(wall.runToEnd());
    ASSERT_TRUE(w.lastReport().ok) << qPrintable(w.stepsText());
    EXPECT_EQ(w.lastReport().undoFile, wall.saves.filePath(QStringLiteral("before.WBF")));
    // Both windows' tables went out as the User Map transfer does: 88 chunks and the apply each.
    int chunks = 0;
    for (const std::string& line : wall.f.link->log)
        chunks += line.rfind("2010", 0) == 0 || line.rfind("2011", 0) == 0;
    EXPECT_EQ(chunks, 2 * 88) << "User Map chunks";
    EXPECT_FALSE(w.applyButton()->isEnabled());
    ASSERT_TRUE(w.revertButton()->isEnabled());

    w.revertButton()->click();
    EXPECT_EQ(wall.reverted, QStringList{w.lastReport().undoFile});
    EXPECT_TRUE(w.applyButton()->isEnabled()); // the result can go back on
}

// A whole run: sent, verified with the test grid, the heat map shown. With TRIVEL_SCREENSHOT_DIR
// set, the window's picture is kept.
TEST(AutoAlign, AlignsVerifiesAndShowsTheHeatMap)
{
    AlignWall wall({2, 2}, 960, 540);
    AutoAlignWindow& w = *wall.window;
    w.resize(1100, 660);
    w.show();
    w.startButton()->click();
    ASSERT_TRUE(wall.runToEnd());
    const AlignReport& r = w.lastReport();
    ASSERT_TRUE(r.ok) << qPrintable(w.stepsText());
    EXPECT_TRUE(r.sent);
    ASSERT_EQ(r.windows.size(), 4u);
    for (const WindowReport& wr : r.windows) {
        ASSERT_FALSE(wr.residual.empty());
        EXPECT_LT(wr.residual.back().rms, 0.5);
    }
    EXPECT_FALSE(w.heatMap().isNull());
    EXPECT_TRUE(w.residualLabel()->text().contains(QLatin1String("Window 4: RMS")));
    EXPECT_TRUE(w.revertButton()->isEnabled());
    const QString out = qEnvironmentVariable("TRIVEL_SCREENSHOT_DIR");
    if (!out.isEmpty()) {
        EXPECT_TRUE(w.grab().save(QDir(out).filePath(QStringLiteral("auto-align.png"))));
    }
}

// The window as the main window installs it: the setting file goes to the user's data folder,
// and Revert loads it into the box, whose windows then leave the alignment's User Map tables.
TEST(AutoAlign, RevertLoadsTheSavedFileAndTheWindowsLeaveTheTables)
{
    QStandardPaths::setTestModeEnabled(true);
    AppFixture f;
    f.connectFakeBox();
    f.s.ChannelCount = 2;
    sim::PhotoServer photos(f.box, sim::RandomRig(3, {1, 2}, 640, 360));
    ASSERT_TRUE(photos.listen(QHostAddress::LocalHost, 0));
    auto* w = f.form.findChild<AutoAlignWindow*>();
    ASSERT_NE(w, nullptr);
    w->setCapture(0, 1);
    w->cameraField()->setText(QStringLiteral("sim://127.0.0.1:%1").arg(photos.port()));
    w->layoutBox()->setCurrentText(QStringLiteral("1x2"));
    RunToEnd(f, *w, [w] { w->start(); });
    ASSERT_TRUE(w->lastReport().ok) << qPrintable(w->stepsText());
    const QString saved = w->lastReport().undoFile;
    EXPECT_TRUE(QFileInfo(saved).isFile()) << qPrintable(saved);
    ASSERT_TRUE(f.box.showsUserMap(0) && f.box.showsUserMap(1));

    w->revertButton()->click();
    ASSERT_TRUE(RunUntilIdle(f.s, 50, 200000));
    EXPECT_FALSE(f.box.showsUserMap(0));
    EXPECT_FALSE(f.box.showsUserMap(1));
    QFile::remove(saved);
}

namespace {

void Press(QWidget* on, QPoint at)
{
    QTest::mousePress(on, Qt::LeftButton, Qt::NoModifier, at);
    QTest::mouseRelease(on, Qt::LeftButton, Qt::NoModifier, at);
}

} // namespace

// Mark corners: four clicks on the camera picture, in order, shown as they come; a click near a
// placed corner moves it, a drag takes it along. The marks are the run's canvas: it fills the
// marked area, and they are saved beside the setting file as the marks a camera.json holds.
TEST(AutoAlign, MarkedCornersAreTheCanvas)
{
    AlignWall wall({1, 2}, 960, 540); // the grid's own scatter is large at 640 x 360
    AutoAlignWindow& w = *wall.window;
    w.resize(1100, 660);
    w.show();
    CameraPicture* view = w.cameraView();
    const sim::Rig& rig = wall.photos->rig();
    // A rectangle on the screen that the projectors light: 600 pixels out from their centres, 640 high.
    const Vec2 c0 = rig.projectors[0].screenOf({959.5, 539.5}),
               c1 = rig.projectors[1].screenOf({959.5, 539.5});
    const double mid = 0.5 * (c0.y + c1.y);
    const std::array<Vec2, 4> onScreen{Vec2{c0.x - 600, mid - 320}, Vec2{c1.x + 600, mid - 320},
        Vec2{c1.x + 600, mid + 320}, Vec2{c0.x - 600, mid + 320}};
    view->setImage(
        QImage(960, 540, QImage::Format_RGB32)); // the camera's size: half a widget pixel a photo pixel
    std::array<QPoint, 4> clicks;
    for (std::size_t i = 0; i < 4; ++i)
        clicks[i] = view->widgetOf(rig.camera.photoOf(onScreen[i])).toPoint();

    Press(view, clicks[0]); // not marking yet
    EXPECT_TRUE(view->marks().empty());
    w.markButton()->click();
    EXPECT_EQ(w.canvasLabel()->text(), QStringLiteral("Canvas: the largest rectangle the projectors cover"));
    Press(view, clicks[0]);
    EXPECT_EQ(w.canvasLabel()->text(), QStringLiteral("Next corner: top right"));
    Press(view, clicks[1]);
    Press(view, clicks[2] + QPoint(30, 20)); // off, put right below
    Press(view, clicks[3]);
    EXPECT_EQ(w.canvasLabel()->text(), QStringLiteral("Canvas: the marked area"));
    Press(view, clicks[2] + QPoint(-3, 4)); // re-clicked near it
    // Dragged from there onto its place.
    QTest::mousePress(view, Qt::LeftButton, Qt::NoModifier, clicks[2] + QPoint(-3, 4));
    QMouseEvent move(QEvent::MouseMove, QPointF(clicks[2]), view->mapToGlobal(QPointF(clicks[2])),
        Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(view, &move);
    QTest::mouseRelease(view, Qt::LeftButton, Qt::NoModifier, clicks[2]);
    const auto corners = view->corners();
    ASSERT_TRUE(corners);
    for (std::size_t i = 0; i < 4; ++i) {
        // Photo pixel centres on integers, two photo pixels a widget pixel: the click's centre.
        EXPECT_NEAR((*corners)[i].x, (clicks[i].x() + 0.5) / 0.5 - 0.5, 1e-9) << i;
        EXPECT_NEAR((*corners)[i].y, (clicks[i].y() + 0.5) / 0.5 - 0.5, 1e-9) << i;
        EXPECT_LT(((*corners)[i] - rig.camera.photoOf(onScreen[i])).norm(), 1.5) << i;
    }
    w.markButton()->click(); // marking off: clicks leave the marks alone
    Press(view, QPoint(5, 5));
    ASSERT_EQ(view->corners()->at(0).x, (*corners)[0].x);

    w.startButton()->click();
    ASSERT_TRUE(wall.runToEnd());
    const AlignReport& r = w.lastReport();
    ASSERT_TRUE(r.ok && r.sent) << qPrintable(w.stepsText());
    // The canvas has the marked area's shape on the screen (the camera's picture squeezes it).
    const double aspect = (onScreen[1].x - onScreen[0].x) / 640.0;
    EXPECT_TRUE(r.warnings.isEmpty()) << qPrintable(r.warnings.join(QLatin1Char('\n')));
    EXPECT_NEAR(r.solution.canvas.width() / r.solution.canvas.height(), aspect, 0.03 * aspect);
    std::optional<LensModel> lens;
    std::optional<ScreenMarks> saved;
    QFile file(w.marksFile());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << qPrintable(w.marksFile());
    QString error;
    ASSERT_TRUE(ReadCameraJson(file.readAll(), lens, saved, error)) << qPrintable(error);
    ASSERT_TRUE(saved);
    EXPECT_FALSE(lens);
    for (std::size_t i = 0; i < 4; ++i)
        EXPECT_EQ(saved->camera[i].x, (*corners)[i].x);
    EXPECT_EQ(saved->screen[2].x, r.solution.canvas.right);
    EXPECT_EQ(saved->screen[2].y, r.solution.canvas.bottom);
    EXPECT_TRUE(file.fileName().startsWith(r.undoFile));
    view->setImage(r.after.isNull() ? w.cameraPicture() : r.after);
    const QString out = qEnvironmentVariable("TRIVEL_SCREENSHOT_DIR");
    if (!out.isEmpty()) {
        EXPECT_TRUE(w.grab().save(QDir(out).filePath(QStringLiteral("auto-align-marks.png"))));
    }
}

// The patterns' source: the box, or each screen of the PC by number. On a screen, the run shows
// the pattern window there while it lasts; the simulated box has no video input, so the PC's
// picture never reaches the wall and the run stops at the first window with nothing sent.
TEST(AutoAlign, OffersTheBoxAndEachScreenAsThePatternsSource)
{
    AlignWall wall;
    AutoAlignWindow& w = *wall.window;
    QComboBox* patterns = w.patternsBox();
    ASSERT_EQ(patterns->count(), 1 + int(QGuiApplication::screens().size()));
    EXPECT_EQ(patterns->currentIndex(), 0);
    EXPECT_TRUE(patterns->itemText(1).startsWith(QLatin1String("Full screen on screen 0: ")));
    const auto shownScreens = [] {
        int n = 0;
        for (QWidget* top : QApplication::topLevelWidgets())
            n += qobject_cast<PatternScreen*>(top) && top->isVisible() ? 1 : 0;
        return n;
    };
    patterns->setCurrentIndex(1);
    w.start();
    EXPECT_FALSE(patterns->isEnabled());
    EXPECT_EQ(shownScreens(), 1);
    ASSERT_TRUE(wall.runToEnd());
    EXPECT_FALSE(w.lastReport().ok);
    EXPECT_TRUE(w.stepsText().contains(QLatin1String("Window 1 shows nothing to the camera")))
        << qPrintable(w.stepsText());
    EXPECT_TRUE(w.lastReport().undoFile.isEmpty());
    EXPECT_EQ(shownScreens(), 0);
    EXPECT_TRUE(patterns->isEnabled());
}
