#pragma once
// The selections and shown values of the Blend 1 and Blend 2 pages and of the Mask page's
// edge-mask corners. Region and corner values are addressed on the box by a point of its 9 x 5
// control grid, selected with "95I" unless it is the last point selected for the window; the
// sends are operations of the settings subsystem (settings/Settings.h).

#include <QString>

#include <array>

namespace trivel {

class Session;

// By region Tag (3 x 3, row by row) and by corner Tag (the same without the centre).
inline constexpr std::array<int, 9> RegionPointCode{0, 4, 8, 18, 22, 26, 36, 40, 44};
inline constexpr std::array<int, 8> CornerPointCode{0, 4, 8, 18, 26, 36, 40, 44};
// What the last point code is before any selection: none.
inline constexpr int kNoPoint = 0xFE;

// SBEdgeLeftChange etc.: 49 means no blend and is stored as 0; returns the stored width.
int SBEdgeChange(Session& s, int side, int position);

// The selections of the current window, or -1 (logged once) when one lies outside its buttons.
int SelectedRegion(Session& s);
int SelectedCorner(Session& s);
int SelectedMaskCorner(Session& s);
// RBOffset0Click, RBCorner0Click, RBMask0Click: record the selection; nothing is sent.
void RBOffsetClick(Session& s, int tag);
void RBCornerClick(Session& s, int tag);
void RBMaskClick(Session& s, int tag);
// What the sliders show for the selections (0 for a selection outside its buttons).
int BlackLevelValue(Session& s, int ch);
int BlendCornerValue(Session& s, int axis);
int MaskCornerValue(Session& s, int axis);

// Value labels: gamma transition with one decimal ("2.2"), gamma offset in its shortest form
// ("2.2", "2.25").
QString TransitionGammaText(int position);
QString GammaOffsetText(int position);

} // namespace trivel
