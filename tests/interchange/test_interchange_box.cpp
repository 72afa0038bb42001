// trivelctl export and import on a box: the simulated box in process on the virtual clock. An
// import leaves the box holding exactly what the plan says, after the undo file; a box that stops
// answering part-way never gives exit 0.

#include "InterchangeFixtures.h"
#include "cli/Bootstrap.h"
#include "cli/Commands.h"
#include "files/SettingFile.h"
#include "interchange/ImportPlan.h"
#include "interchange/Mpcdi.h"
#include "protocol/Frame.h"
#include "sim/BoxModel.h"
#include "support/FakeBoxTransport.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>

namespace trivel {
namespace {

struct BoxRun {
    int exitCode = -1;
    std::string out;
    bool hung = false;
    int repliesAtClosing = -1; // before the disconnect's own requests
};

BoxRun RunOn(sim::BoxModel& model, const QStringList& args)
{
    VirtualClock clock;
    cli::BoxEnv env;
    env.clock = &clock;
    env.opener = [&](const QString&, quint16, QString*) {
        auto box = std::make_unique<test::FakeBoxTransport>(model);
        box->useClock(&clock);
        return std::unique_ptr<Transport>(std::move(box));
    };
    BoxRun r;
    env.hung = [&r] { r.hung = true; };
    env.closing = [&r, &model] {
        if (r.repliesAtClosing < 0)
            r.repliesAtClosing = model.repliesSent();
    };
    testing::internal::CaptureStdout();
    r.exitCode = cli::RunCommandLine(QStringList{"--tcp", "box"} + args, env);
    r.out = testing::internal::GetCapturedStdout();
    return r;
}

QByteArray Read(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

std::vector<std::uint8_t> TableBytes(const SourceTable& t)
{
    const auto b = SourceTableBytes(t);
    return {b.begin(), b.end()};
}

class InterchangeBox : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        // A strongly warped 1920 x 1080 window with blends and black levels: what another tool
        // hands over as region "window1".
        source = test::RandomWarpedWindow(7, 1920, 1080);
        const auto archive
            = BuildMpcdiArchive({source}, QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5)), nullptr);
        ASSERT_TRUE(archive);
        mpcdi = dir.filePath("other.mpcdi");
        QFile f(mpcdi);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(*archive);
    }

    // The plan the command must send: the region into window 2 of a box with 1920 x 1080 frames
    // and the box's blend record as it starts.
    ImportPlan planFor(bool points) const
    {
        const auto contents = ReadMpcdiArchive(Read(mpcdi), nullptr);
        const auto region = ReadMpcdiRegion(*contents, QStringLiteral("window1"), nullptr);
        ImportOptions options;
        options.window = 1;
        options.frameWidth = 1920;
        options.frameHeight = 1080;
        options.pointOffsets = points;
        const sim::BoxModel fresh;
        std::copy(fresh.settings().windows[1].blend.begin(), fresh.settings().windows[1].blend.end(),
            options.currentBlend.bytes.begin());
        return *PlanImport(*region, options, nullptr);
    }

    QStringList importArgs(const QStringList& more = {}) const
    {
        return QStringList{"import", "--mpcdi", mpcdi, "--window", "2", "--region", "window1", "--undo",
                   dir.filePath("undo.WBF")}
        + more;
    }

    QTemporaryDir dir;
    WindowExport source;
    QString mpcdi;
};

// The recognised blend values the box must hold: widths, shifts, curves, gains, gamma offset and
// the nine regions' black levels (bytes 0..52 of the record); colour gain and offset and the
// corners are the box's own.
void ExpectBlendAsPlanned(const sim::BoxModel& box, const ImportPlan& plan)
{
    const auto& held = box.settings().windows[1].blend;
    for (std::size_t i = 0; i < 53; ++i)
        EXPECT_EQ(held[i], plan.blend.record.bytes[i]) << "blend byte " << i;
}

