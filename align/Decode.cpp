#include "align/Decode.h"

#include <algorithm>
#include <cmath>
#include <deque>

namespace trivel::align {

namespace {

constexpr float kConfident = 0.3f; // |positive - inverse| / contrast of a pixel whose bit is sure
constexpr int kMargin = 3; // pixels around the window kept for decoding

double Percentile(std::vector<float> v, double q)
{
    if (v.empty())
        return 0.0;
    const auto k = std::size_t(std::clamp(q, 0.0, 1.0) * double(v.size() - 1));
    std::nth_element(v.begin(), v.begin() + std::ptrdiff_t(k), v.end());
    return v[k];
}

QString SideNames(const std::array<bool, 4>& cut)
{
    static const char* names[4] = {"left", "right", "top", "bottom"};
    QStringList s;
    for (int i = 0; i < 4; ++i)
        if (cut[std::size_t(i)])
            s << QLatin1String(names[i]);
    return s.join(QLatin1String(" and "));
}

} // namespace

int FrameNumber(const PatternSet& set, const PatternFrame& frame)
{
    for (std::size_t i = 0; i < set.frames.size(); ++i) {
        const PatternFrame& f = set.frames[i];
        if (f.kind == frame.kind && f.axis == frame.axis && f.bit == frame.bit && f.inverse == frame.inverse)
            return int(i) + 1;
    }
    return 0;
}

WindowDecoder::WindowDecoder(int window, const Photo& dark, const Photo& white, const LightLimits& limits)
    : m_window(window)
{
    if (dark.empty() || white.empty() || dark.width != white.width || dark.height != white.height) {
        m_problem
            = QStringLiteral("%1: the camera gave photos of different sizes; check the camera settings.")
                  .arg(WindowTitle(window));
        return;
    }
    findRegion(dark, white, limits);
    if (m_problem.isEmpty())
        judge(limits);
}

void WindowDecoder::findRegion(const Photo& dark, const Photo& white, const LightLimits& limits)
{
    const int w = white.width, h = white.height;
    std::vector<float> contrast(white.pixels.size());
    for (std::size_t i = 0; i < contrast.size(); ++i)
        contrast[i] = white.pixels[i] - dark.pixels[i];
    m_region.peakContrast = Percentile(contrast, 0.998);
    if (m_region.peakContrast < limits.offContrast) {
        m_problem
            = QStringLiteral("%1 shows nothing to the camera: check that its projector is on, its shutter "
                             "open and its cable in, and that the camera looks at the wall.")
                  .arg(WindowTitle(m_window));
        return;
    }
    // The largest connected lit area is the window; specks of noise or reflections are not.
    const float threshold = float(limits.litFraction * m_region.peakContrast);
    std::vector<int> label(contrast.size(), 0);
    int best = 0, bestSize = 0, next = 0;
    std::deque<int> queue;
    for (int start = 0; start < w * h; ++start) {
        if (label[std::size_t(start)] || contrast[std::size_t(start)] <= threshold)
            continue;
        int size = 0;
        label[std::size_t(start)] = ++next;
        queue.push_back(start);
        while (!queue.empty()) {
            const int p = queue.front();
            queue.pop_front();
            ++size;
            const int x = p % w, y = p / w;
            const int around[4]
                = {x > 0 ? p - 1 : -1, x + 1 < w ? p + 1 : -1, y > 0 ? p - w : -1, y + 1 < h ? p + w : -1};
            for (int q : around)
                if (q >= 0 && !label[std::size_t(q)] && contrast[std::size_t(q)] > threshold) {
                    label[std::size_t(q)] = next;
                    queue.push_back(q);
                }
        }
        if (size > bestSize)
            best = next, bestSize = size;
    }
    LitRegion& r = m_region;
    r.left = w, r.top = h, r.right = -1, r.bottom = -1;
    std::vector<float> inside;
    int clipped = 0;
    for (int p = 0; p < w * h; ++p) {
        if (label[std::size_t(p)] != best)
            continue;
        const int x = p % w, y = p / w;
        r.left = std::min(r.left, x), r.right = std::max(r.right, x);
        r.top = std::min(r.top, y), r.bottom = std::max(r.bottom, y);
        inside.push_back(contrast[std::size_t(p)]);
        clipped += white.pixels[std::size_t(p)] >= 254.5f;
    }
    r.pixels = int(inside.size());
    r.medianContrast = Percentile(inside, 0.5);
    r.clippedFraction = r.pixels ? double(clipped) / r.pixels : 0.0;
    r.cut = {r.left == 0, r.right == w - 1, r.top == 0, r.bottom == h - 1};
    m_roiX = std::max(0, r.left - kMargin);
    m_roiY = std::max(0, r.top - kMargin);
    m_roiW = std::min(w - 1, r.right + kMargin) - m_roiX + 1;
    m_roiH = std::min(h - 1, r.bottom + kMargin) - m_roiY + 1;
    m_contrast.resize(std::size_t(m_roiW) * std::size_t(m_roiH));
    m_lit.resize(m_contrast.size());
    for (int y = 0; y < m_roiH; ++y)
        for (int x = 0; x < m_roiW; ++x) {
            const std::size_t src = std::size_t(y + m_roiY) * std::size_t(w) + std::size_t(x + m_roiX);
            const std::size_t dst = std::size_t(y) * std::size_t(m_roiW) + std::size_t(x);
            m_contrast[dst] = contrast[src];
            m_lit[dst] = label[src] == best;
        }
}

void WindowDecoder::judge(const LightLimits& limits)
{
    const LitRegion& r = m_region;
    const QString name = WindowTitle(m_window);
    if (r.pixels < 400) {
        m_problem
            = QStringLiteral("%1 is too small in the camera picture (%2 pixels): move the camera closer or "
                             "zoom in.")
                  .arg(name)
                  .arg(r.pixels);
    } else if (r.cut[0] || r.cut[1] || r.cut[2] || r.cut[3]) {
        m_problem
            = QStringLiteral("The camera sees only part of %1: its %2 edge runs off the picture. Turn or "
                             "zoom out the camera so that the whole wall is in view.")
                  .arg(WindowName(m_window), SideNames(r.cut));
    } else if (r.clippedFraction > limits.overClipped) {
        m_problem
            = QStringLiteral("%1 is over-exposed in the camera picture (%2 % of it at full white): shorten "
                             "the exposure or close the aperture.")
                  .arg(name)
                  .arg(100.0 * r.clippedFraction, 0, 'f', 1);
    } else if (r.medianContrast < limits.underContrast) {
        m_problem
            = QStringLiteral("%1 is under-exposed in the camera picture (contrast %2 levels): lengthen the "
                             "exposure or open the aperture.")
                  .arg(name)
                  .arg(r.medianContrast, 0, 'f', 0);
    }
    if (!m_problem.isEmpty())
        return;
    if (r.clippedFraction > limits.overWarning)
        m_warnings << QStringLiteral("%1 is slightly over-exposed (%2 % at full white).")
                          .arg(name)
                          .arg(100.0 * r.clippedFraction, 0, 'f', 1);
    if (r.medianContrast < limits.underWarning)
        m_warnings << QStringLiteral(
            "%1 is dim in the camera picture (contrast %2 levels); a longer exposure "
            "would help.")
                          .arg(name)
                          .arg(r.medianContrast, 0, 'f', 0);
}

double WindowDecoder::outputPerCamera(int frameWidth, int frameHeight) const
{
    if (m_region.pixels <= 0)
        return 1.0;
    return std::sqrt(double(frameWidth) * frameHeight / m_region.pixels);
}

void WindowDecoder::setPatterns(const PatternSet& set)
{
    m_set = set;
    m_dx.assign(std::size_t(set.x.bits), {});
    m_dy.assign(std::size_t(set.y.bits), {});
    m_pending.clear();
}

std::vector<float> WindowDecoder::crop(const Photo& p) const
{
    std::vector<float> out(std::size_t(m_roiW) * std::size_t(m_roiH), 0.0f);
    if (p.width < m_roiX + m_roiW || p.height < m_roiY + m_roiH)
        return out;
    for (int y = 0; y < m_roiH; ++y)
        std::copy_n(&p.pixels[std::size_t(y + m_roiY) * std::size_t(p.width) + std::size_t(m_roiX)], m_roiW,
            &out[std::size_t(y) * std::size_t(m_roiW)]);
    return out;
}

void WindowDecoder::add(const PatternFrame& frame, const Photo& photo)
{
    if (frame.kind != PatternFrame::Kind::Stripes || !m_problem.isEmpty())
        return;
    if (!frame.inverse) {
        m_pending = crop(photo);
        return;
    }
    std::vector<float> d = crop(photo);
    for (std::size_t i = 0; i < d.size() && i < m_pending.size(); ++i)
        d[i] = m_pending[i] - d[i];
    auto& store = frame.axis == Axis::X ? m_dx : m_dy;
    if (frame.bit >= 0 && std::size_t(frame.bit) < store.size())
        store[std::size_t(frame.bit)] = std::move(d);
}

} // namespace trivel::align

