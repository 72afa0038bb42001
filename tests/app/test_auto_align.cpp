// The Auto Align window against a simulated rig in process: the box is BoxModel behind the fake
// transport, the camera the rig's photo service on that same box. The procedure runs on its own
// thread while this one serves the session (virtual clock) and the photo service.

#include "AppFixture.h"
#include "align/pages/AutoAlignWindow.h"
#include "sim/rig/RigService.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QTest>

#include <gtest/gtest.h>

using namespace trivel;
using namespace trivel::align;
using namespace trivel::test;

namespace {

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

    // Serves the session and the photo service until the run has ended.
    bool runToEnd()
    {
        bool ended = false;
        const auto c = QObject::connect(window.get(), &AutoAlignWindow::finished, [&ended] { ended = true; });
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
    if (!out.isEmpty())
        EXPECT_TRUE(w.grab().save(QDir(out).filePath(QStringLiteral("auto-align.png"))));
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
    bool ended = false;
    QObject::connect(w, &AutoAlignWindow::finished, [&ended] { ended = true; });
    w->start();
    QDeadlineTimer stuck(120000); // a guard against a hang only
    while (!ended && !stuck.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        if (f.s.busy())
            f.clock.runNextDelay();
        else
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    }
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
