#pragma once
// Controls of the mask pages (Digi Mapping, and the user-mask group of the Mask page).

#include "session/Control.h"

#include <vector>

namespace trivel::ctl {

// Digi Mapping page.
inline constexpr Control LoadMaskImage{"LoadMaskImage", Kind::Button};
inline constexpr Control BtnUploadMask{"BtnUploadMask", Kind::Button};
inline constexpr Control BtnMaskClean{"BtnMaskClean", Kind::Button};
inline constexpr Control CBMaskIdx{"CBMaskIdx", Kind::ComboBox};
inline constexpr Control BtnMaskSave{"BtnMaskSave", Kind::Button};
inline constexpr Control BtnMaskLoad{"BtnMaskLoad", Kind::Button};
inline constexpr Control BtnMaskRead{"BtnMaskRead", Kind::Button};
inline constexpr Control BtnMaskDelete{"BtnMaskDelete", Kind::Button};
inline constexpr Control CBCenterMask{"CBCenterMask", Kind::CheckBox};
inline constexpr Control SBMaskOffsetX{"SBMaskOffsetX", Kind::ScrollBar};
inline constexpr Control SBMaskOffsetY{"SBMaskOffsetY", Kind::ScrollBar};
inline constexpr Control STOffsetX{"STOffsetX", Kind::Label};
inline constexpr Control STOffsetY{"STOffsetY", Kind::Label};
inline constexpr Control CBTrans{"CBTrans", Kind::CheckBox};
inline constexpr Control CBImageReverse{"CBImageReverse", Kind::CheckBox};
inline constexpr Control SBLoopTime{"SBLoopTime", Kind::ScrollBar};
inline constexpr Control MaskColor{"MaskColor", Kind::Panel};
inline constexpr Control BtnSelColor{"BtnSelColor", Kind::Button};
inline constexpr Control PBMask{"PBMask", Kind::ProgressBar};
inline constexpr Control CBSaveAll{"CBSaveAll", Kind::CheckBox};
inline constexpr Control MaskImage{"MaskImage", Kind::Image};
inline constexpr Control STMaskInfo{"STMaskInfo", Kind::Label};

// Mask page, user-mask group.
inline constexpr Control GBUserMask{"GBUserMask", Kind::Group};
inline constexpr Control MaskImageU{"MaskImageU", Kind::Image};
inline constexpr Control CBMaskIdx2{"CBMaskIdx2", Kind::ComboBox};
inline constexpr Control BtnMaskLoad2{"BtnMaskLoad2", Kind::Button};

// Every control above, for the UI port's registry. A new control goes into this list too.
inline void DeclareMaskControls(std::vector<Control>& out)
{
    out.insert(out.end(),
        {LoadMaskImage, BtnUploadMask, BtnMaskClean, CBMaskIdx, BtnMaskSave, BtnMaskLoad, BtnMaskRead,
            BtnMaskDelete, CBCenterMask, SBMaskOffsetX, SBMaskOffsetY, STOffsetX, STOffsetY, CBTrans,
            CBImageReverse, SBLoopTime, MaskColor, BtnSelColor, PBMask, CBSaveAll, MaskImage, STMaskInfo,
            GBUserMask, MaskImageU, CBMaskIdx2, BtnMaskLoad2});
}

} // namespace trivel::ctl
