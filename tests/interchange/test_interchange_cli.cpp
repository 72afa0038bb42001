// trivelctl export and import, offline: a setting file to an .mpcdi file and back to a plan.

#include "../cli/RunTrivelctl.h"
#include "box/Box.h"

#include "files/SettingFile.h"
#include "link/Clock.h"
#include "session/Session.h"
#include "support/RecordingUi.h"
#include "warp/WarpAdjustState.h"
#include "warp/WarpModel.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace trivel {
namespace {

// A rig as a setting file: window 1 in 17x17 point mode with every point 10 px right and a
// 200 px left blend; window 2 with a 300 px right blend.
QString SaveRig(const QTemporaryDir& dir)
{
    VirtualClock clock;
    test::RecordingUi ui;
    Box tool(clock, ui);
    Session& s = tool.session;
    WarpModel& m = s.box->warp.state().model[0];
    m.ControlPattern = WarpMode::Points;
    for (int k = 0; k < kGridSize; ++k)
        for (int j = 0; j < kGridSize; ++j)
            SetPointOffset(m, k, j, {10, 0});
    s.settings().BlendSettings[0].setEdgeWidth(0, 200);
    s.settings().BlendSettings[1].setEdgeWidth(1, 300);
    const QString path = dir.filePath(QStringLiteral("rig.WBF"));
    EXPECT_TRUE(SaveSettingFile(s, path, true).ok);
    return path;
}

QByteArray Read(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

TEST(InterchangeCli, ExportsARigAndPlansItsImport)
{
    QTemporaryDir dir;
    const QString rig = SaveRig(dir);
    const QString mpcdi = dir.filePath("rig.mpcdi");
    CliRun r = Trivelctl({"export", "--file", rig, "--mpcdi", mpcdi, "--pfm", dir.filePath("pfm"),
        "--tables=" + dir.filePath("bin")});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("Window 1: 1920 x 1080\n  Geometry (approximate): box-side 17x17 point warp"))
        << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("Window 4: 1920 x 1080\n  Geometry (exact): warp off."))
        << r.out.toStdString();
    for (int w = 1; w <= 4; ++w) {
        EXPECT_TRUE(
            Read(dir.filePath(QStringLiteral("pfm/window-%1.pfm").arg(w))).startsWith("PF\n121 136\n-1.0\n"));
        EXPECT_EQ(Read(dir.filePath(QStringLiteral("bin/window-%1.bin").arg(w))).size(), 41184);
    }
    EXPECT_TRUE(Read(mpcdi).startsWith("PK"));

    const QString planned = dir.filePath("planned.bin");
    r = Trivelctl({"import", "--mpcdi", mpcdi, "--window", "1", "--region", "window1", "--dry-run",
        "--tables", planned});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.startsWith("Window: 1\nRegion: window1\nFrame: 1920x1080\nTarget: User Map tables\n"
                                 "Worst difference: 0.000 px\n"))
        << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("Blend: left 200 px (shift 0), right none, top none, bottom none"))
        << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("File note: Geometry (approximate)")) << r.out.toStdString();
    EXPECT_TRUE(r.out.endsWith("Dry run: nothing was sent.\n"));
    // The same bytes as the export's tables: 10 px right is source x - 10 everywhere.
    EXPECT_EQ(Read(planned), Read(dir.filePath("bin/window-1.bin")));

    r = Trivelctl({"import", "--mpcdi", mpcdi, "--window=2", "--region=window2", "--dry-run", "--points",
        "--frame", "1280x720"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("Frame: 1280x720\nTarget: 17x17 point offsets\n")) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("right 200 px")) << r.out.toStdString(); // 300 of 1920 stretched to 1280
}

struct CliCase {
    const char* name;
    QStringList args;
    int exitCode;
    const char* message;
};

class InterchangeCliUsage : public ::testing::TestWithParam<CliCase> { };

TEST_P(InterchangeCliUsage, RefusesWithItsExitCode)
{
    QTemporaryDir dir;
    const QString rig = SaveRig(dir);
    QStringList args = GetParam().args;
    args.replaceInStrings("RIG", rig).replaceInStrings("DIR", dir.path());
    if (args.contains(dir.filePath("rig.mpcdi"))) {
        ASSERT_EQ(Trivelctl({"export", "--file", rig, "--mpcdi", dir.filePath("rig.mpcdi")}).exitCode, 0);
    }
    const CliRun r = Trivelctl(args);
    EXPECT_EQ(r.exitCode, GetParam().exitCode) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QString::fromUtf8(GetParam().message))) << r.err.toStdString();
}

const CliCase kCliCases[] = {
    {"ExportWithoutFile", {"export", "--mpcdi", "DIR/x.mpcdi"}, 2, "--file is required"},
    {"ExportWithoutOutput", {"export", "--file", "RIG"}, 2, "give at least one of --mpcdi"},
    {"ExportFromFileAndBox", {"export", "--file", "RIG", "--tcp", "127.0.0.1", "--mpcdi", "DIR/x.mpcdi"}, 2,
        "give one of --file, --tcp and --usb"},
    {"ExportFromABoxWithFrame", {"export", "--tcp", "127.0.0.1", "--mpcdi", "DIR/x.mpcdi", "--frame", "1280x720"},
        2, "a box reports its frames"},
    {"ExportBadFrame", {"export", "--file", "RIG", "--pfm", "DIR", "--frame", "4000x10"}, 2,
        "--frame wants WxH"},
    {"ExportUnreadableFile", {"export", "--file", "DIR/none.WBF", "--pfm", "DIR"}, 1, "none.WBF"},
    {"ImportDryRunWithABox", {"import", "--tcp", "127.0.0.1", "--mpcdi", "DIR/rig.mpcdi", "--window", "1",
                                 "--dry-run"},
        2, "--dry-run plans without a box"},
    {"ImportIntoABoxWithFrame", {"import", "--mpcdi", "DIR/rig.mpcdi", "--window", "1", "--frame", "1280x720"}, 2,
        "--frame is for --dry-run"},
    {"ImportWithoutWindow", {"import", "--mpcdi", "DIR/rig.mpcdi", "--dry-run"}, 2, "--window is required"},
    {"ImportWindowFive", {"import", "--mpcdi", "DIR/rig.mpcdi", "--window", "5", "--dry-run"}, 2,
        "--window wants 1..4"},
    {"ImportChoosesNoRegion", {"import", "--mpcdi", "DIR/rig.mpcdi", "--window", "1", "--dry-run"}, 2,
        "4 regions (window1, window2, window3, window4); choose one with --region"},
    {"ImportUnknownRegion",
        {"import", "--mpcdi", "DIR/rig.mpcdi", "--window", "1", "--region", "left", "--dry-run"}, 1,
        "no region \"left\""},
    {"ImportNotAnArchive", {"import", "--mpcdi", "RIG", "--window", "1", "--dry-run"}, 1,
        "not a ZIP archive"},
};

INSTANTIATE_TEST_SUITE_P(Cli, InterchangeCliUsage, ::testing::ValuesIn(kCliCases),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace trivel
