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

namespace {

// The geometry: each output row read from the source through the tables.
class WarpPass {
public:
    WarpPass(const PreviewInput& in, const QImage& src, int step)
        : m_in(in)
        , m_step(step)
        , m_srcW(src.width())
        , m_srcH(src.height())
        , m_bits(reinterpret_cast<const std::uint32_t*>(src.constBits()))
        , m_stride(std::size_t(src.bytesPerLine()) / 4)
        , m_tables(in.sourceX.size() == std::size_t(kSourceTableEntries)
              && in.sourceY.size() == std::size_t(kSourceTableEntries))
        // Mesh columns the frame touches, plus the right neighbour of the last one.
        , m_meshColumns(std::min((in.width - 1) / kMeshStep + 2, kSourceTableColumns))
    {
    }

    void row(int j, std::uint32_t* dst, int outW)
    {
        const int y = std::min(j * m_step, m_in.height - 1);
        const int n = y >> 4;
        const int fy = y & 15;
        const int n1 = std::min(n + 1, kSourceTableRows - 1);
        // Each mesh column's source position at this output row, in 1/256 pixel.
        for (int l = 0; l < m_meshColumns; ++l) {
            const auto li = std::size_t(l);
            if (m_tables) {
                const auto i0 = std::size_t(SourceTableIndex(l, n));
                const auto i1 = std::size_t(SourceTableIndex(l, n1));
                m_colX[li] = SignedEntry(m_in.sourceX[i0]) * (16 - fy) + SignedEntry(m_in.sourceX[i1]) * fy;
                m_colY[li] = SignedEntry(m_in.sourceY[i0]) * (16 - fy) + SignedEntry(m_in.sourceY[i1]) * fy;
            } else {
                m_colX[li] = l * 4096;
                m_colY[li] = y * 256;
            }
        }
        if (m_step == 1) {
            // A mesh cell at a time: within a cell the source position grows by a constant per
            // pixel, one addition each.
            for (int x0 = 0, l = 0; x0 < outW; x0 += kMeshStep, ++l) {
                const auto li = std::size_t(l);
                const auto l1 = std::size_t(std::min(l + 1, m_meshColumns - 1));
                int ax = m_colX[li] * 16;
                int ay = m_colY[li] * 16;
                const int dx = m_colX[l1] - m_colX[li];
                const int dy = m_colY[l1] - m_colY[li];
                const int end = std::min(x0 + kMeshStep, outW);
                for (int x = x0; x < end; ++x, ax += dx, ay += dy)
                    dst[x] = SampleSource(m_bits, m_stride, m_srcW, m_srcH, ax >> 8, ay >> 8);
            }
            return;
        }
        for (int i = 0; i < outW; ++i) {
            const int x = std::min(i * m_step, m_in.width - 1);
            const auto li = std::size_t(x >> 4);
            const int fx = x & 15;
            const auto l1 = std::size_t(std::min(int(li) + 1, m_meshColumns - 1));
            // 1/4096 pixel, then 1/16 pixel as the box resolves it.
            const int sx = (m_colX[li] * (16 - fx) + m_colX[l1] * fx) >> 8;
            const int sy = (m_colY[li] * (16 - fx) + m_colY[l1] * fx) >> 8;
            dst[i] = SampleSource(m_bits, m_stride, m_srcW, m_srcH, sx, sy);
        }
    }

private:
    const PreviewInput& m_in;
    int m_step;
    int m_srcW;
    int m_srcH;
    const std::uint32_t* m_bits;
    std::size_t m_stride;
    bool m_tables;
    int m_meshColumns;
    std::array<int, kSourceTableColumns> m_colX{};
    std::array<int, kSourceTableColumns> m_colY{};
};

} // namespace

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

double BlendRampFactor(const BlendRecord& b, int side, int channel, int d)
{
    const double e
        = BlendEdgeFactor(d, b.edgeWidth(side), b.edgeShift(side), b.transitionGamma(channel), b.bytes[25]);
    const double gain = 0.5 + double(b.bytes[22 + std::size_t(channel % 3)]) / 100.0;
    return e < 1.0 ? std::min(1.0, e * gain) : 1.0;
}

int BlendZone(const BlendRecord& b, int nearSide, int farSide, int pos, int size)
{
    const int wNear = b.edgeWidth(nearSide);
    const int wFar = b.edgeWidth(farSide);
    if (wNear > 0 && pos < b.edgeShift(nearSide) + wNear)
        return 0;
    if (wFar > 0 && size - 1 - pos < b.edgeShift(farSide) + wFar)
        return 2;
    return 1;
}

