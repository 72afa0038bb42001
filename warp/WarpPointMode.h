#pragma once
// The 17x17 point mode of the Warp Adjust page and the ten user maps the box stores: entering
// the mode (the 9x5 offsets expanded along the splines), selecting, saving and loading a map.
// Point moves and the point cursor run through MoveWarpPoint / MoveWarpCursor.

namespace trivel {

class Session;

// BtnWP17x17Click. A grid the splines cannot pass through leaves everything as it was and
// says so.
void EnterPointMode(Session& s);
// BtnUserMapClick: slot 0..9 (user map 1..10).
void SelectUserMap(Session& s, int slot);
// BtnSaveMapClick: stores the window's map in slot 0..9.
void SaveUserMap(Session& s, int slot);
// BtnLoadDataClick: reads the map of the last selected slot back into the tool.
void LoadUserMap(Session& s);

// Steps 0x8200..0x8201 and 0x8210..0x821E.
void WarpMapStep(Session& s, int op);

} // namespace trivel
