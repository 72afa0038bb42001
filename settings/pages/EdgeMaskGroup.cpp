#include "settings/pages/EdgeMaskGroup.h"

#include "session/Operations.h"
#include "session/Session.h"
#include "settings/BlendLogic.h"
#include "settings/Controls.h"
#include "settings/SettingBinding.h"
#include "settings/Settings.h"
#include "settings/pages/SettingSlider.h"
#include "settings/pages/SliderRow.h"

namespace trivel {

EdgeMaskGroup::EdgeMaskGroup(Session& s, QWidget* parent, const QRect& geometry)
    : QGroupBox(QStringLiteral("Edge Mask"), parent)
    , m_s(s)
{
    setGeometry(geometry);
    build::RadioGrid(this, ctl::RBMasks, QPoint(14, 26));
    const char* rows[] = {"EMX", "EMY"};
    const char* axes[] = {"X", "Y"};
    for (int axis = 0; axis < 2; ++axis) {
        const auto a = std::size_t(axis);
        auto row = build::MakeSliderRow(this, ctl::MaskSliders[a], ctl::MaskLabels[a],
            QString::fromLatin1(axes[axis]), 136, 26 + axis * 28, geometry.width() - 142, 20);
        auto* bind = new SettingSlider(row.bar, s.settingsService(), *FindBinding(rows[axis]),
            [label = row.value](int v) { label->setText(QString::number(v)); });
        // The change only shows; the end of the scroll stores, selects the corner's point, sends.
        bind->setStore([](int) {});
        bind->setSend(
            [this, id = bind->row().id](int v) { Launch(m_s, m_s.settingsService().sendAtPoint(id, v)); });
        row.value->setText(QString::number(FindBinding(rows[axis])->start));
        m_bars[a] = row.bar;
    }
    for (std::size_t tag = 0; tag < ctl::RBMasks.size(); ++tag) {
        auto* r = findChild<QRadioButton*>(ctl::RBMasks[tag].qname());
        connect(r, &QRadioButton::toggled, this, [this, tag](bool on) {
            if (!on)
                return;
            RBMaskClick(m_s, int(tag));
            showCorner();
        });
    }
    connect(&s.events, &SessionEvents::refreshBlendPages, this, &EdgeMaskGroup::refill);
}

void EdgeMaskGroup::showCorner()
{
    for (int axis = 0; axis < 2; ++axis)
        m_bars[std::size_t(axis)]->setValue(MaskCornerValue(m_s, axis));
}

void EdgeMaskGroup::refill()
{
    showCorner();
    const int selected = SelectedMaskCorner(m_s);
    for (std::size_t i = 0; i < ctl::RBMasks.size(); ++i)
        if (int(i) != selected)
            m_s.ui.setChecked(ctl::RBMasks[i], false);
    if (selected >= 0)
        m_s.ui.setChecked(ctl::RBMasks[std::size_t(selected)], true);
}

} // namespace trivel
