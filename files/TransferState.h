#pragma once
// State of the transfer of a loaded setting file to the box.

#include "protocol/SettingCodec.h"

#include <array>
#include <cstdint>

namespace trivel {

inline constexpr int kCommandListSize = 74;
inline constexpr int kWindowCommands = 73; // CommandList[73] (DMI) is sent on its own

struct TransferState {
    // The window being sent is Session::TransferWindow.
    int CommandStep = 0;
    // The mask slot being sent (0-based), and how much of its stream has gone out.
    int MaskSlot = 0;
    std::size_t MaskPosition = 0;
    std::array<SettingCommand, kCommandListSize> CommandList{};
    // Percent of every fixed wait of the chain that is actually waited. Always 100 for a box;
    // the end-to-end tests lower it (trivelctl's hidden --test-wait-percent) so they run in
    // seconds against trivel-boxsim, which needs no pacing.
    int WaitPercent = 100;
};

} // namespace trivel
