#pragma once
// Handlers of the PIP page (TabPIP): display mode, ratio, source and orientation groups. The
// size, position and overlap sliders are plain rows of the settings table.

#include <QString>

namespace trivel {

class Session;

// The radio groups in the order of ctl::PipGroups: display (PIO), ratio (PIR), source (PIT),
// orientation (POR).
inline constexpr int kPipGroups = 4;
int PipGroupItemCount(int group);

// The item a group shows for the current window: the record's byte, or -1 when the byte lies
// outside the group's items.
int PipGroupItem(Session& s, int group);

// STPIPRes: "width * height" of the current window's PIP source, or the no-signal text.
QString PipResolutionText(const Session& s);

} // namespace trivel
