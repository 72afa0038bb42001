// trivelctl align against trivel-boxsim --rig: a simulated 2x2 wall aligned end to end through the
// box's chains and the photo service, and the refusals that leave the box as it was.

#include "RunTrivelctl.h"
#include "align/SimPhotoProtocol.h"
#include "sim/rig/Rig.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using namespace trivel;

// trivel-boxsim with a rig: the box's port and the photo service's.
class RigSim {
public:
    explicit RigSim(const QStringList& args)
    {
        m_proc.start(QStringLiteral(BOXSIM), QStringList{"--port", "0"} + args);
        const QRegularExpression line(QStringLiteral("(listening|photos) on .*:(\\d+)"));
        while ((box.isEmpty() || photos.isEmpty()) && m_proc.waitForReadyRead(10000)) {
            while (m_proc.canReadLine()) {
                const auto m = line.match(QString::fromLatin1(m_proc.readLine()));
                if (m.hasMatch())
                    (m.captured(1) == QLatin1String("listening") ? box : photos)
                        = QStringLiteral("127.0.0.1:") + m.captured(2);
            }
        }
    }
    ~RigSim()
    {
        m_proc.kill();
        m_proc.waitForFinished(3000);
    }
    QString box;
    QString photos;

private:
    QProcess m_proc;
};

// Alignment takes longer than the other commands: photos, decoding and solving. A simulated
// camera needs no settle time and no averaging.
CliRun Align(const QString& box, const QStringList& args)
{
    return Trivelctl(QStringList{"--tcp", box, "align", "--settle", "0", "--frames", "1"} + args, 180000);
}

QStringList SettingFiles(const QString& dir)
{
    return QDir(dir).entryList({QStringLiteral("*.WBF")}, QDir::Files);
}

TEST(TrivelctlAlign, AlignsASimulatedTwoByTwoWallEndToEnd)
{
    RigSim sim({"--rig-random", "21", "--rig-layout", "2x2", "--rig-camera", "960x540"});
    ASSERT_FALSE(sim.box.isEmpty());
    ASSERT_FALSE(sim.photos.isEmpty());
    QTemporaryDir dir;
    const CliRun r = Align(sim.box,
        {"--camera", "sim://" + sim.photos, "--layout", "2x2", "--overlap", "auto", "--passes", "1",
            "--report", dir.path()});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString() << r.out.toStdString();

    // Progress on stderr, windows counted from 1.
    EXPECT_TRUE(r.err.contains("align: Saving the box's setting file")) << r.err.toStdString();
    EXPECT_FALSE(r.err.contains("window 0")) << r.err.toStdString();
    for (int w = 1; w <= 4; ++w)
        EXPECT_TRUE(r.out.contains(QStringLiteral("  window %1: RMS").arg(w))) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("seam of windows 1 and 2")) << r.out.toStdString();

    // The residual over every grid point, within the targets of one pass.
    const auto all
        = QRegularExpression(R"(all: RMS ([0-9.]+), worst ([0-9.]+) \((\d+) points\))").match(r.out);
    ASSERT_TRUE(all.hasMatch()) << r.out.toStdString();
    EXPECT_LT(all.captured(1).toDouble(), 0.5);
    EXPECT_LT(all.captured(2).toDouble(), 1.5);
    EXPECT_GT(all.captured(3).toInt(), 40);

    // The report folder, and the setting file saved before sending under the name printed.
    for (const char* name : {"before.png", "after.png", "heatmap.png", "residuals.json"})
        EXPECT_TRUE(QFile::exists(QDir(dir.path()).filePath(name))) << name;
    const QStringList saved = SettingFiles(dir.path());
    ASSERT_EQ(saved.size(), 1);
    EXPECT_TRUE(r.out.contains(saved[0])) << r.out.toStdString();
    EXPECT_GE(QFileInfo(QDir(dir.path()).filePath(saved[0])).size(), 11160); // a whole-box file
    QFile json(QDir(dir.path()).filePath("residuals.json"));
    ASSERT_TRUE(json.open(QIODevice::ReadOnly));
    const QJsonObject root = QJsonDocument::fromJson(json.readAll()).object();
    EXPECT_EQ(root["windows"].toArray().size(), 4);
    EXPECT_EQ(root["windows"].toArray()[3].toObject()["window"].toInt(), 4);

    // The way back that the output names.
    const QString undo = QDir(dir.path()).filePath(saved[0]);
    EXPECT_TRUE(r.out.contains("trivelctl align --revert " + undo)) << r.out.toStdString();
    const CliRun back = Trivelctl({"--tcp", sim.box, "align", "--revert", undo, "--test-wait-percent", "0"});
    EXPECT_EQ(back.exitCode, 0) << back.err.toStdString();
    EXPECT_TRUE(back.out.contains("reverted to " + undo + ": windows 1 to 4")) << back.out.toStdString();
}

