#pragma once
// A planned import sent to a connected box with the chains the pages use: the window selected as
// its button does, the User Map table transfer (or the point mode and its 17x17 offsets), then
// the blend record as the blend sliders send it.

#include "interchange/ImportPlan.h"
#include "link/Operation.h"

namespace trivel {

class Box;

// Puts the plan into the tool's state of its window (ApplyImportPlan) and sends it. Ends once the
// last reply is in; fails as its steps do (silence, a closed link, a box that answers wrongly), or
// Refused when the window cannot take the plan (a window the box does not have, a grid the
// point mode cannot be entered with).
Operation<void> SendImportPlan(Box& box, ImportPlan plan);

} // namespace trivel
