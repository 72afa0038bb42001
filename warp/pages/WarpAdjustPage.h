#pragma once
// The Warp Adjust page (Warp95Tab): warp modes, cursor and move buttons of the box-side grids.

#include "app/PageWidget.h"

namespace trivel {

class WarpAdjustPage : public PageWidget {
    Q_OBJECT
public:
    explicit WarpAdjustPage(Session& s, QWidget* parent = nullptr);
};

} // namespace trivel
