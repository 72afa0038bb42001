#include "box/StatusPoll.h"

#include "protocol/SettingCodec.h"
#include "session/Controls.h"
#include "session/Session.h"
#include "box/Watchdog.h"
#include "settings/Controls.h"
#include "settings/OutputModes.h"
#include "settings/SettingsState.h"

namespace trivel {

namespace {

int BtnWinBottom(int index)
{
    return kBtnWinTop[std::size_t(index)] + kBtnWinHeight;
}

QString SizeText(const SignalSize& z)
{
    return QStringLiteral("%1 * %2").arg(z.width).arg(z.height);
}

} // namespace

void ApplyChannelLayout(Session& s, bool connected)
{
    UiPort& ui = s.ui;
    if (!connected) {
        ui.set(ctl::BtnFrame, Prop::Height, BtnWinBottom(1) + 6);
        // Pressing BtnWin1 releases the other buttons of its group.
        for (std::size_t k = 1; k < ctl::BtnWins.size(); ++k)
            ui.setChecked(ctl::BtnWins[k], false);
        ui.setChecked(ctl::BtnWins[0], true);
        ui.setEnabled(ctl::BtnWins[1], true);
        for (std::size_t k = 2; k < ctl::BtnWins.size(); ++k)
            ui.setEnabled(ctl::BtnWins[k], false);
        s.setFlag(Flag::FourInput, false);
        s.setFlag(Flag::Key, false);
        for (const Control& group : {ctl::H2Frame, ctl::DP1Frame, ctl::VGAFrame}) {
            ui.setEnabled(group, true);
            ui.setVisible(group, true);
        }
        ui.setEnabled(ctl::BtnFrame, true);
        return;
    }
    switch (s.ChannelCount) {
    case 4:
        ui.setEnabled(ctl::BtnWins[2], true);
        ui.setEnabled(ctl::BtnWins[3], true);
        ui.set(ctl::BtnFrame, Prop::Height, BtnWinBottom(3) + 8);
        break;
    case 3:
        ui.setEnabled(ctl::BtnWins[2], true);
        ui.set(ctl::BtnFrame, Prop::Height, BtnWinBottom(2) + 6);
        break;
    case 1:
        ui.setEnabled(ctl::BtnWins[1], false);
        ui.set(ctl::BtnFrame, Prop::Height, BtnWinBottom(0) + 6);
        break;
    default:
        break;
    }
    if (s.flag(Flag::Key) && !s.flag(Flag::FourInput)) {
        ui.setVisible(ctl::H2Frame, false);
        ui.setEnabled(ctl::H2Frame, false);
    }
}

void ShowSignalIndicators(Session& s, int inputMask, int outputMask)
{
    UiPort& ui = s.ui;
    if (inputMask != s.LastInputMask) {
        for (std::size_t k = 0; k < 4; ++k) {
            const bool on = (inputMask >> k) & 1;
            ui.set(ctl::PnlIpts[k], Prop::Color, on ? kColourInput : kColourIdle);
            if (!on)
                s.InputSize[k] = {};
        }
        s.LastInputMask = inputMask;
        const SignalSize& z = s.InputSize[std::size_t(s.CurrentWindow & 3)];
        ui.setCaption(ctl::STRes, z.width != 0 ? SizeText(z) : QString::fromLatin1(kNoSignalText));
        s.setFlag(Flag::InputSetChanged, true);
    }
    if (outputMask != s.LastOutputMask) {
        for (std::size_t k = 0; k < ctl::PnlOpts.size(); ++k) {
            const bool on = (outputMask >> k) & 1;
            ui.set(ctl::PnlOpts[k], Prop::Color, on ? kColourOutput : kColourIdle);
        }
        s.LastOutputMask = outputMask;
    }
}

void ShowPipSourceSize(Session& s, const std::array<bool, 4>& present)
{
    for (std::size_t w = 0; w < 4; ++w)
        if (!present[w])
            s.PipSourceSize[w] = {};
    const std::size_t cw = std::size_t(s.CurrentWindow & 3);
    const SignalSize& z = s.PipSourceSize[cw];
    if (z.width == 0)
        s.ui.setCaption(ctl::STPIPRes, QString::fromLatin1(kNoSignalText));
    else if (z != s.LastPipSourceSize[cw])
        s.ui.setCaption(ctl::STPIPRes, SizeText(z));
    s.LastPipSourceSize = s.PipSourceSize;
}

void PressOutputModeButton(Session& s, int opm)
{
    const OutputMode* pressed = FindOutputMode(opm);
    if (!pressed)
        return;
    for (const OutputMode& m : kOutputModes)
        if (m.code != pressed->code)
            s.ui.setChecked(m.button, false);
    s.ui.setChecked(pressed->button, true);
}

void ClickWindowButton(Session& s, int tag)
{
    if (tag < 0 || tag >= 4)
        return;
    for (std::size_t k = 0; k < ctl::BtnWins.size(); ++k)
        s.ui.setChecked(ctl::BtnWins[k], int(k) == tag);
    emit s.events.windowButtonClicked(tag);
}

void StatusPollUnanswered(Session& s)
{
    if (++s.UnansweredPolls == kSilentPolls) {
        // What the lamps showed is no longer known; 256 makes the next status reply repaint.
        for (std::size_t k = 0; k < 4; ++k)
            s.ui.set(ctl::PnlIpts[k], Prop::Color, kColourIdle);
        for (const Control& lamp : ctl::PnlOpts)
            s.ui.set(lamp, Prop::Color, kColourIdle);
        s.LastInputMask = kSignalMaskUnknown;
        s.LastOutputMask = kSignalMaskUnknown;
        qCWarning(lcSession) << kSilentPolls << "status polls in a row without a reply";
        s.ui.appendMemo(QStringLiteral("BOX NOT ANSWERING"));
    }
    ReportSilentBox(s);
}

Operation<void> PollStatus(Session& s)
{
    const auto hold = s.exchange.hold();
    const SendOptions options{.allowanceMs = kPollAllowanceMs};
    try {
        const Reply r = co_await s.exchange.send(Request(Cmd::Status, Clear::All), options);
        for (std::size_t w = 0; w < 4; ++w) {
            s.InputSize[w] = {r.i32(16 + 8 * w), r.i32(20 + 8 * w)};
            s.PipSourceSize[w] = {r.i32(48 + 8 * w), r.i32(52 + 8 * w)};
        }
        ShowSignalIndicators(s, DecodeDigitsAt(r, 8), DecodeDigitsAt(r, 12));
        if (s.flag(Flag::PipCapable)) {
            std::array<bool, 4> present{};
            for (std::size_t w = 0; w < 4; ++w)
                present[w] = (r.u8(80 + w) & 0x02) != 0;
            ShowPipSourceSize(s, present);
        }
        co_await ReadWindowSettingsAfterPoll(s);
    } catch (const OperationFailure& f) {
        if (f.failure().kind != Failure::Kind::NoReply && f.failure().kind != Failure::Kind::BoxFault)
            throw;
        StatusPollUnanswered(s);
    }
}

Operation<void> ReadWindowSettingsAfterPoll(Session& s)
{
    // Written over the status request: only the code changes.
    DecodeWindowBlock(s,
        co_await s.exchange.send(Request(Cmd::ReadWindowSettings, Clear::None), {.allowanceMs = kPollAllowanceMs}));
    PressOutputModeButton(s, s.settings().WindowSettings.OPM[std::size_t(s.CurrentWindow & 3)]);
    if (s.flag(Flag::InputSetChanged)) {
        RefreshPages(s);
        s.setFlag(Flag::InputSetChanged, false);
    }
}

void StatusPollTick(Session& s)
{
    if (s.flag(Flag::Rejected) || !s.connected())
        return;
    if (s.UnansweredPolls > 0)
        ReportSilentBox(s);
    if (s.busy())
        return;
    s.statusPoll = PollStatus(s);
}

} // namespace trivel
