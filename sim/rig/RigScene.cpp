#include "sim/rig/RigScene.h"

#include <QHash>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <deque>

namespace trivel::sim {

PreviewMask PreviewMaskFromStream(const MaskBytes& stream)
{
    PreviewMask out;
    MaskHeader h;
    if (!ReadMaskHeader(stream.data(), stream.size(), h) || !h.holdsMask())
        return out;
    out.offsetX = int(std::min<std::uint32_t>(h.offsetX, 65535));
    out.offsetY = int(std::min<std::uint32_t>(h.offsetY, 65535));
    if (h.isColour()) {
        MaskDecodeResult r = RenderColourMask(stream);
        if (r.ok) {
            out.kind = PreviewMask::Kind::Colour;
            out.picture = std::move(r.picture);
        }
        return out;
    }
    MaskDecodeResult r = DecodeMonoMask(stream);
    if (!r.ok)
        return out;
    out.kind = PreviewMask::Kind::Mono;
    out.picture = std::move(r.picture);
    out.maskValue = h.reverse ? 0 : 1;
    out.colour = MonoPreviewPalette(h)[std::size_t(out.maskValue)];
    out.backgroundMasked = h.backgroundMasked != 0;
    return out;
}

QImage GridPicture(int width, int height, const align::GridSpec& grid, int colour)
{
    const QRgb line = qRgb(colour & 1 ? 255 : 0, colour & 2 ? 255 : 0, colour & 4 ? 255 : 0);
    QImage img(width, height, QImage::Format_RGB32);
    img.fill(Qt::black);
    const int spacing = std::max(grid.spacing, 2);
    const int lw = std::clamp(grid.lineWidth, 1, spacing - 1);
    auto onLine = [&](int p) {
        const int d = (p + (lw - 1) / 2) % spacing; // position within the line, 0..lw-1 when on it
        return d < lw;
    };
    std::vector<char> column(std::size_t(width), 0);
    for (int x = 0; x < width; ++x)
        column[std::size_t(x)] = onLine(x);
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<QRgb*>(img.scanLine(y));
        const bool full = onLine(y);
        for (int x = 0; x < width; ++x)
            if (full || column[std::size_t(x)])
                row[x] = line;
    }
    return img;
}

PreviewInput PreviewInputOf(const WindowContent& content, int width, int height)
{
    PreviewInput in;
    in.width = width;
    in.height = height;
    if (content.grid)
        in.source = GridPicture(width, height, *content.grid, content.gridColour);
    else if (!content.input.isNull())
        in.source = content.input;
    in.sourceX = content.sourceX;
    in.sourceY = content.sourceY;
    in.blend = content.blend;
    if (!content.mask.empty())
        in.mask = PreviewMaskFromStream(content.mask);
    return in;
}

namespace {

std::size_t ContentKey(const WindowContent& c, int width, int height)
{
    std::size_t h = qHash(width) ^ (qHash(height) << 1);
    auto mix = [&h](const void* data, std::size_t bytes) { h = qHashBits(data, bytes, h); };
    mix(c.mask.data(), c.mask.size());
    mix(c.sourceX.data(), c.sourceX.size() * 2);
    mix(c.sourceY.data(), c.sourceY.size() * 2);
    mix(c.blend.bytes.data(), c.blend.bytes.size());
    const qint64 input = c.input.isNull() ? 0 : c.input.cacheKey();
    mix(&input, sizeof input);
    const int grid[4]
        = {c.grid.has_value(), c.grid ? c.grid->spacing : 0, c.grid ? c.grid->lineWidth : 0, c.gridColour};
    mix(grid, sizeof grid);
    return h;
}

// Where each supersample of a photo region looks in one projector's output, and how much light
// a white output pixel gives there (0 off the frame).
struct WindowMap {
    cv::Rect roi;
    cv::Mat map; // CV_32FC2: output x, y
    cv::Mat light; // CV_32F
    // Output pixels per supersample, about: the picture is first averaged down by this much, so
    // that each sample integrates the light over its area instead of picking a point of it.
    double shrink = 1.0;
    cv::Mat shrunkMap; // the map in the averaged-down picture's pixels, fixed point for speed
    cv::Mat shrunkMapFraction;
    cv::Mat lightBlack; // light x black level, the light of a black picture
    cv::Mat lightPicture; // light x (1 - black level), what the picture's levels scale
};

constexpr int kCoarse = 8; // supersamples between exactly computed map points

// How a window's picture is averaged down: padded with black to a multiple of a whole factor,
// averaged by that factor, then by the rest to the final size.
struct Shrink {
    int whole = 1;
    cv::Size padded;
    cv::Size final;
};

Shrink ShrinkOf(const RigProjector& p, double shrink)
{
    Shrink s;
    s.whole = std::max(1, int(std::floor(shrink)));
    s.padded
        = {s.whole * ((p.width + s.whole - 1) / s.whole), s.whole * ((p.height + s.whole - 1) / s.whole)};
    s.final = {std::max(1, int(std::lround(s.padded.width / shrink))),
        std::max(1, int(std::lround(s.padded.height / shrink)))};
    return s;
}

} // namespace

