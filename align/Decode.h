#pragma once
// From the photos of one window's patterns to camera-to-projector correspondences. The white and
// dark photos find the window in the picture and judge the exposure; each Gray bit's photo and
// its inverse give a difference whose sign is the bit and whose zero crossings are the stripe
// boundaries, found to a fraction of a camera pixel along camera rows (boundaries across the
// frame's x) and columns (across its y).

#include "align/Patterns.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace trivel::align {

// A point on a stripe boundary: at camera (camX, camY) the output coordinate of the boundary's
// axis is `value` (output pixels).
struct EdgeSample {
    float camX = 0.0f;
    float camY = 0.0f;
    float value = 0.0f;
};

// The centre of the camera pixels that decoded to one stripe cell, and the cell's centre.
struct CellSample {
    Vec2 camera;
    Vec2 output;
    int pixels = 0;
};

struct Correspondences {
    std::vector<EdgeSample> xEdges; // value = output x
    std::vector<EdgeSample> yEdges; // value = output y
    std::vector<CellSample> cells;
};

// Where a window lies in the photo and how well it is exposed.
struct LitRegion {
    int left = 0, top = 0, right = -1, bottom = -1; // inclusive, photo pixels
    int pixels = 0;
    double peakContrast = 0.0; // levels between the white window and black
    double medianContrast = 0.0;
    double clippedFraction = 0.0; // of its pixels at the top level in the white photo
    // Photo edges the window touches: left, right, top, bottom.
    std::array<bool, 4> cut{};
    int width() const { return right - left + 1; }
    int height() const { return bottom - top + 1; }
};

struct LightLimits {
    double offContrast = 15.0; // a window below this peak contrast is off
    double litFraction = 0.3; // of the peak: where the window is
    double overClipped = 0.02; // clipped fraction that is an error ...
    double overWarning = 0.002; // ... and one that is worth a warning
    double underContrast = 20.0; // median contrast that is an error ...
    double underWarning = 40.0; // ... and one that is worth a warning
};

class WindowDecoder {
public:
    // Finds the window from its white and dark photos; problem() says what is wrong, if anything.
    WindowDecoder(int window, const Photo& dark, const Photo& white, const LightLimits& limits = {});

    // Empty when the window can be decoded; otherwise the message for the user.
    const QString& problem() const { return m_problem; }
    const QStringList& warnings() const { return m_warnings; }
    const LitRegion& region() const { return m_region; }
    int window() const { return m_window; }

    // Output pixels per camera pixel at the window, roughly (from its size in the photo).
    double outputPerCamera(int frameWidth, int frameHeight) const;

    // Sets the patterns the photos will show; call before add().
    void setPatterns(const PatternSet& set);
    // The photo of a stripe frame of the set (the white frame is not decoded).
    void add(const PatternFrame& frame, const Photo& photo);
    // The correspondences; a non-empty problem() afterwards names a photo that did not decode.
    Correspondences decode();

private:
    void findRegion(const Photo& dark, const Photo& white, const LightLimits& limits);
    void judge(const LightLimits& limits);
    std::vector<float> crop(const Photo& p) const;
    void checkBits(const std::vector<std::vector<float>>& diffs, bool alongX, const std::vector<int>& found,
        const std::vector<int>& identified, bool scrambledOnly);
    void scanEdges(const StripeCode& code, const std::vector<std::vector<float>>& diffs,
        const std::vector<int>& stripe, bool alongX, std::vector<EdgeSample>& out, std::vector<int>& found,
        std::vector<int>& identified) const;
    std::vector<int> stripesOf(const StripeCode& code, const std::vector<std::vector<float>>& diffs) const;
    void scanFrameEdges(const std::vector<int>& stripe, const std::vector<int>& across, bool alongX,
        std::vector<EdgeSample>& out) const;

    int m_window = 0;
    QString m_problem;
    QStringList m_warnings;
    LitRegion m_region;
    int m_roiX = 0, m_roiY = 0, m_roiW = 0, m_roiH = 0;
    std::vector<float> m_contrast; // white - dark over the region of interest
    std::vector<std::uint8_t> m_lit;
    PatternSet m_set;
    std::vector<float> m_pending; // a positive photo waiting for its inverse
    std::vector<std::vector<float>> m_dx; // per bit: positive - inverse
    std::vector<std::vector<float>> m_dy;
};

// The pattern's place in the sequence, as the messages count it (1-based, white first).
int FrameNumber(const PatternSet& set, const PatternFrame& frame);

} // namespace trivel::align
