#pragma once
// Controls of the Firmware Update page.

#include "session/Control.h"

#include <vector>

namespace trivel::ctl {

inline constexpr Control MCUVersion{"MCUVersion", Kind::Label};
inline constexpr Control ProgBtn{"ProgBtn", Kind::Button};

// Every control above, for the UI port's registry. A new control goes into this list too.
inline void DeclareFirmwareControls(std::vector<Control>& out)
{
    out.insert(out.end(), {MCUVersion, ProgBtn});
}

} // namespace trivel::ctl
