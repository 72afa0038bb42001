#pragma once
// The pages of PCMain by index: each page is a named control in the UI mirror (Enabled, and
// Visible for its tab), and carries a Tag.

#include "link/UiPort.h"

#include <QString>

#include <array>

namespace trivel {

struct PageInfo {
    const char* name;
    int tag;
};

inline constexpr std::array<PageInfo, 14> kPages{{
    {"Warp95Tab", 0},
    {"TabVideoWall", 4},
    {"TabEdgeBlend1", 1},
    {"TabEdgeBlend2", 2},
    {"TabMask", 3},
    {"TabImage", 5},
    {"TntTabSheet5", 9},
    {"TabSystem", 6},
    {"TabPIP", 0},
    {"TabDigiMap", 0},
    {"TabFirmware", 7},
    {"TntTabSheet6", 8},
    {"TntTabSheet13", 10},
    {"TabWapAdjust", 11},
}};

inline constexpr int kPageWarpAdjust = 0;
inline constexpr int kPageBlend1 = 2;
inline constexpr int kPageBlend2 = 3;
inline constexpr int kPagePip = 8;
inline constexpr int kPageDigiMap = 9;
inline constexpr int kTagVideoWall = 4;
inline constexpr int kTagSystem = 6;

inline QString PageName(int index)
{
    return QString::fromLatin1(kPages[std::size_t(index)].name);
}

inline int PageTag(int index)
{
    return index >= 0 && index < int(kPages.size()) ? kPages[std::size_t(index)].tag : -1;
}

// Enables a page and shows its tab, or disables it and hides the tab.
inline void SetPageAvailable(UiPort& ui, int index, bool on)
{
    ui.setEnabled(PageName(index), on);
    ui.setVisible(PageName(index), on);
}

} // namespace trivel
