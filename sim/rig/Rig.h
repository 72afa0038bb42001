#pragma once
// A simulated wall: projectors that throw the box's windows onto a flat screen, and a camera
// that photographs it. Screen coordinates are "screen pixels", about one projector pixel each.
// Each projector maps its output pixels through a radial lens distortion and a homography to
// the screen; the camera maps the screen through a homography and its own lens to the photo.

#include "align/AlignTypes.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace trivel::sim {

using align::Homography;
using align::LensModel;
using align::Vec2;

struct RigProjector {
    int width = 1920; // the window's output frame
    int height = 1080;
    Homography toScreen; // undistorted output pixel -> screen
    // Radial distortion: the frame corner moves by this fraction of its distance from the centre.
    double distortion = 0.0;
    double falloff = 0.0; // brightness lost at the frame corners (0..0.9), quadratic from the centre
    double brightness = 1.0; // peak light, 1 = the camera's exposure reference
    double black = 0.0; // light a black pixel still gives, as a fraction of white
    double gamma = 2.2; // light = (level / 255) ^ gamma
    bool on = true;

    Vec2 screenOf(Vec2 output) const;
    // Inverse of screenOf; nothing behind the projector's horizon.
    std::optional<Vec2> outputOf(Vec2 screen) const;
    double lightFactor(Vec2 output) const; // brightness x falloff at an output position
};

struct RigCamera {
    int width = 1920;
    int height = 1080;
    Homography fromScreen; // screen -> undistorted photo pixel
    LensModel lens;
    double noise = 1.0; // standard deviation in levels (0..255)
    double blur = 0.7; // Gaussian sigma in photo pixels
    double exposure = 200.0; // level of light 1
    double ambient = 2.0; // level added everywhere
    int supersample = 2; // rendering samples per photo pixel and axis
    std::uint64_t seed = 1; // of the noise

    Vec2 photoOf(Vec2 screen) const { return lens.distort(fromScreen.map(screen)); }
    std::optional<Vec2> screenOf(Vec2 photo) const;
};

struct Rig {
    align::WallLayout layout;
    double screenWidth = 0.0; // the screen surface, (0, 0) to (width, height)
    double screenHeight = 0.0;
    std::vector<RigProjector> projectors; // one per window, in window order
    RigCamera camera;

    // The screen's corners as a user would mark them on the photo.
    align::ScreenMarks marks() const;
};

// Reads a rig description; nothing, with the reason in error, for anything that is not a valid
// rig (every number is checked for range, every homography for invertibility).
std::optional<Rig> ReadRigJson(const QByteArray& json, QString& error);
QByteArray WriteRigJson(const Rig& rig);

// Limits of RandomRig, as the targets state them.
struct RandomRigRanges {
    double overlapMin = 0.10, overlapMax = 0.25; // of the frame width or height
    double keystoneMax = 0.15; // a frame edge this much shorter than its opposite
    double rotationMaxDegrees = 5.0;
    double distortionMax = 0.03; // projectors and camera
    double cameraNoise = 1.5;
    double cameraBlur = 0.7;
    int supersample = 2; // of the rendering
};

// A rig drawn from seed: the layout's projectors with random overlaps, keystone, rotation, lens
// distortion and falloff, and a camera that frames the whole wall at the size given.
Rig RandomRig(std::uint64_t seed, align::WallLayout layout, int cameraWidth = 1920, int cameraHeight = 1080,
    const RandomRigRanges& ranges = {});

} // namespace trivel::sim
