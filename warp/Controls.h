#pragma once
// Controls of the warp pages (Warp Adjust, User Map).

#include "session/Control.h"

#include <vector>

namespace trivel::ctl {

inline constexpr Control GPWPMode{"GPWPMode", Kind::Group};
inline constexpr Control CBPatternSel{"CBPatternSel", Kind::ComboBox};

// Warp Adjust page.
inline constexpr Control BtnWP2x2{"BtnWP2x2", Kind::SpeedButton};
inline constexpr Control BtnWP3x3{"BtnWP3x3", Kind::SpeedButton};
inline constexpr Control BtnWP5x3{"BtnWP5x3", Kind::SpeedButton};
inline constexpr Control BtnWP9x5{"BtnWP9x5", Kind::SpeedButton};
inline constexpr Control BtnWPWall{"BtnWPWall", Kind::SpeedButton};
inline constexpr Control BtnCurLeft{"BtnCurLeft", Kind::Button};
inline constexpr Control BtnCurUp{"BtnCurUp", Kind::Button};
inline constexpr Control BtnCurRight{"BtnCurRight", Kind::Button};
inline constexpr Control BtnCurDown{"BtnCurDown", Kind::Button};
inline constexpr Control BtnMoveLeft{"BtnMoveLeft", Kind::Button};
inline constexpr Control BtnMoveUp{"BtnMoveUp", Kind::Button};
inline constexpr Control BtnMoveRight{"BtnMoveRight", Kind::Button};
inline constexpr Control BtnMoveDown{"BtnMoveDown", Kind::Button};
inline constexpr Control TBAdjustStep2{"TBAdjustStep2", Kind::TrackBar};
inline constexpr Control STAdjustValue2{"STAdjustValue2", Kind::Label};
inline constexpr Control CBPatternSel1{"CBPatternSel1", Kind::ComboBox};
inline constexpr Control TBGrid{"TBGrid", Kind::TrackBar};
inline constexpr Control STGridVal{"STGridVal", Kind::Label};
inline constexpr Control WPLRVal{"WPLRVal", Kind::Label};
inline constexpr Control WPUDVal{"WPUDVal", Kind::Label};
inline constexpr Control BtnWP17x17{"BtnWP17x17", Kind::SpeedButton};
// User maps 1..10 select slots 0..9; the save buttons store into slots 0..9.
inline constexpr ControlSet<10> BtnUserMaps{
    {{"BtnUserMap1", Kind::SpeedButton}, {"BtnUserMap2", Kind::SpeedButton},
        {"BtnUserMap3", Kind::SpeedButton}, {"BtnUserMap4", Kind::SpeedButton},
        {"BtnUserMap5", Kind::SpeedButton}, {"BtnUserMap6", Kind::SpeedButton},
        {"BtnUserMap7", Kind::SpeedButton}, {"BtnUserMap8", Kind::SpeedButton},
        {"BtnUserMap9", Kind::SpeedButton}, {"BtnUserMap10", Kind::SpeedButton}}};
inline constexpr ControlSet<10> BtnSaveMaps{{{"BtnSaveMap0", Kind::Button}, {"BtnSaveMap1", Kind::Button},
    {"BtnSaveMap2", Kind::Button}, {"BtnSaveMap3", Kind::Button}, {"BtnSaveMap4", Kind::Button},
    {"BtnSaveMap5", Kind::Button}, {"BtnSaveMap6", Kind::Button}, {"BtnSaveMap7", Kind::Button},
    {"BtnSaveMap8", Kind::Button}, {"BtnSaveMap9", Kind::Button}}};
inline constexpr Control BtnLoadData{"BtnLoadData", Kind::Button};
inline constexpr Control BtnWPReset{"BtnWPReset", Kind::Button};
inline constexpr Control BtnWPUndo{"BtnWPUndo", Kind::Button};

// User Map page.
inline constexpr Control WP2x2Btn{"WP2x2Btn", Kind::SpeedButton};
inline constexpr Control WP3x3Btn{"WP3x3Btn", Kind::SpeedButton};
inline constexpr Control WP5x3Btn{"WP5x3Btn", Kind::SpeedButton};
inline constexpr Control WP5x5Btn{"WP5x5Btn", Kind::SpeedButton};
inline constexpr Control WP9x5Btn{"WP9x5Btn", Kind::SpeedButton};
inline constexpr Control WP9x9Btn{"WP9x9Btn", Kind::SpeedButton};
inline constexpr Control WP17x17Btn{"WP17x17Btn", Kind::SpeedButton};
inline constexpr Control WPWallBtn{"WPWallBtn", Kind::SpeedButton};
inline constexpr Control BtnCursorLeft{"BtnCursorLeft", Kind::Button};
inline constexpr Control BtnCursorUp{"BtnCursorUp", Kind::Button};
inline constexpr Control BtnCursorRight{"BtnCursorRight", Kind::Button};
inline constexpr Control BtnCursorDown{"BtnCursorDown", Kind::Button};
inline constexpr Control BtnGridLeft{"BtnGridLeft", Kind::Button};
inline constexpr Control BtnGridUp{"BtnGridUp", Kind::Button};
inline constexpr Control BtnGridRight{"BtnGridRight", Kind::Button};
inline constexpr Control BtnGridDown{"BtnGridDown", Kind::Button};
inline constexpr Control BtnWarpReset{"BtnWarpReset", Kind::Button};
inline constexpr Control BtnUndo{"BtnUndo", Kind::Button};
inline constexpr Control TBAdjustStep{"TBAdjustStep", Kind::TrackBar};
inline constexpr Control STAdjustValue{"STAdjustValue", Kind::Label};
inline constexpr Control CBLineMove{"CBLineMove", Kind::CheckBox};

// Every control above, for the UI port's registry. A new control goes into this list too.
inline void DeclareWarpControls(std::vector<Control>& out)
{
    out.insert(out.end(),
        {GPWPMode, CBPatternSel, BtnWP2x2, BtnWP3x3, BtnWP5x3, BtnWP9x5, BtnWPWall, BtnCurLeft, BtnCurUp,
            BtnCurRight, BtnCurDown, BtnMoveLeft, BtnMoveUp, BtnMoveRight, BtnMoveDown, TBAdjustStep2,
            STAdjustValue2, CBPatternSel1, TBGrid, STGridVal, WPLRVal, WPUDVal, BtnWPReset, BtnWPUndo,
            BtnWP17x17, BtnLoadData});
    out.insert(out.end(),
        {WP2x2Btn, WP3x3Btn, WP5x3Btn, WP5x5Btn, WP9x5Btn, WP9x9Btn, WP17x17Btn, WPWallBtn, BtnCursorLeft,
            BtnCursorUp, BtnCursorRight, BtnCursorDown, BtnGridLeft, BtnGridUp, BtnGridRight, BtnGridDown,
            BtnWarpReset, BtnUndo, TBAdjustStep, STAdjustValue, CBLineMove});
    out.insert(out.end(), BtnUserMaps.begin(), BtnUserMaps.end());
    out.insert(out.end(), BtnSaveMaps.begin(), BtnSaveMaps.end());
}

} // namespace trivel::ctl
