#include "align/PatternPicture.h"

#include <algorithm>

namespace trivel::align {

QImage MaskPatternPicture(const MaskBytes& stream, int width, int height)
{
    QImage out(std::max(1, width), std::max(1, height), QImage::Format_RGB32);
    out.fill(Qt::black);
    MaskHeader h;
    if (!ReadMaskHeader(stream.data(), stream.size(), h) || !h.holdsMask() || h.isColour())
        return out;
    const MaskDecodeResult r = DecodeMonoMask(stream);
    if (!r.ok)
        return out;
    const int shown = h.reverse ? 0 : 1;
    const MaskRgb c = MonoPreviewPalette(h)[std::size_t(shown)];
    const QRgb colour = qRgb(c.red, c.green, c.blue);
    // Offsets beyond the frame put the picture off it; 32-bit offsets must not wrap into it.
    const long long ox = h.offsetX, oy = h.offsetY;
    const MaskPicture& p = r.picture;
    for (int y = 0; y < out.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(out.scanLine(y));
        const long long py = y - oy;
        for (int x = 0; x < out.width(); ++x) {
            const long long px = x - ox;
            const bool inside = px >= 0 && py >= 0 && px < p.width && py < p.height;
            if (inside ? p.pixel(int(px), int(py)) == shown : h.backgroundMasked != 0)
                row[x] = colour;
        }
    }
    return out;
}

QImage GridPatternPicture(int width, int height, const GridSpec& grid)
{
    QImage out(std::max(1, width), std::max(1, height), QImage::Format_RGB32);
    out.fill(Qt::black);
    const int spacing = std::max(grid.spacing, 2);
    const int lineWidth = std::clamp(grid.lineWidth, 1, spacing - 1);
    // Position p lies on a line when it is within lineWidth pixels from the line's first pixel.
    const auto onLine = [&](int p) { return (p + (lineWidth - 1) / 2) % spacing < lineWidth; };
    const QRgb white = qRgb(255, 255, 255);
    for (int y = 0; y < out.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(out.scanLine(y));
        const bool across = onLine(y);
        for (int x = 0; x < out.width(); ++x)
            if (across || onLine(x))
                row[x] = white;
    }
    return out;
}

} // namespace trivel::align
