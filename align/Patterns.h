#pragma once
// Structured light for one window: Gray-code stripes with their inverses, shown as mono mask
// previews. A mono mask is run-length coded row by row, so the stream of a stripe pattern costs
// about (runs per row) x (rows) bytes; each pattern is cropped to the box around its lit pixels
// (the rest of the frame is black without a mask), and an inverse is the same picture shown
// reversed with the background masked, so both cost the same.

#include "align/AlignTypes.h"
#include "mask/MaskCodec.h"

#include <cstddef>
#include <vector>

namespace trivel::align {

enum class Axis { X, Y };

// 2^bits stripes over one axis of the frame, as even as whole pixels allow. Stripe k shows the
// Gray code k ^ (k >> 1), so neighbouring stripes differ in exactly one bit and every stripe
// boundary is found in exactly one pattern.
struct StripeCode {
    int size = 0; // frame width or height
    int bits = 0;
    std::vector<int> bounds; // first pixel of each stripe, then size

    static StripeCode Make(int size, int bits);
    int stripes() const { return 1 << bits; }
    int stripeOf(int pixel) const;
    static int Gray(int k) { return k ^ (k >> 1); }
    static int FromGray(int g);
    bool lit(int pixel, int bit) const { return (Gray(stripeOf(pixel)) >> bit) & 1; }
    // Where stripe k - 1 ends and stripe k begins, in pixel coordinates (k = 1 .. stripes - 1).
    double boundary(int k) const { return bounds[std::size_t(k)] - 0.5; }
    // The bit that changes between stripes k - 1 and k.
    static int BitOfBoundary(int k);
    // Stripe width in pixels, the narrowest.
    int narrowest() const;
};

struct PatternFrame {
    enum class Kind { White, Stripes };
    Kind kind = Kind::White;
    Axis axis = Axis::X;
    int bit = 0;
    bool inverse = false;
};

struct PatternSet {
    int width = 0;
    int height = 0;
    StripeCode x;
    StripeCode y;
    // White first, then each axis from its coarsest bit down, every bit followed by its inverse.
    std::vector<PatternFrame> frames;
};

PatternSet MakePatternSet(int width, int height, int bitsX, int bitsY);

// The stream ready for the preview upload: header with size, offsets, flags and white colour.
MaskBytes PatternStream(const PatternSet& set, const PatternFrame& frame);
// PatternStream(set, frame).size(), without building it.
std::size_t PatternStreamBytes(const PatternSet& set, const PatternFrame& frame);
// A white window for 33 bytes: a tiny picture with the background masked.
MaskBytes WhiteFrameStream();
// A black window over whatever its input shows, for 33 bytes: the same picture in the darkest
// colour the header can give (all zero means white to the preview), one step of blue.
MaskBytes BlackFrameStream();

inline constexpr int kMaskChunkBytes = 480; // bytes per preview upload frame

// What showing streams costs on the link: each stream goes up in 480-byte chunks, one round trip
// each, and one more round trip shows it.
struct PatternCost {
    int frames = 0;
    std::size_t bytes = 0;
    int roundTrips = 0;
    PatternCost& operator+=(const PatternCost& o);
};
PatternCost CostOfStream(std::size_t streamBytes);
PatternCost CostOfSet(const PatternSet& set);

// The finest Gray code whose narrowest stripe is at least minStripe pixels and whose every stream
// stays within the box's MonoMaskLimit; at least 1 bit, at most 10.
int BitsFor(Axis axis, int width, int height, double minStripe, std::size_t monoMaskLimit);

} // namespace trivel::align
