// Every command that talks to a box, against a box that goes silent, hangs up, answers with a
// wrong code or sends half a reply after each of the replies the command needs in turn: no run
// may exit 0 when the box did not answer, and none may hang; replies split in two segments
// change nothing. In-process on the virtual clock, so silence costs nothing.

#include "CommandFaults.h"
#include "RunTrivelctl.h"
#include "cli/Commands.h"
#include "cli/FleetCommand.h"
#include "protocol/Frame.h"
#include "sim/BoxModel.h"
#include "support/FakeBoxTransport.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <set>
#include <tuple>

namespace {

using namespace trivel;
using namespace trivel::test;

QByteArray FileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(none)");
}

struct Case {
    const char* name;
    // "{dir}" stands for the run's folder.
    QStringList args;
    // Runs on the fresh box first, without faults (a mask to read, a map to load).
    QStringList setup = {};
    // The exit code of a box that answered with a wrong code, where the command's own area
    // chose it (warp push: 1, "a transfer the box answered wrongly"); 0: 3 or 4 as everywhere.
    int wrongCodeExit = 0;
};

const QString kBmp = QStringLiteral(MASK_TEST_DATA "/mono_white_first.bmp");
const QStringList kMode{"warp", "mode", "--window", "1", "9x5"};
const QStringList kUpload{"mask", "upload", "--window", "1", kBmp, "--slot", "2"};

const Case kCases[] = {
    {"identify", {"identify"}},
    {"readback", {"readback"}},
    {"set", {"set", "BRI=61"}},
    {"set_window_2", {"set", "--window", "2", "CON=33"}},
    {"set_input", {"set", "INP=1"}},
    {"get", {"get", "BRI"}},
    {"get_all", {"get"}},
    {"warp_mode", {"warp", "mode", "--window", "1", "9x5"}},
    {"warp_nudge", {"warp", "nudge", "--window", "1", "--point", "4,2", "--dx", "12"}, kMode},
    {"warp_reset", {"--yes", "warp", "reset", "--window", "1"}, kMode},
    {"warp_save_map", {"warp", "save-map", "--window", "1", "3"}},
    {"warp_load_map", {"warp", "load-map", "--window", "1", "3"}, {"warp", "save-map", "--window", "1", "3"}},
    {"warp_push", {"warp", "push", "--window", "1", "--grid", "{dir}/grid.json"}, {}, 1},
    {"mask_upload", kUpload},
    {"mask_read", {"mask", "read", "--slot", "2", "{dir}/slot.png"}, kUpload},
    {"mask_delete", {"mask", "delete", "--slot", "2"}, kUpload},
    {"mask_assign", {"mask", "assign", "--window", "1", "--slot", "2"}, kUpload},
    {"firmware", {"firmware", "{dir}/image.BIN"}},
    {"reg_read", {"reg", "read", "--window", "1"}},
    {"reg_write", {"reg", "write", "--window", "1", "12", "5A"}},
    {"save", {"save", "{dir}/saved.WBF"}},
    {"load_whole_box", {"load", "{dir}/whole.WBF", "--test-wait-percent", "0"}},
    {"load_one_window", {"load", "--window", "2", "{dir}/one.SBF", "--test-wait-percent", "0"}},
    {"preview", {"preview", "--window", "1", "--out", "{dir}/preview.png"}},
    {"export", {"export", "--window", "1", "--mpcdi", "{dir}/box.mpcdi"}},
    // The file a sound export wrote first.
    {"import", {"import", "--mpcdi", "{dir}/box.mpcdi", "--window", "1", "--undo", "{dir}/undo.WBF"},
        {"export", "--window", "1", "--mpcdi", "{dir}/box.mpcdi"}},
};

