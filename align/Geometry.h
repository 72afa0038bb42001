#pragma once
// The screen frame and the windows on it. The camera sees a flat screen: its lens is undone,
// then a homography takes the camera picture to screen pixels. A window lands on the screen
// through its fitted camera mapping, plus the correction a verification pass measured.

#include "align/WindowFit.h"

#include <optional>
#include <vector>

namespace trivel::align {

struct Rect {
    double left = 0.0, top = 0.0, right = 0.0, bottom = 0.0;
    double width() const { return right - left; }
    double height() const { return bottom - top; }
    bool contains(Vec2 p) const { return p.x >= left && p.x <= right && p.y >= top && p.y <= bottom; }
    bool empty() const { return !(right > left && bottom > top); }
};

class CameraView {
public:
    // From four marked points; nothing when they do not form a proper quadrilateral.
    static std::optional<CameraView> FromMarks(const LensModel& lens, const ScreenMarks& marks);
    // The camera assumed to face the screen squarely: screen = scale x the undistorted picture.
    static CameraView Square(const LensModel& lens, double scale);

    Vec2 screenOf(Vec2 photo) const { return m_toScreen.map(m_lens.undistort(photo)); }
    Vec2 photoOf(Vec2 screen) const { return m_lens.distort(m_fromScreen.map(screen)); }
    const LensModel& lens() const { return m_lens; }

private:
    LensModel m_lens;
    Homography m_toScreen;
    Homography m_fromScreen;
};

// One window on the screen: where its output pixels land.
class WindowGeometry {
public:
    WindowGeometry(WindowMapping mapping, const CameraView& view);

    Vec2 screenOf(Vec2 output) const;
    // The output position that lands on a screen point.
    std::optional<Vec2> outputOf(Vec2 screen) const;
    // Adds a measured correction (screen pixels, over the output frame) to where pixels land.
    void addCorrection(const SplineSurface& dx, const SplineSurface& dy);
    const WindowMapping& mapping() const { return m_mapping; }
    int frameWidth() const { return m_mapping.frameWidth(); }
    int frameHeight() const { return m_mapping.frameHeight(); }
    // The frame's outline on the screen, a point every `step` output pixels.
    std::vector<Vec2> footprint(int step = 32) const;

private:
    Vec2 uncorrected(Vec2 output) const;

    WindowMapping m_mapping;
    CameraView m_view;
    std::vector<std::pair<SplineSurface, SplineSurface>> m_corrections;
};

// Four corners of the canvas marked on the camera picture (top-left, top-right, bottom-right,
// bottom-left, photo pixels) as marks: their screen positions are a rectangle at the origin whose
// sides are the quadrilateral's mean sides (the lens undone) times screenPerCamera (the procedure
// then stretches each axis so that a projector pixel spans about a screen pixel). Nothing unless
// the corners, in that order, turn one way round a convex area of some size.
std::optional<ScreenMarks> CanvasMarks(
    const std::array<Vec2, 4>& corners, const LensModel& lens, double screenPerCamera);

bool InsidePolygon(const std::vector<Vec2>& polygon, Vec2 p);

// The largest axis-aligned rectangle inside the union of the polygons, to a fraction of a pixel;
// with aspect > 0 it is then cut down to that width / height, about its centre.
std::optional<Rect> LargestRectangle(const std::vector<std::vector<Vec2>>& polygons, double aspect = 0.0);

} // namespace trivel::align
