#pragma once
// Controls of the output preview: its button under the window frame and its window.

#include "session/Control.h"

#include <vector>

namespace trivel::ctl {

inline constexpr Control BtnPreview{"BtnPreview", Kind::Button};
inline constexpr Control FormPreview{"FormPreview", Kind::Form};

inline void DeclarePreviewControls(std::vector<Control>& out)
{
    out.insert(out.end(), {BtnPreview, FormPreview});
}

} // namespace trivel::ctl