int BlackLevelSlot(int rowZone, int columnZone)
{
    static constexpr std::array<std::array<int, 3>, 3> kSlotOfZone{{
        {5, 3, 6}, // top row: left, middle, right
        {1, 0, 2},
        {7, 4, 8},
    }};
    return kSlotOfZone[std::size_t(std::clamp(rowZone, 0, 2))][std::size_t(std::clamp(columnZone, 0, 2))];
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
    for (int c = 0; c < 3; ++c) {
        auto& f = p.factor[std::size_t(c)];
        f.assign(std::size_t(n), 256);
        for (int i = 0; i < n; ++i) {
            const int pos = std::min(i * step, size - 1);
            const double v
                = BlendRampFactor(b, nearSide, c, pos) * BlendRampFactor(b, farSide, c, size - 1 - pos);
            f[std::size_t(i)] = int(std::lround(v * 256.0));
            if (f[std::size_t(i)] != 256)
                p.neutral = false;
        }
    }
    for (int i = 0; i < n; ++i)
        p.part[std::size_t(i)]
            = std::uint8_t(BlendZone(b, nearSide, farSide, std::min(i * step, size - 1), size));
    return p;
}

} // namespace

namespace {

// Blend ramps, colour gain and offset, black-level lift: separable factors per column and row,
// then one table per black-level slot and channel.
class BlendPass {
public:
    BlendPass(const BlendRecord& b, int width, int height, int step)
        : m_cols(PlanAxis(b, width, step, 0, 1))
        , m_rows(PlanAxis(b, height, step, 2, 3))
    {
        BlendRecord r = b;
        bool toneNeutral = true;
        m_slotNeutral.fill(true);
        for (int slot = 0; slot < 9; ++slot) {
            for (int c = 0; c < 3; ++c) {
                const double gain = double(r.colourGain(c)) / 50.0;
                const double offset = double(r.colourOffset(c)) - 50.0;
                const double lift = double(r.blackLevel(slot, c));
                for (int v = 0; v < 256; ++v) {
                    double t = std::clamp(double(v) * gain + offset, 0.0, 255.0);
                    t += lift * (255.0 - t) / 255.0;
                    const auto out = std::uint8_t(std::clamp(std::lround(t), 0L, 255L));
                    m_tone[std::size_t(slot)][std::size_t(c)][std::size_t(v)] = out;
                    if (out != v)
                        toneNeutral = m_slotNeutral[std::size_t(slot)] = false;
                }
            }
        }
        m_active = !(m_cols.neutral && m_rows.neutral && toneNeutral);
        // Columns where no ramp acts; with a neutral row and slot their pixels stay as they are.
        m_colPlain.resize(m_cols.part.size());
        for (std::size_t i = 0; i < m_colPlain.size(); ++i)
            m_colPlain[i]
                = m_cols.factor[0][i] == 256 && m_cols.factor[1][i] == 256 && m_cols.factor[2][i] == 256;
    }

    bool active() const { return m_active; }

    void row(int j, std::uint32_t* dst, int outW) const
    {
        const auto rj = std::size_t(j);
        if (rj >= m_rows.part.size())
            return;
        const int w = std::min(outW, int(m_cols.part.size()));
        const int rowPart = m_rows.part[rj];
        const int rf[3] = {m_rows.factor[0][rj], m_rows.factor[1][rj], m_rows.factor[2][rj]};
        const bool rowPlain = rf[0] == 256 && rf[1] == 256 && rf[2] == 256;
        std::array<bool, 3> partPlain{};
        std::array<const Tone*, 3> tone{};
        for (std::size_t part = 0; part < 3; ++part) {
            const auto slot = std::size_t(BlackLevelSlot(rowPart, int(part)));
            partPlain[part] = rowPlain && m_slotNeutral[slot];
            tone[part] = &m_tone[slot];
        }
        const int* cr = m_cols.factor[0].data();
        const int* cg = m_cols.factor[1].data();
        const int* cb = m_cols.factor[2].data();
        for (int i = 0; i < w; ++i) {
            const auto ci = std::size_t(i);
            const std::size_t part = m_cols.part[ci];
            if (m_colPlain[ci] && partPlain[part])
                continue;
            const Tone& t = *tone[part];
            const std::uint32_t p = dst[i];
            const int r = int((p >> 16) & 0xFF) * cr[i] * rf[0] >> 16;
            const int g = int((p >> 8) & 0xFF) * cg[i] * rf[1] >> 16;
            const int bl = int(p & 0xFF) * cb[i] * rf[2] >> 16;
            dst[i] = 0xFF000000u | std::uint32_t(t[0][std::size_t(r)]) << 16
                | std::uint32_t(t[1][std::size_t(g)]) << 8 | std::uint32_t(t[2][std::size_t(bl)]);
        }
    }

private:
    using Tone = std::array<std::array<std::uint8_t, 256>, 3>;
    AxisPlan m_cols;
    AxisPlan m_rows;
    std::array<Tone, 9> m_tone{};
    std::array<bool, 9> m_slotNeutral{};
    std::vector<std::uint8_t> m_colPlain;
    bool m_active = false;
};

} // namespace

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

