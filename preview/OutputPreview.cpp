#include "preview/OutputPreview.h"

#include "warp/WarpModel.h"
#include "warp/WarpState.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace trivel {

namespace {

// Table words 0xC000..0xFFFF are negative positions.
inline int SignedEntry(std::uint16_t w)
{
    return w >= 0xC000 ? int(w) - 65536 : int(w);
}

// Bilinear mix of four RGB32 pixels with weights in 1/16 steps; red/blue and green are mixed
// two channels per multiply (a field times at most 256 cannot reach the next field).
inline std::uint32_t Mix4(
    std::uint32_t p00, std::uint32_t p10, std::uint32_t p01, std::uint32_t p11, int fx, int fy)
{
    const std::uint32_t w11 = std::uint32_t(fx * fy);
    const std::uint32_t w10 = std::uint32_t(fx * 16) - w11;
    const std::uint32_t w01 = std::uint32_t(fy * 16) - w11;
    const std::uint32_t w00 = 256u - w10 - w01 - w11;
    const std::uint32_t rb = (((p00 & 0xFF00FFu) * w00 + (p10 & 0xFF00FFu) * w10 + (p01 & 0xFF00FFu) * w01
                                  + (p11 & 0xFF00FFu) * w11)
                                 >> 8)
        & 0xFF00FFu;
    const std::uint32_t g
        = (((p00 & 0xFF00u) * w00 + (p10 & 0xFF00u) * w10 + (p01 & 0xFF00u) * w01 + (p11 & 0xFF00u) * w11)
              >> 8)
        & 0xFF00u;
    return 0xFF000000u | rb | g;
}

// The source at (sx, sy) in 1/16 pixel, bilinear; black outside it.
inline std::uint32_t SampleSource(const std::uint32_t* bits, std::size_t stride, int w, int h, int sx, int sy)
{
    const int px = sx >> 4;
    const int py = sy >> 4;
    if (unsigned(px) >= unsigned(w) || unsigned(py) >= unsigned(h))
        return 0xFF000000u;
    const std::uint32_t* row0 = bits + std::size_t(py) * stride;
    const int fx = sx & 15;
    const int fy = sy & 15;
    if ((fx | fy) == 0)
        return row0[px];
    const int px1 = px + 1 < w ? px + 1 : px;
    const std::uint32_t* row1 = py + 1 < h ? row0 + stride : row0;
    return Mix4(row0[px], row0[px1], row1[px], row1[px1], fx, fy);
}

int OutSize(int frame, int step)
{
    return (frame + step - 1) / step;
}

} // namespace

QImage PrepareSourceForFrame(const QImage& source, int width, int height)
{
    if (source.isNull() || width <= 0 || height <= 0) {
        QImage black(std::max(width, 1), std::max(height, 1), QImage::Format_RGB32);
        black.fill(Qt::black);
        return black;
    }
    QImage s
        = source.format() == QImage::Format_RGB32 ? source : source.convertToFormat(QImage::Format_RGB32);
    if (s.width() != width || s.height() != height)
        s = s.scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return s;
}

