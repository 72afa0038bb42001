#include "settings/pages/OutputGroup.h"

#include "app/PageWidget.h"
#include "session/Session.h"
#include "settings/Controls.h"
#include "settings/OutputSettings.h"

#include <QCheckBox>

namespace trivel {

void BuildOutputGroup(QWidget* parent, Session& s, const QRect& area)
{
    auto* deep = build::Make<QCheckBox>(
        parent, ctl::CBDeepColor, QStringLiteral("Deep Color"), QRect(area.x(), area.y() + 12, 96, 22));
    // Runs for a change by code too, as the check box's click handler does; it stores only
    // while the pages are refilled.
    QObject::connect(deep, &QCheckBox::toggled, parent, [&s](bool on) { CBDeepColorClick(s, on); });

    auto* hdcp = build::Group(parent, &ctl::RGHDCPOutput, QStringLiteral("HDCP Output     "),
        QRect(area.x() + 100, area.y(), area.width() - 100, area.height()));
    const char* items[] = {"InputOnly", "Enable", "Disable"};
    const int column = (hdcp->width() - 12) / 3;
    for (int i = 0; i < 3; ++i) {
        auto* r = new QRadioButton(QString::fromLatin1(items[i]), hdcp);
        r->setGeometry(8 + i * column, 18, column - 2, 20);
        r->setChecked(i == 0);
        QObject::connect(r, &QRadioButton::clicked, hdcp, [&s, i] { RGHDCPOutputClick(s, i); });
    }

    QObject::connect(&s.events, &SessionEvents::refreshPages, parent, [&s, deep] {
        s.ui.set(ctl::RGHDCPOutput, Prop::ItemIndex, HdcpOutputItem(s));
        deep->setChecked(s.settings.DCM[std::size_t(s.CurrentWindow & 3)] == 1);
    });
}

} // namespace trivel
