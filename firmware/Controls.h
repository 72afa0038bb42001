#pragma once
// Controls of the Firmware Update page.

#include "session/Control.h"

namespace trivel::ctl {

inline constexpr Control MCUVersion{"MCUVersion", Kind::Label};
inline constexpr Control ProgBtn{"ProgBtn", Kind::Button};

} // namespace trivel::ctl