namespace trivel::align {

std::vector<int> WindowDecoder::stripesOf(
    const StripeCode& code, const std::vector<std::vector<float>>& diffs) const
{
    std::vector<int> stripe(m_contrast.size(), -1);
    for (std::size_t p = 0; p < stripe.size(); ++p) {
        if (!m_lit[p])
            continue;
        const float sure = kConfident * m_contrast[p];
        int gray = 0;
        bool ok = true;
        for (int b = 0; b < code.bits && ok; ++b) {
            const float d = diffs[std::size_t(b)][p];
            ok = std::abs(d) >= sure;
            gray |= (d > 0.0f ? 1 : 0) << b;
        }
        if (ok)
            stripe[p] = StripeCode::FromGray(gray);
    }
    return stripe;
}

void WindowDecoder::scanEdges(const StripeCode& code, const std::vector<std::vector<float>>& diffs,
    const std::vector<int>& stripe, bool alongX, std::vector<EdgeSample>& out, std::vector<int>& found,
    std::vector<int>& identified) const
{
    const int lines = alongX ? m_roiH : m_roiW;
    const int length = alongX ? m_roiW : m_roiH;
    auto index = [&](int line, int i) {
        return alongX ? std::size_t(line) * std::size_t(m_roiW) + std::size_t(i)
                      : std::size_t(i) * std::size_t(m_roiW) + std::size_t(line);
    };
    // The stripe on one side of a crossing: the nearest pixel past the blur whose code is sure.
    auto side = [&](int line, int from, int step) {
        for (int k = 0, i = from; k < 4 && i >= 0 && i < length; ++k, i += step)
            if (stripe[index(line, i)] >= 0)
                return stripe[index(line, i)];
        return -1;
    };
    for (int line = 0; line < lines; ++line) {
        for (int i = 0; i + 1 < length; ++i) {
            const std::size_t p = index(line, i), q = index(line, i + 1);
            if (!m_lit[p] || !m_lit[q])
                continue;
            for (int b = 0; b < code.bits; ++b) {
                const float d0 = diffs[std::size_t(b)][p], d1 = diffs[std::size_t(b)][q];
                if ((d0 > 0.0f) == (d1 > 0.0f) || std::abs(d0 - d1) < 0.2f * m_contrast[p])
                    continue;
                ++found[std::size_t(b)];
                const int left = side(line, i - 1, -1), right = side(line, i + 2, 1);
                const int k = std::max(left, right);
                if (left < 0 || right < 0 || std::abs(left - right) != 1 || StripeCode::BitOfBoundary(k) != b)
                    continue;
                // Where the step lies in a window of four pixels each side: the share of the
                // window on the dark side, from the difference normalised by each pixel's contrast.
                // Unlike an interpolated zero crossing it does not depend on where the step falls
                // between two pixels.
                const int from = i - 3, to = i + 4;
                if (from < 0 || to >= length)
                    continue;
                const float sign = d1 > d0 ? 1.0f : -1.0f;
                float dark = 0.0f;
                bool sure = true;
                for (int j = from; j <= to && sure; ++j) {
                    const std::size_t r = index(line, j);
                    sure = m_lit[r] && m_contrast[r] > 0.0f;
                    if (sure)
                        dark += 0.5f
                            * (1.0f
                                - std::clamp(sign * diffs[std::size_t(b)][r] / m_contrast[r], -1.2f, 1.2f));
                }
                if (!sure)
                    continue;
                ++identified[std::size_t(b)];
                const float along = float(from) - 0.5f + dark;
                EdgeSample s;
                s.camX = float(m_roiX) + (alongX ? along : float(line));
                s.camY = float(m_roiY) + (alongX ? float(line) : along);
                s.value = float(code.boundary(k));
                out.push_back(s);
            }
        }
    }
}

void WindowDecoder::scanFrameEdges(const std::vector<int>& stripe, const std::vector<int>& across,
    bool alongX, std::vector<EdgeSample>& out) const
{
    const StripeCode& code = alongX ? m_set.x : m_set.y;
    const StripeCode& other = alongX ? m_set.y : m_set.x;
    const int lines = alongX ? m_roiH : m_roiW;
    const int length = alongX ? m_roiW : m_roiH;
    auto index = [&](int line, int i) {
        return alongX ? std::size_t(line) * std::size_t(m_roiW) + std::size_t(i)
                      : std::size_t(i) * std::size_t(m_roiW) + std::size_t(line);
    };
    const float weak = float(0.3 * m_region.peakContrast);
    for (int line = 0; line < lines; ++line) {
        for (int dir : {1, -1}) {
            // From the dark end of the line to the first lit pixel; the window four pixels about it.
            int i = dir > 0 ? 0 : length - 1;
            while (i >= 0 && i < length && !m_lit[index(line, i)])
                i += dir;
            const int outer = i - 4 * dir, innerEnd = i + 9 * dir;
            if (std::min(outer, innerEnd) < 0 || std::max(outer, innerEnd) >= length)
                continue;
            // The frame side from the stripes just inside (the first or the last one); none near a
            // corner, where the side across lies within one stripe.
            int first = 0, last = 0, corner = 0;
            for (int t = 3; t <= 5; ++t) {
                const std::size_t p = index(line, i + t * dir);
                first += stripe[p] == 0;
                last += stripe[p] == code.stripes() - 1;
                corner += across[p] < 1 || across[p] >= other.stripes() - 1;
            }
            if ((first < 2 && last < 2) || corner > 0)
                continue;
            // The light inside falls off towards the frame edge: its level is extrapolated from
            // the pixels past the blur to each pixel of the window.
            double st = 0.0, sc = 0.0, stt = 0.0, stc = 0.0;
            for (int t = 3; t <= 9; ++t) {
                const double c = m_contrast[index(line, i + t * dir)];
                st += t, sc += c, stt += double(t) * t, stc += t * c;
            }
            const double slope = (7.0 * stc - st * sc) / (7.0 * stt - st * st);
            const double base = (sc - slope * st) / 7.0;
            if (base < weak)
                continue;
            float dark = 0.0f;
            for (int t = -4; t <= 4; ++t) {
                const double level = base + slope * t;
                dark += 1.0f - std::clamp(float(m_contrast[index(line, i + t * dir)] / level), -0.2f, 1.2f);
            }
            const float along = dir > 0 ? float(outer) - 0.5f + dark : float(outer) + 0.5f - dark;
            EdgeSample s;
            s.camX = float(m_roiX) + (alongX ? along : float(line));
            s.camY = float(m_roiY) + (alongX ? float(line) : along);
            s.value = first >= 2 ? -0.5f : float(code.size) - 0.5f;
            out.push_back(s);
        }
    }
}

void WindowDecoder::checkBits(const std::vector<std::vector<float>>& diffs, bool alongX,
    const std::vector<int>& found, const std::vector<int>& identified, bool scrambledOnly)
{
    for (std::size_t b = 0; b < diffs.size() && m_problem.isEmpty(); ++b) {
        bool bad = false;
        if (scrambledOnly) {
            bad = found[b] < 8 || identified[b] < 0.6 * found[b];
        } else {
            // A lost photo leaves half its pixels without a sure bit; the decoding of the others
            // suffers too, so this is looked at first to name the right pattern.
            int lit = 0, unsure = 0;
            for (std::size_t p = 0; p < m_lit.size(); ++p) {
                if (!m_lit[p])
                    continue;
                ++lit;
                unsure += std::abs(diffs[b][p]) < kConfident * m_contrast[p];
            }
            bad = lit > 0 && unsure > 0.45 * lit;
        }
        if (!bad)
            continue;
        const PatternFrame f{PatternFrame::Kind::Stripes, alongX ? Axis::X : Axis::Y, int(b), false};
        m_problem = QStringLiteral(
            "%1: the photos of patterns %2 and %3 do not decode (the camera or the projector "
            "moved, the picture was out of focus, or something crossed it). Keep both "
            "still and run again.")
                        .arg(WindowTitle(m_window))
                        .arg(FrameNumber(m_set, f))
                        .arg(FrameNumber(m_set, f) + 1);
    }
}

Correspondences WindowDecoder::decode()
{
    Correspondences c;
    if (!m_problem.isEmpty())
        return c;
    for (const auto* set : {&m_dx, &m_dy})
        for (const auto& d : *set)
            if (d.size() != m_contrast.size()) {
                m_problem = QStringLiteral("%1: a pattern photo is missing.").arg(WindowTitle(m_window));
                return c;
            }
    const std::vector<int> sx = stripesOf(m_set.x, m_dx), sy = stripesOf(m_set.y, m_dy);
    std::vector<int> foundX(m_dx.size()), idX(m_dx.size()), foundY(m_dy.size()), idY(m_dy.size());
    scanEdges(m_set.x, m_dx, sx, true, c.xEdges, foundX, idX);
    scanEdges(m_set.y, m_dy, sy, false, c.yEdges, foundY, idY);
    scanFrameEdges(sx, sy, true, c.xEdges);
    scanFrameEdges(sy, sx, false, c.yEdges);
    for (bool scrambled : {false, true}) {
        checkBits(m_dx, true, foundX, idX, scrambled);
        checkBits(m_dy, false, foundY, idY, scrambled);
    }
    if (!m_problem.isEmpty())
        return {};
    // Cell centroids: a rough, robust start for the fit.
    const int nx = m_set.x.stripes(), ny = m_set.y.stripes();
    std::vector<CellSample> cells(std::size_t(nx) * std::size_t(ny));
    for (int y = 0; y < m_roiH; ++y)
        for (int x = 0; x < m_roiW; ++x) {
            const std::size_t p = std::size_t(y) * std::size_t(m_roiW) + std::size_t(x);
            if (sx[p] < 0 || sy[p] < 0)
                continue;
            CellSample& cell = cells[std::size_t(sy[p]) * std::size_t(nx) + std::size_t(sx[p])];
            cell.camera = cell.camera + Vec2{double(x + m_roiX), double(y + m_roiY)};
            ++cell.pixels;
        }
    for (int ky = 0; ky < ny; ++ky)
        for (int kx = 0; kx < nx; ++kx) {
            CellSample cell = cells[std::size_t(ky) * std::size_t(nx) + std::size_t(kx)];
            if (cell.pixels < 3)
                continue;
            cell.camera = cell.camera * (1.0 / cell.pixels);
            const auto& bx = m_set.x.bounds;
            const auto& by = m_set.y.bounds;
            cell.output = {(bx[std::size_t(kx)] + bx[std::size_t(kx) + 1] - 1) / 2.0,
                (by[std::size_t(ky)] + by[std::size_t(ky) + 1] - 1) / 2.0};
            c.cells.push_back(cell);
        }
    return c;
}

} // namespace trivel::align
