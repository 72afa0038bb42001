#pragma once
// Controls of the Firmware Update page.

#include "session/Control.h"

#include <vector>

namespace trivel::ctl {

inline constexpr Control MCUVersion{"MCUVersion", Kind::Label};
inline constexpr Control ProgBtn{"ProgBtn", Kind::Button};
inline constexpr Control FileLabel{"FileLabel", Kind::Edit};
inline constexpr Control BtnLoad{"BtnLoad", Kind::Button};
inline constexpr Control SizeLabel{"SizeLabel", Kind::Label};
inline constexpr Control DateLabel{"DateLabel", Kind::Label};
inline constexpr Control CksLabel{"CksLabel", Kind::Label};
inline constexpr Control ProgressBar1{"ProgressBar1", Kind::ProgressBar};
inline constexpr Control PLabel{"PLabel", Kind::Label};
inline constexpr Control CBReset{"CBReset", Kind::CheckBox};

// Every control above, for the UI port's registry. A new control goes into this list too.
inline void DeclareFirmwareControls(std::vector<Control>& out)
{
    out.insert(out.end(),
        {MCUVersion, ProgBtn, FileLabel, BtnLoad, SizeLabel, DateLabel, CksLabel, ProgressBar1, PLabel,
            CBReset});
}

} // namespace trivel::ctl
