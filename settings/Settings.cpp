#include "settings/Settings.h"

#include "protocol/SettingFrames.h"
#include "session/Session.h"
#include "settings/Controls.h"

namespace trivel {

Settings::Settings(Session& s)
    : m_s(s)
{
    s.m_settings = &m_state;
    s.m_settingsService = this;
}

Settings::~Settings()
{
    m_selection.cancel();
    m_s.m_settings = nullptr;
    m_s.m_settingsService = nullptr;
}

std::size_t Settings::current() const
{
    return std::size_t(m_s.CurrentWindow & 3);
}

int Settings::value(Setting id, int window) const
{
    const SettingBinding& b = Binding(id);
    return b.read ? b.read(m_state, window & 3) : 0;
}

bool Settings::writable(Setting id)
{
    const SettingBinding& b = Binding(id);
    return b.cached() && b.trigger != Trigger::Command;
}

bool Settings::readOnly(Setting id)
{
    return Binding(id).tpl[kValueField] == 'R';
}

bool Settings::accepts(Setting id, int value)
{
    const SettingBinding& b = Binding(id);
    // 0 is what an edge without blend and a VGA input without a timing code hold in the cache.
    return InRange(b, value) || (value == 0 && (b.sent == Sent::EdgeWidth || id == Setting::VGE));
}

Operation<void> Settings::transmit(Request request, int pauseMs)
{
    if (!m_s.connected() || !m_s.exchange.attached())
        co_return;
    // Held through the pause as well: what follows in the caller goes out after it.
    const auto hold = m_s.exchange.hold();
    co_await m_s.exchange.send(std::move(request), {.pauseMs = pauseMs});
}

Operation<void> Settings::sendValue(Setting id, int sent, int pauseMs)
{
    return transmit(proto::SettingWrite(Binding(id).tpl, sent), pauseMs);
}

Operation<void> Settings::sendCached(Setting id)
{
    const SettingBinding& b = Binding(id);
    return sendValue(id, SentValue(b, value(id, m_s.CurrentWindow)));
}

Operation<void> Settings::apply(Setting id, int window, int v)
{
    const SettingBinding& b = Binding(id);
    if (!writable(id))
        Fail(Failure::Kind::Refused, QStringLiteral("%1 is read-only").arg(QLatin1String(b.mnemonic)));
    if (!accepts(id, v))
        Fail(Failure::Kind::Refused,
            QStringLiteral("%1=%2 is out of range").arg(QLatin1String(b.mnemonic)).arg(v));
    if (window >= 0 && window <= 3 && window != m_s.CurrentWindow)
        co_await selectWindow(window);
    switch (id) {
    case Setting::INP:
        co_return co_await chooseInput(v);
    case Setting::OPM:
        co_return co_await chooseOutputMode(v);
    case Setting::CLR:
        co_return co_await chooseColourPreset(v);
    case Setting::ORI:
        co_return co_await chooseRotation(v);
    case Setting::DCM:
        co_return co_await setDeepColour(v != 0);
    case Setting::HDO:
        co_return co_await chooseHdcpOutput(v);
    case Setting::PIO:
    case Setting::PIR:
    case Setting::PIT:
    case Setting::POR:
        co_return co_await choosePip(int(id) - int(Setting::PIO), v);
    case Setting::BCR:
    case Setting::BCG:
    case Setting::BCB:
    case Setting::EOX:
    case Setting::EOY:
    case Setting::EMX:
    case Setting::EMY:
        co_return co_await sendAtPoint(id, v);
    default:
        break;
    }
    // Edge widths below 50 are no blend, held as 0.
    b.write(m_state, m_s.CurrentWindow, b.sent == Sent::EdgeWidth && v < 50 ? 0 : v);
    co_await sendCached(id);
}

Operation<void> Settings::chooseColourPreset(int item)
{
    const bool custom = item == 3;
    for (const Control& c : {ctl::SBRGN, ctl::SBGGN, ctl::SBBGN})
        m_s.ui.setEnabled(c, custom);
    // The gains keep their positions when a preset is chosen.
    m_state.WindowSettings.CLR[current()] = std::uint8_t(item);
    return sendValue(Setting::CLR, item);
}

Operation<void> Settings::chooseOutputMode(int tag)
{
    Operation<void> send = sendValue(Setting::OPM, tag);
    m_state.WindowSettings.OPM[current()] = std::uint8_t(tag);
    return send;
}

Operation<void> Settings::chooseInput(int tag)
{
    Operation<void> send = sendValue(Setting::INP, tag);
    WindowSettingsRecord& ws = m_state.WindowSettings;
    const std::size_t w = current();
    if (m_s.flag(Flag::PipCapable)) {
        // The box's INP comes back with the next status poll.
        if (tag == 0 || tag == 1)
            m_state.PipSettings[w].bytes[PipRecord::PIT] = std::uint8_t(tag);
        return send;
    }
    ws.INP[w] = std::uint8_t(tag);
    // The two HDMI inputs are shared with the partner window when it uses one of them too.
    const std::size_t partner = w ^ 1;
    if ((tag == 0 || tag == 1) && ws.INP[partner] <= 1)
        ws.INP[partner] = std::uint8_t(tag);
    return send;
}

Operation<void> Settings::chooseRotation(int tag)
{
    m_state.WindowSettings.ORI[current()] = std::uint8_t(tag);
    if (m_s.flag(Flag::Refreshing))
        return Finished();
    return sendValue(Setting::ORI, tag);
}

Operation<void> Settings::setDeepColour(bool on)
{
    if (m_s.transfer.Running)
        return Finished();
    const std::uint8_t v = on ? 1 : 0;
    m_state.DCM[current()] = v;
    if (m_s.flag(Flag::PairedOutputs))
        m_state.DCM[current() ^ 1] = v;
    if (m_s.flag(Flag::Refreshing))
        return Finished();
    return sendValue(Setting::DCM, v);
}

Operation<void> Settings::chooseHdcpOutput(int item)
{
    if (m_s.transfer.Running || m_s.flag(Flag::Refreshing) || item < 0)
        return Finished();
    Operation<void> send = sendValue(Setting::HDO, item);
    m_state.HDO[current()] = std::uint8_t(item);
    if (m_s.flag(Flag::PairedOutputs))
        m_state.HDO[current() ^ 1] = std::uint8_t(item);
    return send;
}

} // namespace trivel
