#pragma once
// Controls of the mask pages (Digi Mapping, and the user-mask group of the Mask page).

#include "session/Control.h"

namespace trivel::ctl {

inline constexpr Control GBUserMask{"GBUserMask", Kind::Group};
inline constexpr Control STMaskInfo{"STMaskInfo", Kind::Label};

} // namespace trivel::ctl
