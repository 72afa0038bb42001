#include "mask/pages/MaskPage.h"

#include "mask/Controls.h"
#include "settings/Controls.h"

namespace trivel {

MaskPage::MaskPage(Session& s, QWidget* parent)
    : PageWidget(s, parent)
{
    auto* edge = build::Group(this, nullptr, QStringLiteral("Edge Mask"), QRect(8, 8, 150, 120));
    build::RadioGrid(edge, ctl::RBMasks, QPoint(20, 24));
    // Shown only for a box with the user-mask feature.
    build::Group(this, &ctl::GBUserMask, QStringLiteral("Mapping "), QRect(318, 8, 300, 300));
}

} // namespace trivel
