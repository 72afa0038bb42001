// trivelctl end to end: the real executable against trivel-boxsim on loopback.

#include "RunTrivelctl.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

TEST(Trivelctl, ReadbackJsonCarriesEveryCache)
{
    BoxSim sim;
    ASSERT_FALSE(sim.address.isEmpty());
    const CliRun r = Trivelctl({"--tcp", sim.address, "readback", "--json"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    QJsonParseError error{};
    const QJsonObject o = QJsonDocument::fromJson(r.out.toUtf8(), &error).object();
    ASSERT_EQ(error.error, QJsonParseError::NoError) << r.out.toStdString();
    for (const char* key : {"WindowSettings", "BlendSettings", "EdgeMaskCorners", "ControlOffsets",
             "WallPoints", "KeystoneCorners", "ControlPattern", "PipSettings", "DCM", "HDO", "Network",
             "MaskAssignment", "ChannelCount", "BoardModel", "MCUVersion", "Identify", "PointOffsets"})
        EXPECT_TRUE(o.contains(key)) << key;
    // [window][column][row] = [dx, dy] over the 17 x 17 grid.
    const QJsonArray points = o["PointOffsets"].toArray();
    ASSERT_EQ(points.size(), 4);
    ASSERT_EQ(points[3].toArray().size(), 17);
    ASSERT_EQ(points[3].toArray()[16].toArray().size(), 17);
    EXPECT_EQ(points[3].toArray()[16].toArray()[16].toArray(), (QJsonArray{0, 0}));
    EXPECT_EQ(o["ChannelCount"].toInt(), 4);
    EXPECT_EQ(o["BoardModel"].toInt(), 800);
    EXPECT_EQ(o["MCUVersion"].toString(), "M2A93224");
    const QJsonObject ws = o["WindowSettings"].toObject();
    EXPECT_EQ(ws.size(), 33);
    EXPECT_EQ(ws["BRI"].toArray().size(), 4);
    EXPECT_EQ(o["BlendSettings"].toArray()[0].toArray().size(), 94);
    EXPECT_EQ(o["ControlOffsets"].toArray()[3].toArray().size(), 45);
    EXPECT_EQ(o["PipSettings"].toArray()[0].toObject().size(), 11);
    EXPECT_EQ(o["Network"].toObject()["StaticAddress"].toString(), "192.168.0.100");
}

TEST(Trivelctl, IdentifyPrintsTheBoxKind)
{
    BoxSim sim({"--board-kind", "1", "--user-mask", "0"});
    ASSERT_FALSE(sim.address.isEmpty());
    const CliRun r = Trivelctl({"--tcp", sim.address, "identify"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("ChannelCount: 2\n")) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("PipCapable: false\n"));
    EXPECT_TRUE(r.out.contains("Identify: V:")) << "the memo line";
    EXPECT_FALSE(r.out.contains("WindowSettings")) << "identify stops after Identify";
}

QStringList LogLines(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLatin1(f.readAll()).split('\n', Qt::SkipEmptyParts);
}

TEST(Trivelctl, IdentifyAsksOnlyForTheIdentityAndLeavesTheBoxAlone)
{
    QTemporaryDir dir;
    const QString log = dir.filePath("box.log");
    BoxSim sim({"--log", log});
    ASSERT_FALSE(sim.address.isEmpty());
    const CliRun r = Trivelctl({"--tcp", sim.address, "identify"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("BoardModel: 800\n")) << r.out.toStdString();
    // No window select, no read of a window, no neutral state on the way out.
    EXPECT_EQ(LogLines(log).join(" | ").toStdString(), "0x0001 | 0x100c S00MDNR000");
}

// The requests a read-back of this box sends, counted on a box that stays up (the disconnect's
// neutral state at the end is not part of it).
int ReadbackReplies(const QStringList& identity)
{
    QTemporaryDir dir;
    const QString log = dir.filePath("box.log");
    BoxSim sim(identity + QStringList{"--log", log});
    if (sim.address.isEmpty() || Trivelctl({"--tcp", sim.address, "readback"}).exitCode != 0)
        return -1;
    QStringList lines = LogLines(log);
    while (!lines.isEmpty() && QStringList{"0x2030", "0x2003", "0x2007"}.contains(lines.last()))
        lines.removeLast();
    return int(lines.size());
}

// A box that hangs up right after its last reply: the work is done, so the exit code is 0, every
// time; one reply earlier the work is not done, so it is 3, every time.
TEST(Trivelctl, ExitCodeFollowsTheWorkDoneNotTheRaceWithTheClose)
{
    const QStringList plain{"--board-kind", "2", "--user-mask", "0"}; // the read-back's plain order
    const int readback = ReadbackReplies(plain);
    ASSERT_GT(readback, 10);
    struct Case {
        QString command;
        QStringList identity;
        int closeAfter;
        int exitCode;
        int runs;
    };
    const Case cases[] = {
        {"identify", {}, 2, 0, 6}, // hangs up right after the model reply
        {"identify", {}, 1, 3, 2}, // ... or before it
        {"readback", plain, readback, 0, 4}, // right after the read-back's last reply
        {"readback", plain, readback - 1, 3, 1}, // one reply short
        {"readback", {}, ReadbackReplies({}), 0, 1}, // the PIP order's end
    };
    for (const Case& c : cases) {
        BoxSim sim(c.identity + QStringList{"--close-after", QString::number(c.closeAfter)});
        ASSERT_FALSE(sim.address.isEmpty());
        for (int run = 0; run < c.runs; ++run) {
            const CliRun r = Trivelctl({"--tcp", sim.address, c.command});
            EXPECT_EQ(r.exitCode, c.exitCode) << c.command.toStdString() << " --close-after " << c.closeAfter
                                              << " run " << run << ": " << r.err.toStdString();
            EXPECT_EQ(r.out.isEmpty(), c.exitCode != 0) << "the report goes with success only";
        }
    }
}

TEST(Trivelctl, RejectedBoxExitsWithFourAndTheBoxMessage)
{
    BoxSim sim({"--mcu", "93223"});
    ASSERT_FALSE(sim.address.isEmpty());
    const CliRun r = Trivelctl({"--tcp", sim.address, "readback"});
    EXPECT_EQ(r.exitCode, 4);
    EXPECT_TRUE(r.err.contains("Sorry!The MCU F/W version is too old! [M2A93223]")) << r.err.toStdString();
}

TEST(Trivelctl, LinkFailureExitsWithThree)
{
    quint16 port = 0;
    {
        QTcpServer probe; // a port nobody listens on once it is closed
        ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
        port = probe.serverPort();
    }
    const CliRun r = Trivelctl({"--tcp", QStringLiteral("127.0.0.1:%1").arg(port), "identify"});
    EXPECT_EQ(r.exitCode, 3);
    EXPECT_TRUE(r.err.contains("Can' not link to 127.0.0.1")) << r.err.toStdString();
    // The port and the system's reason, and what to check, without --verbose's core lines.
    EXPECT_TRUE(r.err.contains(
        QStringLiteral("127.0.0.1:%1: Connection refused; check the address and port").arg(port)))
        << r.err.toStdString();
    EXPECT_FALSE(r.err.contains("trivel.")) << r.err.toStdString();
    EXPECT_TRUE(r.out.isEmpty());
}

TEST(Trivelctl, UsageErrorsAndHelp)
{
    const QList<QStringList> bad{{}, {"--tcp"}, {"--tcp", "1.2.3.4:99999", "identify"},
        {"--frobnicate", "identify"}, {"dance"}, {"--tcp", "1.2.3.4", "--usb", "identify"},
        {"identify", "readback"}};
    for (const QStringList& args : bad) {
        const CliRun r = Trivelctl(args);
        EXPECT_EQ(r.exitCode, 2) << args.join(' ').toStdString();
        EXPECT_TRUE(r.err.contains("--help")) << args.join(' ').toStdString();
    }
    const CliRun help = Trivelctl({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    for (const char* word :
        {"--tcp HOST[:PORT]", "--usb", "identify", "readback", "--json", "--yes", "Exit codes"})
        EXPECT_TRUE(help.out.contains(word)) << word;
}

// Every command takes its link options from one parser: the same refusals in the same words.
TEST(Trivelctl, EveryCommandRefusesABadLinkOptionAlike)
{
    const QStringList commands[] = {{"identify"}, {"get", "BRI"}, {"warp", "mode", "--window", "1", "9x5"},
        {"firmware", "none.bin"}, {"reg", "read"}};
    const struct {
        QStringList link;
        const char* says;
    } cases[] = {
        {{"--tcp", "1.2.3.4:99999"}, "bad address: 1.2.3.4:99999"},
        {{"--tcp", ":7"}, "bad address: :7"},
        {{"--tcp", "1.2.3.4:7:7"}, "bad address: 1.2.3.4:7:7"},
        {{"--tcp", "1.2.3.4", "--usb"}, "give one of --tcp and --usb"},
        {{"--usb", "--tcp", "1.2.3.4"}, "give one of --tcp and --usb"},
    };
    for (const QStringList& command : commands) {
        for (const auto& c : cases) {
            const QStringList args = c.link + command;
            SCOPED_TRACE(args.join(' ').toStdString());
            const CliRun r = Trivelctl(args);
            EXPECT_EQ(r.exitCode, 2);
            EXPECT_TRUE(r.err.startsWith(QStringLiteral("trivelctl: ") + c.says)) << r.err.toStdString();
        }
    }
}

} // namespace
