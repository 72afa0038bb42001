#pragma once
// Warp state of the four windows. The warp subsystem fills in the model; the link and the
// pages use only the names below.

#include <array>
#include <cstdint>

namespace trivel {

struct CursorPos {
    std::int16_t column = 0;
    std::int16_t row = 0;
};

struct WarpModel {
    std::int32_t frameWidth = 1920;
    std::int32_t frameHeight = 1080;
    std::uint8_t ControlPattern = 0; // Warp Adjust mode
    CursorPos ControlCursor; // 9 x 5 control grid of the Warp Adjust page
    CursorPos GridCursor; // 17 x 17 grid of the User Map page
};

struct WarpState {
    std::int32_t WarpWindow = 0;
    std::array<WarpModel, 4> model{};
};

} // namespace trivel
