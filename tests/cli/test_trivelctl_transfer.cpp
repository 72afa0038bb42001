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

#include <sys/resource.h>

namespace {

// The box's wait-free simulator needs none of the protocol's pauses.
const QStringList kFast{"--test-wait-percent", "0"};

QJsonObject Readback(const BoxSim& sim)
{
    // The box's selected window is no setting a file carries: read both boxes with window 1
    // (a whole read-back leaves window 1 selected on the box).
    EXPECT_EQ(Trivelctl({"--tcp", sim.address, "readback"}).exitCode, 0);
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
             QStringList{"warp", "mode", "--window", "4", "9x5"},
             QStringList{"warp", "nudge", "--window", "4", "--point", "4,2", "--dx", "24", "--dy", "-16"}}) {
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

QByteArray Head(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.read(3) : QByteArray();
}

// A save writes the kind its name or --window asks for and says so; a load takes the kind from
// the file, so a backup saved as "rig.wbf" and renamed without an extension still restores the
// whole box.
TEST(TrivelctlTransfer, SaveWritesTheKindAskedForAndLoadTakesItFromTheFile)
{
    QTemporaryDir dir;
    BoxSim from;
    BoxSim to;
    Change(from);
    const QJsonObject before = Readback(from);
    const struct {
        QStringList args;
        const char* written;
        const char* magic;
        const char* says;
    } saves[] = {
        {{"rig.wbf"}, "rig.wbf", "WPM", "whole-box file with windows 1 to 4"},
        {{"bare"}, "bare.WBF", "WPM", "whole-box file with windows 1 to 4"},
        {{"--window", "2", "bare"}, "bare.SBF", "SBF", "single-window file with window 2"},
        {{"--window", "3", "one.sbf"}, "one.sbf", "SBF", "single-window file with window 3"},
    };
    for (const auto& c : saves) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        QStringList args = c.args;
        args.last() = dir.filePath(args.last());
        const CliRun r = Trivelctl(QStringList{"--tcp", from.address, "save"} + args);
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
        EXPECT_EQ(Head(dir.filePath(c.written)), c.magic);
        EXPECT_TRUE(r.out.startsWith(QStringLiteral("saved %1: %2").arg(dir.filePath(c.written), c.says)))
            << r.out.toStdString();
    }

    // Contradictions are refused before the box is asked anything.
    CliRun r = Trivelctl({"--tcp", from.address, "save", "--window", "2", dir.filePath("x.wbf")});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(r.err.contains("whole-box name (.wbf)")) << r.err.toStdString();
    EXPECT_FALSE(QFile::exists(dir.filePath("x.wbf")));
    ASSERT_TRUE(QFile::rename(dir.filePath("rig.wbf"), dir.filePath("backup")));
    r = Trivelctl({"--tcp", to.address, "load", "--window", "2", dir.filePath("backup")});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(r.err.contains("is a whole-box file: it loads every window")) << r.err.toStdString();

    r = Trivelctl(QStringList{"--tcp", to.address, "load", dir.filePath("backup")} + kFast);
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, "loaded " + dir.filePath("backup") + ": whole-box file into windows 1 to 4\n");
    EXPECT_EQ(Readback(to), before);
}

// Everything in a folder, hidden files included.
QStringList Entries(const QString& dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

// A file-size limit: the save says "File too large" (rather than the signal ending trivelctl), and
// the earlier file stays whole with nothing beside it.
TEST(TrivelctlTransfer, SavePastAFileSizeLimitKeepsTheOldFile)
{
    QTemporaryDir dir;
    BoxSim sim;
    const QString path = dir.filePath("RIG.WBF");
    QFile old(path);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("earlier backup");
    old.close();
    QProcess p;
    p.setChildProcessModifier([] {
        rlimit limit{4096, 4096};
        setrlimit(RLIMIT_FSIZE, &limit);
    });
    p.start(QStringLiteral(TRIVELCTL), {"--tcp", sim.address, "save", path});
    ASSERT_TRUE(p.waitForFinished(20000));
    const QString err = QString::fromUtf8(p.readAllStandardError());
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 1);
    EXPECT_TRUE(err.contains(path
        + ": The setting file was not saved: File too large. Any earlier file of "
          "that name is unchanged."))
        << err.toStdString();
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_EQ(old.readAll(), "earlier backup");
    EXPECT_EQ(Entries(dir.path()), QStringList{"RIG.WBF"});
}

// A full disk: a tmpfs of 8 KiB in a mount namespace of its own (skipped where unshare cannot make
// one). The earlier file is read back inside the namespace, where the tmpfs lives.
TEST(TrivelctlTransfer, SaveOnAFullDiskKeepsTheOldFile)
{
    QTemporaryDir dir;
    BoxSim sim;
    const QString script = QStringLiteral("mount -t tmpfs -o size=8k none \"$1\" || exit 77\n"
                                          "printf 'earlier backup' > \"$1/RIG.WBF\"\n"
                                          "\"$2\" --tcp \"$3\" save \"$1/RIG.WBF\"\n"
                                          "rc=$?\n"
                                          "echo \"after: $(cat \"$1/RIG.WBF\")\"\n"
                                          "echo \"entries: $(ls -A \"$1\")\"\n"
                                          "exit $rc\n");
    QProcess p;
    p.start(QStringLiteral("unshare"),
        {"-rm", "sh", "-c", script, "sh", dir.path(), QStringLiteral(TRIVELCTL), sim.address});
    if (!p.waitForFinished(20000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() == 77
        || p.error() == QProcess::FailedToStart)
        GTEST_SKIP() << "no mount namespace here: " << p.readAllStandardError().toStdString();
    const QString out = QString::fromUtf8(p.readAllStandardOutput());
    const QString err = QString::fromUtf8(p.readAllStandardError());
    if (err.startsWith("unshare:"))
        GTEST_SKIP() << err.toStdString();
    EXPECT_EQ(p.exitCode(), 1) << err.toStdString();
    EXPECT_TRUE(err.contains("The setting file was not saved: No space left on device."))
        << err.toStdString();
    EXPECT_TRUE(out.contains("after: earlier backup\n")) << out.toStdString();
    EXPECT_TRUE(out.contains("entries: RIG.WBF\n")) << out.toStdString();
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
