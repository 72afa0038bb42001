#include "link/Session.h"
#include "settings/SettingsState.h"

namespace trivel {

void ResetWindowSettings(Session& s)
{
    s.settings = SettingsState{};
    s.ui.refreshPages();
}

} // namespace trivel
