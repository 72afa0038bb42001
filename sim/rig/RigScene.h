#pragma once
// The rig in action: what each window shows, rendered with the core's output preview renderer,
// thrown by its projector onto the screen, summed in light, and photographed by the camera with
// its lens, blur, noise and 8-bit levels.

#include "align/AlignPorts.h"
#include "preview/OutputPreview.h"
#include "sim/rig/Rig.h"

#include <QImage>

#include <memory>
#include <optional>
#include <vector>

namespace trivel::sim {

// A box's blend record at its defaults: no blend, neutral gamma and colour.
BlendRecord NeutralBlend();

// What one window shows. The source is black (no input) unless the test grid is on.
struct WindowContent {
    MaskBytes mask; // a mask preview stream on the window; empty: none
    std::optional<align::GridSpec> grid; // the test grid as the source, through warp and blend
    QImage input; // the window's video input (a PC feeding the box), under the grid; null: black
    int gridColour = 7; // the box's colour code: 1 red, 2 green, 4 blue
    std::vector<std::uint16_t> sourceX; // the window's warp tables; empty: none
    std::vector<std::uint16_t> sourceY;
    BlendRecord blend = NeutralBlend();
};

// The preview's mask from a stream as the box holds it (header offsets, flags, colour).
PreviewMask PreviewMaskFromStream(const MaskBytes& stream);
// The test grid as a source picture of the frame size, in the box's colour code.
QImage GridPicture(int width, int height, const align::GridSpec& grid, int colour = 7);
// The renderer's input for a window of the given frame.
PreviewInput PreviewInputOf(const WindowContent& content, int width, int height);

// Windows the preview renderer drew, by content: the same pattern on another window or another
// rig of the same frame size is not drawn again. Scenes may share one.
class RigRenderCache {
public:
    explicit RigRenderCache(std::size_t capacity = 32);
    ~RigRenderCache();
    RigRenderCache(const RigRenderCache&) = delete;
    RigRenderCache& operator=(const RigRenderCache&) = delete;

private:
    friend class RigScene;
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

class RigScene {
public:
    explicit RigScene(Rig rig, std::shared_ptr<RigRenderCache> cache = nullptr);
    ~RigScene();
    RigScene(const RigScene&) = delete;
    RigScene& operator=(const RigScene&) = delete;

    const Rig& rig() const { return m_rig; }
    std::vector<WindowContent> content; // one per window

    // One frame: every call draws new noise (from the camera's seed and a frame counter).
    align::Photo photo();
    // A bump: the camera's picture moves by this many photo pixels.
    void moveCamera(Vec2 by);
    // Switches a projector on or off.
    void setProjectorOn(int window, bool on);
    int photosTaken() const { return m_photos; }
    int renders() const { return m_renders; } // output frames the preview renderer drew

private:
    struct Impl;
    Rig m_rig;
    std::unique_ptr<Impl> m_impl;
    int m_photos = 0;
    int m_renders = 0;
};

} // namespace trivel::sim
