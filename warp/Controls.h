#pragma once
// Controls of the warp pages (Warp Adjust, User Map).

#include "session/Control.h"

namespace trivel::ctl {

inline constexpr Control GPWPMode{"GPWPMode", Kind::Group};
inline constexpr Control CBPatternSel{"CBPatternSel", Kind::ComboBox};

} // namespace trivel::ctl
