#pragma once
// The picture one output window shows: a source picture through the window's geometry warp,
// edge blend and colour, and its mask. A pure function of a plain input, so the preview window,
// trivelctl and the tests render the same pixels.

#include "mask/MaskCodec.h"
#include "settings/SettingsState.h"

#include <QImage>
#include <QStringList>

#include <cstdint>
#include <vector>

namespace trivel {

struct PreviewMask {
    enum class Kind { None, Mono, Colour };
    Kind kind = Kind::None;
    // Mono: 1-bit picture; its pixels of value maskValue are painted in colour. Colour: an 8-bit
    // palette picture whose palette colour scales the picture underneath (white lets it through).
    MaskPicture picture;
    int offsetX = 0;
    int offsetY = 0;
    int maskValue = 1; // 0 when the reverse flag is set
    MaskRgb colour{255, 255, 255};
    bool backgroundMasked = false; // mono: the output outside the picture is painted too
};

struct PreviewInput {
    int width = 1920; // the window's output frame
    int height = 1080;
    // Any size; stretched to the frame. PrepareSourceForFrame does that once for repeated renders.
    QImage source;
    // SourceXTable / SourceYTable layout (132 x 78, column-major, 1/16 pixel). Empty: no warp.
    std::vector<std::uint16_t> sourceX;
    std::vector<std::uint16_t> sourceY;
    BlendRecord blend; // all zero: no blend and colour stage
    bool applyBlend = true;
    PreviewMask mask;
    // What the picture is and where it only approximates the box, one line each.
    QStringList notes;
};

// The source as the renderer wants it: RGB32 at the frame size.
QImage PrepareSourceForFrame(const QImage& source, int width, int height);

// One pixel of the result for every step x step pixels of the frame (step 1: the full frame;
// 2 or 4 while a nudge is pending). Null for a frame outside 16..2096 x 16..1232 or step < 1.
QImage RenderOutputPreview(const PreviewInput& in, int step = 1);

// The edge-blend curve: the factor (0..1) an edge applies at distance d pixels from that edge,
// for a blend width, shift, transition gamma x100 and gamma offset x100 as the record stores them.
double BlendEdgeFactor(int d, int width, int shift, int transitionGamma, int gammaOffset);

// One channel's factor of the edge at distance d: the curve above with the channel's gamma gain
// (0..100, 50 neutral) applied inside the ramp. The preview and the exported alpha maps use it.
double BlendRampFactor(const BlendRecord& b, int side, int channel, int d);

// Which third of an axis a position falls in: 0 within the near edge's blend zone, 2 within the
// far edge's, else 1. Sides: 0 left, 1 right (columns) or 2 top, 3 bottom (rows).
int BlendZone(const BlendRecord& b, int nearSide, int farSide, int pos, int size);

// The box's black-level slot of a (row zone, column zone) pair.
int BlackLevelSlot(int rowZone, int columnZone);

} // namespace trivel
