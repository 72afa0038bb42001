#include "settings/pages/SettingSlider.h"

#include "session/Operations.h"
#include "session/Session.h"
#include "settings/Settings.h"

#include <QAbstractSlider>

namespace trivel {

SettingSlider::SettingSlider(
    QAbstractSlider* slider, Settings& settings, const SettingBinding& row, std::function<void(int)> show)
    : QObject(slider)
    , m_slider(slider)
    , m_s(settings.session())
    , m_settings(settings)
    , m_row(row)
    , m_show(std::move(show))
{
    slider->setRange(row.minimum, row.maximum);
    slider->setValue(row.start);
    connect(slider, &QAbstractSlider::valueChanged, this, &SettingSlider::changed);
    connect(slider, &QAbstractSlider::actionTriggered, this, &SettingSlider::action);
    connect(slider, &QAbstractSlider::sliderReleased, this, &SettingSlider::endOfScroll);
}

void SettingSlider::changed(int position)
{
    if (m_show)
        m_show(position);
    if (!m_storeOnScroll)
        store(position);
    if (m_row.trigger == Trigger::EveryChange) {
        // Refilling the pages stores, but never sends.
        if (!m_s.flag(Flag::Refreshing))
            send(position);
        return;
    }
    if (m_endPending) {
        m_endPending = false;
        endOfScroll();
    }
}

void SettingSlider::action(int action)
{
    // Emitted before the new position is applied: the send waits for the value change that
    // follows, so an arrow click sends the new value. A drag ends at the release; an action
    // that cannot move the position (an arrow at the end of the range) sends nothing.
    if (m_row.trigger != Trigger::EndOfScroll)
        return;
    if (action == QAbstractSlider::SliderMove && m_slider->isSliderDown())
        return;
    if (action == QAbstractSlider::SliderNoAction)
        return;
    m_endPending = m_slider->sliderPosition() != m_slider->value();
}

void SettingSlider::endOfScroll()
{
    if (m_row.trigger != Trigger::EndOfScroll)
        return;
    if (m_storeOnScroll)
        store(m_slider->value());
    send(m_slider->value());
}

void SettingSlider::store(int position)
{
    if (m_store)
        m_store(position);
    else
        StoreSetting(m_s, m_row, position);
}

void SettingSlider::send(int position)
{
    if (m_send)
        m_send(position);
    else
        Launch(m_s, m_settings.sendCached(m_row.id));
}

} // namespace trivel
