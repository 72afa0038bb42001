#pragma once
// Creates the page widget of a page index (session/PageTable.h); each owner's class.

#include "app/PageWidget.h"

namespace trivel {

PageWidget* CreatePage(int pageIndex, Session& s, QWidget* parent);

} // namespace trivel
