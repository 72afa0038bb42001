#pragma once
// Controls of the mask pages (Digi Mapping, and the user-mask group of the Mask page).

#include "session/Control.h"

#include <vector>

namespace trivel::ctl {

inline constexpr Control GBUserMask{"GBUserMask", Kind::Group};
inline constexpr Control STMaskInfo{"STMaskInfo", Kind::Label};

// Every control above, for the UI port's registry. A new control goes into this list too.
inline void DeclareMaskControls(std::vector<Control>& out)
{
    out.insert(out.end(), {GBUserMask, STMaskInfo});
}

} // namespace trivel::ctl
