#pragma once
// The pages of PCMain and the control lookup tables filled at start-up.

#include "link/PageTable.h"

#include <array>

namespace trivel {

// Captions and start-up visibility of the pages, beside their names and Tags (link/PageTable.h).
struct PageLook {
    const char* caption;
    bool visibleAtStart;
};

inline constexpr int kPageCount = int(kPages.size());
inline constexpr std::array<PageLook, kPageCount> kPageLooks{{
    {"Warp Adjust", true},
    {"Video Wall", true},
    {"Blend 1", true},
    {"Blend 2", true},
    {"Mask", true},
    {"Image", true},
    {"EDID", true},
    {"System", true},
    {"PIP", false},
    {"Digi Mapping", false},
    {"Firmware Update", true},
    {"K410 Reg", false},
    {"TntTabSheet13", false},
    {"User Map", false},
}};

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

// One table over all looked-up controls, by index; nullptr marks an unused index.
inline constexpr int kLookupSize = 63;
inline constexpr std::array<const char*, kLookupSize> kControlLookup{{
    // 0..14 output-mode buttons by OPM code
    "BtnOut1",
    "BtnOut2",
    "BtnOut3",
    "BtnOut4",
    "BtnOut5",
    "BtnOut6",
    "BtnOut7",
    "BtnOut9",
    "BtnOut10",
    "BtnOut11",
    "BtnOut12",
    "BtnOut13",
    "BtnOut14",
    "BtnOut15",
    "BtnOut16",
    // 15..19 unused
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    // 20..23 input buttons
    "BtnSrc1",
    "BtnSrc2",
    "BtnSrc3",
    "BtnSrc4",
    // 24..31 window buttons
    "BtnWin1",
    "BtnWin2",
    "BtnWin3",
    "BtnWin4",
    "BtnWin5",
    "BtnWin6",
    "BtnWin7",
    "BtnWin8",
    // 32..37 orientation
    "RBRot1",
    "RBRot2",
    "RBRot3",
    "RBRot4",
    "RBRot5",
    "RBRot6",
    // 38..46 blend offset regions
    "RBOffset0",
    "RBOffset1",
    "RBOffset2",
    "RBOffset3",
    "RBOffset4",
    "RBOffset5",
    "RBOffset6",
    "RBOffset7",
    "RBOffset8",
    // 47..54 blend corners
    "RBCorner0",
    "RBCorner1",
    "RBCorner2",
    "RBCorner3",
    "RBCorner4",
    "RBCorner5",
    "RBCorner6",
    "RBCorner7",
    // 55..62 mask corners
    "RBMask0",
    "RBMask1",
    "RBMask2",
    "RBMask3",
    "RBMask4",
    "RBMask5",
    "RBMask6",
    "RBMask7",
}};

namespace Lookup {
inline constexpr int OutputMode = 0;
inline constexpr int Input = 20;
inline constexpr int Window = 24;
inline constexpr int Rotation = 32;
inline constexpr int Offset = 38;
inline constexpr int Corner = 47;
inline constexpr int MaskCorner = 55;
} // namespace Lookup

} // namespace trivel
