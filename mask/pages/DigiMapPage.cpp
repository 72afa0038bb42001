#include "mask/pages/DigiMapPage.h"

#include "mask/Controls.h"

#include <QLabel>

namespace trivel {

DigiMapPage::DigiMapPage(Session& s, QWidget* parent)
    : PageWidget(s, parent)
{
    build::Make<QLabel>(this, ctl::STMaskInfo, QString(), QRect(8, 300, 400, 20));
}

} // namespace trivel
