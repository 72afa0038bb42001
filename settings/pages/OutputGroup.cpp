#include "settings/pages/OutputGroup.h"

#include "app/PageWidget.h"
#include "session/Session.h"
#include "settings/Controls.h"
#include "settings/OutputSettings.h"

#include <QCheckBox>
#include <QGroupBox>

namespace trivel {

void BuildOutputGroup(QWidget* parent, Session& s, const QRect& area)
{
    // Both sit in the Image page's "Output" group: the check box on its caption line, the
    // radio group below the input buttons.
    auto* output = parent->findChild<QGroupBox*>(ctl::TntGroupBox6.qname());
    QWidget* deepParent = output ? static_cast<QWidget*>(output) : parent;
    const QRect deepAt
        = output ? QRect(output->width() - 100, 0, 96, 18) : QRect(area.topLeft(), QSize(96, 22));
    auto* deep = build::Make<QCheckBox>(deepParent, ctl::CBDeepColor, QStringLiteral("Deep Color"), deepAt);
    // Runs for a change by code too, as the check box's click handler does; it stores only
    // while the pages are refilled.
    QObject::connect(deep, &QCheckBox::toggled, parent, [&s](bool on) { CBDeepColorClick(s, on); });

    auto* hdcp = build::Group(parent, &ctl::RGHDCPOutput, QStringLiteral("HDCP Output     "),
        output ? area : area.adjusted(100, 0, 0, 0));
    const char* items[] = {"InputOnly", "Enable", "Disable"};
    // Three columns, each as wide as its text needs.
    int x = 6;
    for (int i = 0; i < 3; ++i) {
        auto* r = new QRadioButton(QString::fromLatin1(items[i]), hdcp);
        r->setGeometry(x, 18, r->sizeHint().width(), 20);
        x += r->sizeHint().width() + 2;
        r->setChecked(i == 0);
        QObject::connect(r, &QRadioButton::clicked, hdcp, [&s, i] { RGHDCPOutputClick(s, i); });
    }

    QObject::connect(&s.events, &SessionEvents::refreshPages, parent, [&s, deep] {
        s.ui.set(ctl::RGHDCPOutput, Prop::ItemIndex, HdcpOutputItem(s));
        deep->setChecked(s.settings.DCM[std::size_t(s.CurrentWindow & 3)] == 1);
    });
}

} // namespace trivel
