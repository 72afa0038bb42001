// trivelctl save / load against trivel-boxsim: a box's state goes into a file and back into a
// fresh box, which then reads back the same.

#include "RunTrivelctl.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// The box's wait-free simulator needs none of the protocol's pauses.
const QStringList kFast{"--test-wait-percent", "0"};

QJsonObject Readback(const BoxSim& sim)
{
    // The box's selected window is no setting a file carries: read both boxes with window 1.
    EXPECT_EQ(Trivelctl({"--tcp", sim.address, "get", "--window", "1", "BRI"}).exitCode, 0);
    const CliRun r = Trivelctl({"--tcp", sim.address, "readback", "--json"});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    return QJsonDocument::fromJson(r.out.toUtf8()).object();
}

// A state away from the defaults on every page the transfer covers.
void Change(const BoxSim& sim)
{
    for (const QStringList& args : {QStringList{"set", "BRI=61", "XHA=70", "OLE=-120", "LEB=200", "PIO=1"},
             QStringList{"set", "--window", "2", "HZM=3", "HPN=2", "CON=33", "DCM=1"},
             QStringList{"set", "--window", "4", "RGN=80", "EFR=-40", "PLO=-20"},
             QStringList{"warp", "mode", "--window", "3", "9x5"},
             QStringList{"warp", "nudge", "--window", "3", "--point", "4,2", "--dx", "24", "--dy", "-16"}}) {
        const CliRun r = Trivelctl(QStringList{"--tcp", sim.address} + args);
        ASSERT_EQ(r.exitCode, 0) << args.join(' ').toStdString() << r.err.toStdString();
    }
}

TEST(TrivelctlTransfer, AWholeBoxFileSavedFromOneBoxMakesAnotherTheSame)
{
    QTemporaryDir dir;
    BoxSim from;
    BoxSim to;
    ASSERT_FALSE(from.address.isEmpty());
    ASSERT_FALSE(to.address.isEmpty());
    Change(from);
    const QJsonObject before = Readback(from);
    ASSERT_NE(before, Readback(to)) << "the boxes start apart";

    const QString file = dir.filePath("rig.WBF");
    CliRun r = Trivelctl({"--tcp", from.address, "save", file});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("saved")) << r.out.toStdString();

    r = Trivelctl(QStringList{"--tcp", to.address, "load", file} + kFast);
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains("load: [")) << "a progress bar on stderr: " << r.err.toStdString();
    EXPECT_TRUE(r.err.contains("window 4 of 4")) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains("100%")) << r.err.toStdString();
    EXPECT_EQ(Readback(to), before);
}

TEST(TrivelctlTransfer, ASingleWindowFileGoesToTheWindowAsked)
{
    QTemporaryDir dir;
    BoxSim from;
    BoxSim to;
    Change(from);
    const QString file = dir.filePath("one.SBF");
    CliRun r = Trivelctl({"--tcp", from.address, "save", "--window", "2", file});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    r = Trivelctl(QStringList{"--tcp", to.address, "load", "--window", "3", file} + kFast);
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    r = Trivelctl({"--tcp", to.address, "get", "--window", "3", "--json", "HZM", "CON", "BRI"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QJsonObject o = QJsonDocument::fromJson(r.out.toUtf8()).object();
    EXPECT_EQ(o["HZM"].toInt(), 3);
    EXPECT_EQ(o["CON"].toInt(), 33);
    r = Trivelctl({"--tcp", to.address, "get", "--window", "2", "--json", "CON"});
    EXPECT_NE(QJsonDocument::fromJson(r.out.toUtf8()).object()["CON"].toInt(), 33) << "window 2 untouched";
}

// trivel FILE: the file is shown at start and sent once the box is connected.
TEST(TrivelctlTransfer, TheWindowOpenedWithAFileSendsItAfterConnecting)
{
    QTemporaryDir dir;
    BoxSim from;
    BoxSim to;
    Change(from);
    const QJsonObject before = Readback(from);
    const QString file = dir.filePath("rig.WBF");
    ASSERT_EQ(Trivelctl({"--tcp", from.address, "save", file}).exitCode, 0);

    QProcess gui;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("TRIVEL_TEST_WAIT_PERCENT", "0");
    gui.setProcessEnvironment(env);
    const QStringList hostPort = to.address.split(':');
    gui.start(QStringLiteral(TRIVEL_PATH),
        {"--tcp", "--address", hostPort[0], "--port", hostPort[1], "--connect", "--screenshot",
            dir.filePath("shot.png"), file});
    ASSERT_TRUE(gui.waitForFinished(60000)) << "trivel did not settle";
    EXPECT_EQ(gui.exitCode(), 0) << gui.readAllStandardError().toStdString();
    EXPECT_EQ(Readback(to), before);
}

TEST(TrivelctlTransfer, BackupSavesEveryBoxItReachesAndRestorePutsThemBack)
{
    QTemporaryDir dir;
    BoxSim a;
    BoxSim b;
    QString gone;
    {
        BoxSim closed; // its port refuses connections once it has ended
        gone = closed.address;
    }
    Change(a);
    const QJsonObject beforeA = Readback(a);
    const QJsonObject beforeB = Readback(b);
    QFile hosts(dir.filePath("venue.txt"));
    ASSERT_TRUE(hosts.open(QIODevice::WriteOnly));
    hosts.write(("# left stack\n" + a.address + "\n\n" + gone + "  # spare\n" + b.address + "\n").toUtf8());
    hosts.close();

    CliRun r = Trivelctl({"backup", "--hosts", hosts.fileName(), "--out", dir.filePath("out")});
    EXPECT_EQ(r.exitCode, 1) << "one box failed: " << r.err.toStdString();
    EXPECT_EQ(r.out.count(": saved "), 2) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains(gone + ": unreachable")) << r.out.toStdString();
    const QStringList files = QDir(dir.filePath("out")).entryList({"*.WBF"});
    ASSERT_EQ(files.size(), 2) << files.join(' ').toStdString();

    for (const BoxSim* sim : {&a, &b})
        ASSERT_EQ(Trivelctl({"--tcp", sim->address, "set", "BRI=5", "CON=6"}).exitCode, 0);
    r = Trivelctl(
        {"restore", "--hosts", hosts.fileName(), "--from", dir.filePath("out"), "--test-wait-percent", "0"});
    EXPECT_EQ(r.exitCode, 1) << r.err.toStdString();
    EXPECT_EQ(r.out.count(": restored from "), 2) << r.out.toStdString();
    EXPECT_TRUE(r.err.contains(a.address + ": load: [")) << "progress per box: " << r.err.toStdString();
    EXPECT_EQ(Readback(a), beforeA);
    EXPECT_EQ(Readback(b), beforeB);
}

TEST(TrivelctlTransfer, RefusedFilesAndBadArgumentsSayWhy)
{
    QTemporaryDir dir;
    BoxSim sim;
    QFile junk(dir.filePath("junk.WBF"));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write(QByteArray(64, 'x'));
    junk.close();
    const struct {
        QStringList args;
        int exitCode;
        const char* says;
    } cases[] = {
        {{"load", junk.fileName()}, 1, "File is not correct!!"},
        {{"save", dir.filePath("no/such/dir/x.WBF")}, 1, ""},
        {{"load"}, 2, "give 'save FILE' or 'load FILE'"},
        {{"load", "--window", "5", "x.SBF"}, 2, "bad value for --window"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        const CliRun r = Trivelctl(QStringList{"--tcp", sim.address} + c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(QLatin1String(c.says))) << r.err.toStdString();
    }
}

} // namespace
