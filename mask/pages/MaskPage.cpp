#include "mask/pages/MaskPage.h"

#include "mask/Controls.h"
#include "settings/Controls.h"
#include "settings/pages/EdgeMaskGroup.h"

namespace trivel {

MaskPage::MaskPage(Session& s, QWidget* parent)
    : PageWidget(s, parent)
{
    new EdgeMaskGroup(s, this, QRect(8, 8, 300, 120));
    // Shown only for a box with the user-mask feature.
    build::Group(this, &ctl::GBUserMask, QStringLiteral("Mapping "), QRect(318, 8, 300, 300));
}

} // namespace trivel
