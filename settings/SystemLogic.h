#pragma once
// The Ethernet config of the System page: DHCP or a static address, sent with "Update".

#include <QString>

#include <array>

namespace trivel {

class Session;

// RBDHCPClick / RBSTATICIPClick: the three address edits follow the choice; nothing is sent.
void NetworkChoiceClick(Session& s, bool dhcp);

// Button15Click with the choice and the texts of the address, mask and gateway edits. A static
// address part that is empty or not a number ends the handler with the conversion message and
// nothing is sent; returns whether the frame went out (or would have, while not connected).
bool Button15Click(Session& s, bool dhcp, const std::array<QString, 3>& texts);

} // namespace trivel
