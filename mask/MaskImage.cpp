#include "mask/MaskImage.h"

#include "protocol/Frame.h"

#include <QBuffer>
#include <QImageReader>
#include <QLoggingCategory>

#include <algorithm>
#include <cstring>

Q_LOGGING_CATEGORY(lcMask, "trivel.mask")

namespace trivel {

namespace {

constexpr std::size_t kFileHeaderBytes = 14;
constexpr std::uint32_t kCompressionNone = 0;
constexpr std::uint32_t kCompressionRle8 = 1;
constexpr std::uint32_t kCompressionBitfields = 3;

// What the headers of a BMP file say. Qt reads the pixels; these facts decide what the box can
// take and whether the pixels are all there, since Qt converts every depth and fills missing
// rows with whatever its buffer held.
struct BmpFacts {
    std::uint32_t pixelOffset = 0;
    std::int64_t width = 0;
    std::int64_t height = 0; // negative for rows stored top first
    int bitCount = 0;
    std::uint32_t compression = kCompressionNone;
    std::size_t paletteOffset = 0;
    std::size_t paletteEntryBytes = 4;
};

MaskBitmap Refused(MaskLoadStatus status, const char* text)
{
    MaskBitmap b;
    b.status = status;
    b.message = QString::fromLatin1(text);
    return b;
}

MaskLoadStatus ReadBmpFacts(const FrameView& v, BmpFacts& f)
{
    if (v.size() < kFileHeaderBytes + 4 || v.u8(0) != 'B' || v.u8(1) != 'M')
        return MaskLoadStatus::NotBmp;
    f.pixelOffset = v.u32(10);
    const std::uint32_t infoBytes = v.u32(14);
    if (infoBytes == 12) { // OS/2 core header: 16-bit sizes, 3-byte palette entries
        f.width = v.u16(18);
        f.height = v.u16(20);
        f.bitCount = v.u16(24);
        f.paletteEntryBytes = 3;
    } else if (infoBytes >= 16 && infoBytes <= 4096) {
        f.width = v.i32(18);
        f.height = v.i32(22);
        f.bitCount = v.u16(28);
        f.compression = infoBytes >= 20 ? v.u32(30) : kCompressionNone;
    } else {
        return MaskLoadStatus::NotBmp;
    }
    if (!v.fits(0, kFileHeaderBytes + infoBytes))
        return MaskLoadStatus::Damaged;
    f.paletteOffset = kFileHeaderBytes + infoBytes;
    if (f.width <= 0 || f.height == 0)
        return MaskLoadStatus::Damaged;
    return MaskLoadStatus::Ok;
}

std::int64_t Rows(const BmpFacts& f)
{
    return f.height < 0 ? -f.height : f.height;
}

// Whether an uncompressed (or bit-field) pixel array lies wholly inside the file.
bool PixelsPresent(const FrameView& v, const BmpFacts& f)
{
    const std::int64_t stride = (f.width * f.bitCount + 31) / 32 * 4;
    const std::int64_t bytes = stride * Rows(f);
    return bytes >= 0 && v.fits(f.pixelOffset, std::size_t(bytes));
}

// Walks the RLE8 codes up to their end-of-bitmap mark: a file cut short has none.
bool Rle8Complete(const FrameView& v, const BmpFacts& f)
{
    std::size_t at = f.pixelOffset;
    while (v.fits(at, 2)) {
        const std::uint8_t count = v.u8(at);
        const std::uint8_t code = v.u8(at + 1);
        at += 2;
        if (count != 0 || code == 0)
            continue; // a run, or end of line
        if (code == 1)
            return true;
        if (code == 2)
            at += 2; // delta
        else
            at += std::size_t(code) + (code & 1); // literal bytes, padded to a word
    }
    return false;
}

bool DataComplete(const FrameView& v, const BmpFacts& f)
{
    if (f.compression == kCompressionNone || f.compression == kCompressionBitfields)
        return PixelsPresent(v, f);
    if (f.compression == kCompressionRle8 && f.bitCount == 8)
        return Rle8Complete(v, f);
    return false;
}

MaskRgb FileColour(const FrameView& v, const BmpFacts& f, int index)
{
    const std::size_t at = f.paletteOffset + std::size_t(index) * f.paletteEntryBytes;
    return MaskRgb{v.u8(at + 2), v.u8(at + 1), v.u8(at)}; // stored blue, green, red
}

MaskRgb Rgb(QRgb c)
{
    return MaskRgb{std::uint8_t(qRed(c)), std::uint8_t(qGreen(c)), std::uint8_t(qBlue(c))};
}

// Qt turns a 1-bit image whose darker colour comes first around (swapped palette, inverted
// bits). The box wants the file's indices, so undo that when the palettes show it happened.
bool QtSwappedMonoPalette(const FrameView& v, const BmpFacts& f, const QImage& img)
{
    if (img.colorCount() != 2 || !v.fits(f.paletteOffset, 2 * f.paletteEntryBytes))
        return false;
    const MaskRgb file0 = FileColour(v, f, 0);
    const MaskRgb file1 = FileColour(v, f, 1);
    return !(file0 == file1) && Rgb(img.color(0)) == file1 && Rgb(img.color(1)) == file0;
}

MaskPicture PictureOf(const QImage& img, bool invert)
{
    const int depth = img.format() == QImage::Format_Mono ? 1 : 8;
    MaskPicture p(img.width(), img.height(), depth);
    const std::size_t stride = std::size_t(p.stride());
    const int tailBits = p.width % 8;
    for (int y = 0; y < p.height; ++y) {
        std::uint8_t* row = p.row(y);
        std::memcpy(row, img.constScanLine(y), stride);
        if (depth == 1) {
            if (invert)
                for (std::size_t i = 0; i < stride; ++i)
                    row[i] = std::uint8_t(~row[i]);
            if (tailBits != 0)
                row[stride - 1] &= std::uint8_t(0xFF << (8 - tailBits));
        }
    }
    p.palette.clear();
    for (const QRgb c : img.colorTable())
        p.palette.push_back(Rgb(c));
    if (invert && p.palette.size() == 2)
        std::swap(p.palette[0], p.palette[1]);
    return p;
}

// Reads the pixels with Qt into a zero-filled image of the expected form, so that pixels the
// file leaves out (RLE8 deltas and early line ends) come out 0.
bool ReadWithQt(const QByteArray& bytes, QImage& img)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "bmp");
    return reader.read(&img);
}

} // namespace

