// The blend pages' operations: values addressed by a point of the box's control grid, the reset
// buttons with their pauses, and the marker.

#include "protocol/SessionFrames.h"
#include "protocol/SettingFrames.h"
#include "session/Session.h"
#include "settings/BlendLogic.h"
#include "settings/PipLogic.h"
#include "settings/Settings.h"

namespace trivel {

namespace {

// The point a region or corner value goes to, by the window's selection; -1 for none.
int PointOf(Session& s, Setting id)
{
    switch (id) {
    case Setting::BCR:
    case Setting::BCG:
    case Setting::BCB: {
        const int r = SelectedRegion(s);
        return r < 0 ? -1 : RegionPointCode[std::size_t(r)];
    }
    case Setting::EOX:
    case Setting::EOY: {
        const int c = SelectedCorner(s);
        return c < 0 ? -1 : CornerPointCode[std::size_t(c)];
    }
    case Setting::EMX:
    case Setting::EMY: {
        const int c = SelectedMaskCorner(s);
        return c < 0 ? -1 : CornerPointCode[std::size_t(c)];
    }
    default:
        return -1;
    }
}

enum class Pace {
    Between, // a fixed wait before every send but the first
    After, // a fixed wait after every send
    SendPause, // the send's own pause: replies are still taken in during it
};

} // namespace

Operation<void> Settings::selectPoint(int code)
{
    m_state.LastPointCode[current()] = std::uint8_t(code);
    return transmit(proto::BlendPointSelect(code), 40);
}

Operation<void> Settings::sendAtPoint(Setting id, int position)
{
    const int point = PointOf(m_s, id);
    if (point < 0)
        co_return;
    const SettingBinding& b = Binding(id);
    b.write(m_state, m_s.CurrentWindow, position);
    const int stored = value(id, m_s.CurrentWindow);
    if (m_state.LastPointCode[current()] != point)
        co_await selectPoint(point);
    co_await sendValue(id, stored);
}

namespace {

Operation<void> Reset(Settings& st, Session& s, Setting first, int count, int v, Pace pace, int ms)
{
    const auto hold = s.exchange.hold();
    for (int i = 0; i < count; ++i)
        Binding(Setting(int(first) + i)).write(st.state(), s.CurrentWindow, v);
    for (int i = 0; i < count; ++i) {
        if (pace == Pace::Between && i > 0)
            co_await s.exchange.delay(ms);
        co_await st.sendValue(Setting(int(first) + i), v, pace == Pace::SendPause ? ms : 0);
        if (pace == Pace::After)
            co_await s.exchange.delay(ms);
    }
}

} // namespace

Operation<void> Settings::resetEdgeWidths()
{
    return Reset(*this, m_s, Setting::LEB, 4, 0, Pace::Between, 100);
}

Operation<void> Settings::resetEdgeShifts()
{
    return Reset(*this, m_s, Setting::EFL, 4, 0, Pace::Between, 100);
}

Operation<void> Settings::resetTransitionGamma()
{
    return Reset(*this, m_s, Setting::EBR, 3, 220, Pace::After, 500);
}

Operation<void> Settings::resetGammaGain()
{
    return Reset(*this, m_s, Setting::GGR, 3, 50, Pace::SendPause, 500);
}

Operation<void> Settings::resetGammaOffset()
{
    return Reset(*this, m_s, Setting::EBL, 1, 220, Pace::Between, 0);
}

Operation<void> Settings::resetColourGain()
{
    return Reset(*this, m_s, Setting::EGR, 3, 50, Pace::After, 500);
}

Operation<void> Settings::resetColourOffset()
{
    return Reset(*this, m_s, Setting::EOR, 3, 50, Pace::After, 500);
}

Operation<void> Settings::showBlendMarker(bool on)
{
    const int w = m_s.CurrentWindow & 3;
    m_state.BlendMarker[std::size_t(w)] = on ? 1 : 0;
    return transmit(proto::NeutralBlendMarker(w, on ? 1 : 0), 20);
}

Operation<void> Settings::sendBlendRecord()
{
    const auto hold = m_s.exchange.hold();
    for (int id = int(Setting::LEB); id <= int(Setting::EBL); ++id)
        co_await sendCached(Setting(id));
    BlendRecord& b = m_state.BlendSettings[current()];
    for (std::size_t region = 0; region < RegionPointCode.size(); ++region) {
        co_await selectPoint(RegionPointCode[region]);
        for (int ch = 0; ch < 3; ++ch)
            co_await sendValue(Setting(int(Setting::BCR) + ch), b.blackLevel(RegionSlot[region], ch));
    }
}

Operation<void> Settings::choosePip(int group, int item)
{
    if (group < 0 || group >= kPipGroups || m_s.flag(Flag::Refreshing) || item < 0
        || item >= PipGroupItemCount(group))
        co_return;
    const auto hold = m_s.exchange.hold();
    const Setting id = Setting(int(Setting::PIO) + group);
    Operation<void> send = sendValue(id, item);
    Binding(id).write(m_state, m_s.CurrentWindow, item);
    co_await send;
    // The display mode takes the box a moment.
    if (group == 0)
        co_await m_s.exchange.delay(100);
}

} // namespace trivel