namespace {

// The window's mask over each row, at the header's offsets.
class MaskPass {
public:
    MaskPass(const PreviewMask& mask, int width, int height, int step)
        : m_mask(mask)
        , m_width(width)
        , m_height(height)
        , m_step(step)
    {
        const MaskPicture& pic = mask.picture;
        const bool mono = mask.kind == PreviewMask::Kind::Mono;
        m_active = mask.kind != PreviewMask::Kind::None && !pic.isNull() && pic.depth == (mono ? 1 : 8)
            && pic.pixels.size() >= std::size_t(pic.stride()) * std::size_t(pic.height);
        // Offsets far outside any frame behave alike; clamped, no arithmetic on them overflows.
        m_offsetX = std::clamp(mask.offsetX, -kMaxMaskWidth, kMaxWarpFrameWidth);
        m_offsetY = std::clamp(mask.offsetY, -kMaxMaskHeight, kMaxWarpFrameHeight);
        m_paint = 0xFF000000u | std::uint32_t(mask.colour.red) << 16 | std::uint32_t(mask.colour.green) << 8
            | mask.colour.blue;
    }

    bool active() const { return m_active; }

    void row(int j, std::uint32_t* dst, int outW) const
    {
        const MaskPicture& pic = m_mask.picture;
        const bool mono = m_mask.kind == PreviewMask::Kind::Mono;
        const bool background = mono && m_mask.backgroundMasked;
        const int y = std::min(j * m_step, m_height - 1);
        const int my = y - m_offsetY;
        const bool rowInside = my >= 0 && my < pic.height;
        if (!rowInside && !background)
            return;
        if (mono && m_step == 1 && rowInside && !background) {
            PaintMonoRow(
                pic.row(my), pic.width, m_offsetX, std::min(outW, m_width), m_mask.maskValue, m_paint, dst);
            return;
        }
        for (int i = 0; i < outW; ++i) {
            const int x = std::min(i * m_step, m_width - 1);
            const int mx = x - m_offsetX;
            if (!rowInside || mx < 0 || mx >= pic.width) {
                if (background)
                    dst[i] = m_paint;
                continue;
            }
            const int v = pic.pixel(mx, my);
            if (mono) {
                if (v == m_mask.maskValue)
                    dst[i] = m_paint;
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

private:
    const PreviewMask& m_mask;
    int m_width;
    int m_height;
    int m_step;
    int m_offsetX = 0;
    int m_offsetY = 0;
    bool m_active = false;
    std::uint32_t m_paint = 0;
};

} // namespace

QImage RenderOutputPreview(const PreviewInput& in, int step)
{
    if (step < 1 || !WarpFrameSizeFits(in.width, in.height))
        return {};
    const QImage src = PrepareSourceForFrame(in.source, in.width, in.height);
    QImage out(OutSize(in.width, step), OutSize(in.height, step), QImage::Format_RGB32);
    if (out.isNull())
        return {};
    WarpPass warp(in, src, step);
    const BlendPass blend(in.blend, in.width, in.height, step);
    const bool blending = in.applyBlend && blend.active();
    const MaskPass mask(in.mask, in.width, in.height, step);
    const int outW = out.width();
    // All stages on one row while it is in the cache.
    for (int j = 0; j < out.height(); ++j) {
        auto* dst = reinterpret_cast<std::uint32_t*>(out.scanLine(j));
        warp.row(j, dst, outW);
        if (blending)
            blend.row(j, dst, outW);
        if (mask.active())
            mask.row(j, dst, outW);
    }
    return out;
}

} // namespace trivel
