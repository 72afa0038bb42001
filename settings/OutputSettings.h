#pragma once
// Deep colour and HDCP output of the Image page's "Output" group. On a box with paired outputs
// both windows of a pair take the value.

namespace trivel {

class Session;

// CBDeepColorClick: runs for a change by code as well (a refresh), so it stores while the
// pages are refilled and sends only otherwise.
void CBDeepColorClick(Session& s, bool checked);
// RGHDCPOutputClick.
void RGHDCPOutputClick(Session& s, int item);

// The HDCP item for the current window, -1 for a value outside "InputOnly", "Enable", "Disable".
int HdcpOutputItem(Session& s);
inline constexpr int kHdcpItems = 3;

} // namespace trivel
