#pragma once
// Controls of the warp pages (Warp Adjust, User Map).

#include "session/Control.h"

#include <vector>

namespace trivel::ctl {

inline constexpr Control GPWPMode{"GPWPMode", Kind::Group};
inline constexpr Control CBPatternSel{"CBPatternSel", Kind::ComboBox};

// Every control above, for the UI port's registry. A new control goes into this list too.
inline void DeclareWarpControls(std::vector<Control>& out)
{
    out.insert(out.end(), {GPWPMode, CBPatternSel});
}

} // namespace trivel::ctl
