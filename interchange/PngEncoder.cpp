#include "interchange/PngEncoder.h"

#include <QRgba64>

#include <array>
#include <cstdint>
#include <cstring>

namespace trivel {

namespace {

std::uint32_t Crc32(const QByteArray& data)
{
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k)
                c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    std::uint32_t c = 0xFFFFFFFFu;
    for (char byte : data)
        c = table[(c ^ std::uint8_t(byte)) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

void Put32(QByteArray& out, std::uint32_t v)
{
    out.append(char(v >> 24)).append(char(v >> 16)).append(char(v >> 8)).append(char(v));
}

void Chunk(QByteArray& out, const char* type, const QByteArray& data)
{
    Put32(out, std::uint32_t(data.size()));
    const QByteArray typed = QByteArray(type, 4) + data;
    out.append(typed);
    Put32(out, Crc32(typed));
}

// One row's samples in the file's order: big-endian 16-bit samples, no padding channel.
void RowBytes(const QImage& img, int y, unsigned char* dst)
{
    const int w = img.width();
    switch (img.format()) {
    case QImage::Format_Grayscale16: {
        const auto* src = reinterpret_cast<const quint16*>(img.constScanLine(y));
        for (int x = 0; x < w; ++x, dst += 2) {
            dst[0] = std::uint8_t(src[x] >> 8);
            dst[1] = std::uint8_t(src[x]);
        }
        break;
    }
    case QImage::Format_RGBX64: {
        const auto* src = reinterpret_cast<const QRgba64*>(img.constScanLine(y));
        for (int x = 0; x < w; ++x) {
            for (const quint16 v : {src[x].red(), src[x].green(), src[x].blue()}) {
                *dst++ = std::uint8_t(v >> 8);
                *dst++ = std::uint8_t(v);
            }
        }
        break;
    }
    default: // Grayscale8, RGB888: already the file's bytes
        std::memcpy(
            dst, img.constScanLine(y), std::size_t(w) * (img.format() == QImage::Format_Grayscale8 ? 1 : 3));
        break;
    }
}

} // namespace

QByteArray EncodePng(const QImage& image)
{
    const QImage::Format f = image.format();
    const bool known = f == QImage::Format_Grayscale8 || f == QImage::Format_Grayscale16
        || f == QImage::Format_RGB888 || f == QImage::Format_RGBX64;
    const QImage img = known ? image : image.convertToFormat(QImage::Format_RGB888);
    const bool grey = img.format() == QImage::Format_Grayscale8 || img.format() == QImage::Format_Grayscale16;
    const int bits
        = img.format() == QImage::Format_Grayscale16 || img.format() == QImage::Format_RGBX64 ? 16 : 8;
    const int channels = grey ? 1 : 3;
    const qsizetype rowBytes = qsizetype(img.width()) * channels * bits / 8;

    // Filter "Up" on every row: a row like the one above is all zeros, as the buffer starts.
    QByteArray raw(qsizetype(img.height()) * (rowBytes + 1), '\0');
    QByteArray previous(rowBytes, '\0');
    QByteArray current(rowBytes, '\0');
    const auto lineBytes = std::size_t(img.bytesPerLine());
    for (int y = 0; y < img.height(); ++y) {
        char* out = raw.data() + qsizetype(y) * (rowBytes + 1);
        out[0] = 2;
        if (y > 0 && std::memcmp(img.constScanLine(y), img.constScanLine(y - 1), lineBytes) == 0)
            continue;
        RowBytes(img, y, reinterpret_cast<unsigned char*>(current.data()));
        for (qsizetype i = 0; i < rowBytes; ++i)
            out[1 + i] = char(current[i] - previous[i]);
        std::swap(previous, current);
    }

    QByteArray header;
    Put32(header, std::uint32_t(img.width()));
    Put32(header, std::uint32_t(img.height()));
    header.append(char(bits)).append(char(grey ? 0 : 2)).append('\0').append('\0').append('\0');
    QByteArray png("\x89PNG\r\n\x1a\n", 8);
    Chunk(png, "IHDR", header);
    // qCompress gives a zlib stream after a four-byte length of its own.
    Chunk(png, "IDAT", qCompress(raw, 1).mid(4));
    Chunk(png, "IEND", {});
    return png;
}

} // namespace trivel
