// trivelctl preview against trivel-boxsim: pictures of what the box's windows show.

#include "RunTrivelctl.h"
#include "box/Box.h"

#include "files/SettingFile.h"
#include "link/Clock.h"
#include "preview/OutputPreview.h"
#include "preview/PreviewSession.h"
#include "preview/PreviewSource.h"
#include "box/Readback.h"
#include "session/Session.h"
#include "settings/SettingsState.h"
#include "sim/BoxModel.h"
#include "support/FakeBoxTransport.h"
#include "support/RecordingUi.h"

#include <QDir>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

TEST(TrivelctlPreview, WritesOneWindowOrAllOfThem)
{
    BoxSim sim({"--frame23", "1280x720"});
    ASSERT_FALSE(sim.address.isEmpty());
    QTemporaryDir dir;
    const QString one = dir.filePath("w1.png");
    CliRun r = Trivelctl({"--tcp", sim.address, "preview", "--window", "1", "--out", one});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("Window 1: " + one + " (1920 x 1080)")) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("Geometry: warp off."));
    EXPECT_TRUE(r.out.contains("approximated by the documented curve"));
    const QImage grid(one);
    EXPECT_EQ(grid.size(), QSize(1920, 1080));

    r = Trivelctl({"preview", "--tcp", sim.address, "--all", "--out", dir.filePath("all"), "--source=ramp"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QStringList files = QDir(dir.filePath("all")).entryList(QDir::Files);
    EXPECT_EQ(files, (QStringList{"window-1.png", "window-2.png", "window-3.png", "window-4.png"}));
    const QImage ramp(dir.filePath("all/window-2.png"));
    EXPECT_LT(qGray(ramp.pixel(10, 100)), qGray(ramp.pixel(1900, 100)));
    // Each window at its own frame size.
    EXPECT_EQ(QImage(dir.filePath("all/window-3.png")).size(), QSize(1280, 720));
}

TEST(TrivelctlPreview, ABlendAndAWarpSetOnTheBoxShowInThePicture)
{
    BoxSim sim;
    ASSERT_FALSE(sim.address.isEmpty());
    CliRun r = Trivelctl({"--tcp", sim.address, "set", "--window", "1", "LEB=300"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    r = Trivelctl({"--tcp", sim.address, "warp", "mode", "--window", "1", "3x3"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    r = Trivelctl({"--tcp", sim.address, "warp", "nudge", "--window", "1", "--point", "4,2", "--dx", "60"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();

    QTemporaryDir dir;
    const QString out = dir.filePath("w1.png");
    r = Trivelctl({"--tcp", sim.address, "preview", "--window", "1", "--source", "ramp", "--out", out});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("box-side 3x3 warp, approximated")) << r.out.toStdString();
    const QImage img(out);
    ASSERT_EQ(img.size(), QSize(1920, 1080));
    // The lower half of the ramp is white: the blend darkens it towards the left edge.
    int previous = -1;
    for (int x = 0; x < 300; x += 10) {
        const int g = qGray(img.pixel(x, 1000));
        EXPECT_GE(g, previous) << x;
        previous = g;
    }
    EXPECT_LT(qGray(img.pixel(5, 1000)), 60);
    EXPECT_EQ(qGray(img.pixel(1500, 1000)), 255);
}

TEST(TrivelctlPreview, RefusesWhatItCannotDo)
{
    QTemporaryDir dir;
    const QString out = dir.filePath("x.png");
    struct Case {
        QStringList args;
        int exitCode;
        const char* says;
    };
    const Case usage[] = {
        {{"preview", "--tcp", "127.0.0.1:1", "--out", out}, 2, "give one of --window N and --all"},
        {{"preview", "--tcp", "127.0.0.1:1", "--window", "1", "--all", "--out", out}, 2, "give one of"},
        {{"preview", "--tcp", "127.0.0.1:1", "--window", "0", "--out", out}, 2, "--window wants 1..4"},
        {{"preview", "--tcp", "127.0.0.1:1", "--window", "1"}, 2, "--out is required"},
        {{"preview", "--tcp", "127.0.0.1:1", "--usb", "--window", "1", "--out", out}, 2, "one of --tcp"},
        {{"preview", "--file", out, "--usb", "--window", "1", "--out", out}, 2, "one of --tcp, --usb and --file"},
        {{"preview", "--window", "1", "--out", out, "--file"}, 2, "--file needs a value"},
        // Offline: a file that is not there, or not a setting file.
        {{"preview", "--file", dir.filePath("none.WBF"), "--window", "1", "--out", out}, 1, "none.WBF"},
        {{"preview", "--file", TRIVELCTL, "--window", "1", "--out", out}, 1, TRIVELCTL},
    };
    for (const Case& c : usage) {
        const CliRun r = Trivelctl(c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << c.args.join(' ').toStdString();
        EXPECT_TRUE(r.err.contains(c.says)) << r.err.toStdString();
    }

    BoxSim sim({"--board-kind", "0x82"});
    ASSERT_FALSE(sim.address.isEmpty());
    CliRun r = Trivelctl({"--tcp", sim.address, "preview", "--window", "3", "--out", out});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("the box has 2 windows")) << r.err.toStdString();
    r = Trivelctl({"--tcp", sim.address, "preview", "--window", "1", "--source", dir.filePath("none.png"),
        "--out", out});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("Cannot read the source picture")) << r.err.toStdString();
    EXPECT_FALSE(QFile::exists(out));
}

// The same box state previews the same picture from trivelctl and from a session read back in
// process, as the GUI reads it.
TEST(TrivelctlPreview, SamePictureAsTheGuiSession)
{
    BoxSim sim;
    ASSERT_FALSE(sim.address.isEmpty());
    CliRun r = Trivelctl({"--tcp", sim.address, "set", "--window", "2", "REB=300", "EBR=180"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    QTemporaryDir dir;
    const QString out = dir.filePath("w2.png");
    r = Trivelctl({"--tcp", sim.address, "preview", "--window", "2", "--out", out});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();

    trivel::VirtualClock clock;
    trivel::test::RecordingUi ui;
    trivel::Box tool(clock, ui);
    trivel::Session& s = tool.session;
    trivel::sim::BoxModel box;
    trivel::test::FakeBoxTransport link(box);
    auto& blend = box.window(1).blend;
    blend[2] = 300 & 0xFF; // REB, u16 at 2
    blend[3] = 300 >> 8;
    blend[16] = 180; // EBR, u16 at 16
    link.attach(s);
    trivel::SendIdentify(s);
    trivel::test::RunUntilIdle(s, 50, 5000);
    ASSERT_FALSE(s.busy());
    const QImage inProcess = trivel::RenderOutputPreview(
        trivel::BuildPreviewInput(s, 1, trivel::PreviewTestPattern(QStringLiteral("grid"), 1920, 1080)));
    const QImage fromCli = QImage(out).convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(fromCli.size(), inProcess.size());
    EXPECT_EQ(fromCli, inProcess);
    // The red border at the right edge is blended out: the blend reached both.
    EXPECT_LT(qRed(fromCli.pixel(1919, 540)), 10);
    s.setTransport(nullptr);
}

// Offline from a setting file: a whole-box file has four windows, a single-window file one.
TEST(TrivelctlPreview, DrawsASettingFileWithoutABox)
{
    QTemporaryDir dir;
    // The rig: a box as it reads back, with a left blend of 400 on window 3.
    trivel::VirtualClock clock;
    trivel::test::RecordingUi ui;
    trivel::Box rigTool(clock, ui);
    trivel::Session& rig = rigTool.session;
    trivel::sim::BoxModel box;
    box.window(2).blend[0] = 400 & 0xFF; // LEB, u16 at 0
    box.window(2).blend[1] = 400 >> 8;
    trivel::test::FakeBoxTransport link(box);
    link.attach(rig);
    trivel::SendIdentify(rig);
    trivel::test::RunUntilIdle(rig, 50, 5000);
    ASSERT_FALSE(rig.busy());
    rig.setTransport(nullptr);
    ASSERT_TRUE(trivel::SaveSettingFile(rig, dir.filePath("rig.WBF"), true).ok);
    rig.CurrentWindow = 2;
    ASSERT_TRUE(trivel::SaveSettingFile(rig, dir.filePath("w3.SBF"), false).ok);

    CliRun r = Trivelctl({"preview", "--file", dir.filePath("rig.WBF"), "--all", "--out", dir.filePath("all")});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(QDir(dir.filePath("all")).entryList(QDir::Files),
        (QStringList{"window-1.png", "window-2.png", "window-3.png", "window-4.png"}));
    // The grid's red border at the left edge: blended out on window 3 only.
    EXPECT_GT(qRed(QImage(dir.filePath("all/window-1.png")).pixel(0, 540)), 200);
    EXPECT_LT(qRed(QImage(dir.filePath("all/window-3.png")).pixel(0, 540)), 10);

    r = Trivelctl({"preview", "--file", dir.filePath("w3.SBF"), "--all", "--out", dir.filePath("one")});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(QDir(dir.filePath("one")).entryList(QDir::Files), QStringList{"window-1.png"});
    EXPECT_LT(qRed(QImage(dir.filePath("one/window-1.png")).pixel(0, 540)), 10);
    r = Trivelctl({"preview", "--file", dir.filePath("w3.SBF"), "--window", "4", "--out", dir.filePath("w4.png")});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.startsWith("Window 4: ")) << r.out.toStdString();
    EXPECT_EQ(QImage(dir.filePath("w4.png")), QImage(dir.filePath("one/window-1.png")));
}
