#include "preview/PreviewSource.h"

#include "warp/WarpState.h"

#include <QImageReader>
#include <QPainter>

#include <algorithm>

namespace trivel {

namespace {

// Digits as seven segments: the pattern draws without fonts, so trivelctl renders it with a
// plain core application.
void DrawNumber(QPainter& p, const QRect& cell, int number)
{
    static constexpr std::uint8_t kSegments[10]
        = {0x3F, 0x06, 0x5B, 0x4F, 0x66, 0x6D, 0x7D, 0x07, 0x7F, 0x6F};
    const QString digits = QString::number(number);
    const int h = std::max(6, cell.height() / 3);
    const int w = h / 2;
    const int gap = std::max(2, w / 2);
    const int total = int(digits.size()) * w + (int(digits.size()) - 1) * gap;
    int x = cell.center().x() - total / 2;
    const int y = cell.center().y() - h / 2;
    for (const QChar ch : digits) {
        const std::uint8_t m = kSegments[ch.digitValue() % 10];
        const QPoint tl(x, y), tr(x + w, y), ml(x, y + h / 2), mr(x + w, y + h / 2), bl(x, y + h),
            br(x + w, y + h);
        const std::pair<QPoint, QPoint> seg[7]
            = {{tl, tr}, {tr, mr}, {mr, br}, {bl, br}, {ml, bl}, {tl, ml}, {ml, mr}};
        for (int i = 0; i < 7; ++i)
            if (m & (1 << i))
                p.drawLine(seg[i].first, seg[i].second);
        x += w + gap;
    }
}

QImage GridPattern(int width, int height)
{
    QImage img(width, height, QImage::Format_RGB32);
    img.fill(QColor(16, 16, 24));
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    // Lines where the unedited 17 x 17 warp grid lies, so a nudged point shows on its own line.
    auto gx = [&](int k) { return k * width / kGridIntervals; };
    auto gy = [&](int j) { return j * height / kGridIntervals; };
    p.setPen(QPen(QColor(200, 200, 120), std::max(1, width / 960)));
    for (int j = 0; j < kGridIntervals; ++j) {
        for (int k = 0; k < kGridIntervals; ++k) {
            const QRect cell(gx(k), gy(j), gx(k + 1) - gx(k), gy(j + 1) - gy(j));
            if ((j + k) % 2 == 0)
                p.fillRect(cell, QColor(40, 40, 56));
            DrawNumber(p, cell, j * kGridIntervals + k + 1);
        }
    }
    p.setPen(QPen(Qt::white, std::max(1, width / 960)));
    for (int k = 0; k <= kGridIntervals; ++k) {
        const int x = std::min(gx(k), width - 1);
        p.drawLine(x, 0, x, height - 1);
    }
    for (int j = 0; j <= kGridIntervals; ++j) {
        const int y = std::min(gy(j), height - 1);
        p.drawLine(0, y, width - 1, y);
    }
    // A large centre circle and one in each quarter: circles that stay round show true geometry.
    p.setPen(QPen(QColor(80, 200, 255), std::max(2, width / 480)));
    p.setBrush(Qt::NoBrush);
    const int r = std::min(width, height) / 2 - 4;
    p.drawEllipse(QPoint(width / 2, height / 2), r, r);
    const int rq = std::min(width, height) / 6;
    for (int qy : {1, 3})
        for (int qx : {1, 3})
            p.drawEllipse(QPoint(qx * width / 4, qy * height / 4), rq, rq);
    p.setPen(QPen(QColor(255, 80, 80), std::max(2, width / 480)));
    p.drawRect(0, 0, width - 1, height - 1);
    return img;
}

QImage RampPattern(int width, int height)
{
    QImage img(width, height, QImage::Format_RGB32);
    // Upper half: black to white across; lower half: white, so a blend's fall-off shows plainly.
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(img.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const std::uint32_t v = y < height / 2 ? std::uint32_t(x * 255 / std::max(1, width - 1)) : 255u;
            row[x] = 0xFF000000u | v << 16 | v << 8 | v;
        }
    }
    return img;
}

} // namespace

bool IsPreviewTestPattern(const QString& name)
{
    return name == QLatin1String("grid") || name == QLatin1String("ramp");
}

QImage PreviewTestPattern(const QString& name, int width, int height)
{
    if (width <= 0 || height <= 0)
        return {};
    if (name == QLatin1String("ramp"))
        return RampPattern(width, height);
    return GridPattern(width, height);
}

QImage LoadPreviewSource(const QString& nameOrFile, int width, int height, QString* message)
{
    if (nameOrFile.isEmpty() || IsPreviewTestPattern(nameOrFile))
        return PreviewTestPattern(nameOrFile.isEmpty() ? QStringLiteral("grid") : nameOrFile, width, height);
    QImageReader reader(nameOrFile);
    // A picture far beyond any frame is refused rather than decoded into gigabytes.
    reader.setAllocationLimit(256);
    QImage img = reader.read();
    if (img.isNull() && message)
        *message
            = QStringLiteral("Cannot read the source picture %1: %2").arg(nameOrFile, reader.errorString());
    return img;
}

} // namespace trivel
