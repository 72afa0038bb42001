#pragma once
// Per-window settings cache and its companion records (filled by the settings subsystem).

namespace trivel {
struct SettingsState { };
} // namespace trivel
