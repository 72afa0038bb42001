#pragma once
// The Save Setting and Load Setting buttons of the main window, and the Export and Import buttons
// of .mpcdi files below the window buttons.

#include "session/Control.h"

#include <vector>

namespace trivel::ctl {

inline constexpr Control TntButton1{"TntButton1", Kind::Button};
inline constexpr Control TntButton2{"TntButton2", Kind::Button};
inline constexpr Control BtnExport{"BtnExport", Kind::Button};
inline constexpr Control BtnImport{"BtnImport", Kind::Button};

// Every control above, for the UI port's registry. A new control goes into this list too.
inline void DeclareFileControls(std::vector<Control>& out)
{
    out.insert(out.end(), {TntButton1, TntButton2, BtnExport, BtnImport});
}

} // namespace trivel::ctl
