#include "firmware/pages/FirmwarePage.h"

#include "firmware/Controls.h"

#include <QLabel>

namespace trivel {

FirmwarePage::FirmwarePage(Session& s, QWidget* parent)
    : PageWidget(s, parent)
{
    build::Make<QLabel>(this, ctl::MCUVersion, QString(), QRect(16, 300, 200, 20));
    // Enabled by a connect, disabled by a disconnect.
    auto* start
        = build::Make<QPushButton>(this, ctl::ProgBtn, QStringLiteral("Start"), QRect(500, 260, 110, 32));
    start->setEnabled(false);
}

} // namespace trivel
