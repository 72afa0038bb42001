#pragma once
// Windows as an export sees them, made from a seed: a warped grid the tool's model computes and a
// blend with random widths, curve, gains and black levels. Shared by the tests and bench/.

#include "interchange/Mpcdi.h"
#include "warp/WarpModel.h"
#include "warp/WarpSpline.h"

#include <memory>
#include <random>

namespace trivel::test {

// Offsets of up to a quarter of the grid spacing and corners moved by up to a twentieth of the
// frame: strongly warped, never folded.
inline WindowExport RandomWarpedWindow(std::uint32_t seed, int width, int height, int window = 0)
{
    std::mt19937 rng(seed);
    auto pick = [&rng](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    auto ws = std::make_unique<WarpState>();
    ws->WarpWindow = window;
    SetWarpFrameSize(*ws, width, height);
    WarpModel& m = ws->current();
    const int ax = width / 64;
    const int ay = height / 64;
    for (int k = 0; k < kGridSize; ++k)
        for (int j = 0; j < kGridSize; ++j)
            SetPointOffset(m, k, j, {std::int16_t(pick(-ax, ax)), std::int16_t(pick(-ay, ay))});
    for (int c = 0; c < 4; ++c)
        SetCornerOffset(m, c,
            {std::int16_t(pick(-width / 20, width / 20)), std::int16_t(pick(-height / 20, height / 20))});
    SelectWarpPattern(*ws, Pattern17x17);
    RebuildWarpTables(*ws);

    WindowExport w;
    w.window = window;
    w.width = width;
    w.height = height;
    w.sourceX.assign(ws->SourceXTable.begin(), ws->SourceXTable.end());
    w.sourceY.assign(ws->SourceYTable.begin(), ws->SourceYTable.end());
    w.exactGeometry = true;
    w.geometryNote = QStringLiteral("Geometry: random grid %1.").arg(seed);
    for (int side = 0; side < 4; ++side) {
        const int size = side < 2 ? width : height;
        if (size >= 400 && pick(0, 1))
            w.blend.setEdgeWidth(side, std::uint16_t(pick(50, size / 4)));
        w.blend.setEdgeShift(side, std::int16_t(pick(0, 3) == 0 ? pick(-20, 40) : 0));
    }
    w.blend.gammaOffset() = std::uint8_t(pick(90, 250));
    for (int c = 0; c < 3; ++c) {
        w.blend.setTransitionGamma(c, std::uint16_t(pick(90, 300)));
        w.blend.gammaGain(c) = std::uint8_t(pick(0, 100));
        for (int slot = 0; slot < 9; ++slot)
            w.blend.blackLevel(slot, c) = std::uint8_t(pick(0, 40));
    }
    return w;
}

} // namespace trivel::test