class CommandSweep : public ::testing::TestWithParam<std::tuple<int, Fault>> {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        QFile grid(path("grid.json"));
        ASSERT_TRUE(grid.open(QIODevice::WriteOnly));
        grid.write(R"({"pattern": 1, "points": [{"column": 4, "row": 4, "dx": 50, "dy": 0}]})");
        grid.close();
        // A small image: the short download procedure.
        QFile image(path("image.BIN"));
        ASSERT_TRUE(image.open(QIODevice::WriteOnly));
        QByteArray bytes(4096, '\0');
        for (int i = 0; i < bytes.size(); ++i)
            bytes[i] = char(i * 7 + 3);
        image.write(bytes);
        image.close();
        sim::BoxModel source;
        ASSERT_EQ(RunOn(source, {"save", path("whole.WBF")}).exitCode, 0);
        ASSERT_EQ(RunOn(source, {"save", "--window", "2", path("one.SBF")}).exitCode, 0);
    }
    QString path(const char* name) const { return dir.filePath(QLatin1String(name)); }
    QStringList inDir(QStringList args) const
    {
        return args.replaceInStrings(QStringLiteral("{dir}"), dir.path());
    }

    QTemporaryDir dir;
};

// One case per command and kind of fault, so the suite spreads the sweep over the cores.
TEST_P(CommandSweep, NoFalseSuccessAndNoHangWhereverTheBoxFails)
{
    const Case& c = kCases[std::get<0>(GetParam())];
    const Fault fault = std::get<1>(GetParam());
    const QStringList args = inDir(c.args);
    const QStringList setup = inDir(c.setup);
    sim::BoxModel clean;
    if (!setup.isEmpty()) {
        ASSERT_EQ(RunOn(clean, setup).exitCode, 0);
    }
    const Outcome good = RunOn(clean, args);
    ASSERT_EQ(good.exitCode, 0) << "the command works against a sound box";
    ASSERT_FALSE(good.hung);
    ASSERT_GT(good.repliesBeforeDecision, 0);

    // Replies in two segments change nothing: the same requests, the same success.
    if (fault == Fault::Split) {
        sim::BoxModel box;
        if (!setup.isEmpty()) {
            ASSERT_EQ(RunOn(box, setup).exitCode, 0);
        }
        const Outcome split = RunOn(box, args, Fault::Split);
        EXPECT_EQ(split.exitCode, 0) << "replies split in two segments:\n" << split.err.toStdString();
        EXPECT_FALSE(split.hung);
        EXPECT_EQ(split.log, good.log);
        std::printf("sweep %-16s %-16s runs    1  failed %d  hangs %d\n", c.name, FaultName(fault),
            int(split.exitCode != 0), int(split.hung));
        return;
    }

    int runs = 0, falseSuccesses = 0, hangs = 0, unexpected = 0;
    {
        for (int n = 0; n < good.repliesBeforeDecision; ++n) {
            // An older file of the name must survive a save that fails.
            QFile::remove(path("saved.WBF"));
            QFile old(path("saved.WBF"));
            ASSERT_TRUE(old.open(QIODevice::WriteOnly));
            old.write("older file");
            old.close();

            sim::BoxModel box;
            if (!setup.isEmpty()) {
                ASSERT_EQ(RunOn(box, setup).exitCode, 0);
            }
            const Outcome o = RunOn(box, args, fault, n);
            ++runs;
            falseSuccesses += o.exitCode == 0;
            hangs += o.hung;
            EXPECT_FALSE(o.hung) << FaultName(fault) << " after " << n;
            const bool ownCode
                = fault == Fault::WrongCode && c.wrongCodeExit != 0 && o.exitCode == c.wrongCodeExit;
            if (!o.hung && o.exitCode != 3 && o.exitCode != 4 && !ownCode) {
                ++unexpected;
                ADD_FAILURE() << FaultName(fault) << " after " << n << " replies: exit " << o.exitCode;
            }
            EXPECT_EQ(FileBytes(path("saved.WBF")), QByteArray("older file"))
                << FaultName(fault) << " after " << n;
            EXPECT_LE(LinkFailureLines(o.err), 1) << FaultName(fault) << " after " << n << ":\n"
                                                  << o.err.toStdString();
            EXPECT_FALSE(HasInternalLines(o.err)) << FaultName(fault) << " after " << n << ":\n"
                                                  << o.err.toStdString();
        }
    }
    std::printf("sweep %-16s %-16s runs %4d  false successes %3d  hangs %d  other exit codes %d\n", c.name,
        FaultName(fault), runs, falseSuccesses, hangs, unexpected);
}

