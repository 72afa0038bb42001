#pragma once
// Creates the page widget of a page index (session/PageTable.h); each owner's class.

#include "widgets/PageWidget.h"

namespace trivel {
class Box;

// Each page gets the session and, where it has one, its own subsystem.
PageWidget* CreatePage(int pageIndex, Box& box, QWidget* parent);

} // namespace trivel
