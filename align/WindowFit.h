#pragma once
// The camera-to-output mapping of one window, fitted to its stripe boundaries: a homography from
// the stripe cells, refined by smooth bicubic corrections over the output frame that take up the
// projector's and the camera's lens distortion. Each output axis is fitted on its own boundaries
// (vertical boundaries fix output x, horizontal ones output y).

#include "align/Decode.h"

#include <QString>

#include <optional>
#include <vector>

namespace trivel::align {

// A uniform bicubic B-spline over a rectangle, its coefficients fitted by least squares.
class SplineSurface {
public:
    SplineSurface() = default;
    SplineSurface(double x0, double y0, double width, double height, int cellsX, int cellsY);

    double value(double x, double y) const;
    int cellsX() const { return m_nx; }
    int cellsY() const { return m_ny; }
    std::vector<double>& coefficients() { return m_c; }
    const std::vector<double>& coefficients() const { return m_c; }

    // The coefficients and weights of the 16 terms at (x, y), for building a fit.
    void terms(double x, double y, std::array<int, 16>& index, std::array<double, 16>& weight) const;

    struct Sample {
        double x, y, target, weight = 1.0;
    };
    // Least squares with a light second-difference penalty so that cells without data stay smooth.
    bool fit(const std::vector<Sample>& samples, double smoothing);

private:
    double m_x0 = 0.0, m_y0 = 0.0, m_hx = 1.0, m_hy = 1.0;
    int m_nx = 0, m_ny = 0;
    std::vector<double> m_c; // (nx + 3) x (ny + 3), x fastest
};

class WindowMapping {
public:
    // Nothing, with the reason in error, when the boundaries are too few or do not fit together.
    static std::optional<WindowMapping> Fit(const Correspondences& c, int frameWidth, int frameHeight,
        int stripesX, int stripesY, QString& error);

    Vec2 outputOf(Vec2 camera) const;
    // The camera pixel that sees an output position (Newton from the homography's answer).
    std::optional<Vec2> cameraOf(Vec2 output) const;

    int frameWidth() const { return m_width; }
    int frameHeight() const { return m_height; }
    // How well the boundaries fit, in output pixels (after outliers are set aside).
    double rmsX() const { return m_rmsX; }
    double rmsY() const { return m_rmsY; }
    int samplesUsed() const { return m_used; }
    const Homography& homography() const { return m_h; }

private:
    Homography m_h; // camera -> output, roughly
    SplineSurface m_dx; // corrections over the homography's output coordinates
    SplineSurface m_dy;
    int m_width = 0;
    int m_height = 0;
    double m_rmsX = 0.0;
    double m_rmsY = 0.0;
    int m_used = 0;
};

} // namespace trivel::align
