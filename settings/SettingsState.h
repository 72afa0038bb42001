#pragma once
// Per-window settings cache and its companion records (filled by the settings subsystem).

namespace trivel {

class Session;

struct SettingsState { };

// Initial values for all four windows, then the pages are refilled.
void ResetWindowSettings(Session& s);

} // namespace trivel
