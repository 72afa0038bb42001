#pragma once
// Selecting the current window: the window buttons BtnWin1..BtnWin4 (by the user, by code or by
// the Ctrl+Alt shortcuts) all end here.

namespace trivel {

class Session;

// Makes w (0..3) the current window, tells the box (VKY, then 0x2015) and refills every page from
// the caches; the page on show runs its show handler again. Other values are ignored.
void SelectWindow(Session& s, int w);
// The window buttons' click handler; the button's Tag is the window.
void BtnWinClick(Session& s, int tag);

} // namespace trivel