void WarpThroughTables(const PreviewInput& in, const QImage& src, QImage& out, int step)
{
    const int W = in.width;
    const int H = in.height;
    const int outW = out.width();
    const int outH = out.height();
    const int srcW = src.width();
    const int srcH = src.height();
    const bool haveTables = in.sourceX.size() == std::size_t(kSourceTableEntries)
        && in.sourceY.size() == std::size_t(kSourceTableEntries);

    // Mesh columns the frame touches, plus the right neighbour of the last one.
    const int meshColumns = std::min((W - 1) / kMeshStep + 2, kSourceTableColumns);
    std::array<int, kSourceTableColumns> colX{};
    std::array<int, kSourceTableColumns> colY{};
    const auto* srcBits = reinterpret_cast<const std::uint32_t*>(src.constBits());
    const std::size_t srcStride = std::size_t(src.bytesPerLine()) / 4;

    for (int j = 0; j < outH; ++j) {
        const int y = std::min(j * step, H - 1);
        const int n = y >> 4;
        const int fy = y & 15;
        const int n1 = std::min(n + 1, kSourceTableRows - 1);
        // Each mesh column's source position at this output row, in 1/256 pixel.
        for (int l = 0; l < meshColumns; ++l) {
            if (haveTables) {
                const std::size_t i0 = std::size_t(SourceTableIndex(l, n));
                const std::size_t i1 = std::size_t(SourceTableIndex(l, n1));
                colX[std::size_t(l)]
                    = SignedEntry(in.sourceX[i0]) * (16 - fy) + SignedEntry(in.sourceX[i1]) * fy;
                colY[std::size_t(l)]
                    = SignedEntry(in.sourceY[i0]) * (16 - fy) + SignedEntry(in.sourceY[i1]) * fy;
            } else {
                colX[std::size_t(l)] = l * 4096;
                colY[std::size_t(l)] = y * 256;
            }
        }
        auto* dst = reinterpret_cast<std::uint32_t*>(out.scanLine(j));
        if (step == 1) {
            // Walk the row a mesh cell at a time: within a cell the source position grows by a
            // constant per pixel, so it is one addition per pixel.
            for (int x0 = 0, l = 0; x0 < outW; x0 += kMeshStep, ++l) {
                const int l1 = std::min(l + 1, meshColumns - 1);
                int ax = colX[std::size_t(l)] * 16;
                int ay = colY[std::size_t(l)] * 16;
                const int dx = colX[std::size_t(l1)] - colX[std::size_t(l)];
                const int dy = colY[std::size_t(l1)] - colY[std::size_t(l)];
                const int end = std::min(x0 + kMeshStep, outW);
                for (int x = x0; x < end; ++x, ax += dx, ay += dy)
                    dst[x] = SampleSource(srcBits, srcStride, srcW, srcH, ax >> 8, ay >> 8);
            }
            continue;
        }
        for (int i = 0; i < outW; ++i) {
            const int x = std::min(i * step, W - 1);
            const int l = x >> 4;
            const int fx = x & 15;
            const int l1 = std::min(l + 1, meshColumns - 1);
            // 1/4096 pixel, then 1/16 pixel as the box resolves it.
            const int sx = (colX[std::size_t(l)] * (16 - fx) + colX[std::size_t(l1)] * fx) >> 8;
            const int sy = (colY[std::size_t(l)] * (16 - fx) + colY[std::size_t(l1)] * fx) >> 8;
            dst[i] = SampleSource(srcBits, srcStride, srcW, srcH, sx, sy);
        }
    }
}

double BlendEdgeFactor(int d, int width, int shift, int transitionGamma, int gammaOffset)
{
    if (width <= 0)
        return 1.0;
    const double u = (double(d) - double(shift) + 0.5) / double(width);
    if (u <= 0.0)
        return 0.0;
    if (u >= 1.0)
        return 1.0;
    // Equal transition gamma and gamma offset give a straight ramp of the signal; a larger
    // transition gamma lifts the ramp, a larger offset lowers it.
    const double e = double(std::clamp(gammaOffset, 90, 250)) / double(std::clamp(transitionGamma, 90, 300));
    return std::pow(u, e);
}

namespace {

// Fixed-point factors (256 = 1) of one axis for the three channels, and which third of the
// picture (0 before the first blend zone's end, 1 between, 2 in the last zone) each pixel is in.
struct AxisPlan {
    std::array<std::vector<int>, 3> factor;
    std::vector<std::uint8_t> part;
    bool neutral = true;
};

AxisPlan PlanAxis(const BlendRecord& b, int size, int step, int nearSide, int farSide)
{
    AxisPlan p;
    const int n = OutSize(size, step);
    p.part.assign(std::size_t(n), 1);
    const int wNear = b.edgeWidth(nearSide);
    const int wFar = b.edgeWidth(farSide);
    const int sNear = b.edgeShift(nearSide);
    const int sFar = b.edgeShift(farSide);
    const int go = b.bytes[25];
    for (int c = 0; c < 3; ++c) {
        auto& f = p.factor[std::size_t(c)];
        f.assign(std::size_t(n), 256);
        const int tg = b.transitionGamma(c);
        const double gain = 0.5 + double(b.bytes[22 + std::size_t(c)]) / 100.0;
        auto edge = [&](int d, int w, int s) {
            const double e = BlendEdgeFactor(d, w, s, tg, go);
            return e < 1.0 ? std::min(1.0, e * gain) : 1.0;
        };
        for (int i = 0; i < n; ++i) {
            const int pos = std::min(i * step, size - 1);
            const double v = edge(pos, wNear, sNear) * edge(size - 1 - pos, wFar, sFar);
            f[std::size_t(i)] = int(std::lround(v * 256.0));
            if (f[std::size_t(i)] != 256)
                p.neutral = false;
        }
    }
    for (int i = 0; i < n; ++i) {
        const int pos = std::min(i * step, size - 1);
        if (wNear > 0 && pos < sNear + wNear)
            p.part[std::size_t(i)] = 0;
        else if (wFar > 0 && size - 1 - pos < sFar + wFar)
            p.part[std::size_t(i)] = 2;
    }
    return p;
}

// Black-level slot of the box by (column third, row third).
constexpr std::array<std::array<int, 3>, 3> kSlotOfPart{{
    {5, 3, 6}, // top row: left, middle, right
    {1, 0, 2},
    {7, 4, 8},
}};

} // namespace