struct RigRenderCache::Impl {
    struct Entry {
        std::size_t key;
        cv::Mat grey;
    };
    std::deque<Entry> entries;
    std::size_t capacity = 32;

    cv::Mat find(std::size_t key) const
    {
        for (const Entry& e : entries)
            if (e.key == key)
                return e.grey;
        return {};
    }
    void keep(std::size_t key, const cv::Mat& grey)
    {
        entries.push_front({key, grey});
        if (entries.size() > capacity)
            entries.pop_back();
    }
};

struct RigScene::Impl {
    std::vector<WindowMap> maps;
    struct Cached {
        std::size_t key;
        cv::Mat picture;
    };
    std::shared_ptr<RigRenderCache> cache;
    RigRenderCache::Impl* pictures = nullptr;
    cv::Mat radiance, warped, small;
    std::deque<Cached> shrunk; // as light, averaged down for one window's camera scale

    void build(const Rig& rig)
    {
        maps.clear();
        for (const RigProjector& p : rig.projectors)
            maps.push_back(buildOne(rig.camera, p));
    }

    static cv::Rect Footprint(const RigCamera& cam, const RigProjector& p)
    {
        const int ss = cam.supersample;
        double x0 = 1e18, y0 = 1e18, x1 = -1e18, y1 = -1e18;
        for (int i = 0; i <= 64; ++i) {
            const double t = i / 64.0;
            for (Vec2 o : {Vec2{-0.5 + t * p.width, -0.5}, Vec2{-0.5 + t * p.width, p.height - 0.5},
                     Vec2{-0.5, -0.5 + t * p.height}, Vec2{p.width - 0.5, -0.5 + t * p.height}}) {
                const Vec2 s = cam.photoOf(p.screenOf(o));
                x0 = std::min(x0, s.x), y0 = std::min(y0, s.y), x1 = std::max(x1, s.x),
                y1 = std::max(y1, s.y);
            }
        }
        const cv::Rect all(0, 0, cam.width * ss, cam.height * ss);
        if (!(x1 >= x0 && y1 >= y0) || x0 > 1e7 || y0 > 1e7 || x1 < -1e7 || y1 < -1e7)
            return {};
        // A frame that reaches far past the photo (a projector near its horizon) is cut to it.
        x0 = std::max(x0, -1e5), y0 = std::max(y0, -1e5), x1 = std::min(x1, 1e5), y1 = std::min(y1, 1e5);
        const int l = int(std::floor((x0 + 0.5) * ss)) - 4, t = int(std::floor((y0 + 0.5) * ss)) - 4;
        const int r = int(std::ceil((x1 + 0.5) * ss)) + 4, b = int(std::ceil((y1 + 0.5) * ss)) + 4;
        return cv::Rect(cv::Point(l, t), cv::Point(r, b)) & all;
    }

