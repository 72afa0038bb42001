#pragma once
// Box-side warp tables of the Warp Adjust page, as the box reports them in its warp blocks
// (0x1007..0x1009). ControlPattern and ControlCursor live in WarpModel (warp/WarpState.h).

#include "link/Frame.h"

#include <array>
#include <cstdint>

namespace trivel {

struct PointOffset {
    std::int16_t x = 0;
    std::int16_t y = 0;
    bool operator==(const PointOffset&) const = default;
};

inline constexpr int kControlPoints = 45; // 9 x 5 grid, index row * 9 + column
inline constexpr int kWallPoints = 8;
inline constexpr int kKeystoneCorners = 4;

struct WarpAdjustState {
    std::array<std::array<PointOffset, kControlPoints>, 4> ControlOffsets{}; // 180 bytes per window
    std::array<std::array<PointOffset, kWallPoints>, 4> WallPoints{}; // 32 bytes per window
    std::array<std::array<PointOffset, kKeystoneCorners>, 4> KeystoneCorners{}; // 16 bytes per window
    std::array<std::int32_t, 4> ConfirmedMode{99, 0, 0, 0};
};

// Reads `count` little-endian (x, y) pairs from `off` of a frame (bounds-checked by FrameView).
template <std::size_t N>
void ReadPointPairs(const FrameView& f, std::size_t off, std::array<PointOffset, N>& out)
{
    for (std::size_t i = 0; i < N; ++i)
        out[i] = {f.i16(off + 4 * i), f.i16(off + 4 * i + 2)};
}

} // namespace trivel
