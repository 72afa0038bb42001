#include "warp/pages/WarpAdjustPage.h"

#include "warp/Controls.h"

namespace trivel {

WarpAdjustPage::WarpAdjustPage(Session& s, QWidget* parent)
    : PageWidget(s, parent)
{
    // The mode group: disabled from a mode change until the box has answered its sequence.
    build::Group(this, &ctl::GPWPMode, QStringLiteral("Warp Mode"), QRect(8, 8, 300, 120));
}

} // namespace trivel
