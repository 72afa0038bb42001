// trivelctl warp mode / nudge / reset against trivel-boxsim: what the box holds afterwards, as
// a second trivelctl reads it back.

#include "RunTrivelctl.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QJsonObject Readback(const QString& address)
{
    const CliRun r = Trivelctl({"--tcp", address, "readback", "--json"});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    return QJsonDocument::fromJson(r.out.toUtf8()).object();
}

QJsonArray ControlOffset(const QJsonObject& o, int window, int point)
{
    return o["ControlOffsets"].toArray()[window].toArray()[point].toArray();
}

QByteArray ReadAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool WriteText(const QString& path, const char* text)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(text) == qint64(qstrlen(text));
}

// A 3x3 grid with an inactive point that must not count, an active one and a corner.
const char* const kGrid = R"({"pattern": 1,
  "points": [{"column": 8, "row": 8, "dx": 30, "dy": -20}, {"column": 4, "row": 4, "dx": 50, "dy": 0}],
  "corners": {"topRight": {"dx": 100, "dy": 40}}})";

} // namespace

// What the box holds after a push is what `warp table` writes for the same grid at the box's
// frame size: the transfer neither drops, reorders nor alters a chunk.
TEST(TrivelctlWarp, PushedTablesEqualWarpTableByteForByte)
{
    QTemporaryDir dir;
    const QString grid = dir.filePath("grid.json");
    ASSERT_TRUE(WriteText(grid, kGrid));
    const struct {
        QStringList box;
        int window;
        QStringList pattern;
        const char* frame;
    } cases[] = {
        {{}, 2, {}, "1920x1080"},
        {{"--frame", "1280x720"}, 0, {"--pattern", "6"}, "1280x720"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.frame);
        BoxSim sim(c.box + QStringList{"--save-tables", dir.path()});
        ASSERT_FALSE(sim.address.isEmpty());
        const CliRun r = Trivelctl(QStringList{"--tcp", sim.address, "warp", "push", "--window",
                                       QString::number(c.window + 1), "--grid", grid}
            + c.pattern);
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains("88/88 chunks")) << r.err.toStdString();
        // The window as numbered on the command line.
        EXPECT_TRUE(r.err.contains(QStringLiteral("window %1, applied").arg(c.window + 1)))
            << r.err.toStdString();
        EXPECT_TRUE(r.out.contains(QStringLiteral("Frame: ") + c.frame)) << r.out.toStdString();

        const QString expected = dir.filePath("expected.bin");
        const CliRun table = Trivelctl(
            QStringList{"warp", "table", "--frame", c.frame, "--grid", grid, "--out", expected} + c.pattern);
        ASSERT_EQ(table.exitCode, 0) << table.err.toStdString();
        const QByteArray held = ReadAll(dir.filePath(QStringLiteral("window-%1.bin").arg(c.window)));
        ASSERT_EQ(held.size(), 41184);
        EXPECT_TRUE(held == ReadAll(expected));
        // Not the identity: the grid reached the tables.
        const QString identity = dir.filePath("identity.bin");
        ASSERT_EQ(Trivelctl({"warp", "table", "--frame", c.frame, "--out", identity}).exitCode, 0);
        EXPECT_FALSE(held == ReadAll(identity));
    }
}

TEST(TrivelctlWarp, PushRefusals)
{
    QTemporaryDir dir;
    const QString grid = dir.filePath("grid.json");
    ASSERT_TRUE(WriteText(grid, kGrid));
    const QString misspelt = dir.filePath("misspelt.json");
    ASSERT_TRUE(WriteText(misspelt, R"({"pattren": 1})"));
    // Column 1 moved onto column 0: no spline passes two knots at one x.
    const QString folded = dir.filePath("folded.json");
    ASSERT_TRUE(WriteText(folded, R"({"points": [{"column": 1, "row": 0, "dx": -120, "dy": 0}]})"));

    BoxSim sim;
    BoxSim wrongCode({"--wrong-code", "0x2010=0x2011"});
    ASSERT_FALSE(sim.address.isEmpty());
    ASSERT_FALSE(wrongCode.address.isEmpty());
    const struct {
        QString address;
        QString grid;
        int exitCode;
        const char* says;
    } cases[] = {
        // Read before the link opens: nobody listens on port 1.
        {"127.0.0.1:1", misspelt, 1, "unknown key \"pattren\""},
        {"127.0.0.1:1", dir.filePath("absent.json"), 1, "cannot read"},
        {sim.address, folded, 1, "the grid cannot be computed"},
        {wrongCode.address, grid, 1, "X CMD ERROR:2011"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.says);
        const CliRun r = Trivelctl({"--tcp", c.address, "warp", "push", "--window", "1", "--grid", c.grid});
        EXPECT_EQ(r.exitCode, c.exitCode) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(c.says)) << r.err.toStdString();
        EXPECT_TRUE(r.out.isEmpty());
    }
}

