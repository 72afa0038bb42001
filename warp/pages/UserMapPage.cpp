#include "warp/pages/UserMapPage.h"

#include "warp/Controls.h"

#include <QComboBox>

namespace trivel {

UserMapPage::UserMapPage(Session& s, QWidget* parent)
    : PageWidget(s, parent)
{
    auto* patterns = new QComboBox(this);
    patterns->setObjectName(ctl::CBPatternSel.qname());
    patterns->setGeometry(8, 8, 120, 24);
    patterns->addItems({QStringLiteral("Off"), QStringLiteral("White"), QStringLiteral("Red"),
        QStringLiteral("Green"), QStringLiteral("Blue"), QStringLiteral("Cyan"), QStringLiteral("Magenta"),
        QStringLiteral("Yellow"), QStringLiteral("Transprant")});
}

} // namespace trivel