INSTANTIATE_TEST_SUITE_P(EveryCommand, CommandSweep,
    ::testing::Combine(::testing::Range(0, int(std::size(kCases))),
        ::testing::Values(
            Fault::Split, Fault::Silent, Fault::Close, Fault::WrongCode, Fault::HalfThenSilent)),
    [](const ::testing::TestParamInfo<std::tuple<int, Fault>>& info) {
        std::string name
            = std::string(kCases[std::get<0>(info.param)].name) + "_" + FaultName(std::get<1>(info.param));
        std::replace(name.begin(), name.end(), '-', '_');
        return name;
    });

} // namespace

namespace {

// A window count or frame size no box sends is refused (exit 4) before any command acts on the
// clamped values the core goes on with, and the message names the field.
TEST(CommandLine, AnImplausibleIdentifyReplyIsRefusedNamingTheField)
{
    struct Row {
        const char* name;
        std::uint8_t boardKind;
        std::uint16_t width01, height01, width23, height23;
        const char* field; // empty: plausible
    };
    const Row rows[] = {
        {"four windows", 0x84, 1920, 1080, 1920, 1080, ""},
        {"two windows, no second pair", 0x01, 3840, 2160, 0, 0, ""},
        {"nine windows", 0x89, 1920, 1080, 1920, 1080, "window count 9"},
        {"no windows", 0x80, 1920, 1080, 1920, 1080, "window count 0"},
        {"huge frame", 0x84, 41710, 63635, 1920, 1080, "frame size of windows 1 and 2: 41710 x 63635"},
        {"empty second pair", 0x84, 1920, 1080, 0, 1080, "frame size of windows 3 and 4: 0 x 1080"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<std::uint8_t> bytes(kFrameSize, 0);
        FrameView reply(bytes.data(), bytes.size());
        reply.setCode(Cmd::Identify);
        reply.put8(14, row.boardKind);
        reply.put16(16, row.width01);
        reply.put16(18, row.height01);
        reply.put16(20, row.width23);
        reply.put16(22, row.height23);
        const QString why = cli::ImplausibleIdentify(reply);
        EXPECT_EQ(why.isEmpty(), !*row.field) << why.toStdString();
        if (*row.field) {
            EXPECT_TRUE(why.startsWith(QLatin1String(row.field))) << why.toStdString();
        }

        sim::BoxIdentity identity;
        identity.boardKind = row.boardKind;
        identity.frameWidth01 = row.width01;
        identity.frameHeight01 = row.height01;
        identity.frameWidth23 = row.width23;
        identity.frameHeight23 = row.height23;
        for (const QStringList& command : {QStringList{"identify"}, QStringList{"set", "BRI=61"}}) {
            sim::BoxModel box(identity);
            const Outcome o = RunOn(box, command);
            EXPECT_EQ(o.exitCode, *row.field ? 4 : 0) << command.join(' ').toStdString();
            // Refused before the command's own frames: no setting went out.
            if (*row.field) {
                EXPECT_EQ(std::count_if(o.log.begin(), o.log.end(),
                              [](const std::string& l) { return l.find("BRI") != std::string::npos; }),
                    0);
            }
        }
    }
}

} // namespace

namespace {

// Windows are 1..4 in every option: 0 and 5 are usage errors, refused before any link opens.
TEST(CommandLine, EveryWindowOptionTakesOneToFour)
{
    const QStringList commands[] = {
        {"warp", "mode", "--window", "@", "9x5"},
        {"warp", "nudge", "--window", "@", "--point", "4,2", "--dx", "1"},
        {"reg", "read", "--window", "@"},
        {"set", "--window", "@", "BRI=1"},
        {"get", "--window", "@", "BRI"},
        {"mask", "assign", "--window", "@", "--slot", "1"},
        {"preview", "--window", "@", "--out", "x.png"},
        {"save", "--window", "@", "x.SBF"},
    };
    cli::BoxEnv env;
    bool opened = false;
    env.opener = [&opened](const QString&, quint16, QString*) {
        opened = true;
        return std::unique_ptr<Transport>();
    };
    for (const QStringList& command : commands) {
        for (const char* window : {"0", "5"}) {
            QStringList args = QStringList{"--tcp", "box"} + command;
            args.replaceInStrings(QStringLiteral("@"), QLatin1String(window));
            SCOPED_TRACE(args.join(' ').toStdString());
            EXPECT_EQ(cli::RunCommandLine(args, env), 2);
        }
    }
    EXPECT_FALSE(opened);
}

TEST(CommandLine, EachCommandsHelpSaysHowWindowsAreNumbered)
{
    for (const char* command : {"identify", "warp", "reg", "set", "mask", "preview", "save"}) {
        SCOPED_TRACE(command);
        const CliRun r = Trivelctl({command, "--help"});
        EXPECT_EQ(r.exitCode, 0);
        EXPECT_TRUE(r.out.contains("1..4") || r.out.contains("1 to 4")) << r.out.toStdString();
    }
}

// backup and restore: a box named twice runs once, and a restore takes only the names a backup
// writes for that very box.
TEST(CommandLine, HostsOnceAndBackupNamesExactly)
{
    EXPECT_EQ(ParseHostsFile("10.0.0.1\n10.0.0.2:7001 # rack 2\n\n10.0.0.1\n# 10.0.0.3\n10.0.0.2:7001\n"),
        (QStringList{"10.0.0.1", "10.0.0.2:7001"}));

    QTemporaryDir dir;
    const QDir d(dir.path());
    for (const char* name :
        {"10.0.0.1-20260101-120000.WBF", "10.0.0.1-20260102-120000.WBF", "10.0.0.1_7001-20260105-120000.WBF",
            "10.0.0.1-copy-20260109-120000.WBF", "10.0.0.1-20260110-120000.WBF.bak"}) {
        QFile f(d.filePath(QLatin1String(name)));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    EXPECT_EQ(
        QFileInfo(LatestBackup(d, "10.0.0.1")).fileName(), QStringLiteral("10.0.0.1-20260102-120000.WBF"));
    EXPECT_EQ(QFileInfo(LatestBackup(d, "10.0.0.1:7001")).fileName(),
        QStringLiteral("10.0.0.1_7001-20260105-120000.WBF"));
    EXPECT_TRUE(LatestBackup(d, "10.0.0.2").isEmpty());
}

} // namespace

namespace {

// A box that answered and then hung up is reported as such, not as one never reached.
TEST(CommandLine, BackupTellsALostBoxFromAnUnreachableOne)
{
    BoxSim dying({"--close-after", "30"});
    ASSERT_FALSE(dying.address.isEmpty());
    QTemporaryDir dir;
    const QString hosts = dir.filePath("hosts");
    QFile f(hosts);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write((dying.address + "\n127.0.0.1:1\n" + dying.address + "\n").toUtf8());
    f.close();
    const CliRun r = Trivelctl({"backup", "--hosts", hosts, "--out", dir.filePath("out")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.out.contains(dying.address + ": link lost")) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("127.0.0.1:1: unreachable")) << r.out.toStdString();
    EXPECT_EQ(r.out.count(dying.address), 1) << "listed twice, run once: " << r.out.toStdString();
    // The report keeps the hosts file's order, though the unreachable box is done first.
    EXPECT_LT(r.out.indexOf(dying.address), r.out.indexOf("127.0.0.1:1")) << r.out.toStdString();
    EXPECT_TRUE(r.err.contains("line 3 names the box of line 1 again")) << r.err.toStdString();
    EXPECT_TRUE(QDir(dir.filePath("out")).entryList(QDir::Files).isEmpty());
}

} // namespace

namespace {

// After a whole-box load the read-back ends with a click on window button 1, as in the window:
// the box is told window 1 is current before the disconnect's neutral state.
TEST(CommandLine, AWholeBoxLoadEndsOnWindowOneAsTheWindowDoes)
{
    QTemporaryDir dir;
    sim::BoxModel source;
    ASSERT_EQ(RunOn(source, {"save", dir.filePath("w.WBF")}).exitCode, 0);
    sim::BoxModel box;
    const Outcome o = RunOn(box, {"load", dir.filePath("w.WBF"), "--test-wait-percent", "0"});
    ASSERT_EQ(o.exitCode, 0);
    const auto neutral = std::find(o.log.rbegin(), o.log.rend(), std::string("2030"));
    ASSERT_NE(neutral, o.log.rend());
    const auto select
        = std::find_if(neutral, o.log.rend(), [](const std::string& l) { return l.rfind("2015", 0) == 0; });
    const auto readback = std::find(neutral, o.log.rend(), std::string("100c S00PBOR000"));
    ASSERT_NE(select, o.log.rend()) << "no window selection before the neutral state";
    EXPECT_LT(select - o.log.rbegin(), readback - o.log.rbegin()) << "selected after the read-back";
}

} // namespace

namespace {

// The core's diagnostic lines and the frames are for --verbose; without it the command speaks
// in its own words only, also offline.
TEST(CommandLine, TheCoreSpeaksOnlyWithVerboseWhichLogsEveryFrame)
{
    sim::BoxModel box;
    const Outcome quiet = RunOn(box, {"identify"});
    ASSERT_EQ(quiet.exitCode, 0);
    EXPECT_FALSE(HasInternalLines(quiet.err)) << quiet.err.toStdString();
    EXPECT_FALSE(quiet.err.contains("> 0001")) << quiet.err.toStdString();

    const Outcome loud = RunOn(box, {"--verbose", "identify"});
    ASSERT_EQ(loud.exitCode, 0);
    EXPECT_TRUE(loud.err.contains("trivelctl: > 0001 ")) << loud.err.toStdString();
    EXPECT_TRUE(loud.err.contains("trivelctl: > 100c S00MDNR000")) << loud.err.toStdString();
    EXPECT_TRUE(loud.err.contains("trivelctl: < 100c S00MDN+")) << loud.err.toStdString();
    EXPECT_TRUE(HasInternalLines(loud.err)) << "the connect memo: " << loud.err.toStdString();

    QTemporaryDir dir;
    QFile bad(dir.filePath("bad.WBF"));
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write(QByteArray(3000, 'x'));
    bad.close();
    StderrCapture capture;
    EXPECT_EQ(cli::RunCommandLine({"file", "check", bad.fileName()}, cli::BoxEnv{}), 1);
    const QString err = capture.take();
    EXPECT_FALSE(HasInternalLines(err)) << err.toStdString();
}

// The load's progress counts the windows it sends: one for a single-window file.
TEST(CommandLine, ALoadCountsTheWindowsItSends)
{
    QTemporaryDir dir;
    sim::BoxModel source;
    ASSERT_EQ(RunOn(source, {"save", "--window", "2", dir.filePath("one.SBF")}).exitCode, 0);
    ASSERT_EQ(RunOn(source, {"save", dir.filePath("all.WBF")}).exitCode, 0);
    sim::BoxModel box;
    const Outcome one
        = RunOn(box, {"load", "--window", "2", dir.filePath("one.SBF"), "--test-wait-percent", "0"});
    ASSERT_EQ(one.exitCode, 0) << one.err.toStdString();
    EXPECT_TRUE(one.err.contains("window 2 (1 of 1)")) << one.err.toStdString();
    EXPECT_FALSE(one.err.contains("2 of 2")) << one.err.toStdString();
    const Outcome all = RunOn(box, {"load", dir.filePath("all.WBF"), "--test-wait-percent", "0"});
    ASSERT_EQ(all.exitCode, 0) << all.err.toStdString();
    for (const char* step : {"window 1 of 4", "window 4 of 4", "done"})
        EXPECT_TRUE(all.err.contains(QLatin1String(step))) << step << "\n" << all.err.toStdString();
}

// Every command and sub-command shows its own usage for --help, and a bare 'warp' its commands.
TEST(CommandLine, EachCommandShowsItsOwnUsage)
{
    const struct {
        QStringList args;
        const char* shows;
    } rows[] = {
        {{"warp", "--help"}, "warp mode --window N MODE"},
        {{"warp"}, "warp mode --window N MODE"},
        {{"warp", "table", "--help"}, "trivelctl warp table --frame WxH"},
        {{"warp", "mode", "--help"}, "warp mode --window N MODE"},
        {{"file", "check", "--help"}, "trivelctl file check"},
        {{"file", "dump", "-h"}, "trivelctl file dump"},
        {{"mask", "upload", "--help"}, "mask upload --window N"},
        {{"reg", "--help"}, "reg read"},
        {{"firmware", "--help"}, "firmware info FILE.BIN"},
        {{"backup", "--help"}, "backup --hosts FILE --out DIR"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.args.join(' ').toStdString());
        const CliRun r = Trivelctl(row.args);
        EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
        EXPECT_TRUE(r.out.contains(QLatin1String(row.shows))) << r.out.toStdString();
    }
}

} // namespace