void ApplyBlendStage(const BlendRecord& blend, int width, int height, QImage& out, int step)
{
    BlendRecord b = blend;
    const AxisPlan cols = PlanAxis(b, width, step, 0, 1);
    const AxisPlan rows = PlanAxis(b, height, step, 2, 3);

    // Colour gain and offset, then the region's black-level lift, as one table per slot and channel.
    std::array<std::array<std::array<std::uint8_t, 256>, 3>, 9> tone{};
    std::array<bool, 9> slotNeutral{};
    slotNeutral.fill(true);
    bool toneNeutral = true;
    for (int slot = 0; slot < 9; ++slot) {
        for (int c = 0; c < 3; ++c) {
            const double gain = double(b.colourGain(c)) / 50.0;
            const double offset = double(b.colourOffset(c)) - 50.0;
            const double lift = double(b.blackLevel(slot, c));
            for (int v = 0; v < 256; ++v) {
                double t = std::clamp(double(v) * gain + offset, 0.0, 255.0);
                t += lift * (255.0 - t) / 255.0;
                const auto r = std::uint8_t(std::clamp(std::lround(t), 0L, 255L));
                tone[std::size_t(slot)][std::size_t(c)][std::size_t(v)] = r;
                if (r != v)
                    toneNeutral = slotNeutral[std::size_t(slot)] = false;
            }
        }
    }
    if (cols.neutral && rows.neutral && toneNeutral)
        return;

    const int outW = out.width();
    const int outH = std::min(out.height(), int(rows.part.size()));
    const int w = std::min(outW, int(cols.part.size()));
    // Columns where no blend acts; with a neutral row and slot their pixels stay as they are.
    std::vector<std::uint8_t> colPlain(static_cast<std::size_t>(w));
    for (int i = 0; i < w; ++i) {
        const std::size_t ci = std::size_t(i);
        colPlain[ci] = cols.factor[0][ci] == 256 && cols.factor[1][ci] == 256 && cols.factor[2][ci] == 256;
    }
    for (int j = 0; j < outH; ++j) {
        auto* dst = reinterpret_cast<std::uint32_t*>(out.scanLine(j));
        const std::size_t rj = std::size_t(j);
        const int rowPart = rows.part[rj];
        const int rf[3] = {rows.factor[0][rj], rows.factor[1][rj], rows.factor[2][rj]};
        const bool rowPlain = rf[0] == 256 && rf[1] == 256 && rf[2] == 256;
        std::array<bool, 3> partPlain{};
        for (std::size_t part = 0; part < 3; ++part)
            partPlain[part] = rowPlain && slotNeutral[std::size_t(kSlotOfPart[std::size_t(rowPart)][part])];
        for (int i = 0; i < w; ++i) {
            const std::size_t ci = std::size_t(i);
            if (colPlain[ci] && partPlain[cols.part[ci]])
                continue;
            const auto& t = tone[std::size_t(kSlotOfPart[std::size_t(rowPart)][cols.part[ci]])];
            const std::uint32_t p = dst[i];
            const int r = int((p >> 16) & 0xFF) * cols.factor[0][ci] * rf[0] >> 16;
            const int g = int((p >> 8) & 0xFF) * cols.factor[1][ci] * rf[1] >> 16;
            const int bl = int(p & 0xFF) * cols.factor[2][ci] * rf[2] >> 16;
            dst[i] = 0xFF000000u | std::uint32_t(t[0][std::size_t(r)]) << 16
                | std::uint32_t(t[1][std::size_t(g)]) << 8 | std::uint32_t(t[2][std::size_t(bl)]);
        }
    }
}

