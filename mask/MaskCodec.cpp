#include "mask/MaskCodec.h"

#include "protocol/Frame.h"

#include <algorithm>
#include <cassert>
#include <cstring>

namespace trivel {

namespace {

constexpr int kMaxRun = 127;

bool UsableSize(std::uint32_t width, std::uint32_t height)
{
    return width >= 1 && height >= 1 && width <= std::uint32_t(kMaxMaskWidth)
        && height <= std::uint32_t(kMaxMaskHeight);
}

MaskDecodeResult Failed(const char* message)
{
    MaskDecodeResult r;
    r.picture = BlankMaskPicture();
    if (message)
        r.message = QString::fromLatin1(message);
    return r;
}

MaskHeader BuiltHeader(const std::array<std::uint8_t, 4>& magic, const MaskPicture& bitmap)
{
    MaskHeader h;
    h.magic = magic;
    h.width = std::uint32_t(bitmap.width);
    h.height = std::uint32_t(bitmap.height);
    return h;
}

// Sets n pixels of a 1-bit row from column x on.
void SetBits(std::uint8_t* row, int x, int n)
{
    while (n > 0 && (x & 7) != 0) {
        row[x >> 3] |= std::uint8_t(0x80 >> (x & 7));
        ++x;
        --n;
    }
    if (n >= 8) {
        std::memset(row + (x >> 3), 0xFF, std::size_t(n >> 3));
        x += n & ~7;
        n &= 7;
    }
    for (; n > 0; ++x, --n)
        row[x >> 3] |= std::uint8_t(0x80 >> (x & 7));
}

} // namespace

QString MaskTooLargeMessage(std::size_t limitBytes)
{
    return QString::asprintf(MaskText::StreamTooLarge, int(limitBytes / 1024));
}

QString MaskInfoText(int width, int height, std::size_t streamBytes)
{
    return QStringLiteral("Width: %1  Height: %2  Size: %3").arg(width).arg(height).arg(streamBytes);
}

bool ReadMaskHeader(const std::uint8_t* data, std::size_t size, MaskHeader& header)
{
    header = MaskHeader{};
    if (data == nullptr || size < kMaskHeaderBytes)
        return false;
    // Read-only: the view is const.
    const FrameView v(const_cast<std::uint8_t*>(data), kMaskHeaderBytes);
    v.copyOut(0, header.magic.data(), 4);
    header.size = v.u32(4);
    header.width = v.u32(8);
    header.height = v.u32(12);
    header.offsetX = v.u32(16);
    header.offsetY = v.u32(20);
    header.backgroundMasked = v.u8(24);
    header.reverse = v.u8(25);
    header.loopTime = v.u16(26);
    header.red = v.u8(28);
    header.green = v.u8(29);
    header.blue = v.u8(30);
    header.reserved = v.u8(31);
    return true;
}

void WriteMaskHeader(const MaskHeader& header, MaskBytes& stream)
{
    assert(stream.size() >= kMaskHeaderBytes);
    FrameView v(stream.data(), std::min(stream.size(), kMaskHeaderBytes));
    v.copyIn(0, header.magic.data(), 4);
    v.put32(4, header.size);
    v.put32(8, header.width);
    v.put32(12, header.height);
    v.put32(16, header.offsetX);
    v.put32(20, header.offsetY);
    v.put8(24, header.backgroundMasked);
    v.put8(25, header.reverse);
    v.put16(26, header.loopTime);
    v.put8(28, header.red);
    v.put8(29, header.green);
    v.put8(30, header.blue);
    v.put8(31, header.reserved);
}

MaskPicture::MaskPicture(int w, int h, int d)
    : width(std::max(w, 0))
    , height(std::max(h, 0))
    , depth(d)
{
    assert(d == 1 || d == 8);
    pixels.assign(std::size_t(stride()) * std::size_t(height), 0);
    if (depth == 1)
        palette = {MaskRgb{0, 0, 0}, MaskRgb{255, 255, 255}};
}

void MaskPicture::setPixel(int x, int y, int value)
{
    assert(x >= 0 && x < width && y >= 0 && y < height);
    if (depth == 8) {
        row(y)[x] = std::uint8_t(value);
        return;
    }
    const std::uint8_t bit = std::uint8_t(0x80 >> (x & 7));
    if (value & 1)
        row(y)[x >> 3] |= bit;
    else
        row(y)[x >> 3] &= std::uint8_t(~bit);
}

MaskPicture BlankMaskPicture()
{
    MaskPicture p(8, 1, 1);
    p.pixels[0] = 0xFF;
    return p;
}

bool EncodeMonoMask(
    const MaskPicture& bitmap, std::size_t monoMaskLimit, MaskBytes& stream, int& kind, QString& message)
{
    assert(bitmap.depth == 1);
    stream.assign(kMaskHeaderBytes, 0);
    WriteMaskHeader(BuiltHeader(kMonoMagicBuilt, bitmap), stream);
    const std::size_t pixels = std::size_t(bitmap.width) * std::size_t(bitmap.height);
    stream.reserve(std::min(monoMaskLimit, kMaskHeaderBytes + pixels) + 1);

    const int width = bitmap.width;
    for (int y = 0; y < bitmap.height && stream.size() <= monoMaskLimit; ++y) {
        const std::uint8_t* row = bitmap.row(y);
        int value = 0;
        int count = 0;
        int x = 0;
        while (x < width) {
            // Eight pixels of the current value at once, while they cannot complete a run.
            if ((x & 7) == 0 && x + 8 <= width && count + 8 < kMaxRun
                && row[x >> 3] == (value ? 0xFF : 0x00)) {
                count += 8;
                x += 8;
                continue;
            }
            const int bit = (row[x >> 3] >> (7 - (x & 7))) & 1;
            if (bit == value) {
                if (++count == kMaxRun) {
                    stream.push_back(std::uint8_t(kMaxRun + 128 * value));
                    count = 0;
                }
            } else {
                if (count != 0)
                    stream.push_back(std::uint8_t(count + 128 * value));
                value = bit;
                count = 1;
            }
            ++x;
        }
        if (count != 0)
            stream.push_back(std::uint8_t(count + 128 * value));
    }

    // Stopping at the first row past the limit gives the same answer as finishing the stream.
    if (stream.size() > monoMaskLimit) {
        stream.clear();
        kind = 0;
        message = MaskTooLargeMessage(monoMaskLimit);
        return false;
    }
    kind = 1;
    return true;
}

bool EncodeColourMask(const MaskPicture& bitmap, MaskBytes& stream, int& kind, QString& message)
{
    assert(bitmap.depth == 8);
    const std::size_t total = kColourPixelsOffset + std::size_t(bitmap.width) * std::size_t(bitmap.height);
    if (total > kColourMaskLimit) {
        stream.clear();
        kind = 0;
        message = MaskTooLargeMessage(kColourMaskLimit);
        return false;
    }
    // Palette entries the bitmap does not define are written as black.
    stream.assign(total, 0);
    WriteMaskHeader(BuiltHeader(kColourMagicBuilt, bitmap), stream);
    const std::size_t entries = std::min(bitmap.palette.size(), kMaskPaletteEntries);
    for (std::size_t i = 0; i < entries; ++i) {
        std::uint8_t* p = stream.data() + kMaskHeaderBytes + 3 * i;
        p[0] = bitmap.palette[i].red;
        p[1] = bitmap.palette[i].green;
        p[2] = bitmap.palette[i].blue;
    }
    for (int y = 0; y < bitmap.height; ++y)
        std::memcpy(stream.data() + kColourPixelsOffset + std::size_t(y) * std::size_t(bitmap.width),
            bitmap.row(y), std::size_t(bitmap.width));
    kind = 2;
    return true;
}

MaskDecodeResult DecodeMonoMask(const std::uint8_t* data, std::size_t size, MaskBodyLength length)
{
    MaskHeader h;
    if (!ReadMaskHeader(data, size, h) || !h.holdsMask() || !UsableSize(h.width, h.height))
        return Failed(MaskText::DecodeFailed);

    MaskDecodeResult r;
    r.ok = true;
    r.picture = MaskPicture(int(h.width), int(h.height), 1);
    MaskPicture& pic = r.picture;
    const std::size_t end = length == MaskBodyLength::SizeField ? std::min<std::size_t>(size, h.size) : size;
    int x = 0;
    int y = 0;
    for (std::size_t i = kMaskHeaderBytes; i < end && y < pic.height; ++i) {
        // A run never reaches into the next row; what would pass the row end is dropped.
        const int count = std::min(data[i] & 0x7F, pic.width - x);
        if (data[i] & 0x80)
            SetBits(pic.row(y), x, count);
        x += count;
        if (x == pic.width) {
            x = 0;
            ++y;
        }
    }
    return r;
}

MaskDecodeResult DecodeMonoMask(const MaskBytes& stream, MaskBodyLength length)
{
    return DecodeMonoMask(stream.data(), stream.size(), length);
}

MaskDecodeResult RenderColourMask(const std::uint8_t* data, std::size_t size)
{
    MaskHeader h;
    if (!ReadMaskHeader(data, size, h) || !h.holdsMask() || !UsableSize(h.width, h.height))
        return Failed(nullptr);

    MaskDecodeResult r;
    r.ok = true;
    r.picture = MaskPicture(int(h.width), int(h.height), 8);
    MaskPicture& pic = r.picture;
    pic.palette.resize(kMaskPaletteEntries);
    for (std::size_t i = 0; i < kMaskPaletteEntries; ++i) {
        const std::size_t at = kMaskHeaderBytes + 3 * i;
        if (at + 3 > size)
            break;
        pic.palette[i] = MaskRgb{data[at], data[at + 1], data[at + 2]};
    }
    const std::size_t w = std::size_t(pic.width);
    for (int y = 0; y < pic.height; ++y) {
        const std::size_t at = kColourPixelsOffset + std::size_t(y) * w;
        if (at >= size)
            break;
        std::memcpy(pic.row(y), data + at, std::min(w, size - at));
    }
    return r;
}

MaskDecodeResult RenderColourMask(const MaskBytes& stream)
{
    return RenderColourMask(stream.data(), stream.size());
}

std::array<MaskRgb, 2> MonoPreviewPalette(const MaskHeader& header)
{
    const bool unset = header.red == 0 && header.green == 0 && header.blue == 0 && header.reserved == 0;
    const MaskRgb colour = unset ? MaskRgb{255, 255, 255} : MaskRgb{header.red, header.green, header.blue};
    const MaskRgb black{0, 0, 0};
    if (header.reverse != 0)
        return {colour, black};
    return {black, colour};
}

} // namespace trivel
