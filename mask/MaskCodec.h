#pragma once
// Mask streams: bitmaps to the byte form the box stores in its slots, and back. Plain functions
// over bytes; every read of a stream is bounds-checked, so any bytes at all may be decoded.

#include "mask/MaskState.h"

#include <QString>

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace trivel {

using MaskBytes = std::vector<std::uint8_t>;

inline constexpr int kMaxMaskWidth = 2400;
inline constexpr int kMaxMaskHeight = 1200;
// MonoMaskLimit is one of these two, picked per box at connect.
inline constexpr std::size_t kMonoMaskLimitSmall = 32768;
inline constexpr std::size_t kMonoMaskLimitLarge = 237568;
inline constexpr std::size_t kColourMaskLimit = 2097152;
inline constexpr std::size_t kMaskPaletteEntries = 256;
inline constexpr std::size_t kColourPixelsOffset = kMaskHeaderBytes + 3 * kMaskPaletteEntries; // 800

namespace MaskText {
inline constexpr char ImageTooBig[] = "Image size too big";
inline constexpr char Caption[] = "Information";
inline constexpr char NotSupported[] = "not supported format !!!";
inline constexpr char StreamTooLarge[] = "User Mask size must less then %d K Byte";
inline constexpr char DecodeFailed[] = "Something wrong [M02] !!!";
// Not BMP files at all, or BMP files whose pixels are missing.
inline constexpr char NotBmp[] = "This file is not a BMP image.";
inline constexpr char Damaged[] = "This BMP file is truncated or damaged.";
} // namespace MaskText

// "User Mask size must less then %d K Byte" for a limit in bytes.
QString MaskTooLargeMessage(std::size_t limitBytes);
// The STMaskInfo line after a conversion.
QString MaskInfoText(int width, int height, std::size_t streamBytes);

struct MaskHeader {
    std::array<std::uint8_t, 4> magic{};
    std::uint32_t size = 0; // whole stream, header included; 0 until a preview writes it
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint32_t offsetX = 0;
    std::uint32_t offsetY = 0;
    std::uint8_t backgroundMasked = 0;
    std::uint8_t reverse = 0;
    std::uint16_t loopTime = 0;
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    std::uint8_t reserved = 0;

    // Readers look only at bytes 2 and 3: byte 0 differs between built and read-back copies,
    // byte 1 tells mono from colour.
    bool holdsMask() const { return magic[2] == 'E' && magic[3] == 'X'; }
    bool isColour() const { return magic[1] == 'C'; }
};

inline constexpr std::array<std::uint8_t, 4> kMonoMagicBuilt{0xFF, 'M', 'E', 'X'};
inline constexpr std::array<std::uint8_t, 4> kColourMagicBuilt{0xFF, 'C', 'E', 'X'};

// False (and a zero header) when fewer than 32 bytes are given.
bool ReadMaskHeader(const std::uint8_t* data, std::size_t size, MaskHeader& header);
// Writes the 32 header bytes at the start of stream, which must hold at least that many.
void WriteMaskHeader(const MaskHeader& header, MaskBytes& stream);

struct MaskRgb {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    bool operator==(const MaskRgb&) const = default;
};

// A 1-bit or 8-bit picture whose pixel values are palette indices. Rows run top first, each
// stride() bytes; 1-bit rows hold their first pixel in the most significant bit, and the bits
// past the width are 0.
struct MaskPicture {
    int width = 0;
    int height = 0;
    int depth = 1;
    std::vector<std::uint8_t> pixels;
    std::vector<MaskRgb> palette;

    MaskPicture() = default;
    // All pixels 0; a 1-bit picture gets the default black-and-white palette.
    MaskPicture(int width, int height, int depth);

    int stride() const { return depth == 1 ? (width + 7) / 8 : width; }
    bool isNull() const { return width <= 0 || height <= 0; }
    const std::uint8_t* row(int y) const { return pixels.data() + std::size_t(y) * std::size_t(stride()); }
    std::uint8_t* row(int y) { return pixels.data() + std::size_t(y) * std::size_t(stride()); }
    int pixel(int x, int y) const { return depth == 1 ? (row(y)[x >> 3] >> (7 - (x & 7))) & 1 : row(y)[x]; }
    void setPixel(int x, int y, int value);
};

// Shown whenever no mask is loaded and for empty slots: 8 x 1, every pixel 1.
MaskPicture BlankMaskPicture();

// The dimension check made before a bitmap is converted.
inline bool MaskImageFits(int width, int height)
{
    return width <= kMaxMaskWidth && height <= kMaxMaskHeight;
}

// Both clear stream and write header and body. On success they set kind (1 mono, 2 colour) and
// return true; a stream over the limit leaves stream empty, kind 0, the message in message.
// The header's size field stays 0: the preview writes it.
bool EncodeMonoMask(
    const MaskPicture& bitmap, std::size_t monoMaskLimit, MaskBytes& stream, int& kind, QString& message);
bool EncodeColourMask(const MaskPicture& bitmap, MaskBytes& stream, int& kind, QString& message);

// The box's streams say how long their body is in the size field; a freshly converted one does
// not (size 0), so the tool's own round trips take the length of the bytes given instead.
enum class MaskBodyLength { SizeField, StreamLength };

struct MaskDecodeResult {
    bool ok = false;
    MaskPicture picture; // BlankMaskPicture when not ok
    QString message; // "Something wrong [M02] !!!" for a mono stream that gives no picture
};

// A 1-bit picture with the default black-and-white palette. A header that is missing, has no
// 'E' 'X', or gives a width or height of 0 or beyond 2400 x 1200 fails. Runs that pass a row
// end are cut there, and bytes past the last row are ignored.
MaskDecodeResult DecodeMonoMask(
    const std::uint8_t* data, std::size_t size, MaskBodyLength length = MaskBodyLength::SizeField);
MaskDecodeResult DecodeMonoMask(const MaskBytes& stream, MaskBodyLength length = MaskBodyLength::SizeField);
// An 8-bit picture with the stream's palette; rows the stream does not reach stay 0.
MaskDecodeResult RenderColourMask(const std::uint8_t* data, std::size_t size);
MaskDecodeResult RenderColourMask(const MaskBytes& stream);

// The two colours a stored mono mask is previewed with: black and the header's mask colour
// (white when bytes 28-31 are all 0), swapped by the reverse flag.
std::array<MaskRgb, 2> MonoPreviewPalette(const MaskHeader& header);

} // namespace trivel
