#pragma once
// The pages of PCMain: one table for the core, the GUI and the tests.

#include "session/Control.h"
#include "session/Controls.h"

#include <array>

namespace trivel {

// Page indices of PCMain.
namespace Page {
inline constexpr int WarpAdjust = 0;
inline constexpr int VideoWall = 1;
inline constexpr int Blend1 = 2;
inline constexpr int Blend2 = 3;
inline constexpr int Mask = 4;
inline constexpr int Image = 5;
inline constexpr int Edid = 6;
inline constexpr int System = 7;
inline constexpr int Pip = 8;
inline constexpr int DigiMap = 9;
inline constexpr int Firmware = 10;
inline constexpr int Register = 11;
inline constexpr int Sheet13 = 12;
inline constexpr int UserMap = 13;
} // namespace Page

struct PageInfo {
    int index;
    Control control;
    const char* caption;
    int tag;
    bool visibleAtStart;
};

inline constexpr int kPageCount = 14;
inline constexpr std::array<PageInfo, kPageCount> kPages{{
    {Page::WarpAdjust, ctl::Warp95Tab, "Warp Adjust", 0, true},
    {Page::VideoWall, ctl::TabVideoWall, "Video Wall", 4, true},
    {Page::Blend1, ctl::TabEdgeBlend1, "Blend 1", 1, true},
    {Page::Blend2, ctl::TabEdgeBlend2, "Blend 2", 2, true},
    {Page::Mask, ctl::TabMask, "Mask", 3, true},
    {Page::Image, ctl::TabImage, "Image", 5, true},
    {Page::Edid, ctl::TntTabSheet5, "EDID", 9, true},
    {Page::System, ctl::TabSystem, "System", 6, true},
    {Page::Pip, ctl::TabPIP, "PIP", 0, false},
    {Page::DigiMap, ctl::TabDigiMap, "Digi Mapping", 0, false},
    {Page::Firmware, ctl::TabFirmware, "Firmware Update", 7, true},
    {Page::Register, ctl::TntTabSheet6, "K410 Reg", 8, false},
    {Page::Sheet13, ctl::TntTabSheet13, "TntTabSheet13", 10, false},
    {Page::UserMap, ctl::TabWapAdjust, "User Map", 11, false},
}};

// Tags that the end of the read-back looks at.
inline constexpr int kTagVideoWall = 4;
inline constexpr int kTagSystem = 6;

constexpr bool ValidPage(int index)
{
    return index >= 0 && index < kPageCount;
}

inline const PageInfo* FindPage(int index)
{
    return ValidPage(index) ? &kPages[std::size_t(index)] : nullptr;
}

inline int PageTag(int index)
{
    const PageInfo* p = FindPage(index);
    return p ? p->tag : -1;
}

} // namespace trivel
