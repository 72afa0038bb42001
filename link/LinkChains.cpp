#include "link/LinkChains.h"

#include "link/Session.h"
#include "link/SettingCodec.h"
#include "settings/SettingsState.h"

namespace trivel {

namespace {

int BtnWinBottom(int index)
{
    return kBtnWinTop[std::size_t(index)] + kBtnWinHeight;
}

QString BtnWin(int k)
{
    return QStringLiteral("BtnWin%1").arg(k);
}

QString SizeText(const SignalSize& z)
{
    return QStringLiteral("%1 * %2").arg(z.width).arg(z.height);
}

// OPM code -> output-mode button number: 0..6 BtnOut1..7, 7..14 BtnOut9..16.
int OutputModeButton(int opm)
{
    if (opm < 0 || opm > 14)
        return 0;
    return opm <= 6 ? opm + 1 : opm + 2;
}

} // namespace

void ApplyChannelLayout(Session& s, bool connected)
{
    UiPort& ui = s.ui;
    if (!connected) {
        ui.set("BtnFrame", Prop::Height, BtnWinBottom(1) + 6);
        // Pressing BtnWin1 releases the other buttons of its group.
        for (int k = 2; k <= 8; ++k)
            if (ui.isChecked(BtnWin(k)))
                ui.setChecked(BtnWin(k), false);
        ui.setChecked(BtnWin(1), true);
        ui.setEnabled(BtnWin(2), true);
        for (int k = 3; k <= 8; ++k)
            ui.setEnabled(BtnWin(k), false);
        s.setFlag(Flag::FourInput, false);
        s.setFlag(Flag::Key, false);
        for (const char* group : {"H2Frame", "DP1Frame", "VGAFrame"}) {
            ui.setEnabled(group, true);
            ui.setVisible(group, true);
        }
        ui.setEnabled("BtnFrame", true);
        return;
    }
    switch (s.ChannelCount) {
    case 4:
        ui.setEnabled(BtnWin(3), true);
        ui.setEnabled(BtnWin(4), true);
        ui.set("BtnFrame", Prop::Height, BtnWinBottom(3) + 8);
        break;
    case 3:
        ui.setEnabled(BtnWin(3), true);
        ui.set("BtnFrame", Prop::Height, BtnWinBottom(2) + 6);
        break;
    case 1:
        ui.setEnabled(BtnWin(2), false);
        ui.set("BtnFrame", Prop::Height, BtnWinBottom(0) + 6);
        break;
    default:
        break;
    }
    if (s.flag(Flag::Key) && !s.flag(Flag::FourInput)) {
        ui.setVisible("H2Frame", false);
        ui.setEnabled("H2Frame", false);
    }
}

void ShowSignalIndicators(Session& s, int inputMask, int outputMask)
{
    UiPort& ui = s.ui;
    if (inputMask != s.LastInputMask) {
        for (int k = 1; k <= 4; ++k) {
            const bool on = (inputMask >> (k - 1)) & 1;
            ui.set(QStringLiteral("PnlIpt%1").arg(k), Prop::Color, on ? kColourInput : kColourIdle);
            if (!on)
                s.InputSize[std::size_t(k - 1)] = {};
        }
        s.LastInputMask = inputMask;
        const SignalSize& z = s.InputSize[std::size_t(s.CurrentWindow & 3)];
        ui.setCaption("STRes", z.width != 0 ? SizeText(z) : QString::fromLatin1(kNoSignalText));
        s.setFlag(Flag::InputSetChanged, true);
    }
    if (outputMask != s.LastOutputMask) {
        for (int k = 1; k <= 8; ++k) {
            const bool on = (outputMask >> (k - 1)) & 1;
            ui.set(QStringLiteral("PnlOpt%1").arg(k), Prop::Color, on ? kColourOutput : kColourIdle);
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
        s.ui.setCaption("STPIPRes", QString::fromLatin1(kNoSignalText));
    else if (z != s.LastPipSourceSize[cw])
        s.ui.setCaption("STPIPRes", SizeText(z));
    s.LastPipSourceSize = s.PipSourceSize;
}

void PressOutputModeButton(Session& s, int opm)
{
    const int button = OutputModeButton(opm);
    if (button == 0)
        return;
    for (int k = 1; k <= 16; ++k)
        if (k != 8 && k != button && s.ui.isChecked(QStringLiteral("BtnOut%1").arg(k)))
            s.ui.setChecked(QStringLiteral("BtnOut%1").arg(k), false);
    s.ui.setChecked(QStringLiteral("BtnOut%1").arg(button), true);
}

void StatusPollStep(Session& s, int op)
{
    const FrameView r = s.reply();
    if (op == 10000) {
        if (r.code() != Cmd::Status)
            return; // the poll stays pending; the next tick asks again
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
        s.request().setCode(Cmd::ReadWindowSettings);
        s.PendingOp = 36864;
        SendFrame(s);
        return;
    }
    if (r.code() == Cmd::ReadWindowSettings) {
        DecodeWindowBlock(s, r);
        PressOutputModeButton(s, s.settings.WindowSettings.OPM[std::size_t(s.CurrentWindow & 3)]);
        if (s.flag(Flag::InputSetChanged)) {
            s.ui.refreshPages();
            s.setFlag(Flag::InputSetChanged, false);
        }
    }
    s.PendingOp = 0;
}

} // namespace trivel
