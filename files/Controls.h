#pragma once
// The Save Setting and Load Setting buttons of the main window.

#include "session/Control.h"

#include <vector>

namespace trivel::ctl {

inline constexpr Control TntButton1{"TntButton1", Kind::Button};
inline constexpr Control TntButton2{"TntButton2", Kind::Button};

// Every control above, for the UI port's registry. A new control goes into this list too.
inline void DeclareFileControls(std::vector<Control>& out)
{
    out.insert(out.end(), {TntButton1, TntButton2});
}

} // namespace trivel::ctl
