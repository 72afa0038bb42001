#pragma once
// The setting commands a transfer sends for one window, from the caches a load filled.

#include "protocol/SettingCodec.h"

#include <array>
#include <cstddef>

namespace trivel {

class Session;
struct MaskState;
struct SettingsState;

inline constexpr int kCommandListSize = 74;
inline constexpr int kWindowCommands = 73; // the list's last command (DMI) is sent on its own

// The commands of window w, in CommandList order (kCommandOrder says the order they go in).
std::array<SettingCommand, kCommandListSize> TransferCommands(
    const SettingsState& settings, const MaskState& masks, const Session& s, std::size_t w);

} // namespace trivel
