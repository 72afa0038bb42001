// BMP files to mask streams. The fixtures in data/ were written by ImageMagick (make_fixtures.sh);
// top-down, cut and lying variants are derived from them here.

#include "mask/MaskImage.h"

#include <QBuffer>
#include <QFile>
#include <QImage>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace trivel {
namespace {

QByteArray Fixture(const char* name)
{
    QFile f(QStringLiteral(MASK_TEST_DATA "/") + QLatin1String(name));
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << name;
    return f.readAll();
}

int Le16(const QByteArray& b, int at)
{
    return quint8(b[at]) | quint8(b[at + 1]) << 8;
}

qint32 Le32(const QByteArray& b, int at)
{
    return qint32(quint32(Le16(b, at)) | quint32(Le16(b, at + 2)) << 16);
}

void PutLe32(QByteArray& b, int at, qint32 v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = char(quint32(v) >> (8 * i));
}

// Rows of an uncompressed BMP with a 40-byte or larger info header.
struct RawBmp {
    int offset, width, height, bits, stride;
    explicit RawBmp(const QByteArray& b)
        : offset(Le32(b, 10))
        , width(Le32(b, 18))
        , height(Le32(b, 22))
        , bits(Le16(b, 28))
        , stride((width * bits + 31) / 32 * 4)
    {
    }
};

// The same picture stored top row first, as a negative height says.
QByteArray TopDown(QByteArray b)
{
    const RawBmp raw(b);
    const QByteArray rows = b.mid(raw.offset, raw.stride * raw.height);
    for (int y = 0; y < raw.height; ++y)
        b.replace(
            raw.offset + y * raw.stride, raw.stride, rows.mid((raw.height - 1 - y) * raw.stride, raw.stride));
    PutLe32(b, 22, -raw.height);
    return b;
}

// Pixel indices of an uncompressed bottom-up 8-bit file, top row first: the loader's oracle.
std::vector<std::uint8_t> Indices8(const QByteArray& b)
{
    const RawBmp raw(b);
    std::vector<std::uint8_t> out;
    for (int y = raw.height - 1; y >= 0; --y)
        for (int x = 0; x < raw.width; ++x)
            out.push_back(std::uint8_t(b[raw.offset + y * raw.stride + x]));
    return out;
}

QByteArray Written(const QImage& image, const char* format = "BMP")
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(image.save(&buffer, format));
    return bytes;
}

// The picture of the mono fixtures: 'X' the dark colour, ' ' white.
const char* const kMonoRows[] = {
    "XXX        X ",
    "             ",
    "XXXXXXXXXXXXX",
    " X X X X X X ",
    "X           X",
};

TEST(MaskBitmap, MonoFilesGiveTheirOwnPaletteIndices)
{
    const struct {
        const char* file;
        int darkIndex;
        MaskRgb dark;
    } cases[] = {
        {"mono_black_first.bmp", 0, {0, 0, 0}},
        {"mono_white_first.bmp", 1, {0, 0, 0}},
        {"mono_red_first.bmp", 0, {128, 0, 0}},
    };
    for (const auto& c : cases) {
        const QByteArray bottomUp = Fixture(c.file);
        for (const QByteArray& file : {bottomUp, TopDown(bottomUp)}) {
            SCOPED_TRACE(c.file);
            SCOPED_TRACE(file == bottomUp ? "bottom-up" : "top-down");
            const MaskBitmap b = LoadMaskBitmap(file);
            ASSERT_EQ(b.status, MaskLoadStatus::Ok) << b.message.toStdString();
            EXPECT_EQ(b.fileBitsPerPixel, 1);
            ASSERT_EQ(b.picture.depth, 1);
            ASSERT_EQ(b.picture.width, 13);
            ASSERT_EQ(b.picture.height, 5);
            for (int y = 0; y < 5; ++y) {
                std::string got;
                std::string want;
                for (int x = 0; x < 13; ++x) {
                    got += char('0' + b.picture.pixel(x, y));
                    want += char('0' + (kMonoRows[y][x] == 'X' ? c.darkIndex : 1 - c.darkIndex));
                }
                EXPECT_EQ(got, want) << "row " << y;
                EXPECT_EQ(b.picture.row(y)[1] & 0x07, 0) << "padding bits stay clear";
            }
            ASSERT_EQ(b.picture.palette.size(), 2u);
            EXPECT_EQ(b.picture.palette[std::size_t(c.darkIndex)], c.dark);
            EXPECT_FALSE(b.shown.isNull());
        }
    }
}

