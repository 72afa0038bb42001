#pragma once
// What the transfer of a loaded setting file (files/SettingTransfer.h) shares with the load
// that prepares it and with the pages that must not change its caches while it runs.

namespace trivel {

struct TransferState {
    // The mask slot the transfer starts with (0-based); the load sets it.
    int MaskSlot = 0;
    // A transfer is under way: page input that would change what it sends waits for its end.
    bool Running = false;
    // Percent of every fixed wait of the transfer that is actually waited. Always 100 for a box;
    // the end-to-end tests lower it (trivelctl's hidden --test-wait-percent) so they run in
    // seconds against trivel-boxsim, which needs no pacing.
    int WaitPercent = 100;
};

} // namespace trivel
