#pragma once
// BMP files to mask pictures and mask pictures to QImages: the Qt side of the mask codec.

#include "mask/MaskCodec.h"

#include <QByteArray>
#include <QImage>
#include <QString>

#include <cstddef>
#include <cstdint>

namespace trivel {

enum class MaskLoadStatus {
    Ok,
    NotBmp, // MaskText::NotBmp
    Damaged, // MaskText::Damaged: pixels missing, or a header Qt cannot read
    TooBig, // "Image size too big"
    NotSupported, // "not supported format !!!": neither 1 nor 8 bits per pixel
    StreamTooLarge, // "User Mask size must less then %d K Byte"
};

struct MaskBitmap {
    MaskLoadStatus status = MaskLoadStatus::NotBmp;
    QString message; // empty when Ok
    int fileBitsPerPixel = 0; // the file's own biBitCount, whatever Qt converts it to
    MaskPicture picture; // Ok only: pixel values are the file's palette indices
    QImage shown; // what MaskImage shows: the file as Qt reads it, null when it is to be cleared
};

// Reads a BMP file. The file's bits per pixel decide between 1 and 8 bits, so a 4-, 16-, 24-
// or 32-bit file is NotSupported although Qt would convert it.
MaskBitmap LoadMaskBitmap(const QByteArray& file);
MaskBitmap LoadMaskBitmap(const std::uint8_t* data, std::size_t size);

struct MaskLoadResult {
    MaskLoadStatus status = MaskLoadStatus::NotBmp;
    QString message; // for an information box (caption MaskText::Caption); empty when Ok
    QImage shown; // for MaskImage; null: clear it
    QString info; // for STMaskInfo: the size line when Ok, else empty
};

// "Load Image" without its dialog and widgets: checks the file and converts it into stream
// and kind. A file that cannot be converted leaves stream and kind as they were; a stream over
// its limit clears stream and sets kind to 0.
MaskLoadResult LoadMaskImage(const QByteArray& file, std::size_t monoMaskLimit, MaskBytes& stream, int& kind);

// A 1-bit picture as QImage::Format_Mono, an 8-bit one as Format_Indexed8, with the picture's
// palette (or the one given, for a mono preview).
QImage MaskPictureImage(const MaskPicture& picture);
QImage MaskPictureImage(const MaskPicture& picture, const std::array<MaskRgb, 2>& monoPalette);

} // namespace trivel
