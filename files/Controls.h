#pragma once
// The Save Setting and Load Setting buttons of the main window.

#include "session/Control.h"

namespace trivel::ctl {

inline constexpr Control TntButton1{"TntButton1", Kind::Button};
inline constexpr Control TntButton2{"TntButton2", Kind::Button};

} // namespace trivel::ctl