namespace {

// One row of a mono mask at full size: whole bytes without a mask pixel are skipped.
void PaintMonoRow(const std::uint8_t* bits, int picWidth, int offsetX, int outWidth, int maskValue,
    std::uint32_t paint, std::uint32_t* dst)
{
    const std::uint8_t skip = maskValue ? 0x00 : 0xFF;
    const int first = std::max(0, -offsetX);
    const int last = std::min(picWidth, outWidth - offsetX); // exclusive, in mask pixels
    for (int mx = first; mx < last;) {
        const std::uint8_t byte = bits[mx >> 3];
        if (byte == skip) {
            mx = (mx | 7) + 1;
            continue;
        }
        if (((byte >> (7 - (mx & 7))) & 1) == maskValue)
            dst[mx + offsetX] = paint;
        ++mx;
    }
}

} // namespace

void ApplyMaskStage(const PreviewMask& mask, int width, int height, QImage& out, int step)
{
    if (mask.kind == PreviewMask::Kind::None || mask.picture.isNull())
        return;
    const MaskPicture& pic = mask.picture;
    const bool mono = mask.kind == PreviewMask::Kind::Mono;
    if ((!mono && pic.depth != 8) || (mono && pic.depth != 1)
        || pic.pixels.size() < std::size_t(pic.stride()) * std::size_t(pic.height))
        return;
    const std::uint32_t paint = 0xFF000000u | std::uint32_t(mask.colour.red) << 16
        | std::uint32_t(mask.colour.green) << 8 | mask.colour.blue;
    const int outW = out.width();
    const int outH = out.height();
    for (int j = 0; j < outH; ++j) {
        const int y = std::min(j * step, height - 1);
        const int my = y - mask.offsetY;
        const bool rowInside = my >= 0 && my < pic.height;
        if (!rowInside && !(mono && mask.backgroundMasked))
            continue;
        auto* dst = reinterpret_cast<std::uint32_t*>(out.scanLine(j));
        if (mono && step == 1 && rowInside && !mask.backgroundMasked) {
            PaintMonoRow(
                pic.row(my), pic.width, mask.offsetX, std::min(outW, width), mask.maskValue, paint, dst);
            continue;
        }
        for (int i = 0; i < outW; ++i) {
            const int x = std::min(i * step, width - 1);
            const int mx = x - mask.offsetX;
            const bool inside = rowInside && mx >= 0 && mx < pic.width;
            if (!inside) {
                if (mono && mask.backgroundMasked)
                    dst[i] = paint;
                continue;
            }
            const int v = pic.pixel(mx, my);
            if (mono) {
                if (v == mask.maskValue)
                    dst[i] = paint;
                continue;
            }
            if (std::size_t(v) >= pic.palette.size())
                continue;
            const MaskRgb& c = pic.palette[std::size_t(v)];
            const std::uint32_t p = dst[i];
            const std::uint32_t r = ((p >> 16) & 0xFF) * c.red / 255;
            const std::uint32_t g = ((p >> 8) & 0xFF) * c.green / 255;
            const std::uint32_t b = (p & 0xFF) * c.blue / 255;
            dst[i] = 0xFF000000u | r << 16 | g << 8 | b;
        }
    }
}

QImage RenderOutputPreview(const PreviewInput& in, int step)
{
    if (step < 1 || !WarpFrameSizeFits(in.width, in.height))
        return {};
    const QImage src = PrepareSourceForFrame(in.source, in.width, in.height);
    QImage out(OutSize(in.width, step), OutSize(in.height, step), QImage::Format_RGB32);
    WarpThroughTables(in, src, out, step);
    if (in.applyBlend)
        ApplyBlendStage(in.blend, in.width, in.height, out, step);
    ApplyMaskStage(in.mask, in.width, in.height, out, step);
    return out;
}

} // namespace trivel