    static WindowMap buildOne(const RigCamera& cam, const RigProjector& p)
    {
        WindowMap m;
        m.roi = Footprint(cam, p);
        if (m.roi.empty())
            return m;
        const int ss = cam.supersample;
        // Exact positions on a coarse lattice, bilinear in between: the mapping is smooth.
        const int gw = m.roi.width / kCoarse + 2, gh = m.roi.height / kCoarse + 2;
        cv::Mat coarse(gh, gw, CV_32FC2);
        for (int j = 0; j < gh; ++j)
            for (int i = 0; i < gw; ++i) {
                const Vec2 photo{
                    (m.roi.x + i * kCoarse + 0.5) / ss - 0.5, (m.roi.y + j * kCoarse + 0.5) / ss - 0.5};
                const auto screen = cam.screenOf(photo);
                auto out = screen ? p.outputOf(*screen) : std::nullopt;
                if (out
                    && !(std::abs(out->x) < 1e5 && std::abs(out->y) < 1e5)) // far off the frame, or no number
                    out.reset();
                coarse.at<cv::Vec2f>(j, i)
                    = out ? cv::Vec2f(float(out->x), float(out->y)) : cv::Vec2f(-1e5f, -1e5f);
            }
        // The finest spacing of the projector's pixels over the samples, from the lattice.
        double finest = 1e9;
        for (int j = 0; j + 1 < gh; ++j)
            for (int i = 0; i + 1 < gw; ++i) {
                const cv::Vec2f a = coarse.at<cv::Vec2f>(j, i), b = coarse.at<cv::Vec2f>(j, i + 1),
                                c = coarse.at<cv::Vec2f>(j + 1, i);
                if (a[0] < -1e4f || b[0] < -1e4f || c[0] < -1e4f)
                    continue;
                finest = std::min(finest, double(std::min(cv::norm(b - a), cv::norm(c - a))) / kCoarse);
            }
        // Whole factors: the averaging is fast and windows of about the same scale share it.
        m.shrink = finest < 1e8 ? std::clamp(finest, 1.0, 64.0) : 1.0;
        m.map.create(m.roi.height, m.roi.width, CV_32FC2);
        m.light.create(m.roi.height, m.roi.width, CV_32F);
        const Shrink k = ShrinkOf(p, m.shrink);
        const double sx = double(k.final.width) / k.padded.width,
                     sy = double(k.final.height) / k.padded.height;
        for (int y = 0; y < m.roi.height; ++y) {
            const int j = y / kCoarse;
            const float fy = float(y - j * kCoarse) / kCoarse;
            for (int x = 0; x < m.roi.width; ++x) {
                const int i = x / kCoarse;
                const float fx = float(x - i * kCoarse) / kCoarse;
                const cv::Vec2f v = coarse.at<cv::Vec2f>(j, i) * ((1 - fx) * (1 - fy))
                    + coarse.at<cv::Vec2f>(j, i + 1) * (fx * (1 - fy))
                    + coarse.at<cv::Vec2f>(j + 1, i) * ((1 - fx) * fy)
                    + coarse.at<cv::Vec2f>(j + 1, i + 1) * (fx * fy);
                m.map.at<cv::Vec2f>(y, x) = v;
                // The picture fades to black over one pixel of the averaged-down picture past its
                // edge (the remap blends its last pixel with the black border), an even ramp about
                // the frame's edge; the light factor must not cut it.
                const double ux = (v[0] + 0.5) * sx - 0.5, uy = (v[1] + 0.5) * sy - 0.5;
                const bool inside = ux > -1.0 && uy > -1.0 && ux < k.final.width && uy < k.final.height;
                m.light.at<float>(y, x) = inside ? float(p.lightFactor({v[0], v[1]})) : 0.0f;
            }
        }
        const cv::Scalar scale(sx, sy);
        cv::Mat shrunk;
        cv::multiply(m.map + cv::Scalar(0.5, 0.5), scale, shrunk);
        shrunk -= cv::Scalar(0.5, 0.5);
        cv::convertMaps(shrunk, cv::noArray(), m.shrunkMap, m.shrunkMapFraction, CV_16SC2);
        m.lightBlack = m.light * p.black;
        m.lightPicture = m.light * (1.0 - p.black);
        return m;
    }

    // The window's picture as light (0..1), from the preview renderer, averaged down by `shrink`;
    // empty for a black window. The camera is monochrome: red, green and blue count alike.
    cv::Mat lightOf(const WindowContent& c, const RigProjector& p, double shrink, int& renders)
    {
        if (c.mask.empty() && !c.grid && c.input.isNull())
            return {};
        const std::size_t key = ContentKey(c, p.width, p.height);
        const std::size_t shrunkKey = key ^ (qHash(shrink) * 0x9E3779B97F4A7C15ull) ^ qHash(p.gamma);
        for (const Cached& e : shrunk)
            if (e.key == shrunkKey)
                return e.picture;
        cv::Mat grey = pictures->find(key);
        if (grey.empty()) {
            const QImage img = RenderOutputPreview(PreviewInputOf(c, p.width, p.height));
            ++renders;
            if (img.isNull())
                return {};
            const cv::Mat bgra(img.height(), img.width(), CV_8UC4, const_cast<uchar*>(img.constBits()),
                std::size_t(img.bytesPerLine()));
            cv::cvtColor(bgra, grey, cv::COLOR_BGRA2GRAY);
            pictures->keep(key, grey);
        }
        cv::Mat lut(1, 256, CV_32F);
        for (int v = 0; v < 256; ++v)
            lut.at<float>(v) = float(std::pow(v / 255.0, p.gamma));
        cv::Mat light;
        cv::LUT(grey, lut, light);
        if (shrink > 1.0) {
            // A whole factor first (OpenCV's fast path), then the rest on the small picture.
            const Shrink k = ShrinkOf(p, shrink);
            if (k.padded != light.size())
                cv::copyMakeBorder(light, light, 0, k.padded.height - light.rows, 0,
                    k.padded.width - light.cols, cv::BORDER_CONSTANT, cv::Scalar(0));
            if (k.whole > 1)
                cv::resize(light, light, cv::Size(k.padded.width / k.whole, k.padded.height / k.whole), 0, 0,
                    cv::INTER_AREA);
            if (light.size() != k.final)
                cv::resize(light, light, k.final, 0, 0, cv::INTER_AREA);
        }
        shrunk.push_front({shrunkKey, light});
        if (shrunk.size() > 16)
            shrunk.pop_back();
        return light;
    }
};

