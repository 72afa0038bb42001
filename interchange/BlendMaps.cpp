#include "interchange/BlendMaps.h"

#include "preview/OutputPreview.h"

#include <QRgba64>

#include <algorithm>
#include <cmath>
#include <vector>

namespace trivel {

namespace {

using Profile = std::array<std::vector<double>, 3>;

// The product of an axis's two edges per channel and position.
Profile AxisFactors(const BlendRecord& b, int size, int nearSide, int farSide)
{
    Profile p;
    for (int c = 0; c < 3; ++c) {
        auto& f = p[std::size_t(c)];
        f.resize(std::size_t(size));
        for (int i = 0; i < size; ++i)
            f[std::size_t(i)]
                = BlendRampFactor(b, nearSide, c, i) * BlendRampFactor(b, farSide, c, size - 1 - i);
    }
    return p;
}

bool ChannelsAgree(const Profile& p)
{
    return p[0] == p[1] && p[1] == p[2];
}

quint16 Sample16(double v)
{
    return quint16(std::lround(std::clamp(v, 0.0, 1.0) * 65535.0));
}

// A picture of f(x, y, channel) in 0..1 at 16 bits, grey when `grey`.
template <typename F> QImage MapImage(int width, int height, bool grey, F&& f)
{
    QImage img(width, height, grey ? QImage::Format_Grayscale16 : QImage::Format_RGBX64);
    for (int y = 0; y < height; ++y) {
        if (grey) {
            auto* line = reinterpret_cast<quint16*>(img.scanLine(y));
            for (int x = 0; x < width; ++x)
                line[x] = Sample16(f(x, y, 0));
        } else {
            auto* line = reinterpret_cast<QRgba64*>(img.scanLine(y));
            for (int x = 0; x < width; ++x)
                line[x] = QRgba64::fromRgba64(
                    Sample16(f(x, y, 0)), Sample16(f(x, y, 1)), Sample16(f(x, y, 2)), 65535);
        }
    }
    return img;
}

} // namespace

QImage AlphaMapImage(const BlendRecord& b, int width, int height)
{
    const Profile cols = AxisFactors(b, width, 0, 1);
    const Profile rows = AxisFactors(b, height, 2, 3);
    return MapImage(width, height, ChannelsAgree(cols) && ChannelsAgree(rows), [&](int x, int y, int c) {
        return cols[std::size_t(c)][std::size_t(x)] * rows[std::size_t(c)][std::size_t(y)];
    });
}

QImage BetaMapImage(const BlendRecord& b, int width, int height)
{
    BlendRecord r = b;
    bool grey = true;
    for (int slot = 0; slot < 9; ++slot)
        grey = grey && r.blackLevel(slot, 0) == r.blackLevel(slot, 1)
            && r.blackLevel(slot, 1) == r.blackLevel(slot, 2);
    std::vector<int> colZone(static_cast<std::size_t>(width));
    std::vector<int> rowZone(static_cast<std::size_t>(height));
    for (int x = 0; x < width; ++x)
        colZone[std::size_t(x)] = BlendZone(b, 0, 1, x, width);
    for (int y = 0; y < height; ++y)
        rowZone[std::size_t(y)] = BlendZone(b, 2, 3, y, height);
    return MapImage(width, height, grey, [&](int x, int y, int c) {
        return double(r.blackLevel(BlackLevelSlot(rowZone[std::size_t(y)], colZone[std::size_t(x)]), c))
            / 255.0;
    });
}

double AlphaDifference(const QImage& alpha, const BlendRecord& b, QPoint* at)
{
    const QImage a = alpha.convertToFormat(QImage::Format_RGBX64);
    const Profile cols = AxisFactors(b, a.width(), 0, 1);
    const Profile rows = AxisFactors(b, a.height(), 2, 3);
    double worst = 0.0;
    for (int y = 0; y < a.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgba64*>(a.constScanLine(y));
        for (int x = 0; x < a.width(); ++x) {
            const quint16 s[3] = {line[x].red(), line[x].green(), line[x].blue()};
            for (std::size_t c = 0; c < 3; ++c) {
                const double d
                    = std::abs(double(s[c]) / 65535.0 - cols[c][std::size_t(x)] * rows[c][std::size_t(y)]);
                if (d > worst) {
                    worst = d;
                    if (at)
                        *at = QPoint(x, y);
                }
            }
        }
    }
    return worst;
}

} // namespace trivel
