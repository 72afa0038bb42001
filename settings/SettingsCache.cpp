#include "box/StatusPoll.h"
#include "protocol/SettingFrames.h"
#include "session/Controls.h"
#include "session/Session.h"
#include "settings/Controls.h"
#include "settings/PictureHandlers.h"
#include "settings/Settings.h"
#include "settings/SettingsState.h"

namespace trivel {

namespace {

void ResetBlendDefaults(SettingsState& st)
{
    for (int w = 0; w < 4; ++w) {
        BlendRecord& b = st.BlendSettings[w];
        for (int ch = 0; ch < 3; ++ch) {
            // 50 lies below the transition sliders' range 90..300: they show it at 90 and write
            // 90 back when the pages are refilled.
            b.setTransitionGamma(ch, 50);
            b.colourGain(ch) = 50;
            b.colourOffset(ch) = 50;
        }
        b.gammaOffset() = 50;
        st.BlendMarker[w] = 1;
        st.SelectedRegion[w] = 0;
        st.SelectedCorner[w] = 0;
        st.SelectedMaskCorner[w] = 0;
        st.LastPointCode[w] = 0xFE;
    }
}

void ResetNetwork(NetworkRecord& n)
{
    n.bytes.fill(0);
    const std::uint8_t statics[12] = {192, 168, 0, 100, 255, 255, 255, 0, 192, 168, 0, 1};
    std::memcpy(n.bytes.data() + 13, statics, sizeof statics);
}

} // namespace

void ResetWindowSettings(Session& s)
{
    SettingsState& st = s.settings();
    WindowSettingsRecord& ws = st.WindowSettings;
    ws = WindowSettingsRecord{};
    ws.HPN.fill(1);
    ws.VPN.fill(1);
    ws.HZM.fill(1);
    ws.VZM.fill(1);
    ws.BRI.fill(50);
    ws.CON.fill(75);
    ws.XHA.fill(5);
    ws.HUE.fill(50);
    ws.XAT.fill(50);
    ws.CLR.fill(1); // "Nature", what the form shows before the first refresh
    ws.RGN.fill(100);
    ws.GGN.fill(100);
    ws.BGN.fill(100);
    for (auto* a : {&ws.H1W, &ws.H2W, &ws.DPW, &ws.VGW})
        a->fill(1920);
    for (auto* a : {&ws.H1V, &ws.H2V, &ws.DPV, &ws.VGV})
        a->fill(1080);
    ResetNetwork(st.Network);
    ResetBlendDefaults(st);
    RefreshPages(s);
}

namespace {

// What RefreshPages decides for the current window before the pages refill their controls.
void RefreshWindowState(Session& s)
{
    UiPort& ui = s.ui;
    const std::size_t w = std::size_t(s.CurrentWindow & 3);
    WindowSettingsRecord& ws = s.settings().WindowSettings;

    // Without an input signal there is nothing to overscan. Until the first status reply the
    // signal is unknown, not absent: the refresh at the end of the read-back must keep the
    // overscans the box just reported, or a save right after connecting stores zeros.
    const SignalSize& in = s.InputSize[w];
    if (((s.LastInputMask >> w) & 1) && in.width != 0) {
        ui.setCaption(ctl::STRes, QStringLiteral("%1 * %2").arg(in.width).arg(in.height));
    } else {
        ui.setCaption(ctl::STRes, QString::fromLatin1(kNoSignalText));
        if (s.LastInputMask != kSignalMaskUnknown)
            ws.OLE[w] = ws.ORE[w] = ws.OTE[w] = ws.OBE[w] = 0;
    }

    const bool hueSat = (ws.WindowCaps[w] & 0x7F) != 0;
    ui.setEnabled(ctl::SBHUE, hueSat);
    ui.setEnabled(ctl::SBXat, hueSat);
    const bool custom = ws.CLR[w] == 3;
    for (const Control& c : {ctl::SBRGN, ctl::SBGGN, ctl::SBBGN})
        ui.setEnabled(c, custom);

    for (std::size_t k = 0; k < 4; ++k)
        ui.setChecked(ctl::BtnWins[k], k == w);

    // The mask page selects the window's user-mask slot and runs its change handler.
    if (s.flag(Flag::PipCapable) && s.flag(Flag::UserMask) && s.pageHooks.windowMaskSlot)
        s.pageHooks.windowMaskSlot(int(w));

    // A PIP on screen rules out 90 and 270: the window falls back to Normal.
    const bool rotations = RotationsAvailable(s);
    if (s.flag(Flag::PipCapable) && !rotations && (ws.ORI[w] == 1 || ws.ORI[w] == 2))
        ws.ORI[w] = 0;
    for (std::size_t k = 1; k <= 2; ++k) {
        ui.setEnabled(ctl::RBRots[k], rotations);
        ui.setEnabled(ctl::ImgRots[k], rotations);
        ui.setVisible(ctl::ImgRots[k], rotations);
    }
    for (std::size_t k : {0u, 3u, 4u, 5u}) {
        ui.setEnabled(ctl::RBRots[k], true);
        ui.setEnabled(ctl::ImgRots[k], true);
        ui.setVisible(ctl::ImgRots[k], true);
    }

    const std::array<QString, 4> names = InputNames(s);
    for (std::size_t k = 0; k < 4; ++k)
        ui.setCaption(ctl::BtnSrcs[k], names[k]);
    if (s.flag(Flag::PipCapable)) {
        const Control* frames[] = {&ctl::H1Frame, &ctl::H2Frame, &ctl::DP1Frame, &ctl::VGAFrame};
        for (std::size_t k = 0; k < 4; ++k)
            ui.setCaption(*frames[k], names[k]);
    }
}

} // namespace

void RefreshPages(Session& s)
{
    const bool was = s.flag(Flag::Refreshing);
    s.setFlag(Flag::Refreshing, true);
    RefreshWindowState(s);
    // Each page refills its own controls from the caches.
    emit s.events.refreshPages();
    s.setFlag(Flag::Refreshing, was);
}

void RefreshBlendPages(Session& s)
{
    emit s.events.refreshBlendPages();
}

void DecodeWindowBlock(Session& s, const FrameView& f)
{
    using F = proto::WindowField;
    const proto::WindowBlockView v{f};
    WindowSettingsRecord& ws = s.settings().WindowSettings;
    const bool pip = s.flag(Flag::PipCapable);
    for (int w = 0; w < 4; ++w) {
        ws.INP[w] = std::uint8_t(v.byte(w, F::INP));
        ws.WindowCaps[w] = std::uint8_t(v.byte(w, F::Caps));
        ws.OPM[w] = std::uint8_t(v.byte(w, F::OPM));
        ws.HZM[w] = std::uint8_t(v.byte(w, F::HZM) + 1);
        ws.VZM[w] = std::uint8_t(v.byte(w, F::VZM) + 1);
        ws.HPN[w] = std::uint8_t(v.byte(w, F::HPN) + 1);
        ws.VPN[w] = std::uint8_t(v.byte(w, F::VPN) + 1);
        ws.OLE[w] = std::int16_t(v.word(w, F::OLE) - 1800);
        ws.ORE[w] = std::int16_t(v.word(w, F::ORE) - 1800);
        ws.OTE[w] = std::int16_t(v.word(w, F::OTE) - 1800);
        ws.OBE[w] = std::int16_t(v.word(w, F::OBE) - 1800);
        ws.ORI[w] = std::uint8_t(v.byte(w, F::ORI));
        std::uint8_t* picture[9] = {&ws.BRI[w], &ws.CON[w], &ws.XHA[w], &ws.HUE[w], &ws.XAT[w], &ws.CLR[w],
            &ws.RGN[w], &ws.GGN[w], &ws.BGN[w]};
        for (int i = 0; i < 9; ++i)
            *picture[i] = std::uint8_t(v.byte(w, F::Picture, i));

        // Without per-window inputs two windows share one set: take windows 0 and 2 for both.
        if (!pip && (w % 2) != 0)
            continue;
        const int last = pip ? w : w + 1;
        for (int t = w; t <= last; ++t) {
            ws.H2E[t] = std::uint8_t(v.byte(w, F::H2E));
            ws.H1E[t] = std::uint8_t(v.byte(w, F::H1E));
            ws.DPE[t] = std::uint8_t(v.byte(w, F::DPE));
            ws.H2W[t] = v.word(w, F::H2W);
            ws.H2V[t] = v.word(w, F::H2V);
            ws.H1W[t] = v.word(w, F::H1W);
            ws.H1V[t] = v.word(w, F::H1V);
            ws.DPW[t] = v.word(w, F::DPW);
            ws.DPV[t] = v.word(w, F::DPV);
            ws.VGW[t] = v.word(w, F::VGW);
            ws.VGV[t] = v.word(w, F::VGV);
            ws.VGE[t] = std::uint8_t(v.byte(w, F::VGE));
        }
    }
    // A window index the tool does not have would index past every per-window array.
    const int current = v.currentWindow();
    if (current < 4) {
        s.CurrentWindow = current;
        if (const auto& enter = s.settingsService().warpSide().enter)
            enter(current);
    }
}

} // namespace trivel