// A dry run measures and solves, and neither saves a setting file nor sends.
TEST(TrivelctlAlign, ADryRunSolvesAndSavesNothing)
{
    RigSim sim({"--rig-random", "8", "--rig-layout", "1x2", "--rig-camera", "640x360"});
    ASSERT_FALSE(sim.box.isEmpty());
    QTemporaryDir dir;
    const CliRun r = Align(
        sim.box, {"--camera", "sim://" + sim.photos, "--layout", "1x2", "--dry-run", "--report", dir.path()});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("Dry run: solved, nothing sent")) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("  window 2: pattern fit RMS")) << r.out.toStdString();
    EXPECT_FALSE(r.err.contains("Saving the box's setting file"));
    EXPECT_TRUE(SettingFiles(dir.path()).isEmpty());
    EXPECT_TRUE(QFile::exists(QDir(dir.path()).filePath("before.png")));
}

// Corners marked on the camera picture: the canvas has their shape; out of order they are refused
// with nothing sent.
TEST(TrivelctlAlign, MarkedCornersAreTheCanvas)
{
    const sim::Rig rig = sim::RandomRig(8, {1, 2}, 640, 360);
    RigSim sim({"--rig-random", "8", "--rig-layout", "1x2", "--rig-camera", "640x360"});
    ASSERT_FALSE(sim.box.isEmpty());
    const align::Vec2 c0 = rig.projectors[0].screenOf({959.5, 539.5});
    const align::Vec2 c1 = rig.projectors[1].screenOf({959.5, 539.5});
    const double mid = 0.5 * (c0.y + c1.y);
    const align::Vec2 corners[4]
        = {{c0.x, mid - 250}, {c1.x, mid - 250}, {c1.x, mid + 250}, {c0.x, mid + 250}};
    const auto marks = [&](std::initializer_list<int> order) {
        QStringList numbers;
        for (int i : order) {
            const align::Vec2 p = rig.camera.photoOf(corners[i]);
            numbers << QString::number(p.x, 'f', 2) << QString::number(p.y, 'f', 2);
        }
        return numbers.join(',');
    };
    QTemporaryDir dir;
    const QString report = dir.filePath("report");
    const CliRun r = Align(sim.box,
        {"--camera", "sim://" + sim.photos, "--layout", "1x2", "--dry-run", "--report", report, "--marks",
            marks({0, 1, 2, 3})});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const auto m
        = QRegularExpression(QStringLiteral("Canvas ([0-9.]+) x ([0-9.]+) screen pixels at \\(0.0, 0.0\\)"))
              .match(r.out);
    ASSERT_TRUE(m.hasMatch()) << r.out.toStdString();
    const double aspect = (c1.x - c0.x) / 500.0;
    EXPECT_NEAR(m.captured(1).toDouble() / m.captured(2).toDouble(), aspect, 0.03 * aspect);
    // The marks in the report folder, as a camera.json holds them.
    QFile saved(QDir(report).filePath("marks.json"));
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    std::optional<align::LensModel> lens;
    std::optional<align::ScreenMarks> read;
    QString error;
    ASSERT_TRUE(align::ReadCameraJson(saved.readAll(), lens, read, error)) << error.toStdString();
    ASSERT_TRUE(read);
    EXPECT_NEAR(read->camera[1].x, rig.camera.photoOf(corners[1]).x, 0.01);
    EXPECT_NEAR(read->screen[2].x, m.captured(1).toDouble(), 0.1);

    const CliRun wrong = Align(sim.box,
        {"--camera", "sim://" + sim.photos, "--layout", "1x2", "--report", dir.path(), "--marks",
            marks({0, 3, 2, 1})});
    EXPECT_EQ(wrong.exitCode, 1);
    EXPECT_TRUE(wrong.err.contains("mark them top left, top right, bottom right, bottom left"))
        << wrong.err.toStdString();
    EXPECT_TRUE(wrong.err.contains("nothing was sent to the box"));
    EXPECT_TRUE(SettingFiles(dir.path()).isEmpty());
}

// The patterns on a screen of the PC: trivelctl opens its display for them and the box holds the
// other windows black; the simulated box has no video input, so the PC's picture never reaches
// the wall and the run stops at the first window, naming it, with nothing sent.
TEST(TrivelctlAlign, PatternsOnAScreenNeedThePcToFeedTheBox)
{
    RigSim sim({"--rig-random", "8", "--rig-layout", "1x2", "--rig-camera", "640x360"});
    ASSERT_FALSE(sim.box.isEmpty());
    QTemporaryDir dir;
    const CliRun r = Align(sim.box,
        {"--camera", "sim://" + sim.photos, "--layout", "1x2", "--patterns", "screen:0", "--report",
            dir.path()});
    EXPECT_EQ(r.exitCode, 1) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains("Window 1 shows nothing to the camera")) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains("nothing was sent to the box"));
    EXPECT_TRUE(SettingFiles(dir.path()).isEmpty());
}

