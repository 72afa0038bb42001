#pragma once
// Small value types of the camera alignment: points, homographies, the camera lens, photos and
// the wall layout. Pixel coordinates put pixel centres on integers everywhere (the warp tables
// and the preview renderer do the same), so pixel i of a row spans i - 0.5 .. i + 0.5.

#include <QString>

#include <array>
#include <cmath>
#include <cstdint>
#include <optional>
#include <vector>

namespace trivel::align {

struct Vec2 {
    double x = 0.0;
    double y = 0.0;
    Vec2 operator+(Vec2 o) const { return {x + o.x, y + o.y}; }
    Vec2 operator-(Vec2 o) const { return {x - o.x, y - o.y}; }
    Vec2 operator*(double s) const { return {x * s, y * s}; }
    double norm() const { return std::hypot(x, y); }
};

// Row-major 3 x 3, mapping (x, y, 1).
struct Homography {
    std::array<double, 9> m{1, 0, 0, 0, 1, 0, 0, 0, 1};

    Vec2 map(Vec2 p) const
    {
        const double w = m[6] * p.x + m[7] * p.y + m[8];
        return {(m[0] * p.x + m[1] * p.y + m[2]) / w, (m[3] * p.x + m[4] * p.y + m[5]) / w};
    }
    // The denominator at p: its sign tells the side of the horizon a point is on.
    double weight(Vec2 p) const { return m[6] * p.x + m[7] * p.y + m[8]; }
    std::optional<Homography> inverse() const;
    Homography operator*(const Homography& o) const;
    bool finite() const;
};

// The homography through four point pairs; nothing for a degenerate quadrilateral.
std::optional<Homography> HomographyFromQuad(const std::array<Vec2, 4>& from, const std::array<Vec2, 4>& to);

// A lens as OpenCV models it: pixel = centre + focal * n (1 + k1 r^2 + k2 r^4) plus the
// tangential terms, n the ideal normalised position. No distortion maps a point to itself.
struct LensModel {
    double fx = 1000.0;
    double fy = 1000.0;
    double cx = 0.0;
    double cy = 0.0;
    double k1 = 0.0;
    double k2 = 0.0;
    double p1 = 0.0;
    double p2 = 0.0;

    bool distorts() const { return k1 != 0.0 || k2 != 0.0 || p1 != 0.0 || p2 != 0.0; }
    Vec2 distort(Vec2 ideal) const;
    // Inverse of distort by fixed-point iteration; exact to 1e-6 pixel for distortions of a few %.
    Vec2 undistort(Vec2 pixel) const;
    bool valid() const;
};

// A grey picture from the camera, 0..255 per pixel (averaged frames are not whole numbers).
struct Photo {
    int width = 0;
    int height = 0;
    std::vector<float> pixels;

    Photo() = default;
    Photo(int w, int h, float fill = 0.0f)
        : width(w)
        , height(h)
        , pixels(std::size_t(w) * std::size_t(h), fill)
    {
    }
    bool empty() const { return width <= 0 || height <= 0; }
    float at(int x, int y) const { return pixels[std::size_t(y) * std::size_t(width) + std::size_t(x)]; }
    float& at(int x, int y) { return pixels[std::size_t(y) * std::size_t(width) + std::size_t(x)]; }
    // Bilinear between pixel centres; 0 outside.
    float sample(double x, double y) const;
};

// Rows x columns of projectors; window w sits at row w / columns, column w % columns.
struct WallLayout {
    int rows = 1;
    int columns = 2;

    int windows() const { return rows * columns; }
    int rowOf(int w) const { return w / columns; }
    int columnOf(int w) const { return w % columns; }
    bool valid() const { return rows >= 1 && columns >= 1 && rows * columns <= 4; }
    QString text() const { return QStringLiteral("%1x%2").arg(rows).arg(columns); }
};

// "2x2" (rows x columns); nothing for anything else or more than four windows.
std::optional<WallLayout> ParseWallLayout(const QString& text);

// Points the user marked on the camera picture with their positions in the screen frame (screen
// pixels): they fix the camera-to-screen homography.
struct ScreenMarks {
    std::array<Vec2, 4> camera{};
    std::array<Vec2, 4> screen{};
};

// What a window is called in messages: the window buttons count 1..4. The title starts a sentence.
inline QString WindowName(int window)
{
    return QStringLiteral("window %1").arg(window + 1);
}
inline QString WindowTitle(int window)
{
    return QStringLiteral("Window %1").arg(window + 1);
}

} // namespace trivel::align
