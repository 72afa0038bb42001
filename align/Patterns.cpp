#include "align/Patterns.h"

#include <algorithm>

namespace trivel::align {

StripeCode StripeCode::Make(int size, int bits)
{
    StripeCode c;
    c.size = size;
    c.bits = std::clamp(bits, 1, 10);
    const int n = c.stripes();
    c.bounds.resize(std::size_t(n) + 1);
    for (int k = 0; k <= n; ++k)
        c.bounds[std::size_t(k)] = int((long long)(k)*size / n);
    return c;
}

int StripeCode::stripeOf(int pixel) const
{
    const auto it = std::upper_bound(bounds.begin(), bounds.end(), pixel);
    return std::clamp(int(it - bounds.begin()) - 1, 0, stripes() - 1);
}

int StripeCode::FromGray(int g)
{
    int k = 0;
    for (; g; g >>= 1)
        k ^= g;
    return k;
}

int StripeCode::BitOfBoundary(int k)
{
    const int d = Gray(k) ^ Gray(k - 1);
    int bit = 0;
    while ((d >> bit) > 1)
        ++bit;
    return bit;
}

int StripeCode::narrowest() const
{
    int w = size;
    for (std::size_t k = 0; k + 1 < bounds.size(); ++k)
        w = std::min(w, bounds[k + 1] - bounds[k]);
    return w;
}

PatternSet MakePatternSet(int width, int height, int bitsX, int bitsY)
{
    PatternSet s;
    s.width = width;
    s.height = height;
    s.x = StripeCode::Make(width, bitsX);
    s.y = StripeCode::Make(height, bitsY);
    s.frames.push_back({});
    for (Axis axis : {Axis::X, Axis::Y}) {
        const int bits = axis == Axis::X ? s.x.bits : s.y.bits;
        for (int bit = bits - 1; bit >= 0; --bit) {
            s.frames.push_back({PatternFrame::Kind::Stripes, axis, bit, false});
            s.frames.push_back({PatternFrame::Kind::Stripes, axis, bit, true});
        }
    }
    return s;
}

namespace {

void FinishHeader(
    MaskBytes& stream, int offsetX, int offsetY, bool reverse, bool background, bool black = false)
{
    MaskHeader h;
    ReadMaskHeader(stream.data(), stream.size(), h);
    h.size = std::uint32_t(stream.size());
    h.offsetX = std::uint32_t(offsetX);
    h.offsetY = std::uint32_t(offsetY);
    h.reverse = reverse ? 1 : 0;
    h.backgroundMasked = background ? 1 : 0;
    h.loopTime = 5;
    h.red = h.green = h.blue = black ? 0 : 255;
    h.blue = black ? 1 : h.blue;
    WriteMaskHeader(h, stream);
}

MaskBytes Encode(const MaskPicture& picture)
{
    MaskBytes stream;
    int kind = 0;
    QString message;
    // The limit is the caller's business (BitsFor); the largest one a box has is the ceiling here.
    EncodeMonoMask(picture, kMonoMaskLimitLarge * 64, stream, kind, message);
    return stream;
}

} // namespace

namespace {

// Which pixels of the axis the frame lights, and the first and last of them.
std::vector<char> LitAlong(const StripeCode& code, int bit, int& first, int& last)
{
    std::vector<char> lit(std::size_t(code.size), 0);
    first = code.size, last = -1;
    for (int k = 0; k < code.stripes(); ++k) {
        if (!((StripeCode::Gray(k) >> bit) & 1))
            continue;
        const int a = code.bounds[std::size_t(k)], b = code.bounds[std::size_t(k) + 1];
        std::fill(lit.begin() + a, lit.begin() + b, char(1));
        first = std::min(first, a), last = std::max(last, b - 1);
    }
    return lit;
}

} // namespace

MaskBytes PatternStream(const PatternSet& set, const PatternFrame& frame)
{
    if (frame.kind == PatternFrame::Kind::White)
        return WhiteFrameStream();
    const bool alongX = frame.axis == Axis::X;
    int first = 0, last = -1;
    const std::vector<char> lit = LitAlong(alongX ? set.x : set.y, frame.bit, first, last);
    if (last < first)
        return WhiteFrameStream(); // a bit without a lit stripe cannot be made; MakePatternSet makes none
    const int extent = last - first + 1;
    MaskPicture picture(alongX ? extent : set.width, alongX ? set.height : extent, 1);
    const auto stride = std::size_t(picture.stride());
    for (int y = 0; y < picture.height; ++y) {
        if (alongX && y > 0) { // every row is the first
            std::copy_n(picture.row(0), stride, picture.row(y));
            continue;
        }
        if (!alongX) {
            if (lit[std::size_t(first + y)]) {
                std::fill_n(picture.row(y), stride, std::uint8_t(0xFF));
                if (picture.width % 8) // the bits past the width stay 0
                    picture.row(y)[stride - 1] = std::uint8_t(0xFF << (8 - picture.width % 8));
            }
            continue;
        }
        for (int x = 0; x < picture.width; ++x)
            if (lit[std::size_t(first + x)])
                picture.setPixel(x, y, 1);
    }
    MaskBytes stream = Encode(picture);
    // The inverse lights what the picture leaves dark, inside it and all around it.
    FinishHeader(stream, alongX ? first : 0, alongX ? 0 : first, frame.inverse, frame.inverse);
    return stream;
}

std::size_t PatternStreamBytes(const PatternSet& set, const PatternFrame& frame)
{
    if (frame.kind == PatternFrame::Kind::White)
        return WhiteFrameStream().size();
    const bool alongX = frame.axis == Axis::X;
    int first = 0, last = -1;
    const std::vector<char> lit = LitAlong(alongX ? set.x : set.y, frame.bit, first, last);
    if (last < first)
        return WhiteFrameStream().size();
    auto runBytes = [](int run) { return std::size_t((run + 126) / 127); };
    if (!alongX) // every row of one value
        return kMaskHeaderBytes + std::size_t(last - first + 1) * runBytes(set.width);
    std::size_t rowBytes = 0;
    for (int x = first; x <= last;) {
        int end = x;
        while (end <= last && lit[std::size_t(end)] == lit[std::size_t(x)])
            ++end;
        rowBytes += runBytes(end - x);
        x = end;
    }
    return kMaskHeaderBytes + std::size_t(set.height) * rowBytes;
}

MaskBytes WhiteFrameStream()
{
    MaskPicture picture(1, 1, 1);
    picture.setPixel(0, 0, 1);
    MaskBytes stream = Encode(picture);
    FinishHeader(stream, 0, 0, false, true);
    return stream;
}

MaskBytes BlackFrameStream()
{
    MaskPicture picture(1, 1, 1);
    picture.setPixel(0, 0, 1);
    MaskBytes stream = Encode(picture);
    FinishHeader(stream, 0, 0, false, true, true);
    return stream;
}

PatternCost& PatternCost::operator+=(const PatternCost& o)
{
    frames += o.frames;
    bytes += o.bytes;
    roundTrips += o.roundTrips;
    return *this;
}

PatternCost CostOfStream(std::size_t streamBytes)
{
    PatternCost c;
    c.frames = 1;
    c.bytes = streamBytes;
    c.roundTrips = int((streamBytes + kMaskChunkBytes - 1) / kMaskChunkBytes) + 1;
    return c;
}

PatternCost CostOfSet(const PatternSet& set)
{
    PatternCost total;
    for (const PatternFrame& f : set.frames)
        total += CostOfStream(PatternStreamBytes(set, f));
    return total;
}

int BitsFor(Axis axis, int width, int height, double minStripe, std::size_t monoMaskLimit)
{
    const int size = axis == Axis::X ? width : height;
    for (int bits = 10; bits > 1; --bits) {
        const StripeCode code = StripeCode::Make(size, bits);
        if (code.narrowest() < minStripe)
            continue;
        const PatternSet set
            = MakePatternSet(width, height, axis == Axis::X ? bits : 1, axis == Axis::Y ? bits : 1);
        bool fits = true;
        for (const PatternFrame& f : set.frames)
            if (f.kind == PatternFrame::Kind::Stripes && f.axis == axis && !f.inverse)
                fits = fits && PatternStreamBytes(set, f) <= monoMaskLimit;
        if (fits)
            return bits;
    }
    return 1;
}

} // namespace trivel::align
