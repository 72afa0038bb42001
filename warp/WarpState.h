#pragma once
// Warp state of the four windows (filled by the warp subsystem).

namespace trivel {
struct WarpState { };
} // namespace trivel
