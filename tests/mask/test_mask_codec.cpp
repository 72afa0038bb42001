// The mask stream codec on pictures and bytes built in the test.

#include "mask/MaskCodec.h"

#include <QByteArray>

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace trivel {
namespace {

// A 1-bit picture from rows of '0' and '1'.
MaskPicture Mono(std::initializer_list<std::string> rows)
{
    MaskPicture p(int(rows.begin()->size()), int(rows.size()), 1);
    int y = 0;
    for (const std::string& r : rows) {
        for (int x = 0; x < p.width; ++x)
            p.setPixel(x, y, r[std::size_t(x)] == '1');
        ++y;
    }
    return p;
}

std::vector<std::string> Rows(const MaskPicture& p)
{
    std::vector<std::string> rows;
    for (int y = 0; y < p.height; ++y) {
        std::string r;
        for (int x = 0; x < p.width; ++x)
            r += char('0' + p.pixel(x, y));
        rows.push_back(r);
    }
    return rows;
}

QByteArray Hex(const MaskBytes& s, std::size_t from = 0, std::size_t n = std::string::npos)
{
    const std::size_t end = std::min(s.size(), n == std::string::npos ? s.size() : from + n);
    return QByteArray(reinterpret_cast<const char*>(s.data() + from), qsizetype(end - from)).toHex();
}

MaskBytes EncodeMono(const MaskPicture& p, std::size_t limit = kMonoMaskLimitLarge)
{
    MaskBytes s;
    int kind = 0;
    QString message;
    EXPECT_TRUE(EncodeMonoMask(p, limit, s, kind, message)) << message.toStdString();
    EXPECT_EQ(kind, 1);
    return s;
}

// A stream with the given header fields followed by the body.
MaskBytes Stream(
    std::uint32_t width, std::uint32_t height, std::uint32_t sizeField, const QByteArray& bodyHex)
{
    const QByteArray body = QByteArray::fromHex(bodyHex);
    MaskBytes s(kMaskHeaderBytes, 0);
    MaskHeader h;
    h.magic = kMonoMagic;
    h.width = width;
    h.height = height;
    h.size = sizeField;
    WriteMaskHeader(h, s);
    s.insert(s.end(), body.begin(), body.end());
    return s;
}

TEST(MaskEncodeMono, RunBytesOfTheExamplesAndAtTheRunLimit)
{
    const std::string ones300(300, '1');
    // Built apart from the table: GCC 12 misreads a concatenation inside it (-Warray-bounds).
    std::string ones127zero(127, '1');
    ones127zero += '0';
    const struct {
        std::initializer_list<std::string> rows;
        const char* body;
    } cases[] = {
        {{"1110000000"}, "8307"}, // a row starting with 1 starts with a run of 1s, no empty run first
        {{"001"}, "0281"},
        {{ones300}, "ffffae"},
        {{std::string(127, '0')}, "7f"},
        {{ones127zero}, "ff01"},
        {{std::string(128, '0')}, "7f01"},
        {{"111", "111"}, "8383"}, // each row is coded on its own
        {{"1", "0", "1"}, "810181"},
    };
    for (const auto& c : cases) {
        const MaskBytes s = EncodeMono(Mono(c.rows));
        SCOPED_TRACE(c.body);
        EXPECT_EQ(Hex(s, kMaskHeaderBytes), QByteArray(c.body));
    }

    // The header of the first: magic, size left 0, width 10, height 1, everything else 0.
    const MaskBytes s = EncodeMono(Mono({"1110000000"}));
    EXPECT_EQ(
        Hex(s, 0, kMaskHeaderBytes), QByteArray("ff4d4558000000000a00000001000000") + QByteArray(32, '0'));
}

TEST(MaskEncodeMono, UniformRowsTakeOneByteFor127Pixels)
{
    for (const int width : {1, 126, 127, 128, 254, 255, 1001, 2400}) {
        for (const int value : {0, 1}) {
            MaskPicture p(width, 3, 1);
            for (int y = 0; y < p.height; ++y)
                for (int x = 0; x < width; ++x)
                    p.setPixel(x, y, value);
            const MaskBytes s = EncodeMono(p);
            SCOPED_TRACE(width);
            SCOPED_TRACE(value);
            const std::size_t perRow = std::size_t((width + 126) / 127);
            ASSERT_EQ(s.size(), kMaskHeaderBytes + 3 * perRow);
            for (std::size_t i = kMaskHeaderBytes; i < s.size(); ++i)
                EXPECT_EQ(s[i] >> 7, value);
        }
    }
}

// A 2400-wide picture whose runs code into exactly body bytes: every row gets its share of
// bytes as evenly spread runs of alternating values, each at most 127 pixels.
MaskPicture PictureOfBodyBytes(std::size_t body)
{
    const int width = 2400;
    const std::size_t rows = (body + width - 1) / width;
    MaskPicture p(width, int(rows), 1);
    for (std::size_t y = 0; y < rows; ++y) {
        const std::size_t runs = body / rows + (y < body % rows ? 1 : 0);
        int x = 0;
        for (std::size_t r = 0; r < runs; ++r) {
            const int end = int(std::size_t(width) * (r + 1) / runs);
            for (; x < end; ++x)
                p.setPixel(x, int(y), int(r & 1));
        }
    }
    return p;
}

TEST(MaskEncodeMono, StreamOfExactlyTheLimitIsAcceptedOneByteMoreIsNot)
{
    for (const std::size_t limit : {kMonoMaskLimitSmall, kMonoMaskLimitLarge}) {
        SCOPED_TRACE(limit);
        MaskBytes s{1, 2, 3};
        int kind = 2;
        QString message;
        ASSERT_TRUE(EncodeMonoMask(PictureOfBodyBytes(limit - kMaskHeaderBytes), limit, s, kind, message));
        EXPECT_EQ(s.size(), limit);
        EXPECT_EQ(kind, 1);
        EXPECT_TRUE(message.isEmpty());

        EXPECT_FALSE(
            EncodeMonoMask(PictureOfBodyBytes(limit - kMaskHeaderBytes + 1), limit, s, kind, message));
        EXPECT_TRUE(s.empty());
        EXPECT_EQ(kind, 0);
        EXPECT_EQ(message,
            limit == kMonoMaskLimitSmall ? "User Mask size must less then 32 K Byte"
                                         : "User Mask size must less then 232 K Byte");
        // The picture is the one meant: without the limit it codes one byte over.
        EXPECT_EQ(EncodeMono(PictureOfBodyBytes(limit - kMaskHeaderBytes + 1), SIZE_MAX).size(), limit + 1);
    }
}

TEST(MaskEncodeColour, PaletteThenRowsTopFirstWithoutPadding)
{
    MaskPicture p(3, 2, 8);
    p.palette = {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}};
    const std::uint8_t pixels[] = {0, 1, 2, 2, 1, 0};
    std::copy(std::begin(pixels), std::end(pixels), p.pixels.begin());
    MaskBytes s;
    int kind = 0;
    QString message;
    ASSERT_TRUE(EncodeColourMask(p, s, kind, message));
    EXPECT_EQ(kind, 2);
    ASSERT_EQ(s.size(), kColourPixelsOffset + 6);
    EXPECT_EQ(Hex(s, 0, 16), "ff434558000000000300000002000000");
    EXPECT_EQ(Hex(s, 32, 12), "010203040506070809000000"); // entries the bitmap lacks are black
    EXPECT_EQ(Hex(s, 800), "000102020100");
}

TEST(MaskEncodeColour, Largest8BitImageIs2400By873)
{
    MaskBytes s{1};
    int kind = 1;
    QString message;
    EXPECT_TRUE(EncodeColourMask(MaskPicture(2400, 873, 8), s, kind, message));
    EXPECT_EQ(s.size(), 800u + 2400u * 873u);
    EXPECT_EQ(kind, 2);

    EXPECT_FALSE(EncodeColourMask(MaskPicture(2400, 874, 8), s, kind, message));
    EXPECT_TRUE(s.empty());
    EXPECT_EQ(kind, 0);
    EXPECT_EQ(message, "User Mask size must less then 2048 K Byte");
}

TEST(MaskRoundTrip, MonoDecodesToTheEncodedPixels)
{
    std::mt19937 rng(11);
    for (const int width : {1, 3, 7, 127, 129, 255, 1001, 2399}) {
        for (const double density : {0.5, 0.01, 0.99}) {
            std::bernoulli_distribution on(density);
            MaskPicture p(width, 1 + int(rng() % 17), 1);
            for (int y = 0; y < p.height; ++y)
                for (int x = 0; x < width; ++x)
                    p.setPixel(x, y, on(rng));
            SCOPED_TRACE(width);
            SCOPED_TRACE(density);
            MaskBytes s = EncodeMono(p, SIZE_MAX);

            // Fresh from the encoder the size field is 0: only the stream's length tells the body.
            const MaskDecodeResult fresh = DecodeMonoMask(s, MaskBodyLength::StreamLength);
            ASSERT_TRUE(fresh.ok);
            EXPECT_EQ(Rows(fresh.picture), Rows(p));
            EXPECT_EQ(fresh.picture.pixels, p.pixels);

            // As the box stores it: the size field written, and bytes after it that must not count.
            MaskHeader h;
            ReadMaskHeader(s.data(), s.size(), h);
            h.size = std::uint32_t(s.size());
            WriteMaskHeader(h, s);
            s.resize(s.size() + 300, 0x81);
            EXPECT_EQ(Rows(DecodeMonoMask(s).picture), Rows(p));
        }
    }
}

TEST(MaskRoundTrip, ColourRendersTheEncodedPixelsAndPalette)
{
    std::mt19937 rng(7);
    for (const int width : {1, 5, 301, 2399}) {
        MaskPicture p(width, 1 + int(rng() % 9), 8);
        for (auto& b : p.pixels)
            b = std::uint8_t(rng());
        for (std::size_t i = 0; i < kMaskPaletteEntries; ++i)
            p.palette.push_back({std::uint8_t(rng()), std::uint8_t(rng()), std::uint8_t(rng())});
        MaskBytes s;
        int kind = 0;
        QString message;
        ASSERT_TRUE(EncodeColourMask(p, s, kind, message));
        const MaskDecodeResult r = RenderColourMask(s);
        ASSERT_TRUE(r.ok);
        EXPECT_EQ(r.picture.width, width);
        EXPECT_EQ(r.picture.pixels, p.pixels) << width;
        EXPECT_EQ(r.picture.palette, p.palette);
    }
}

TEST(MaskDecodeMono, StaysInsideThePictureWhateverTheBody)
{
    const struct {
        const char* what;
        MaskBytes stream;
        MaskBodyLength length;
        std::vector<std::string> rows;
    } cases[] = {
        {"a run past the row end is cut there", Stream(3, 2, 0, "8581"), MaskBodyLength::StreamLength,
            {"111", "100"}},
        {"bytes past the last row are ignored", Stream(3, 1, 0, "838383ff"), MaskBodyLength::StreamLength,
            {"111"}},
        {"count 0 gives no pixels", Stream(3, 1, 0, "008083"), MaskBodyLength::StreamLength, {"111"}},
        {"rows the body does not reach stay 0", Stream(3, 2, 0, "83"), MaskBodyLength::StreamLength,
            {"111", "000"}},
        {"the size field ends the body", Stream(3, 2, 33, "8383"), MaskBodyLength::SizeField, {"111", "000"}},
        {"a size field past the bytes reads what is there", Stream(3, 2, 5000, "83"),
            MaskBodyLength::SizeField, {"111", "000"}},
        {"a size field of 0 leaves no body", Stream(3, 1, 0, "83"), MaskBodyLength::SizeField, {"000"}},
        {"long runs fill whole bytes", Stream(20, 1, 0, "01900182"), MaskBodyLength::StreamLength,
            {"01111111111111111011"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const MaskDecodeResult r = DecodeMonoMask(c.stream, c.length);
        ASSERT_TRUE(r.ok);
        EXPECT_EQ(Rows(r.picture), c.rows);
        EXPECT_EQ(r.picture.pixels.size(), std::size_t(r.picture.stride() * r.picture.height));
        // Bits past the width stay clear: nothing was written beside the picture either.
        for (int y = 0; y < r.picture.height; ++y)
            for (int x = r.picture.width; x < r.picture.stride() * 8; ++x)
                EXPECT_EQ((r.picture.row(y)[x >> 3] >> (7 - (x & 7))) & 1, 0);
    }
}

TEST(MaskDecode, HeadersWithoutAUsablePictureGiveTheBlankOne)
{
    MaskBytes noMagic = Stream(3, 1, 0, "83");
    noMagic[2] = 0;
    const MaskBytes shortStream(31, 0x45);
    const struct {
        const char* what;
        MaskBytes stream;
    } cases[] = {
        {"2401 wide", Stream(2401, 1, 0, "83")},
        {"1201 high", Stream(1, 1201, 0, "81")},
        {"0 wide", Stream(0, 5, 0, "83")},
        {"0 high", Stream(5, 0, 0, "83")},
        {"4G by 4G", Stream(0xFFFFFFFF, 0xFFFFFFFF, 0, "ff")},
        {"no E X", noMagic},
        {"shorter than a header", shortStream},
        {"empty", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const MaskDecodeResult mono = DecodeMonoMask(c.stream, MaskBodyLength::StreamLength);
        EXPECT_FALSE(mono.ok);
        EXPECT_EQ(mono.message, "Something wrong [M02] !!!");
        EXPECT_EQ(Rows(mono.picture), Rows(BlankMaskPicture()));

        MaskBytes colour = c.stream;
        if (colour.size() > 1)
            colour[1] = 'C';
        const MaskDecodeResult rendered = RenderColourMask(colour);
        EXPECT_FALSE(rendered.ok);
        EXPECT_EQ(Rows(rendered.picture), Rows(BlankMaskPicture()));
    }

    const MaskDecodeResult largest
        = DecodeMonoMask(Stream(2400, 1200, 0, "ff"), MaskBodyLength::StreamLength);
    ASSERT_TRUE(largest.ok);
    EXPECT_EQ(largest.picture.width, 2400);
    EXPECT_EQ(largest.picture.height, 1200);
}

TEST(MaskDecodeColour, AShortStreamLeavesTheRestBlack)
{
    MaskBytes s = Stream(4, 3, 0, "");
    s[1] = 'C';
    s.resize(kColourPixelsOffset + 6, 0);
    s[32] = 10; // entry 0 red
    s[800] = 1;
    s[805] = 2; // second row, second pixel
    const MaskDecodeResult r = RenderColourMask(s);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.picture.palette.size(), kMaskPaletteEntries);
    EXPECT_EQ(r.picture.palette[0], (MaskRgb{10, 0, 0}));
    EXPECT_EQ(r.picture.pixels, (std::vector<std::uint8_t>{1, 0, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0}));

    // A stream cut inside the palette still gives the picture's size, all index 0.
    s.resize(100);
    const MaskDecodeResult cut = RenderColourMask(s);
    ASSERT_TRUE(cut.ok);
    EXPECT_EQ(cut.picture.pixels, std::vector<std::uint8_t>(12, 0));
}

TEST(MaskHeader, FieldsAreLittleEndianAtTheirOffsets)
{
    MaskHeader h;
    h.magic = kMonoMagicBuilt;
    h.size = 0x01020304;
    h.width = 2400;
    h.height = 1200;
    h.offsetX = 0x10;
    h.offsetY = 0x0708;
    h.backgroundMasked = 1;
    h.reverse = 1;
    h.loopTime = 6000;
    h.red = 0xAA;
    h.green = 0xBB;
    h.blue = 0xCC;
    MaskBytes s(40, 0xEE);
    WriteMaskHeader(h, s);
    EXPECT_EQ(Hex(s),
        QByteArray("ff4d4558") + "04030201" + "60090000" + "b0040000" + "10000000" + "08070000" + "0101"
            + "7017" + "aabbcc00" + "eeeeeeeeeeeeeeee");
    MaskHeader back;
    ASSERT_TRUE(ReadMaskHeader(s.data(), s.size(), back));
    EXPECT_EQ(back.size, h.size);
    EXPECT_EQ(back.width, 2400u);
    EXPECT_EQ(back.offsetY, 0x0708u);
    EXPECT_EQ(back.loopTime, 6000);
    EXPECT_EQ(back.blue, 0xCC);
    EXPECT_FALSE(ReadMaskHeader(s.data(), 31, back));
}

TEST(MaskPreview, BlankPictureAndMonoPalette)
{
    const MaskPicture blank = BlankMaskPicture();
    EXPECT_EQ(Rows(blank), std::vector<std::string>{"11111111"});
    EXPECT_EQ(blank.palette[1], (MaskRgb{255, 255, 255}));

    const MaskRgb black{0, 0, 0};
    const MaskRgb white{255, 255, 255};
    const struct {
        std::uint8_t red, green, blue, byte31, reverse;
        std::array<MaskRgb, 2> palette;
    } cases[] = {
        {0, 0, 0, 0, 0, {black, white}}, // colour unset: white
        {10, 20, 30, 0, 0, {black, MaskRgb{10, 20, 30}}}, {10, 20, 30, 0, 1, {MaskRgb{10, 20, 30}, black}},
        {0, 0, 0, 0, 1, {white, black}},
        {0, 0, 0, 1, 0, {black, black}}, // byte 31 set: the colour is black, not unset
    };
    for (const auto& c : cases) {
        MaskHeader h;
        h.red = c.red;
        h.green = c.green;
        h.blue = c.blue;
        h.reserved = c.byte31;
        h.reverse = c.reverse;
        EXPECT_EQ(MonoPreviewPalette(h), c.palette) << int(c.red) << " reverse " << int(c.reverse);
    }
}

} // namespace
} // namespace trivel