TEST(MaskBitmap, EightBitFilesGiveTheirIndicesTopRowFirst)
{
    const QByteArray plain = Fixture("colour8.bmp");
    const std::vector<std::uint8_t> want = Indices8(plain);
    ASSERT_EQ(want.size(), 23u * 4u);
    const RawBmp raw(plain);
    ASSERT_EQ(raw.bits, 8);
    ASSERT_EQ(raw.stride, 24) << "rows are padded";

    const struct {
        const char* what;
        QByteArray file;
    } cases[] = {
        {"uncompressed", plain},
        {"top-down", TopDown(plain)},
        {"RLE8", Fixture("colour8_rle.bmp")},
        {"OS/2 header", Fixture("colour8_os2.bmp")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const MaskBitmap b = LoadMaskBitmap(c.file);
        ASSERT_EQ(b.status, MaskLoadStatus::Ok) << b.message.toStdString();
        EXPECT_EQ(b.fileBitsPerPixel, 8);
        ASSERT_EQ(b.picture.depth, 8);
        EXPECT_EQ(b.picture.pixels, want);
        ASSERT_GE(b.picture.palette.size(), 25u);
        for (int i = 0; i < 25; ++i) {
            const int at = 54 + 4 * i; // the uncompressed file's palette, blue green red
            EXPECT_EQ(b.picture.palette[std::size_t(i)],
                (MaskRgb{quint8(plain[at + 2]), quint8(plain[at + 1]), quint8(plain[at])}))
                << i;
        }
    }
}

TEST(MaskBitmap, OtherDepthsAreNotSupportedButShown)
{
    const struct {
        const char* file;
        int bits;
    } cases[] = {{"nibble4.bmp", 4}, {"rgb16.bmp", 16}, {"rgb24.bmp", 24}, {"rgb32.bmp", 32}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const MaskBitmap b = LoadMaskBitmap(Fixture(c.file));
        EXPECT_EQ(b.status, MaskLoadStatus::NotSupported);
        EXPECT_EQ(b.message, "not supported format !!!");
        EXPECT_EQ(b.fileBitsPerPixel, c.bits);
        EXPECT_TRUE(b.picture.isNull());
        EXPECT_EQ(b.shown.size(), QSize(7, 3));
    }
}

TEST(MaskLoad, BrokenFilesLeaveStreamAndKindAsTheyWere)
{
    const QByteArray mono = Fixture("mono_white_first.bmp");
    const QByteArray colour = Fixture("colour8.bmp");
    const QByteArray rle = Fixture("colour8_rle.bmp");
    auto patched = [](QByteArray b, int at, qint32 v) {
        PutLe32(b, at, v);
        return b;
    };
    QByteArray monoRle = mono;
    PutLe32(monoRle, 30, 1);

    const QString notBmp = QStringLiteral("This file is not a BMP image.");
    const QString damaged = QStringLiteral("This BMP file is truncated or damaged.");
    const struct {
        const char* what;
        QByteArray file;
        MaskLoadStatus status;
    } cases[] = {
        {"empty", QByteArray(), MaskLoadStatus::NotBmp},
        {"text", QByteArray("hello, this is not a picture at all"), MaskLoadStatus::NotBmp},
        {"a PNG", Written(QImage(4, 4, QImage::Format_Mono), "PNG"), MaskLoadStatus::NotBmp},
        {"only the file header", mono.left(14), MaskLoadStatus::NotBmp},
        {"an info header of 4 GB", patched(mono, 14, -1), MaskLoadStatus::NotBmp},
        {"cut inside the info header", mono.left(30), MaskLoadStatus::Damaged},
        {"mono pixels cut", mono.left(mono.size() - 4), MaskLoadStatus::Damaged},
        {"8-bit pixels cut", colour.left(colour.size() - 50), MaskLoadStatus::Damaged},
        {"RLE8 without its end", rle.left(rle.size() - 2), MaskLoadStatus::Damaged},
        {"RLE8 cut in the palette", rle.left(600), MaskLoadStatus::Damaged},
        {"height 50 over 5 rows", patched(mono, 22, 50), MaskLoadStatus::Damaged},
        {"width 2000 over 13 pixels", patched(mono, 18, 2000), MaskLoadStatus::Damaged},
        {"pixels past the end", patched(mono, 10, 0x7FFFFFFF), MaskLoadStatus::Damaged},
        {"negative width", patched(mono, 18, -13), MaskLoadStatus::Damaged},
        {"height 0", patched(mono, 22, 0), MaskLoadStatus::Damaged},
        {"mono RLE", monoRle, MaskLoadStatus::Damaged},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        MaskBytes stream{1, 2, 3};
        int kind = 2;
        const MaskLoadResult r = LoadMaskImage(c.file, kMonoMaskLimitLarge, stream, kind);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.message, c.status == MaskLoadStatus::NotBmp ? notBmp : damaged);
        EXPECT_TRUE(r.shown.isNull());
        EXPECT_TRUE(r.info.isEmpty());
        EXPECT_EQ(stream, (MaskBytes{1, 2, 3}));
        EXPECT_EQ(kind, 2);
    }
}

