// trivelctl warp mode / nudge / reset against trivel-boxsim: what the box holds afterwards, as
// a second trivelctl reads it back.

#include "RunTrivelctl.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

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

} // namespace

TEST(TrivelctlWarp, ModeNudgeAndResetReachTheBox)
{
    BoxSim sim;
    ASSERT_FALSE(sim.address.isEmpty());
    CliRun r = Trivelctl({"--tcp", sim.address, "warp", "mode", "--window", "1", "5x3"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("ControlPattern: 3"));

    r = Trivelctl(
        {"--tcp", sim.address, "warp", "nudge", "--window=1", "--point", "2,4", "--dx", "12", "--dy", "-4"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("Offset: 12,-4")) << r.out.toStdString();
    QJsonObject o = Readback(sim.address);
    EXPECT_EQ(o["ControlPattern"].toArray()[1].toInt(), 3);
    EXPECT_EQ(ControlOffset(o, 1, 4 * 9 + 2), (QJsonArray{12, -4}));
    EXPECT_EQ(ControlOffset(o, 0, 4 * 9 + 2), (QJsonArray{0, 0}));

    // Column 1 is not a point of 5x3.
    r = Trivelctl({"--tcp", sim.address, "warp", "nudge", "--window", "1", "--point", "1,0", "--dx", "5"});
    EXPECT_EQ(r.exitCode, 1);

    // The reset asks first.
    r = Trivelctl({"--tcp", sim.address, "warp", "reset", "--window", "1"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("Do you want to reset warp? [no]"));
    EXPECT_EQ(ControlOffset(Readback(sim.address), 1, 4 * 9 + 2), (QJsonArray{12, -4}));
    r = Trivelctl({"--tcp", sim.address, "--yes", "warp", "reset", "--window", "1"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(ControlOffset(Readback(sim.address), 1, 4 * 9 + 2), (QJsonArray{0, 0}));
}

TEST(TrivelctlWarp, AMapSavedInOneRunLoadsInTheNext)
{
    BoxSim sim;
    ASSERT_FALSE(sim.address.isEmpty());
    ASSERT_EQ(Trivelctl({"--tcp", sim.address, "warp", "mode", "--window", "0", "17x17"}).exitCode, 0);
    ASSERT_EQ(
        Trivelctl({"--tcp", sim.address, "warp", "nudge", "--window", "0", "--point", "16,16", "--dy", "-30"})
            .exitCode,
        0);
    CliRun r = Trivelctl({"--tcp", sim.address, "warp", "save-map", "--window", "0", "10"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains("User Warp saved!!"));
    EXPECT_TRUE(r.out.contains("ControlPattern: 15"));

    r = Trivelctl({"--tcp", sim.address, "warp", "load-map", "--window", "0", "10"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("ControlPattern: 100"));

    r = Trivelctl({"--tcp", sim.address, "warp", "load-map", "--window", "0", "3"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("No 17x17 warp information!!"));
}

TEST(TrivelctlWarp, UsageErrors)
{
    const QStringList cases[] = {
        {"--tcp", "127.0.0.1:1", "warp", "mode", "9x5"}, // no window
        {"--tcp", "127.0.0.1:1", "warp", "mode", "--window", "4", "9x5"},
        {"--tcp", "127.0.0.1:1", "warp", "mode", "--window", "0", "4x4"},
        {"--tcp", "127.0.0.1:1", "warp", "nudge", "--window", "0", "--dx", "3"}, // no point
        {"--tcp", "127.0.0.1:1", "warp", "nudge", "--window", "0", "--point", "3"},
        {"--tcp", "127.0.0.1:1", "warp", "save-map", "--window", "0", "11"},
        {"--tcp", "127.0.0.1:1", "warp", "load-map", "--window", "0"},
    };
    for (const QStringList& args : cases) {
        SCOPED_TRACE(args.join(' ').toStdString());
        const CliRun r = Trivelctl(args);
        EXPECT_EQ(r.exitCode, 2) << r.err.toStdString();
    }
    const CliRun help = Trivelctl({"warp", "mode", "--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.contains("warp nudge"));
}
