// trivelctl mask encode/decode: the real executable on files.

#include "RunTrivelctl.h"

#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>

namespace {

struct TrivelctlMask : ::testing::Test {
    QTemporaryDir dir;

    QString path(const QString& name) const { return dir.filePath(name); }
    static QString fixture(const char* name)
    {
        return QStringLiteral(MASK_TEST_DATA "/") + QLatin1String(name);
    }
    static QByteArray read(const QString& p)
    {
        QFile f(p);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    QString write(const QString& name, const QByteArray& data) const
    {
        QFile f(path(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(data);
        return f.fileName();
    }
    QString writeBmp(const QString& name, const QImage& image) const
    {
        EXPECT_TRUE(image.save(path(name), "BMP"));
        return path(name);
    }
};

// The 13 x 5 picture of the mono fixtures; 'X' is palette index 1 in mono_white_first.bmp.
const char* const kMonoRows[] = {
    "XXX        X ",
    "             ",
    "XXXXXXXXXXXXX",
    " X X X X X X ",
    "X           X",
};

TEST_F(TrivelctlMask, MonoRoundTripDrawsTheMaskColour)
{
    ASSERT_TRUE(dir.isValid());
    const CliRun enc = Trivelctl({"mask", "encode", fixture("mono_white_first.bmp"), path("m.mask")});
    ASSERT_EQ(enc.exitCode, 0) << enc.err.toStdString();
    QByteArray stream = read(path("m.mask"));
    EXPECT_EQ(enc.out, QString("Width: 13  Height: 5  Size: %1\n").arg(stream.size()));
    EXPECT_EQ(stream.left(8).toHex(), "ff4d455800000000") << "size field left for the preview";

    // Fresh stream (size 0): decoded to its end, index 1 in white on black.
    CliRun dec = Trivelctl({"mask", "decode", path("m.mask"), path("m.png")});
    ASSERT_EQ(dec.exitCode, 0) << dec.err.toStdString();
    QImage png(path("m.png"));
    ASSERT_EQ(png.size(), QSize(13, 5));
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 13; ++x)
            EXPECT_EQ(png.pixel(x, y), kMonoRows[y][x] == 'X' ? qRgb(255, 255, 255) : qRgb(0, 0, 0))
                << x << "," << y;

    // As a slot holds it after a preview: size written, red mask colour, reverse set.
    const int size = int(stream.size());
    for (int i = 0; i < 4; ++i)
        stream[4 + i] = char(size >> (8 * i));
    stream[25] = 1;
    stream[28] = char(255);
    write("slot.mask", stream);
    dec = Trivelctl({"mask", "decode", path("slot.mask"), path("slot.png")});
    ASSERT_EQ(dec.exitCode, 0) << dec.err.toStdString();
    png = QImage(path("slot.png"));
    ASSERT_EQ(png.size(), QSize(13, 5));
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 13; ++x)
            EXPECT_EQ(png.pixel(x, y), kMonoRows[y][x] == 'X' ? qRgb(0, 0, 0) : qRgb(255, 0, 0))
                << x << "," << y;
}

TEST_F(TrivelctlMask, ColourRoundTripKeepsTheColours)
{
    ASSERT_TRUE(dir.isValid());
    const CliRun enc = Trivelctl({"mask", "encode", fixture("colour8_rle.bmp"), path("c.mask")});
    ASSERT_EQ(enc.exitCode, 0) << enc.err.toStdString();
    EXPECT_EQ(enc.out, "Width: 23  Height: 4  Size: 892\n");
    const CliRun dec = Trivelctl({"mask", "decode", path("c.mask"), path("c.png")});
    ASSERT_EQ(dec.exitCode, 0) << dec.err.toStdString();
    const QImage png(path("c.png"));
    const QImage original(fixture("colour8.bmp"));
    ASSERT_EQ(png.size(), original.size());
    for (int y = 0; y < png.height(); ++y)
        for (int x = 0; x < png.width(); ++x)
            EXPECT_EQ(png.pixel(x, y), original.pixel(x, y)) << x << "," << y;
}

TEST_F(TrivelctlMask, RefusalsCarryTheToolsMessagesAndWriteNothing)
{
    ASSERT_TRUE(dir.isValid());
    QImage fine(2400, 100, QImage::Format_Mono); // alternating pixels: 240000 bytes of runs
    for (int y = 0; y < fine.height(); ++y)
        std::fill_n(fine.scanLine(y), fine.bytesPerLine(), uchar(0x55));
    QImage wide(2401, 1, QImage::Format_Mono);
    wide.fill(0);
    const QString fineBmp = writeBmp("fine.bmp", fine);
    const QString wideBmp = writeBmp("wide.bmp", wide);
    const QString text = write("text.bmp", "not a bitmap");
    const QString junk = write("junk.mask", QByteArray::fromHex("ff4d4558000000006009000001000000"));

    const struct {
        QStringList args;
        int exitCode;
        const char* message;
    } cases[] = {
        {{"encode", fixture("rgb24.bmp")}, 1, "not supported format !!!"},
        {{"encode", wideBmp}, 1, "Image size too big"},
        {{"encode", fineBmp}, 1, "User Mask size must less then 32 K Byte"},
        {{"encode", fineBmp, "--limit", "237568"}, 1, "User Mask size must less then 232 K Byte"},
        {{"encode", text}, 1, "This file is not a BMP image."},
        {{"encode", path("missing.bmp")}, 1, "cannot read"},
        {{"decode", junk}, 1, "Something wrong [M02] !!!"},
        {{"encode", fineBmp, "--limit", "1000"}, 2, "--limit is 32768 or 237568"},
        {{"encode", fineBmp, "--frob"}, 2, "unknown option"},
    };
    for (const auto& c : cases) {
        const QString out = path("out");
        const CliRun r = Trivelctl(QStringList{"mask"} + c.args + QStringList{out});
        SCOPED_TRACE(c.args.join(' ').toStdString());
        EXPECT_EQ(r.exitCode, c.exitCode);
        EXPECT_TRUE(r.err.contains(c.message)) << r.err.toStdString();
        EXPECT_FALSE(QFile::exists(out));
    }
    const QImage fineHalf = fine.copy(0, 0, 2400, 20); // 48000 bytes fit the larger limit
    const CliRun large
        = Trivelctl({"mask", "encode", writeBmp("half.bmp", fineHalf), path("half.mask"), "--limit=237568"});
    EXPECT_EQ(large.exitCode, 0) << large.err.toStdString();
    EXPECT_EQ(read(path("half.mask")).size(), 32 + 48000);
}

TEST_F(TrivelctlMask, UsageErrorsAndHelp)
{
    const QList<QStringList> bad{{"mask"}, {"mask", "frob"}, {"mask", "encode", "a.bmp"},
        {"mask", "decode", "a.mask"}, {"mask", "decode", "a", "b", "c"}};
    for (const QStringList& args : bad) {
        const CliRun r = Trivelctl(args);
        EXPECT_EQ(r.exitCode, 2) << args.join(' ').toStdString();
        EXPECT_TRUE(r.err.contains("usage: trivelctl mask")) << args.join(' ').toStdString();
    }
    const CliRun help = Trivelctl({"mask", "--help"});
    EXPECT_EQ(help.exitCode, 0);
    for (const char* word : {"encode IN.bmp OUT.mask", "--limit 32768|237568", "decode IN.mask OUT.png"})
        EXPECT_TRUE(help.out.contains(word)) << word;
    EXPECT_TRUE(Trivelctl({"--help"}).out.contains("mask encode|decode"));
}

} // namespace

// The slot operations against trivel-boxsim: what one run stores, the next reads back.
struct TrivelctlMaskBox : TrivelctlMask {
    QImage picture() const
    {
        QImage img(150, 37, QImage::Format_Mono);
        img.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                img.setPixel(x, y, (x * x + 3 * y) % 11 < 4 ? 1 : 0);
        return img;
    }
    static CliRun Run(const BoxSim& box, QStringList args)
    {
        return Trivelctl(QStringList{"--tcp", box.address} + args);
    }
};

TEST_F(TrivelctlMaskBox, AStoredMaskIsReadBackWithTheSamePixels)
{
    BoxSim box;
    ASSERT_FALSE(box.address.isEmpty());
    const QImage in = picture();
    const QString bmp = writeBmp("in.bmp", in);
    const CliRun up = Run(box, {"mask", "upload", "--window", "2", bmp, "--slot", "3", "--offset", "40,30"});
    ASSERT_EQ(up.exitCode, 0) << up.err.toStdString();
    EXPECT_TRUE(up.err.contains("mask upload: ")) << up.err.toStdString();
    EXPECT_TRUE(up.err.contains("User Mask Saved ")) << up.err.toStdString();

    const CliRun rd = Run(box, {"mask", "read", "--slot", "3", path("out.png")});
    ASSERT_EQ(rd.exitCode, 0) << rd.err.toStdString();
    EXPECT_TRUE(rd.err.contains("mask read: ")) << rd.err.toStdString();
    const QImage out(path("out.png"));
    ASSERT_EQ(out.size(), in.size());
    for (int y = 0; y < in.height(); ++y)
        for (int x = 0; x < in.width(); ++x)
            ASSERT_EQ(out.pixelColor(x, y) == Qt::white, in.pixelIndex(x, y) == 1) << x << "," << y;

    // A mono mask has no place in the colour slot; a deleted slot reads back empty.
    const CliRun refused = Run(box, {"mask", "upload", "--window", "1", bmp, "--slot", "10"});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_TRUE(refused.err.contains("please select save index (1-9) !")) << refused.err.toStdString();
    ASSERT_EQ(Run(box, {"mask", "delete", "--slot", "3"}).exitCode, 0);
    const CliRun empty = Run(box, {"mask", "read", "--slot", "3", path("gone.png")});
    EXPECT_EQ(empty.exitCode, 1);
    EXPECT_TRUE(empty.err.contains("User Mask 3 is empty !!")) << empty.err.toStdString();
    const CliRun set = Run(box, {"mask", "assign", "--window", "1", "--slot", "off"});
    EXPECT_EQ(set.exitCode, 0) << set.err.toStdString();
    EXPECT_TRUE(set.err.contains("User Mapping Set done !!"));
}

TEST_F(TrivelctlMaskBox, AHostileSizeFieldIsReportedAndTheReadStopsAtTheBuffer)
{
    BoxSim box({"--hostile", "masksize"});
    ASSERT_FALSE(box.address.isEmpty());
    const QString bmp = writeBmp("in.bmp", picture());
    ASSERT_EQ(Run(box, {"mask", "upload", "--window", "1", bmp, "--slot", "2"}).exitCode, 0);
    const CliRun rd = Run(box, {"mask", "read", "--slot", "2", path("out.png")});
    ASSERT_EQ(rd.exitCode, 0) << rd.err.toStdString();
    EXPECT_TRUE(rd.err.contains("MASK SIZE 4294967040 > 262144 (mono read buffer)")) << rd.err.toStdString();
    EXPECT_TRUE(rd.out.contains("262144 bytes")) << rd.out.toStdString();
    EXPECT_EQ(QImage(path("out.png")).size(), QSize(150, 37));
}

TEST_F(TrivelctlMaskBox, UsageErrors)
{
    for (const QStringList& args :
        {QStringList{"mask", "upload", "x.bmp"}, QStringList{"mask", "read", "out.png"},
            QStringList{"mask", "assign", "--window", "1"}, QStringList{"mask", "delete", "--slot", "11"},
            QStringList{"mask", "upload", "--window", "1", "x.bmp", "--centre", "--offset", "1,1"}}) {
        SCOPED_TRACE(args.join(' ').toStdString());
        EXPECT_EQ(Trivelctl(args).exitCode, 2);
    }
}

// A box that hangs up or goes silent under a mask command: exit 3 with the reason unless the
// chain's last reply came in, and never a hang. Cut points are taken from a run against a logging
// box: the chain's first frame, its last frame, and just after its last reply.
struct TrivelctlMaskChain : TrivelctlMaskBox, ::testing::WithParamInterface<const char*> {
    // The stream slot 2 holds from the start, as an upload leaves it.
    QString storedStream()
    {
        const QString bmp = writeBmp("slot.bmp", picture());
        EXPECT_EQ(Trivelctl({"mask", "encode", bmp, path("slot.mask")}).exitCode, 0);
        QByteArray stream = read(path("slot.mask"));
        for (int i = 0; i < 4; ++i)
            stream[4 + i] = char(stream.size() >> (8 * i));
        return write("stored.mask", stream);
    }
    QStringList command()
    {
        const QString verb = QLatin1String(GetParam());
        if (verb == "upload")
            return {"mask", "upload", "--window", "2", writeBmp("in.bmp", picture()), "--slot", "3"};
        if (verb == "read")
            return {"mask", "read", "--slot", "2", path("out.png")};
        if (verb == "delete")
            return {"mask", "delete", "--slot", "2"};
        return {"mask", "assign", "--window", "1", "--slot", "2"};
    }
    // Indexes in the log of the chain's first and last frame (the connect reads the slots too).
    static std::pair<int, int> ChainFrames(const QStringList& log, const QString& verb)
    {
        const auto isChain = [](const QString& l) {
            bool ok = false;
            const uint code = l.left(6).toUInt(&ok, 16);
            return (ok && code >= 0x1020 && code <= 0x102a) || l.startsWith("0x100c S00DMI+");
        };
        const QString first = verb == "upload" ? "0x1021"
            : verb == "read"                   ? "0x1025"
            : verb == "delete"                 ? "0x1023"
                                               : "0x100c S00DMI+";
        int f = -1;
        int l = -1;
        const int from = verb == "read" ? int(log.lastIndexOf(QRegularExpression("^0x1029"))) : 0;
        for (int i = std::max(from, 0); i < log.size(); ++i) {
            if (f < 0 && log[i].startsWith(first))
                f = i;
            if (f >= 0 && isChain(log[i]))
                l = i;
        }
        return {f, l};
    }
};

TEST_P(TrivelctlMaskChain, ExitsZeroOnlyOnceTheChainsLastReplyCameIn)
{
    const QString stored = storedStream();
    const QStringList slot{"--mask-slot", "2=" + stored};
    std::pair<int, int> chain;
    {
        BoxSim logged(slot + QStringList{"--log", path("box.log")});
        ASSERT_FALSE(logged.address.isEmpty());
        const CliRun r = Run(logged, command());
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
        const QStringList log = QString::fromLatin1(read(path("box.log"))).split('\n', Qt::SkipEmptyParts);
        chain = ChainFrames(log, QLatin1String(GetParam()));
        ASSERT_GE(chain.first, 0);
        ASSERT_GE(chain.second, chain.first);
    }
    struct Case {
        const char* how;
        int answered;
        int exitCode;
    };
    const Case cases[] = {
        {"--close-after", chain.first, 3},
        {"--close-after", chain.second, 3},
        {"--silent-after", chain.second, 3},
        {"--close-after", chain.second + 1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.how << " " << c.answered);
        BoxSim box(slot + QStringList{c.how, QString::number(c.answered)});
        ASSERT_FALSE(box.address.isEmpty());
        const CliRun r = Run(box, command());
        EXPECT_EQ(r.exitCode, c.exitCode) << r.err.toStdString();
        if (c.exitCode == 3) {
            EXPECT_TRUE(r.err.contains("trivelctl: ")) << "the reason is given";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Verbs, TrivelctlMaskChain, ::testing::Values("upload", "read", "delete", "assign"),
    [](const ::testing::TestParamInfo<const char*>& info) { return std::string(info.param); });

TEST_F(TrivelctlMaskBox, AnEightBitPictureForAMonoSlotIsRefusedBeforeAnythingIsSent)
{
    BoxSim box({"--log", path("box.log")});
    ASSERT_FALSE(box.address.isEmpty());
    const QString bmp = fixture("colour8.bmp");
    for (const char* slot : {"1", "9"}) {
        const CliRun r = Run(box, {"mask", "upload", "--window", "1", bmp, "--slot", slot});
        EXPECT_EQ(r.exitCode, 2) << slot;
        EXPECT_TRUE(r.err.contains("--slot 10")) << r.err.toStdString();
    }
    EXPECT_TRUE(read(path("box.log")).isEmpty()) << "nothing reached the box";
    const CliRun ok = Run(box, {"mask", "upload", "--window", "1", bmp, "--slot", "10"});
    EXPECT_EQ(ok.exitCode, 0) << ok.err.toStdString();
}