TEST(TrivelctlWarp, ModeNudgeAndResetReachTheBox)
{
    BoxSim sim;
    ASSERT_FALSE(sim.address.isEmpty());
    CliRun r = Trivelctl({"--tcp", sim.address, "warp", "mode", "--window", "2", "5x3"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("ControlPattern: 3"));

    r = Trivelctl(
        {"--tcp", sim.address, "warp", "nudge", "--window=2", "--point", "2,4", "--dx", "12", "--dy", "-4"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("Offset: 12,-4")) << r.out.toStdString();
    QJsonObject o = Readback(sim.address);
    EXPECT_EQ(o["ControlPattern"].toArray()[1].toInt(), 3);
    EXPECT_EQ(ControlOffset(o, 1, 4 * 9 + 2), (QJsonArray{12, -4}));
    EXPECT_EQ(ControlOffset(o, 0, 4 * 9 + 2), (QJsonArray{0, 0}));

    // Column 1 is not a point of 5x3.
    r = Trivelctl({"--tcp", sim.address, "warp", "nudge", "--window", "2", "--point", "1,0", "--dx", "5"});
    EXPECT_EQ(r.exitCode, 1);

    // The reset asks first.
    r = Trivelctl({"--tcp", sim.address, "warp", "reset", "--window", "2"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("Do you want to reset warp? [no]"));
    EXPECT_EQ(ControlOffset(Readback(sim.address), 1, 4 * 9 + 2), (QJsonArray{12, -4}));
    r = Trivelctl({"--tcp", sim.address, "--yes", "warp", "reset", "--window", "2"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(ControlOffset(Readback(sim.address), 1, 4 * 9 + 2), (QJsonArray{0, 0}));
}

TEST(TrivelctlWarp, AMapSavedInOneRunLoadsInTheNext)
{
    BoxSim sim;
    ASSERT_FALSE(sim.address.isEmpty());
    ASSERT_EQ(Trivelctl({"--tcp", sim.address, "warp", "mode", "--window", "1", "17x17"}).exitCode, 0);
    ASSERT_EQ(
        Trivelctl({"--tcp", sim.address, "warp", "nudge", "--window", "1", "--point", "16,16", "--dy", "-30"})
            .exitCode,
        0);
    CliRun r = Trivelctl({"--tcp", sim.address, "warp", "save-map", "--window", "1", "10"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains("User Warp saved!!"));
    EXPECT_TRUE(r.out.contains("ControlPattern: 15"));

    r = Trivelctl({"--tcp", sim.address, "warp", "load-map", "--window", "1", "10"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("ControlPattern: 100"));

    r = Trivelctl({"--tcp", sim.address, "warp", "load-map", "--window", "1", "3"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("No 17x17 warp information!!"));
}

TEST(TrivelctlWarp, UsageErrors)
{
    const QStringList cases[] = {
        {"--tcp", "127.0.0.1:1", "warp", "mode", "9x5"}, // no window
        {"--tcp", "127.0.0.1:1", "warp", "mode", "--window", "5", "9x5"},
        {"--tcp", "127.0.0.1:1", "warp", "mode", "--window", "0", "9x5"},
        {"--tcp", "127.0.0.1:1", "warp", "mode", "--window", "1", "4x4"},
        {"--tcp", "127.0.0.1:1", "warp", "nudge", "--window", "1", "--dx", "3"}, // no point
        {"--tcp", "127.0.0.1:1", "warp", "nudge", "--window", "1", "--point", "3"},
        {"--tcp", "127.0.0.1:1", "warp", "save-map", "--window", "1", "11"},
        {"--tcp", "127.0.0.1:1", "warp", "load-map", "--window", "1"},
        {"--tcp", "127.0.0.1:1", "warp", "push", "--window", "1"}, // no grid
        {"--tcp", "127.0.0.1:1", "warp", "push", "--window", "1", "--grid", "g.json", "--pattern", "7"},
        {"--tcp", "127.0.0.1:1", "warp", "mode", "--window", "1", "--pattern", "1", "9x5"},
        {"--tcp", "warp", "mode", "--window", "1", "9x5"}, // the command word is no address
    };
    for (const QStringList& args : cases) {
        SCOPED_TRACE(args.join(' ').toStdString());
        const CliRun r = Trivelctl(args);
        EXPECT_EQ(r.exitCode, 2) << r.err.toStdString();
    }
    const CliRun help = Trivelctl({"warp", "mode", "--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.contains("warp nudge"));
    EXPECT_TRUE(help.out.contains("warp push"));
}
