#pragma once
// Small pieces the settings pages share when they refill from the caches.

#include "session/Session.h"
#include "settings/SettingBinding.h"
#include "settings/pages/SettingSlider.h"

#include <QAbstractSlider>
#include <QButtonGroup>
#include <QScrollBar>

namespace trivel::fill {

// A horizontal scroll bar of the pages; their page size is 0 (only the arrows and the thumb move).
inline QScrollBar* Bar(QWidget* parent, const Control& c, const QRect& geometry)
{
    auto* b = new QScrollBar(Qt::Horizontal, parent);
    b->setObjectName(c.qname());
    b->setGeometry(geometry);
    b->setPageStep(0);
    return b;
}

// Sets a bound slider from the cache. The control clamps what lies outside its range, and the
// clamped value goes back into the cache even when the position did not move.
inline void FromCache(Session& s, QAbstractSlider* bar, const SettingBinding& row)
{
    const int cached = CachedSetting(s, row, s.CurrentWindow);
    bar->setValue(cached);
    if (bar->value() != cached)
        StoreSetting(s, row, bar->value());
}

// Checks the button of id `id`, or none when the id is -1 (a value outside the table).
inline void CheckOnly(QButtonGroup* group, int id)
{
    if (QAbstractButton* b = id >= 0 ? group->button(id) : nullptr) {
        b->setChecked(true);
        return;
    }
    group->setExclusive(false);
    for (QAbstractButton* b : group->buttons())
        b->setChecked(false);
    group->setExclusive(true);
}

} // namespace trivel::fill