TEST_F(InterchangeBox, ImportSavesTheUndoFileThenSendsTheTablesAndTheBlend)
{
    sim::BoxModel box;
    const QByteArray before = [&] {
        sim::BoxModel copy;
        RunOn(copy, {"save", dir.filePath("before.WBF")});
        return Read(dir.filePath("before.WBF"));
    }();
    const BoxRun r = RunOn(box, importArgs());
    ASSERT_EQ(r.exitCode, 0) << r.out;
    EXPECT_FALSE(r.hung);
    const ImportPlan plan = planFor(false);

    // The undo file is the box as it was: the same bytes a save of an untouched box writes.
    const QByteArray undo = Read(dir.filePath("undo.WBF"));
    EXPECT_EQ(SettingFileKindOf(undo), SettingFileKind::WholeBox);
    EXPECT_EQ(undo, before);
    EXPECT_NE(r.out.find("Undo: " + dir.filePath("undo.WBF").toStdString()), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Sent: the User Map tables and the blend to window 2"), std::string::npos) << r.out;

    // The whole tables once, then their apply, into window 2.
    EXPECT_EQ(box.requests(Cmd::UserMapSourceX), 44);
    EXPECT_EQ(box.requests(Cmd::UserMapSourceY), 44);
    EXPECT_EQ(box.requests(Cmd::UserMapApply), 1);
    ASSERT_TRUE(box.userMapTables(1));
    EXPECT_FALSE(box.userMapTables(0));
    EXPECT_EQ(box.userMapTables(1)->x, TableBytes(plan.sourceX));
    EXPECT_EQ(box.userMapTables(1)->y, TableBytes(plan.sourceY));
    ExpectBlendAsPlanned(box, plan);
    // The region's blend is the source window's: nothing of it was lost on the way.
    for (int side = 0; side < 4; ++side)
        EXPECT_EQ(box.settings().windows[1].blend[std::size_t(2 * side)],
            source.blend.bytes[std::size_t(2 * side)]);
}

TEST_F(InterchangeBox, ImportAsPointOffsetsPutsTheWindowInPointMode)
{
    sim::BoxModel box;
    const BoxRun r = RunOn(box, importArgs({"--points"}));
    ASSERT_EQ(r.exitCode, 0) << r.out;
    const ImportPlan plan = planFor(true);
    const sim::WindowState& w = box.settings().windows[1];
    EXPECT_EQ(w.controlPattern, 100);
    EXPECT_EQ(box.requests(Cmd::PointModeChunk), 3);
    EXPECT_EQ(box.requests(Cmd::UserMapApply), 0);
    for (int k = 0; k < kGridSize; ++k)
        for (int j = 0; j < kGridSize; ++j) {
            const std::size_t at = 4 * std::size_t(k * kGridSize + j);
            const OffsetPair p = plan.offsets[std::size_t(k)][std::size_t(j)];
            EXPECT_EQ(std::int16_t(w.pointOffsets[at] | w.pointOffsets[at + 1] << 8), p.dx) << k << "," << j;
            EXPECT_EQ(std::int16_t(w.pointOffsets[at + 2] | w.pointOffsets[at + 3] << 8), p.dy)
                << k << "," << j;
        }
    ExpectBlendAsPlanned(box, plan);
}

// Silence at any of these points of the import (during the undo save, the table transfer, the
// blend values, the last reply) is a link failure; the undo file stays once it was written.
TEST_F(InterchangeBox, ABoxThatGoesSilentMidImportFails)
{
    sim::BoxModel counted;
    const BoxRun sound = RunOn(counted, importArgs());
    ASSERT_EQ(sound.exitCode, 0);
    const int all = sound.repliesAtClosing;
    sim::BoxModel readOnly;
    const BoxRun readback = RunOn(readOnly, {"readback"});
    ASSERT_EQ(readback.exitCode, 0);
    const int connect = readback.repliesAtClosing;
    ASSERT_GT(all, connect + 100);
    for (const int after : {connect - 2, connect + 1, connect + 40, all - 40, all - 1}) {
        SCOPED_TRACE(after);
        QFile::remove(dir.filePath("undo.WBF"));
        sim::BoxModel box;
        box.silentAfter = after;
        const BoxRun r = RunOn(box, importArgs());
        EXPECT_EQ(r.exitCode, 3);
        EXPECT_FALSE(r.hung);
        EXPECT_EQ(r.out.find("Sent:"), std::string::npos);
        if (after >= connect + 40) {
            EXPECT_EQ(SettingFileKindOf(Read(dir.filePath("undo.WBF"))), SettingFileKind::WholeBox);
        }
    }
    // A wrong reply to a table chunk is the box's fault.
    sim::BoxModel wrong;
    wrong.wrongCodeFor = Cmd::UserMapSourceY;
    EXPECT_EQ(RunOn(wrong, importArgs()).exitCode, 4);
}

// Refused before anything is sent: the window the box lacks, an undo file that cannot be written.
TEST_F(InterchangeBox, ImportRefusesWithoutSendingAnything)
{
    struct Case {
        const char* name;
        sim::BoxIdentity identity;
        QStringList args;
    };
    sim::BoxIdentity twoWindows;
    twoWindows.boardKind = 0x01;
    const Case cases[] = {
        {"window the box lacks", twoWindows,
            {"import", "--mpcdi", mpcdi, "--window", "3", "--undo", dir.filePath("undo.WBF")}},
        {"undo not writable", {},
            {"import", "--mpcdi", mpcdi, "--window", "2", "--undo", dir.filePath("none/undo.WBF")}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sim::BoxModel box(c.identity);
        const BoxRun r = RunOn(box, c.args);
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_EQ(box.requests(Cmd::UserMapSourceX), 0);
        const std::vector<std::string> settings = box.settingsReceived();
        EXPECT_TRUE(
            std::ranges::none_of(settings, [](const std::string& t) { return t.starts_with("s00LEB"); }));
    }
}

// An export from the box: every window it has (or the one asked for), as from a setting file.
TEST_F(InterchangeBox, ExportFromTheBoxWritesEveryWindow)
{
    sim::BoxModel box;
    const QString out = dir.filePath("box.mpcdi");
    BoxRun r = RunOn(box, {"export", "--mpcdi", out, "--tables", dir.filePath("tables")});
    ASSERT_EQ(r.exitCode, 0) << r.out;
    const auto contents = ReadMpcdiArchive(Read(out), nullptr);
    ASSERT_TRUE(contents);
    EXPECT_EQ(contents->doc.regionIds(), (QStringList{"window1", "window2", "window3", "window4"}));
    EXPECT_NE(r.out.find("Window 1: 1920 x 1080"), std::string::npos) << r.out;

    r = RunOn(box, {"export", "--window", "3", "--pfm", dir.filePath("pfm")});
    ASSERT_EQ(r.exitCode, 0) << r.out;
    EXPECT_TRUE(Read(dir.filePath("pfm/window-3.pfm")).startsWith("PF\n121 136\n"));
    EXPECT_FALSE(QFile::exists(dir.filePath("pfm/window-1.pfm")));
}

// What follows the table apply, byte for byte as the blend sliders send it: the record's values,
// then each region's point and its black levels. A plain window: a 200 px left blend shifted by
// 10, the curve 2.20 with gains 50 in every channel, and a lift of 12 in red in the middle.
TEST(InterchangeBoxFrames, TheBlendGoesOutAsTheSlidersSendIt)
{
    QTemporaryDir dir;
    WindowExport w;
    w.blend.setEdgeWidth(0, 200);
    w.blend.setEdgeShift(0, 10);
    w.blend.gammaOffset() = 220;
    for (int c = 0; c < 3; ++c) {
        w.blend.setTransitionGamma(c, 220);
        w.blend.gammaGain(c) = 50;
    }
    w.blend.blackLevel(0, 0) = 12; // slot 0: the middle part
    const auto archive = BuildMpcdiArchive({w}, QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5)), nullptr);
    ASSERT_TRUE(archive);
    QFile f(dir.filePath("plain.mpcdi"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(*archive);
    f.close();
    sim::BoxModel box;
    ASSERT_EQ(RunOn(box,
                  {"import", "--mpcdi", dir.filePath("plain.mpcdi"), "--window", "2", "--undo",
                      dir.filePath("undo.WBF")})
                  .exitCode,
        0);
    std::vector<std::string> after;
    bool applied = false;
    for (const auto& frame : box.received()) {
        const std::string line = sim::BoxModel::describe(frame);
        if (applied && line.starts_with("0x1002 "))
            after.push_back(line.substr(7));
        applied = applied || line == "0x2012";
    }
    const std::vector<std::string> expected{"s00LEB+200", "s00REB+000", "s00TEB+000", "s00BEB+000",
        "s00EFL+010", "s00EFR+000", "s00EFT+000", "s00EFB+000", "s00EBR+220", "s00EBG+220", "s00EBB+220",
        "s00GGR+050", "s00GGG+050", "s00GGB+050", "s00EBL+220", "s0095I+000", "s00BCR+000", "s00BCG+000",
        "s00BCB+000", "s0095I+004", "s00BCR+000", "s00BCG+000", "s00BCB+000", "s0095I+008", "s00BCR+000",
        "s00BCG+000", "s00BCB+000", "s0095I+018", "s00BCR+000", "s00BCG+000", "s00BCB+000", "s0095I+022",
        "s00BCR+012", "s00BCG+000", "s00BCB+000", "s0095I+026", "s00BCR+000", "s00BCG+000", "s00BCB+000",
        "s0095I+036", "s00BCR+000", "s00BCG+000", "s00BCB+000", "s0095I+040", "s00BCR+000", "s00BCG+000",
        "s00BCB+000", "s0095I+044", "s00BCR+000", "s00BCG+000", "s00BCB+000"};
    EXPECT_EQ(after, expected);
}

} // namespace
} // namespace trivel
