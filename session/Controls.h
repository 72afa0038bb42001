#pragma once
// Controls of the main window's shell: the connect group, the window frame, the page control
// and its pages, the controls kept outside the client area, and the wait window.

#include "session/Control.h"

#include <vector>

namespace trivel::ctl {

inline constexpr Control MainForm{"MainForm", Kind::Form};
inline constexpr Control Grop1{"Grop1", Kind::Group};
inline constexpr Control RBTCP{"RBTCP", Kind::RadioButton};
inline constexpr Control RBUSB{"RBUSB", Kind::RadioButton};
inline constexpr Control ConnectAddressBox{"ConnectAddressBox", Kind::AddressEdit};
inline constexpr Control BtnCnt2{"BtnCnt2", Kind::Button};
inline constexpr Control GBLogo{"GBLogo", Kind::Group};
inline constexpr Control Image1{"Image1", Kind::Image};
inline constexpr Control SLGroup{"SLGroup", Kind::Group};
inline constexpr Control BtnFrame{"BtnFrame", Kind::Group};
inline constexpr Control GroupBox1{"GroupBox1", Kind::Group};
inline constexpr Control PCMain{"PCMain", Kind::Tabs};

// BtnWin1..BtnWin4 in BtnFrame; BtnWin5..BtnWin8 below the client area, always disabled.
inline constexpr ControlSet<8> BtnWins{{{"BtnWin1", Kind::SpeedButton}, {"BtnWin2", Kind::SpeedButton},
    {"BtnWin3", Kind::SpeedButton}, {"BtnWin4", Kind::SpeedButton}, {"BtnWin5", Kind::SpeedButton},
    {"BtnWin6", Kind::SpeedButton}, {"BtnWin7", Kind::SpeedButton}, {"BtnWin8", Kind::SpeedButton}}};
inline constexpr ControlSet<8> PnlOpts{{{"PnlOpt1", Kind::Panel}, {"PnlOpt2", Kind::Panel},
    {"PnlOpt3", Kind::Panel}, {"PnlOpt4", Kind::Panel}, {"PnlOpt5", Kind::Panel}, {"PnlOpt6", Kind::Panel},
    {"PnlOpt7", Kind::Panel}, {"PnlOpt8", Kind::Panel}}};
inline constexpr ControlSet<8> PnlIpts{{{"PnlIpt1", Kind::Panel}, {"PnlIpt2", Kind::Panel},
    {"PnlIpt3", Kind::Panel}, {"PnlIpt4", Kind::Panel}, {"PnlIpt5", Kind::Panel}, {"PnlIpt6", Kind::Panel},
    {"PnlIpt7", Kind::Panel}, {"PnlIpt8", Kind::Panel}}};

// Outside the client area.
inline constexpr Control UpdateStep{"UpdateStep", Kind::Panel};
inline constexpr Control ProgressBar2{"ProgressBar2", Kind::ProgressBar};
inline constexpr Control Memo1{"Memo1", Kind::Memo};

// The pages of PCMain, in page-index order (session/PageTable.h).
inline constexpr Control Warp95Tab{"Warp95Tab", Kind::Page};
inline constexpr Control TabVideoWall{"TabVideoWall", Kind::Page};
inline constexpr Control TabEdgeBlend1{"TabEdgeBlend1", Kind::Page};
inline constexpr Control TabEdgeBlend2{"TabEdgeBlend2", Kind::Page};
inline constexpr Control TabMask{"TabMask", Kind::Page};
inline constexpr Control TabImage{"TabImage", Kind::Page};
inline constexpr Control TntTabSheet5{"TntTabSheet5", Kind::Page};
inline constexpr Control TabSystem{"TabSystem", Kind::Page};
inline constexpr Control TabPIP{"TabPIP", Kind::Page};
inline constexpr Control TabDigiMap{"TabDigiMap", Kind::Page};
inline constexpr Control TabFirmware{"TabFirmware", Kind::Page};
inline constexpr Control TntTabSheet6{"TntTabSheet6", Kind::Page};
inline constexpr Control TntTabSheet13{"TntTabSheet13", Kind::Page};
inline constexpr Control TabWapAdjust{"TabWapAdjust", Kind::Page};

// The wait window.
inline constexpr Control Form1{"Form1", Kind::Form};
inline constexpr Control PBLink{"PBLink", Kind::ProgressBar};

// Every control above, for the UI port's registry. A new control goes into this list too.
// The System page's factory reset: the connection and a firmware download switch it too.
inline constexpr Control FRstBtn{"FRstBtn", Kind::Button};

inline void DeclareShellControls(std::vector<Control>& out)
{
    out.insert(out.end(),
        {MainForm, Grop1, RBTCP, RBUSB, ConnectAddressBox, BtnCnt2, GBLogo, Image1, SLGroup, BtnFrame,
            GroupBox1, PCMain, UpdateStep, ProgressBar2, Memo1, Warp95Tab, TabVideoWall, TabEdgeBlend1,
            TabEdgeBlend2, TabMask, TabImage, TntTabSheet5, TabSystem, TabPIP, TabDigiMap, TabFirmware,
            TntTabSheet6, TntTabSheet13, TabWapAdjust, Form1, PBLink, FRstBtn});
    for (const auto* set : {&BtnWins, &PnlOpts, &PnlIpts})
        out.insert(out.end(), set->begin(), set->end());
}

} // namespace trivel::ctl
