#include "cli/WarpTableCommand.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace trivel {
namespace {

struct WarpTableCommandFixture : ::testing::Test {
    QTemporaryDir dir;
    QString out, err;
    QTextStream outStream{&out};
    QTextStream errStream{&err};

    QString path(const QString& name) const { return dir.filePath(name); }
    QString writeGrid(const QByteArray& json)
    {
        const QString p = path("grid.json");
        QFile f(p);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(json);
        return p;
    }
    int run(const QStringList& args)
    {
        const int rc = RunWarpTableCommand(args, outStream, errStream);
        outStream.flush();
        errStream.flush();
        return rc;
    }
    static QByteArray read(const QString& p)
    {
        QFile f(p);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    static int le16(const QByteArray& b, int offset)
    {
        return quint8(b[offset]) | quint8(b[offset + 1]) << 8;
    }
    static int be16(const QByteArray& b, int offset)
    {
        return quint8(b[offset]) << 8 | quint8(b[offset + 1]);
    }
};

// The nine points of a 3x3 grid moved 10 px right: every filled point follows, so the
// source x is 16 l - 10 everywhere on the mesh (1088 rows: evenly spaced grid rows).
const QByteArray kShifted3x3 = R"({"pattern": 1, "points": [
    {"column": 0, "row": 0, "dx": 10, "dy": 0}, {"column": 8, "row": 0, "dx": 10, "dy": 0},
    {"column": 16, "row": 0, "dx": 10, "dy": 0}, {"column": 0, "row": 8, "dx": 10, "dy": 0},
    {"column": 8, "row": 8, "dx": 10, "dy": 0}, {"column": 16, "row": 8, "dx": 10, "dy": 0},
    {"column": 0, "row": 16, "dx": 10, "dy": 0}, {"column": 8, "row": 16, "dx": 10, "dy": 0},
    {"column": 16, "row": 16, "dx": 10, "dy": 0}],
    "corners": {"topLeft": {"dx": 0, "dy": 0}}})";

TEST_F(WarpTableCommandFixture, WritesBinaryTablesAsTheBoxReceivesThem)
{
    ASSERT_TRUE(dir.isValid());
    const QString grid = writeGrid(kShifted3x3);
    ASSERT_EQ(run({"--frame", "1920x1088", "--grid", grid, "--out", path("t.bin")}), 0) << err.toStdString();
    const QByteArray bin = read(path("t.bin"));
    ASSERT_EQ(bin.size(), 2 * 20592);
    EXPECT_EQ(le16(bin, 0), 0xFF61); // x (0, 0): -159
    EXPECT_EQ(le16(bin, 2 * (1 * 78 + 5)), 96); // x (1, 5)
    EXPECT_EQ(le16(bin, 2 * (120 * 78 + 68)), 256 * 120 - 160);
    EXPECT_EQ(le16(bin, 2 * (131 * 78)), 256 * 131); // beyond the mesh: identity
    EXPECT_EQ(le16(bin, 20592 + 2 * (3 * 78 + 7)), 256 * 7); // y (3, 7)

    // --pattern overrides the file: in 17x17 only the nine listed points move.
    ASSERT_EQ(run({"--frame=1920x1088", "--pattern=6", "--grid", grid, "--out", path("u.bin")}), 0);
    const QByteArray u = read(path("u.bin"));
    EXPECT_NE(le16(u, 2 * (30 * 78 + 30)), le16(bin, 2 * (30 * 78 + 30)));
}

TEST_F(WarpTableCommandFixture, WritesTwoSixteenBitPgmImages)
{
    ASSERT_EQ(run({"--frame", "1920x1088", "--grid", writeGrid(kShifted3x3), "--out", path("t.pgm"),
                  "--format", "pgm"}),
        0)
        << err.toStdString();
    const QByteArray header = "P5\n132 78\n65535\n";
    const QByteArray x = read(path("t-x.pgm"));
    const QByteArray y = read(path("t-y.pgm"));
    ASSERT_EQ(x.size(), header.size() + 2 * 132 * 78);
    ASSERT_EQ(y.size(), x.size());
    EXPECT_TRUE(x.startsWith(header));
    EXPECT_EQ(be16(x, header.size() + 2 * 1), 96); // (l 1, n 0), most significant byte first
    EXPECT_EQ(be16(y, header.size() + 2 * (132 * 2 + 5)), 512); // (l 5, n 2)
}

TEST_F(WarpTableCommandFixture, RefusesBadArgumentsAndBadGrids)
{
    struct Case {
        const char* name;
        QStringList args;
        QByteArray grid; // written to grid.json and passed with --grid when not empty
        int rc;
        const char* message;
    };
    const Case cases[] = {
        {"no frame", {"--out", "o.bin"}, {}, 2, "--frame is required"},
        {"no out", {"--frame", "1920x1080"}, {}, 2, "--out is required"},
        {"oversized", {"--frame", "3840x2160", "--out", "o.bin"}, {}, 2, "does not fit"},
        {"bad frame", {"--frame", "big", "--out", "o.bin"}, {}, 2, "WIDTHxHEIGHT"},
        {"bad format", {"--frame", "1920x1080", "--out", "o.bin", "--format", "png"}, {}, 2, "bin or pgm"},
        {"unknown option", {"--frame", "1920x1080", "--out", "o.bin", "--zoom", "2"}, {}, 2,
            "unknown option"},
        {"wall", {"--frame", "1920x1080", "--out", "o.bin", "--pattern", "7"}, {}, 2, "no source tables"},
        {"missing value", {"--frame"}, {}, 2, "needs a value"},
        {"not json", {"--frame", "1920x1080", "--out", "o.bin"}, "{points: ", 1, "not valid JSON"},
        {"typo key", {"--frame", "1920x1080", "--out", "o.bin"}, R"({"point": []})", 1, "unknown key"},
        {"off grid", {"--frame", "1920x1080", "--out", "o.bin"},
            R"({"points": [{"column": 17, "row": 0, "dx": 1, "dy": 1}]})", 1, "column must be"},
        {"twice", {"--frame", "1920x1080", "--out", "o.bin"},
            R"({"points": [{"column": 1, "row": 1, "dx": 1, "dy": 1}, {"column": 1, "row": 1, "dx": 2, "dy": 1}]})",
            1, "given twice"},
        {"fraction", {"--frame", "1920x1080", "--out", "o.bin"},
            R"({"corners": {"topLeft": {"dx": 1.5, "dy": 0}}})", 1, "whole number"},
        {"zero interval", {"--frame", "1920x1080", "--out", "o.bin"},
            R"({"pattern": 6, "points": [{"column": 5, "row": 3, "dx": -120, "dy": 0}]})", 1,
            "cannot be computed"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        err.clear();
        QStringList args = c.args;
        for (QString& a : args) {
            if (a == "o.bin")
                a = path("o.bin");
        }
        if (!c.grid.isEmpty())
            args << "--grid" << writeGrid(c.grid);
        EXPECT_EQ(run(args), c.rc);
        EXPECT_TRUE(err.contains(c.message)) << err.toStdString();
        EXPECT_FALSE(QFile::exists(path("o.bin")));
    }
    EXPECT_EQ(run({"--frame", "1920x1080", "--grid", path("missing.json"), "--out", path("o.bin")}), 1);
    EXPECT_TRUE(err.contains("cannot read"));
}

} // namespace
} // namespace trivel
