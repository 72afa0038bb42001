#pragma once
// Box-wide commands: reset of the current settings, all reset, profiles, factory reset, reboot.
// Each asks the user first where the box's own keys would, then runs as one operation; a reset
// or profile load paces its progress bar and ends with the read-back.

#include "link/Operation.h"

namespace trivel {

class Session;

Operation<void> ResetSettings(Session& s);
Operation<void> ResetAll(Session& s);
Operation<void> LoadProfile(Session& s, int profile); // 0..4
Operation<void> SaveProfile(Session& s, int profile);
Operation<void> FactoryReset(Session& s);
Operation<void> Reboot(Session& s);

} // namespace trivel
