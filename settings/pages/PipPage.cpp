#include "settings/pages/PipPage.h"

#include "settings/Controls.h"

#include <QLabel>

namespace trivel {

PipPage::PipPage(Session& s, QWidget* parent)
    : PageWidget(s, parent)
{
    auto* res = build::Make<QLabel>(
        this, ctl::STPIPRes, QStringLiteral("- - - - - - - -"), QRect(318, 300, 180, 20));
    res->setAlignment(Qt::AlignCenter);
}

} // namespace trivel