// The wall or the camera is not as it should be: a message that names the window and what to
// fix, a failing exit, and no setting file, since nothing was sent.
struct Refusal {
    const char* name;
    void (*rig)(sim::Rig&); // how the wall differs; null: as drawn
    const char* camera; // null: the rig's photo service; "folder": a folder with a broken photo
    QStringList expected;
};

void WindowTwoOff(sim::Rig& rig)
{
    rig.projectors[1].on = false;
}

void CameraZoomedIn(sim::Rig& rig)
{
    align::Homography zoom;
    const double by = 1.3, cx = 320, cy = 180;
    zoom.m = {by, 0, cx * (1 - by), 0, by, cy * (1 - by), 0, 0, 1};
    rig.camera.fromScreen = zoom * rig.camera.fromScreen;
}

const Refusal kRefusals[] = {
    {"CameraUnreachable", nullptr, "sim://127.0.0.1:1",
        {"the camera cannot be opened", "Check --camera", "Nothing was sent to the box"}},
    {"WindowOff", WindowTwoOff, nullptr,
        {"Window 2 shows nothing to the camera", "projector is on", "nothing was sent to the box"}},
    {"CameraSeesPartOfAWindow", CameraZoomedIn, nullptr,
        {"The camera sees only part of window 1", "nothing was sent to the box"}},
    {"PhotoThatDoesNotDecode", nullptr, "folder",
        {"is not a photo this tool reads", "nothing was sent to the box"}},
};

TEST(TrivelctlAlign, RefusalsNameWhatToFixAndSendNothing)
{
    for (const Refusal& t : kRefusals) {
        SCOPED_TRACE(t.name);
        QTemporaryDir dir;
        sim::Rig rig = sim::RandomRig(4, {2, 2}, 640, 360);
        if (t.rig)
            t.rig(rig);
        const QString rigFile = dir.filePath("rig.json");
        QFile f(rigFile);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(sim::WriteRigJson(rig));
        f.close();
        RigSim sim({"--rig", rigFile});
        ASSERT_FALSE(sim.box.isEmpty());
        QString camera = "sim://" + sim.photos;
        if (t.camera && QLatin1String(t.camera) == QLatin1String("folder")) {
            camera = dir.filePath("photos");
            ASSERT_TRUE(QDir().mkpath(camera));
            QFile broken(QDir(camera).filePath("001.png"));
            ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
            broken.write("\x89PNG\r\n\x1a\n but not a picture");
        } else if (t.camera) {
            camera = QLatin1String(t.camera);
        }
        const QString report = dir.filePath("report");
        const CliRun r = Align(sim.box, {"--camera", camera, "--layout", "2x2", "--report", report});
        EXPECT_EQ(r.exitCode, 1) << r.err.toStdString();
        for (const QString& e : t.expected)
            EXPECT_TRUE(r.err.contains(e)) << e.toStdString() << "\n" << r.err.toStdString();
        EXPECT_FALSE(r.err.contains("window 0")) << r.err.toStdString();
        EXPECT_TRUE(SettingFiles(report).isEmpty());
    }
}

TEST(TrivelctlAlign, ArgumentsAreCheckedBeforeAnythingIsOpened)
{
    const struct {
        QStringList args;
        const char* expected;
    } cases[] = {
        {{"align", "--layout", "2x2"}, "give --camera"},
        {{"align", "--camera", "0"}, "--layout RxC"},
        {{"align", "--camera", "0", "--layout", "3x2"}, "bad layout 3x2"},
        {{"align", "--camera", "0", "--layout", "2x2", "--overlap", "15"}, "--overlap takes only 'auto'"},
        {{"align", "--camera", "0", "--layout", "2x2", "--passes", "3"}, "bad value for --passes"},
        {{"align", "--camera", "0", "--layout", "2x2", "--patterns", "screen:x"}, "bad value for --patterns"},
        {{"align", "--camera", "0", "--layout", "2x2", "--patterns", "wall"}, "bad value for --patterns"},
        // The test's display has one screen, which the message lists.
        {{"align", "--camera", "0", "--layout", "2x2", "--patterns", "screen:7"},
            "no screen 7 for --patterns; the screens: screen 0: "},
        {{"align", "--camera", "0", "--layout", "2x2", "--marks", "1,2,3,4,5,6,7"}, "bad value for --marks"},
        {{"align", "--camera", "0", "--layout", "2x2", "--marks", "1,2,3,4,5,6,7,nan"},
            "bad value for --marks"},
        {{"align", "--revert", "/no/such/file.WBF"}, "Nothing was loaded"},
    };
    for (const auto& c : cases) {
        const CliRun r = Trivelctl(QStringList{"--tcp", "127.0.0.1:1"} + c.args);
        EXPECT_EQ(r.exitCode, c.args.contains("--revert") ? 1 : 2) << c.args.join(' ').toStdString();
        EXPECT_TRUE(r.err.contains(QLatin1String(c.expected))) << r.err.toStdString();
    }
    const CliRun help = Trivelctl({"align", "--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.contains("Tried only with the simulated box and camera"));
}

} // namespace