MaskBitmap LoadMaskBitmap(const std::uint8_t* data, std::size_t size)
{
    if (data == nullptr || size == 0)
        return Refused(MaskLoadStatus::NotBmp, MaskText::NotBmp);
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    // Read-only: the view is const.
    const FrameView v(const_cast<std::uint8_t*>(data), size);

    BmpFacts f;
    const MaskLoadStatus headers = ReadBmpFacts(v, f);
    if (headers == MaskLoadStatus::NotBmp)
        return Refused(headers, MaskText::NotBmp);
    if (headers != MaskLoadStatus::Ok)
        return Refused(headers, MaskText::Damaged);
    if (!MaskImageFits(int(std::min<std::int64_t>(f.width, kMaxMaskWidth + 1)),
            int(std::min<std::int64_t>(Rows(f), kMaxMaskHeight + 1))))
        return Refused(MaskLoadStatus::TooBig, MaskText::ImageTooBig);

    if (f.bitCount != 1 && f.bitCount != 8) {
        MaskBitmap b = Refused(MaskLoadStatus::NotSupported, MaskText::NotSupported);
        b.fileBitsPerPixel = f.bitCount;
        if (DataComplete(v, f))
            ReadWithQt(bytes, b.shown);
        return b;
    }
    const bool codingFits
        = f.compression == kCompressionNone || (f.bitCount == 8 && f.compression == kCompressionRle8);
    if (!codingFits || !DataComplete(v, f)) {
        qCDebug(lcMask) << "BMP pixels missing or coded as" << f.compression;
        return Refused(MaskLoadStatus::Damaged, MaskText::Damaged);
    }

    const QImage::Format format = f.bitCount == 1 ? QImage::Format_Mono : QImage::Format_Indexed8;
    QImage img(int(f.width), int(Rows(f)), format);
    img.fill(0);
    if (!ReadWithQt(bytes, img) || img.format() != format || img.width() != f.width
        || img.height() != Rows(f)) {
        qCDebug(lcMask) << "Qt could not read the BMP pixels";
        return Refused(MaskLoadStatus::Damaged, MaskText::Damaged);
    }

    MaskBitmap b;
    b.status = MaskLoadStatus::Ok;
    b.fileBitsPerPixel = f.bitCount;
    b.picture = PictureOf(img, f.bitCount == 1 && QtSwappedMonoPalette(v, f, img));
    b.shown = img;
    return b;
}

MaskBitmap LoadMaskBitmap(const QByteArray& file)
{
    return LoadMaskBitmap(reinterpret_cast<const std::uint8_t*>(file.constData()), std::size_t(file.size()));
}

MaskLoadResult LoadMaskImage(const QByteArray& file, std::size_t monoMaskLimit, MaskBytes& stream, int& kind)
{
    MaskBitmap b = LoadMaskBitmap(file);
    MaskLoadResult r;
    r.status = b.status;
    r.message = b.message;
    r.shown = b.shown;
    if (b.status != MaskLoadStatus::Ok)
        return r;

    const bool ok = b.picture.depth == 1 ? EncodeMonoMask(b.picture, monoMaskLimit, stream, kind, r.message)
                                         : EncodeColourMask(b.picture, stream, kind, r.message);
    if (!ok) {
        r.status = MaskLoadStatus::StreamTooLarge;
        r.shown = QImage();
        return r;
    }
    r.info = MaskInfoText(b.picture.width, b.picture.height, stream.size());
    return r;
}

QImage MaskPictureImage(const MaskPicture& picture)
{
    if (picture.isNull())
        return QImage();
    QImage img(
        picture.width, picture.height, picture.depth == 1 ? QImage::Format_Mono : QImage::Format_Indexed8);
    const std::size_t stride = std::size_t(picture.stride());
    for (int y = 0; y < picture.height; ++y)
        std::memcpy(img.scanLine(y), picture.row(y), stride);
    QList<QRgb> table;
    for (const MaskRgb& c : picture.palette)
        table.push_back(qRgb(c.red, c.green, c.blue));
    // An 8-bit QImage needs an entry for every index its pixels use.
    while (picture.depth == 8 && table.size() < qsizetype(kMaskPaletteEntries))
        table.push_back(qRgb(0, 0, 0));
    img.setColorTable(table);
    return img;
}

QImage MaskPictureImage(const MaskPicture& picture, const std::array<MaskRgb, 2>& monoPalette)
{
    QImage img = MaskPictureImage(picture);
    if (picture.depth == 1 && !img.isNull())
        img.setColorTable({qRgb(monoPalette[0].red, monoPalette[0].green, monoPalette[0].blue),
            qRgb(monoPalette[1].red, monoPalette[1].green, monoPalette[1].blue)});
    return img;
}

} // namespace trivel