BlendRecord NeutralBlend()
{
    BlendRecord b;
    for (int c = 0; c < 3; ++c) {
        b.setTransitionGamma(c, 220);
        b.gammaGain(c) = 50;
        b.colourGain(c) = 50;
        b.colourOffset(c) = 50;
    }
    b.gammaOffset() = 220;
    return b;
}

RigRenderCache::RigRenderCache(std::size_t capacity)
    : m_impl(std::make_unique<Impl>())
{
    m_impl->capacity = capacity;
}

RigRenderCache::~RigRenderCache() = default;

RigScene::RigScene(Rig rig, std::shared_ptr<RigRenderCache> cache)
    : m_rig(std::move(rig))
    , m_impl(std::make_unique<Impl>())
{
    m_impl->cache = cache ? std::move(cache) : std::make_shared<RigRenderCache>();
    m_impl->pictures = m_impl->cache->m_impl.get();
    content.resize(m_rig.projectors.size());
    m_impl->build(m_rig);
}

RigScene::~RigScene() = default;

align::Photo RigScene::photo()
{
    const RigCamera& cam = m_rig.camera;
    const int ss = cam.supersample;
    // Buffers kept from photo to photo: a fresh one per photo costs more in page faults than in
    // arithmetic.
    cv::Mat& radiance = m_impl->radiance;
    radiance.create(cam.height * ss, cam.width * ss, CV_32F);
    radiance.setTo(cv::Scalar(0));
    cv::Mat& warped = m_impl->warped;
    cv::Rect lit;
    for (std::size_t w = 0; w < m_rig.projectors.size(); ++w) {
        const RigProjector& p = m_rig.projectors[w];
        const WindowMap& m = m_impl->maps[w];
        if (!p.on || m.roi.empty())
            continue;
        cv::Mat region = radiance(m.roi);
        region += m.lightBlack;
        const cv::Mat light = m_impl->lightOf(content[w], p, m.shrink, m_renders);
        if (light.empty())
            continue;
        cv::remap(light, warped, m.shrunkMap, m.shrunkMapFraction, cv::INTER_LINEAR, cv::BORDER_CONSTANT,
            cv::Scalar(0));
        cv::accumulateProduct(warped, m.lightPicture, region);
        lit |= m.roi;
    }
    // The lens blurs the light before the pixels integrate it; only where a picture is lit (a
    // black window's faint light is as good unblurred).
    if (cam.blur > 0.0 && !lit.empty()) {
        const int margin = int(std::ceil(4.0 * cam.blur * ss));
        const cv::Rect area = (lit + cv::Size(2 * margin, 2 * margin) - cv::Point(margin, margin))
            & cv::Rect(0, 0, radiance.cols, radiance.rows);
        cv::Mat part = radiance(area);
        cv::GaussianBlur(part, part, cv::Size(0, 0), cam.blur * ss);
    }
    cv::Mat& small = m_impl->small;
    if (ss > 1)
        cv::resize(radiance, small, cv::Size(cam.width, cam.height), 0, 0, cv::INTER_AREA);
    else
        small = radiance;
    small = small * cam.exposure + cam.ambient;
    if (cam.noise > 0.0) {
        cv::RNG rng(cam.seed * 1000003ull + std::uint64_t(m_photos));
        cv::Mat noise(small.size(), CV_32F);
        rng.fill(noise, cv::RNG::NORMAL, 0.0, cam.noise);
        small += noise;
    }
    ++m_photos;
    cv::Mat levels; // whole levels 0..255, as the camera delivers them
    small.convertTo(levels, CV_8U);
    align::Photo out(cam.width, cam.height);
    for (int y = 0; y < cam.height; ++y) {
        const std::uint8_t* src = levels.ptr<std::uint8_t>(y);
        std::copy(src, src + cam.width, &out.pixels[std::size_t(y) * std::size_t(cam.width)]);
    }
    return out;
}

void RigScene::moveCamera(Vec2 by)
{
    Homography t;
    t.m = {1, 0, by.x, 0, 1, by.y, 0, 0, 1};
    m_rig.camera.fromScreen = t * m_rig.camera.fromScreen;
    m_impl->build(m_rig);
}

void RigScene::setProjectorOn(int window, bool on)
{
    if (window >= 0 && std::size_t(window) < m_rig.projectors.size())
        m_rig.projectors[std::size_t(window)].on = on;
}

} // namespace trivel::sim
