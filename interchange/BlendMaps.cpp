#include "interchange/BlendMaps.h"

#include "preview/OutputPreview.h"

#include <QRgba64>

#include <algorithm>
#include <cmath>
#include <cstring>
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

// Rows that are alike are written once and copied: most rows of a blend map are.
void CopyRow(QImage& img, int from, int to)
{
    std::memcpy(img.scanLine(to), img.constScanLine(from), std::size_t(img.bytesPerLine()));
}

} // namespace

QImage AlphaMapImage(const BlendRecord& b, int width, int height)
{
    const Profile cols = AxisFactors(b, width, 0, 1);
    const Profile rows = AxisFactors(b, height, 2, 3);
    const bool grey = ChannelsAgree(cols) && ChannelsAgree(rows);
    QImage img(width, height, grey ? QImage::Format_Grayscale16 : QImage::Format_RGBX64);
    int fullRow = -1; // a row whose vertical factors are all 1, once written
    for (int y = 0; y < height; ++y) {
        const auto yi = std::size_t(y);
        const bool full = rows[0][yi] == 1.0 && rows[1][yi] == 1.0 && rows[2][yi] == 1.0;
        if (full && fullRow >= 0) {
            CopyRow(img, fullRow, y);
            continue;
        }
        if (full)
            fullRow = y;
        if (grey) {
            auto* line = reinterpret_cast<quint16*>(img.scanLine(y));
            for (int x = 0; x < width; ++x)
                line[x] = Sample16(cols[0][std::size_t(x)] * rows[0][yi]);
        } else {
            auto* line = reinterpret_cast<QRgba64*>(img.scanLine(y));
            for (int x = 0; x < width; ++x) {
                const auto xi = std::size_t(x);
                line[x] = QRgba64::fromRgba64(Sample16(cols[0][xi] * rows[0][yi]),
                    Sample16(cols[1][xi] * rows[1][yi]), Sample16(cols[2][xi] * rows[2][yi]), 65535);
            }
        }
    }
    return img;
}

QImage BetaMapImage(const BlendRecord& b, int width, int height)
{
    BlendRecord r = b;
    bool grey = true;
    for (int slot = 0; slot < 9; ++slot)
        grey = grey && r.blackLevel(slot, 0) == r.blackLevel(slot, 1)
            && r.blackLevel(slot, 1) == r.blackLevel(slot, 2);
    // Lifts are whole steps of 1/255: eight bits hold them exactly.
    QImage img(width, height, grey ? QImage::Format_Grayscale8 : QImage::Format_RGB888);
    std::array<int, 3> zoneRow{-1, -1, -1}; // the first row of each row zone, once written
    for (int y = 0; y < height; ++y) {
        const int zone = BlendZone(b, 2, 3, y, height);
        if (zoneRow[std::size_t(zone)] >= 0) {
            CopyRow(img, zoneRow[std::size_t(zone)], y);
            continue;
        }
        zoneRow[std::size_t(zone)] = y;
        uchar* line = img.scanLine(y);
        for (int x = 0; x < width; ++x) {
            const int slot = BlackLevelSlot(zone, BlendZone(b, 0, 1, x, width));
            if (grey) {
                line[x] = r.blackLevel(slot, 0);
            } else {
                for (int c = 0; c < 3; ++c)
                    line[3 * x + c] = r.blackLevel(slot, c);
            }
        }
    }
    return img;
}

double AlphaDifference(const QImage& alpha, const BlendRecord& b, QPoint* at)
{
    const QImage a = alpha.convertToFormat(QImage::Format_RGBX64);
    const Profile cols = AxisFactors(b, a.width(), 0, 1);
    const Profile rows = AxisFactors(b, a.height(), 2, 3);
    double worst = 0.0;
    const auto lineBytes = std::size_t(a.bytesPerLine());
    for (int y = 0; y < a.height(); ++y) {
        // The same samples against the same factors as the row above: nothing new.
        const auto yi = std::size_t(y);
        if (y > 0 && rows[0][yi] == rows[0][yi - 1] && rows[1][yi] == rows[1][yi - 1]
            && rows[2][yi] == rows[2][yi - 1]
            && std::memcmp(a.constScanLine(y), a.constScanLine(y - 1), lineBytes) == 0)
            continue;
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
