// trivelctl file dump/diff/check: the real executable on setting files written by the core.

#include "RunTrivelctl.h"
#include "box/Box.h"

#include "files/SettingFile.h"
#include "link/Clock.h"
#include "session/Session.h"
#include "support/RecordingUi.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

using namespace trivel;

struct TrivelctlFile : ::testing::Test {
    QTemporaryDir dir;
    VirtualClock clock;
    test::RecordingUi ui;
    Box tool{clock, ui};
    Session& s = tool.session;

    TrivelctlFile()
    {
        s.BoardModel = 115;
        s.settings().WindowSettings.BRI = {10, 20, 30, 40};
        s.box->warp.state().model[1].PointOffsets[3][5] = {-600, 599};
        s.FileInputSize = {{{1920, 1080}, {1280, 720}, {0, 0}, {3840, 2160}}};
        s.settings().DCM = {1, 0, 1, 0};
    }
    QString save(const QString& name)
    {
        const QString p = dir.filePath(name);
        EXPECT_TRUE(SaveSettingFile(s, p, ResolveSaveName(p, true).wholeBox).ok);
        return p;
    }
    QString write(const QString& name, const QByteArray& data)
    {
        QFile f(dir.filePath(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(data);
        return f.fileName();
    }
};

TEST_F(TrivelctlFile, DumpUsesTheReadbackNames)
{
    s.setFlag(Flag::UserMask, true);
    s.masks->state().MaskAssignment = {0, 0, 0, 4};
    s.masks->state().MonoSlotCopy[3].writable()[4] = 64; // a 64-byte stream in slot 4
    const CliRun r = Trivelctl({"file", "dump", save("RIG.WBF")});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QJsonObject o = QJsonDocument::fromJson(r.out.toUtf8()).object();
    EXPECT_EQ(o["WindowSettings"].toObject()["BRI"].toArray(), (QJsonArray{10, 20, 30, 40}));
    EXPECT_EQ(o["DCM"].toArray(), (QJsonArray{1, 0, 1, 0}));
    EXPECT_EQ(o["MaskAssignment"].toArray(), (QJsonArray{0, 0, 0, 4}));
    EXPECT_EQ(o["PointOffsets"].toArray()[1].toArray()[3].toArray()[5].toArray(), (QJsonArray{-600, 599}));
    EXPECT_EQ(o["FileInputSize"].toArray()[3].toArray(), (QJsonArray{3840, 2160}));
    EXPECT_EQ(o["MaskSlotSizes"].toArray()[3].toInt(), 64);
    EXPECT_FALSE(o["MaskSlotSha1"].toArray()[3].toString().isEmpty());
    EXPECT_TRUE(o["MaskSlotSha1"].toArray()[2].toString().isEmpty());
    const QJsonObject file = o["File"].toObject();
    EXPECT_EQ(file["Magic"].toString(), "WPM");
    EXPECT_EQ(file["Version"].toInt(), 11);
    EXPECT_EQ(file["BoardModel"].toInt(), 115);
    EXPECT_TRUE(file["UserMask"].toBool());
    EXPECT_EQ(file["Layout"].toString(), "whole-box");

    s.CurrentWindow = 2;
    const CliRun single = Trivelctl({"file", "dump", save("win3.SBF")});
    ASSERT_EQ(single.exitCode, 0) << single.err.toStdString();
    const QJsonObject w = QJsonDocument::fromJson(single.out.toUtf8()).object();
    EXPECT_EQ(w["WindowSettings"].toObject()["BRI"].toArray(), (QJsonArray{30}));
    EXPECT_EQ(w["DCM"].toArray(), (QJsonArray{1}));
    EXPECT_EQ(w["File"].toObject()["Layout"].toString(), "single-window");
}

TEST_F(TrivelctlFile, DiffListsTheFieldsPerWindow)
{
    const QString a = save("A.WBF");
    const CliRun same = Trivelctl({"file", "diff", a, save("B.WBF")});
    EXPECT_EQ(same.exitCode, 0) << same.err.toStdString();
    EXPECT_TRUE(same.out.isEmpty()) << same.out.toStdString();

    s.settings().WindowSettings.BRI[2] = 31;
    s.box->warp.state().model[1].PointOffsets[3][5].dy = 0;
    const CliRun differ = Trivelctl({"file", "diff", a, save("C.WBF")});
    EXPECT_EQ(differ.exitCode, 1);
    EXPECT_EQ(differ.out,
        "window 2:\n  PointOffsets[3][5][1]: 599 -> 0\n"
        "window 3:\n  WindowSettings.BRI: 30 -> 31\n");

    s.CurrentWindow = 1;
    const CliRun layouts = Trivelctl({"file", "diff", a, save("D.SBF")});
    EXPECT_EQ(layouts.exitCode, 1);
    EXPECT_TRUE(layouts.out.startsWith("layouts differ")) << layouts.out.toStdString();

    EXPECT_EQ(Trivelctl({"file", "diff", a, dir.filePath("missing.WBF")}).exitCode, 2);
}

TEST_F(TrivelctlFile, CheckRunsTheHeaderChecksWithoutABox)
{
    const QString good = save("RIG.WBF");
    const CliRun ok = Trivelctl({"file", "check", good});
    EXPECT_EQ(ok.exitCode, 0);
    EXPECT_TRUE(ok.out.contains("Version: 11\n"));
    EXPECT_TRUE(ok.out.contains("BoardModel: 115\n"));
    EXPECT_TRUE(ok.out.endsWith("OK\n"));

    QFile f(good);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    const struct {
        const char* name;
        QString path;
        QStringList extra;
        QString says;
    } cases[] = {
        {"neither magic", write("rig.WBF.bak", "XYZ" + bytes.mid(3)), {},
            "Refused: File is not correct!! [ 11]"},
        {"for a model 116 box", good, {"--model", "116"}, "Refused: File is not for this Model!! [ 115]"},
        {"for a box with masks", good, {"--user-mask"}, "Refused: File is not for this Model!! [ 115]"},
        {"cut short", write("CUT.WBF", bytes.left(5000)), {}, "Refused: File is incomplete: it ends inside"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const CliRun r = Trivelctl(QStringList{"file", "check", c.path} + c.extra);
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_TRUE(r.out.contains(c.says)) << r.out.toStdString();
    }
}

// The kind is the file's own: a whole-box file saved or renamed with a lower-case or another
// extension is checked and dumped as one, and the check says when the name disagrees.
TEST_F(TrivelctlFile, CheckAndDumpTakeTheKindFromTheFile)
{
    const QByteArray whole = SettingFileBytes(s, true);
    s.CurrentWindow = 2;
    const QByteArray single = SettingFileBytes(s, false);
    const struct {
        const char* name;
        QByteArray bytes;
        const char* layout;
        bool note;
    } cases[] = {
        {"rig.wbf", whole, "whole-box", false},
        {"rig", whole, "whole-box", false},
        {"rig.SBF", whole, "whole-box", true},
        {"WIN3.WBF", single, "single-window", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = write(c.name, c.bytes);
        const CliRun check = Trivelctl({"file", "check", path});
        EXPECT_EQ(check.exitCode, 0) << check.out.toStdString();
        EXPECT_TRUE(check.out.startsWith(QStringLiteral("Layout: %1\n").arg(c.layout)))
            << check.out.toStdString();
        EXPECT_EQ(check.out.contains("Note: the name says"), c.note) << check.out.toStdString();
        const CliRun dump = Trivelctl({"file", "dump", path});
        ASSERT_EQ(dump.exitCode, 0) << dump.err.toStdString();
        const QJsonObject o = QJsonDocument::fromJson(dump.out.toUtf8()).object();
        EXPECT_EQ(o["File"].toObject()["Layout"].toString(), c.layout);
        EXPECT_EQ(o["WindowSettings"].toObject()["BRI"].toArray(),
            QByteArray(c.layout) == "whole-box" ? (QJsonArray{10, 20, 30, 40}) : (QJsonArray{30}));
    }
}

// A named pipe would block a read for ever: it is refused at once, before any box is asked.
TEST_F(TrivelctlFile, NamedPipeIsRefusedAtOnce)
{
    const QString pipe = dir.filePath("pipe.WBF");
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    const QStringList commands[] = {
        {"file", "check", pipe},
        {"file", "dump", pipe},
        {"--tcp", "127.0.0.1:1", "load", pipe},
    };
    for (const QStringList& args : commands) {
        SCOPED_TRACE(args.join(' ').toStdString());
        const CliRun r = Trivelctl(args);
        EXPECT_EQ(r.exitCode, 1) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains("This is a named pipe, not a setting file")) << r.err.toStdString();
    }
}

TEST_F(TrivelctlFile, UsageErrors)
{
    EXPECT_EQ(Trivelctl({"file"}).exitCode, 2);
    EXPECT_EQ(Trivelctl({"file", "frobnicate"}).exitCode, 2);
    EXPECT_EQ(Trivelctl({"file", "dump"}).exitCode, 2);
    const CliRun missing = Trivelctl({"file", "dump", dir.filePath("none.WBF")});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_TRUE(missing.err.contains("none.WBF"));
    EXPECT_EQ(Trivelctl({"file", "--help"}).exitCode, 0);
}

} // namespace