TEST(MaskLoad, DimensionsAreCheckedBeforeTheFormat)
{
    const struct {
        int width, height;
        QImage::Format format;
        MaskLoadStatus status;
    } cases[] = {
        {2400, 1200, QImage::Format_Mono, MaskLoadStatus::Ok},
        {2401, 1, QImage::Format_Mono, MaskLoadStatus::TooBig},
        {1, 1201, QImage::Format_Mono, MaskLoadStatus::TooBig},
        {2401, 1, QImage::Format_RGB888, MaskLoadStatus::TooBig},
        {2, 2, QImage::Format_RGB888, MaskLoadStatus::NotSupported},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + " x " + std::to_string(c.height));
        QImage image(c.width, c.height, c.format);
        image.fill(0);
        MaskBytes stream{9};
        int kind = 2;
        const MaskLoadResult r = LoadMaskImage(Written(image), kMonoMaskLimitSmall, stream, kind);
        EXPECT_EQ(r.status, c.status);
        if (c.status == MaskLoadStatus::Ok) {
            EXPECT_EQ(kind, 1);
            EXPECT_EQ(r.info, QString("Width: 2400  Height: 1200  Size: %1").arg(32 + 1200 * 19));
            continue;
        }
        EXPECT_EQ(r.message,
            c.status == MaskLoadStatus::TooBig ? "Image size too big" : "not supported format !!!");
        EXPECT_EQ(r.shown.isNull(), c.status == MaskLoadStatus::TooBig) << "a too big image is cleared";
        EXPECT_EQ(stream, MaskBytes{9});
        EXPECT_EQ(kind, 2);
    }
}

TEST(MaskLoad, ConvertsMonoAndColourFiles)
{
    MaskBytes stream;
    int kind = 0;
    MaskLoadResult r = LoadMaskImage(Fixture("mono_white_first.bmp"), kMonoMaskLimitSmall, stream, kind);
    ASSERT_EQ(r.status, MaskLoadStatus::Ok);
    EXPECT_EQ(kind, 1);
    EXPECT_EQ(r.info, QString("Width: 13  Height: 5  Size: %1").arg(stream.size()));
    // Row 0 "XXX        X " with X at index 1: 83 08 81 01.
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(stream.data() + 32), 4).toHex(), "83088101");
    const MaskDecodeResult back = DecodeMonoMask(stream, MaskBodyLength::StreamLength);
    ASSERT_TRUE(back.ok);
    EXPECT_EQ(back.picture.pixels, LoadMaskBitmap(Fixture("mono_white_first.bmp")).picture.pixels);

    r = LoadMaskImage(Fixture("colour8_rle.bmp"), kMonoMaskLimitSmall, stream, kind);
    ASSERT_EQ(r.status, MaskLoadStatus::Ok);
    EXPECT_EQ(kind, 2);
    EXPECT_EQ(stream.size(), 800u + 23u * 4u);
    EXPECT_EQ(r.info, "Width: 23  Height: 4  Size: 892");
    EXPECT_EQ(
        std::vector<std::uint8_t>(stream.begin() + 800, stream.end()), Indices8(Fixture("colour8.bmp")));
}

TEST(MaskLoad, OversizedStreamClearsStreamKindAndPicture)
{
    // Alternating pixels: one byte each, 96000 bytes in all.
    QImage fine(2400, 40, QImage::Format_Mono);
    for (int y = 0; y < fine.height(); ++y)
        std::memset(fine.scanLine(y), 0x55, std::size_t(fine.bytesPerLine()));
    MaskBytes stream{1, 2};
    int kind = 1;
    const MaskLoadResult r = LoadMaskImage(Written(fine), kMonoMaskLimitSmall, stream, kind);
    EXPECT_EQ(r.status, MaskLoadStatus::StreamTooLarge);
    EXPECT_EQ(r.message, "User Mask size must less then 32 K Byte");
    EXPECT_TRUE(r.shown.isNull());
    EXPECT_TRUE(r.info.isEmpty());
    EXPECT_TRUE(stream.empty());
    EXPECT_EQ(kind, 0);
}

TEST(MaskImage, PicturesBecomeQImagesOfTheirPalette)
{
    const MaskDecodeResult r = DecodeMonoMask(MaskBytes{0, 'M', 'E', 'X', 0, 0, 0, 0, 3, 0, 0, 0, 1, 0, 0, 0,
                                                  0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x01, 0x82},
        MaskBodyLength::StreamLength);
    ASSERT_TRUE(r.ok);
    MaskHeader h;
    h.red = 200;
    const QImage image = MaskPictureImage(r.picture, MonoPreviewPalette(h));
    EXPECT_EQ(image.format(), QImage::Format_Mono);
    EXPECT_EQ(image.pixel(0, 0), qRgb(0, 0, 0));
    EXPECT_EQ(image.pixel(1, 0), qRgb(200, 0, 0));
    EXPECT_EQ(image.pixel(2, 0), qRgb(200, 0, 0));
}

} // namespace
} // namespace trivel
