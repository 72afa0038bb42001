#include "settings/SettingBinding.h"

#include "session/PageTable.h"
#include "session/Session.h"
#include "settings/Controls.h"
#include "settings/OutputModes.h"
#include "settings/SettingsState.h"

#include <algorithm>

namespace trivel {

namespace {

std::size_t W(int w)
{
    return std::size_t(w & 3);
}

// A field of WindowSettings.
template <auto Field> int ReadWs(const SettingsState& s, int w)
{
    return int((s.WindowSettings.*Field)[W(w)]);
}
template <auto Field> void WriteWs(SettingsState& s, int w, int v)
{
    auto& a = s.WindowSettings.*Field;
    a[W(w)] = static_cast<std::remove_reference_t<decltype(a[0])>>(v);
}

// A per-window byte array of SettingsState (DCM, HDO).
template <auto Field> int ReadByte(const SettingsState& s, int w)
{
    return (s.*Field)[W(w)];
}
template <auto Field> void WriteByte(SettingsState& s, int w, int v)
{
    (s.*Field)[W(w)] = std::uint8_t(v);
}

template <int Byte> int ReadPip(const SettingsState& s, int w)
{
    return s.PipSettings[W(w)].bytes[Byte];
}
template <int Byte> void WritePip(SettingsState& s, int w, int v)
{
    s.PipSettings[W(w)].bytes[Byte] = std::uint8_t(v);
}
template <int Side> int ReadOverlap(const SettingsState& s, int w)
{
    return s.PipSettings[W(w)].overlap[Side];
}
template <int Side> void WriteOverlap(SettingsState& s, int w, int v)
{
    s.PipSettings[W(w)].overlap[Side] = std::int16_t(v);
}

BlendRecord& Blend(SettingsState& s, int w)
{
    return s.BlendSettings[W(w)];
}
const BlendRecord& Blend(const SettingsState& s, int w)
{
    return s.BlendSettings[W(w)];
}

template <int Side> int ReadEdge(const SettingsState& s, int w)
{
    return Blend(s, w).edgeWidth(Side);
}
template <int Side> void WriteEdge(SettingsState& s, int w, int v)
{
    Blend(s, w).setEdgeWidth(Side, std::uint16_t(v));
}
template <int Side> int ReadShift(const SettingsState& s, int w)
{
    return Blend(s, w).edgeShift(Side);
}
template <int Side> void WriteShift(SettingsState& s, int w, int v)
{
    Blend(s, w).setEdgeShift(Side, std::int16_t(v));
}
template <int Ch> int ReadTransition(const SettingsState& s, int w)
{
    return Blend(s, w).transitionGamma(Ch);
}
template <int Ch> void WriteTransition(SettingsState& s, int w, int v)
{
    Blend(s, w).setTransitionGamma(Ch, std::uint16_t(v));
}
template <int Ch> int ReadGammaGain(const SettingsState& s, int w)
{
    return const_cast<BlendRecord&>(Blend(s, w)).gammaGain(Ch);
}
template <int Ch> void WriteGammaGain(SettingsState& s, int w, int v)
{
    Blend(s, w).gammaGain(Ch) = std::uint8_t(v);
}
int ReadGammaOffset(const SettingsState& s, int w)
{
    return const_cast<BlendRecord&>(Blend(s, w)).gammaOffset();
}
void WriteGammaOffset(SettingsState& s, int w, int v)
{
    Blend(s, w).gammaOffset() = std::uint8_t(v);
}
template <int Ch> int ReadColourGain(const SettingsState& s, int w)
{
    return const_cast<BlendRecord&>(Blend(s, w)).colourGain(Ch);
}
template <int Ch> void WriteColourGain(SettingsState& s, int w, int v)
{
    Blend(s, w).colourGain(Ch) = std::uint8_t(v);
}
template <int Ch> int ReadColourOffset(const SettingsState& s, int w)
{
    return const_cast<BlendRecord&>(Blend(s, w)).colourOffset(Ch);
}
template <int Ch> void WriteColourOffset(SettingsState& s, int w, int v)
{
    Blend(s, w).colourOffset(Ch) = std::uint8_t(v);
}

// The black level, blend corner and mask corner go by the window's selected region or corner.
int RegionOf(const SettingsState& s, int w)
{
    return RegionSlot[std::size_t(s.SelectedRegion[W(w)] % 9)];
}
template <int Ch> int ReadBlack(const SettingsState& s, int w)
{
    return const_cast<BlendRecord&>(Blend(s, w)).blackLevel(RegionOf(s, w), Ch);
}
template <int Ch> void WriteBlack(SettingsState& s, int w, int v)
{
    Blend(s, w).blackLevel(RegionOf(s, w), Ch) = std::uint8_t(v);
}
template <bool X> int ReadCorner(const SettingsState& s, int w)
{
    const int c = s.SelectedCorner[W(w)] & 7;
    return X ? Blend(s, w).cornerX(c) : Blend(s, w).cornerY(c);
}
template <bool X> void WriteCorner(SettingsState& s, int w, int v)
{
    const int c = s.SelectedCorner[W(w)] & 7;
    BlendRecord& b = Blend(s, w);
    if (X)
        b.setCorner(c, std::int16_t(v), b.cornerY(c));
    else
        b.setCorner(c, b.cornerX(c), std::int16_t(v));
}
template <bool X> int ReadMaskCorner(const SettingsState& s, int w)
{
    const std::size_t c = s.SelectedMaskCorner[W(w)] & 7;
    return X ? s.EdgeMaskCorners.x[W(w)][c] : s.EdgeMaskCorners.y[W(w)][c];
}
template <bool X> void WriteMaskCorner(SettingsState& s, int w, int v)
{
    const std::size_t c = s.SelectedMaskCorner[W(w)] & 7;
    (X ? s.EdgeMaskCorners.x : s.EdgeMaskCorners.y)[W(w)][c] = std::int16_t(v);
}

// The value a template carries: "+022" is 22, "-100" is -100, "1920" is 1920, a query's "R000" 0.
int TemplateValue(std::string_view tpl)
{
    if (tpl.size() < 10)
        return 0;
    int v = 0;
    const bool fourDigits = tpl[6] >= '0' && tpl[6] <= '9';
    for (std::size_t i = fourDigits ? 6 : 7; i < 10; ++i)
        v = v * 10 + (tpl[i] >= '0' && tpl[i] <= '9' ? tpl[i] - '0' : 0);
    return tpl[6] == '-' ? -v : v;
}

using WS = WindowSettingsRecord;
#define WS_FIELD(f) &ReadWs<&WS::f>, &WriteWs<&WS::f>

constexpr Control SB(const char* name)
{
    return {name, Kind::ScrollBar};
}
constexpr Control TB(const char* name)
{
    return {name, Kind::TrackBar};
}
constexpr Control CB(const char* name)
{
    return {name, Kind::ComboBox};
}
constexpr Control RG(const char* name)
{
    return {name, Kind::RadioGroup};
}
constexpr Control kNone{"", Kind::Form};

using T = Trigger;
using S = Sent;

// In the order of the vocabulary. Pages: see session/PageTable.h.
const SettingBinding kBindings[] = {
    {Setting::INP, "INP", "s00INP+022", ctl::BtnSrcs[0], Page::Image, 0, 3, 0, S::Tag, T::Click,
        WS_FIELD(INP)},
    {Setting::OPM, "OPM", "s00OPM+022", kOutputModes[0].button, Page::Image, 0, 14, 0, S::Tag, T::Click,
        WS_FIELD(OPM)},
    {Setting::VKY, "VKY", "s00VKY+022", ctl::BtnWins[0], -1, 60, 63, 60, S::WindowKey, T::Click},
    {Setting::BRI, "BRI", "s00BRI+022", SB("SBBri"), Page::Image, 0, 100, 50, S::Position, T::EndOfScroll,
        WS_FIELD(BRI)},
    {Setting::CON, "CON", "s00CON+022", SB("SBCon"), Page::Image, 0, 100, 75, S::Position, T::EndOfScroll,
        WS_FIELD(CON)},
    {Setting::XHA, "XHA", "s00XHA+022", SB("SBXha"), Page::Image, 0, 10, 10, S::TimesTen, T::EndOfScroll,
        WS_FIELD(XHA)},
    {Setting::HUE, "HUE", "s00HUE+022", SB("SBHUE"), Page::Image, 0, 100, 50, S::Position, T::EndOfScroll,
        WS_FIELD(HUE)},
    {Setting::XAT, "XAT", "s00XAT+022", SB("SBXat"), Page::Image, 0, 100, 50, S::Position, T::EndOfScroll,
        WS_FIELD(XAT)},
    {Setting::CLR, "CLR", "s00CLR+022", CB("CBColor"), Page::Image, 0, 3, 1, S::ItemIndex, T::Click,
        WS_FIELD(CLR)},
    {Setting::RGN, "RGN", "s00RGN+022", SB("SBRGN"), Page::Image, 0, 100, 100, S::Position, T::EndOfScroll,
        WS_FIELD(RGN)},
    {Setting::GGN, "GGN", "s00GGN+022", SB("SBGGN"), Page::Image, 0, 100, 100, S::Position, T::EndOfScroll,
        WS_FIELD(GGN)},
    {Setting::BGN, "BGN", "s00BGN+022", SB("SBBGN"), Page::Image, 0, 100, 100, S::Position, T::EndOfScroll,
        WS_FIELD(BGN)},
    {Setting::HZM, "HZM", "s00HZM+022", SB("SBHzm"), Page::VideoWall, 1, 15, 1, S::MinusOne, T::EndOfScroll,
        WS_FIELD(HZM)},
    {Setting::VZM, "VZM", "s00VZM+022", SB("SBVzm"), Page::VideoWall, 1, 15, 1, S::MinusOne, T::EndOfScroll,
        WS_FIELD(VZM)},
    // The pan maxima follow the zoom (1..HZM, 1..VZM); 15 is the widest they can be.
    {Setting::HPN, "HPN", "s00HPN+022", SB("SBHpn"), Page::VideoWall, 1, 15, 1, S::MinusOne, T::EndOfScroll,
        WS_FIELD(HPN)},
    {Setting::VPN, "VPN", "s00VPN+022", SB("SBVpn"), Page::VideoWall, 1, 15, 1, S::MinusOne, T::EndOfScroll,
        WS_FIELD(VPN)},
    {Setting::OLE, "OLE", "s00OLE+022", SB("SBOle"), Page::VideoWall, -1800, 1800, 0, S::Position,
        T::EndOfScroll, WS_FIELD(OLE)},
    {Setting::ORE, "ORE", "s00ORE+022", SB("SBOre"), Page::VideoWall, -1800, 1800, 0, S::Position,
        T::EndOfScroll, WS_FIELD(ORE)},
    {Setting::OTE, "OTE", "s00OTE+022", SB("SBOte"), Page::VideoWall, -1800, 1800, 0, S::Position,
        T::EndOfScroll, WS_FIELD(OTE)},
    {Setting::OBE, "OBE", "s00OBE+022", SB("SBObe"), Page::VideoWall, -1800, 1800, 0, S::Position,
        T::EndOfScroll, WS_FIELD(OBE)},
    {Setting::ORI, "ORI", "s00ORI+022", ctl::RBRots[0], Page::VideoWall, 0, 5, 0, S::Tag, T::Click,
        WS_FIELD(ORI)},
    {Setting::H1W, "H1W", "s00H1W+022", TB("TBH1W"), Page::Edid, 1024, 3840, 1921, S::Position,
        T::EveryChange, WS_FIELD(H1W)},
    {Setting::H2W, "H2W", "s00H2W+022", TB("TBH2W"), Page::Edid, 1024, 3840, 1920, S::Position,
        T::EveryChange, WS_FIELD(H2W)},
    {Setting::DPW, "DPW", "s00DPW+022", TB("TBD1W"), Page::Edid, 1024, 3840, 1920, S::Position,
        T::EveryChange, WS_FIELD(DPW)},
    {Setting::VGW, "VGW", "s00VGW+022", TB("TBD2W"), Page::Edid, 1024, 3840, 1920, S::Position,
        T::EveryChange, WS_FIELD(VGW)},
    {Setting::H1V, "H1V", "s00H1V+022", TB("TBH1V"), Page::Edid, 720, 2400, 1080, S::Position, T::EveryChange,
        WS_FIELD(H1V)},
    {Setting::H2V, "H2V", "s00H2V+022", TB("TBH2V"), Page::Edid, 720, 2400, 1080, S::Position, T::EveryChange,
        WS_FIELD(H2V)},
    {Setting::DPV, "DPV", "s00DPV+022", TB("TBD1V"), Page::Edid, 720, 2400, 1080, S::Position, T::EveryChange,
        WS_FIELD(DPV)},
    {Setting::VGV, "VGV", "s00VGV+022", TB("TBD2V"), Page::Edid, 720, 2400, 1080, S::Position, T::EveryChange,
        WS_FIELD(VGV)},
    // "Apply" sends 16 (custom timing) for its input.
    {Setting::H1E, "H1E", "s00H1E+022", CB("CBH1E"), Page::Edid, 0, 16, 0, S::ItemIndex, T::Click,
        WS_FIELD(H1E)},
    {Setting::H2E, "H2E", "s00H2E+022", CB("CBH2E"), Page::Edid, 0, 16, 0, S::ItemIndex, T::Click,
        WS_FIELD(H2E)},
    {Setting::DPE, "DPE", "s00DPE+022", CB("CBD1E"), Page::Edid, 0, 16, 0, S::ItemIndex, T::Click,
        WS_FIELD(DPE)},
    // The VGA list holds codes 2..6 and 16; the cache keeps the code.
    {Setting::VGE, "VGE", "s00VGE+022", CB("CBD2E"), Page::Edid, 2, 16, 2, S::ItemCode, T::Click,
        WS_FIELD(VGE)},
    {Setting::PFA, "PFA", "s00PFA+002", ctl::ProfileLoadButtons[0], Page::System, 0, 4, 0, S::Tag,
        T::Command},
    {Setting::PFV, "PFV", "s00PFV+002", ctl::ProfileSaveButtons[0], Page::System, 0, 4, 0, S::Tag,
        T::Command},
    {Setting::PIO, "PIO", "s00PIO+000", RG("RGPIPDisplay"), Page::Pip, 0, 3, 0, S::ItemIndex, T::Click,
        &ReadPip<PipRecord::PIO>, &WritePip<PipRecord::PIO>},
    {Setting::PIR, "PIR", "s00PIR+000", RG("RGPIPRatio"), Page::Pip, 0, 1, 0, S::ItemIndex, T::Click,
        &ReadPip<PipRecord::PIR>, &WritePip<PipRecord::PIR>},
    {Setting::PIT, "PIT", "s00PIT+000", RG("RGPIPSrc"), Page::Pip, 0, 3, 0, S::ItemIndex, T::Click,
        &ReadPip<PipRecord::PIT>, &WritePip<PipRecord::PIT>},
    {Setting::POR, "POR", "s00POR+000", RG("RGPIPOrientation"), Page::Pip, 0, 5, 0, S::ItemIndex, T::Click,
        &ReadPip<PipRecord::POR>, &WritePip<PipRecord::POR>},
    // The PIP sliders store in their scroll handler, with the send.
    {Setting::PIZ, "PIZ", "s00PIZ+022", SB("SBPIPSize"), Page::Pip, 0, 100, 0, S::Position, T::EndOfScroll,
        &ReadPip<PipRecord::PIZ>, &WritePip<PipRecord::PIZ>},
    {Setting::PIH, "PIH", "s00PIH+022", SB("SBPIPXPos"), Page::Pip, 0, 100, 0, S::Position, T::EndOfScroll,
        &ReadPip<PipRecord::PIH>, &WritePip<PipRecord::PIH>},
    {Setting::PIV, "PIV", "s00PIV+022", SB("SBPIPYPos"), Page::Pip, 0, 100, 0, S::Position, T::EndOfScroll,
        &ReadPip<PipRecord::PIV>, &WritePip<PipRecord::PIV>},
    {Setting::PLO, "PLO", "s00PLO+022", SB("SBPIPOverlapL"), Page::Pip, -1800, 1800, 0, S::Position,
        T::EndOfScroll, &ReadOverlap<0>, &WriteOverlap<0>},
    {Setting::PRO, "PRO", "s00PRO+022", SB("SBPIPOverlapR"), Page::Pip, -1800, 1800, 0, S::Position,
        T::EndOfScroll, &ReadOverlap<1>, &WriteOverlap<1>},
    {Setting::PTO, "PTO", "s00PTO+022", SB("SBPIPOverlapT"), Page::Pip, -1800, 1800, 0, S::Position,
        T::EndOfScroll, &ReadOverlap<2>, &WriteOverlap<2>},
    {Setting::PBO, "PBO", "s00PBO+022", SB("SBPIPOverlapB"), Page::Pip, -1800, 1800, 0, S::Position,
        T::EndOfScroll, &ReadOverlap<3>, &WriteOverlap<3>},
    {Setting::DCM, "DCM", "s00DCM+000", {"CBDeepColor", Kind::CheckBox}, Page::Image, 0, 1, 0, S::Checked,
        T::Click, &ReadByte<&SettingsState::DCM>, &WriteByte<&SettingsState::DCM>},
    {Setting::HDO, "HDO", "s00HDO+000", RG("RGHDCPOutput"), Page::Image, 0, 2, 0, S::ItemIndex, T::Click,
        &ReadByte<&SettingsState::HDO>, &WriteByte<&SettingsState::HDO>},
    {Setting::LEB, "LEB", "s00LEB+022", SB("SBEdgeLeft"), Page::Blend1, 49, 1920, 50, S::EdgeWidth,
        T::EndOfScroll, &ReadEdge<0>, &WriteEdge<0>},
    {Setting::REB, "REB", "s00REB+022", SB("SBEdgeRight"), Page::Blend1, 49, 1920, 50, S::EdgeWidth,
        T::EndOfScroll, &ReadEdge<1>, &WriteEdge<1>},
    {Setting::TEB, "TEB", "s00TEB+022", SB("SBEdgeTop"), Page::Blend1, 49, 1200, 50, S::EdgeWidth,
        T::EndOfScroll, &ReadEdge<2>, &WriteEdge<2>},
    {Setting::BEB, "BEB", "s00BEB+022", SB("SBEdgeBottom"), Page::Blend1, 49, 1200, 50, S::EdgeWidth,
        T::EndOfScroll, &ReadEdge<3>, &WriteEdge<3>},
    {Setting::EFL, "EFL", "s00EFL+022", SB("SBEdgeLeftShift"), Page::Blend1, -100, 500, 0, S::Position,
        T::EndOfScroll, &ReadShift<0>, &WriteShift<0>},
    {Setting::EFR, "EFR", "s00EFR+022", SB("SBEdgeRightShift"), Page::Blend1, -100, 500, 0, S::Position,
        T::EndOfScroll, &ReadShift<1>, &WriteShift<1>},
    {Setting::EFT, "EFT", "s00EFT+022", SB("SBEdgeTopShift"), Page::Blend1, -100, 500, 0, S::Position,
        T::EndOfScroll, &ReadShift<2>, &WriteShift<2>},
    {Setting::EFB, "EFB", "s00EFB+022", SB("SBEdgeBottomShift"), Page::Blend1, -100, 500, 0, S::Position,
        T::EndOfScroll, &ReadShift<3>, &WriteShift<3>},
    {Setting::EBR, "EBR", "s00EBR+022", SB("SCGammaTransR"), Page::Blend1, 90, 300, 90, S::Position,
        T::EndOfScroll, &ReadTransition<0>, &WriteTransition<0>},
    {Setting::EBG, "EBG", "s00EBG+022", SB("SCGammaTransG"), Page::Blend1, 90, 300, 90, S::Position,
        T::EndOfScroll, &ReadTransition<1>, &WriteTransition<1>},
    {Setting::EBB, "EBB", "s00EBB+022", SB("SCGammaTransB"), Page::Blend1, 90, 300, 90, S::Position,
        T::EndOfScroll, &ReadTransition<2>, &WriteTransition<2>},
    {Setting::GGR, "GGR", "s00GGR+022", SB("SCGammaGainR"), Page::Blend1, 0, 100, 50, S::Position,
        T::EndOfScroll, &ReadGammaGain<0>, &WriteGammaGain<0>},
    {Setting::GGG, "GGG", "s00GGG+022", SB("SCGammaGainG"), Page::Blend1, 0, 100, 50, S::Position,
        T::EndOfScroll, &ReadGammaGain<1>, &WriteGammaGain<1>},
    {Setting::GGB, "GGB", "s00GGB+022", SB("SCGammaGainB"), Page::Blend1, 0, 100, 50, S::Position,
        T::EndOfScroll, &ReadGammaGain<2>, &WriteGammaGain<2>},
    {Setting::EBL, "EBL", "s00EBL+022", SB("SCBias"), Page::Blend1, 90, 250, 220, S::Position, T::EndOfScroll,
        &ReadGammaOffset, &WriteGammaOffset},
    {Setting::EGR, "EGR", "s00EGR+022", SB("SBColorGainR"), Page::Blend2, 0, 100, 50, S::Position,
        T::EndOfScroll, &ReadColourGain<0>, &WriteColourGain<0>},
    {Setting::EGG, "EGG", "s00EGG+022", SB("SBColorGainG"), Page::Blend2, 0, 100, 50, S::Position,
        T::EndOfScroll, &ReadColourGain<1>, &WriteColourGain<1>},
    {Setting::EGB, "EGB", "s00EGB+022", SB("SBColorGainB"), Page::Blend2, 0, 100, 50, S::Position,
        T::EndOfScroll, &ReadColourGain<2>, &WriteColourGain<2>},
    {Setting::EOR, "EOR", "s00EOR+022", SB("SBColorOffsetR"), Page::Blend2, 0, 100, 50, S::Position,
        T::EndOfScroll, &ReadColourOffset<0>, &WriteColourOffset<0>},
    {Setting::EOG, "EOG", "s00EOG+022", SB("SBColorOffsetG"), Page::Blend2, 0, 100, 50, S::Position,
        T::EndOfScroll, &ReadColourOffset<1>, &WriteColourOffset<1>},
    {Setting::EOB, "EOB", "s00EOB+022", SB("SBColorOffsetB"), Page::Blend2, 0, 100, 50, S::Position,
        T::EndOfScroll, &ReadColourOffset<2>, &WriteColourOffset<2>},
    // Region and corner values go by the window's selection; the point is selected first.
    {Setting::BCR, "BCR", "s00BCR+000", SB("SBOffsetR"), Page::Blend2, 0, 255, 0, S::Position, T::EndOfScroll,
        &ReadBlack<0>, &WriteBlack<0>},
    {Setting::BCG, "BCG", "s00BCG+000", SB("SBOffsetG"), Page::Blend2, 0, 255, 0, S::Position, T::EndOfScroll,
        &ReadBlack<1>, &WriteBlack<1>},
    {Setting::BCB, "BCB", "s00BCB+000", SB("SBOffsetB"), Page::Blend2, 0, 255, 0, S::Position, T::EndOfScroll,
        &ReadBlack<2>, &WriteBlack<2>},
    {Setting::EOX, "EOX", "s00EOX+000", SB("SBCornerX"), Page::Blend2, -1200, 1200, 50, S::Position,
        T::EndOfScroll, &ReadCorner<true>, &WriteCorner<true>},
    {Setting::EOY, "EOY", "s00EOY+000", SB("SBCornerY"), Page::Blend2, -900, 900, 50, S::Position,
        T::EndOfScroll, &ReadCorner<false>, &WriteCorner<false>},
    {Setting::EMX, "EMX", "s00EMX+000", SB("SBMaskX"), Page::Mask, -900, 900, 50, S::Position, T::EndOfScroll,
        &ReadMaskCorner<true>, &WriteMaskCorner<true>},
    {Setting::EMY, "EMY", "s00EMY+000", SB("SBMaskY"), Page::Mask, -900, 900, 50, S::Position, T::EndOfScroll,
        &ReadMaskCorner<false>, &WriteMaskCorner<false>},
    {Setting::RXT, "RXT", "s00RXT+002", ctl::BtnReset, Page::VideoWall, 1, 2, 2, S::Fixed, T::Command},
    {Setting::TLA, "TLA", "s00TLA+000", ctl::BtnAllReset, Page::System, 0, 0, 0, S::Fixed, T::Command},
    {Setting::MDN, "MDN", "S00MDNR000", kNone, -1, 0, 0, 0, S::Fixed, T::Command},
    {Setting::DMI, "DMI", "S00DMI+022", kNone, Page::Mask, 0, 10, 0, S::Fixed, T::Command},
    {Setting::WPM, "WPM", "s00WPM+006", kNone, Page::WarpAdjust, 0, 0, 0, S::Fixed, T::Command},
    {Setting::UDT, "UDT", "s00UDT+001", kNone, Page::WarpAdjust, 0, 0, 0, S::Fixed, T::Command},
    {Setting::GRD, "GRD", "s00GRD+000", kNone, Page::WarpAdjust, 0, 0, 0, S::Fixed, T::Command},
    {Setting::WLX, "WLX", "s00WLX+000", kNone, Page::WarpAdjust, 0, 0, 0, S::Fixed, T::Command},
    {Setting::WLY, "WLY", "s00WLY+000", kNone, Page::WarpAdjust, 0, 0, 0, S::Fixed, T::Command},
    {Setting::P95X, "95X", "S0095X+000", kNone, Page::WarpAdjust, 0, 0, 0, S::Fixed, T::Command},
    {Setting::P95Y, "95Y", "S0095Y+000", kNone, Page::WarpAdjust, 0, 0, 0, S::Fixed, T::Command},
    {Setting::P95I, "95I", "S0095I+000", kNone, Page::WarpAdjust, 0, 0, 0, S::Fixed, T::Command},
    {Setting::WWW, "WWW", "s00WWW1920", kNone, -1, 0, 0, 0, S::Fixed, T::Command},
    {Setting::VVV, "VVV", "s00VVV1080", kNone, -1, 0, 0, 0, S::Fixed, T::Command},
};
static_assert(std::size(kBindings) == kSettingCount);

#undef WS_FIELD

} // namespace

std::span<const SettingBinding> SettingBindings()
{
    return kBindings;
}

const SettingBinding* FindBinding(std::string_view mnemonic)
{
    for (const SettingBinding& b : kBindings)
        if (mnemonic == b.mnemonic)
            return &b;
    return nullptr;
}

const SettingBinding& Binding(Setting id)
{
    return kBindings[std::min<std::size_t>(std::size_t(id), std::size(kBindings) - 1)];
}

std::optional<Setting> FindSetting(std::string_view mnemonic)
{
    if (const SettingBinding* b = FindBinding(mnemonic))
        return b->id;
    return std::nullopt;
}

int SentValue(const SettingBinding& b, int position)
{
    switch (b.sent) {
    case Sent::TimesTen:
        return position * 10;
    case Sent::MinusOne:
        return position - 1;
    case Sent::EdgeWidth:
        return position == 49 ? 0 : position;
    case Sent::WindowKey:
        return 60 + position;
    case Sent::Fixed:
        return TemplateValue(b.tpl);
    case Sent::Position:
    case Sent::Tag:
    case Sent::ItemIndex:
    case Sent::ItemCode:
    case Sent::Checked:
        break;
    }
    return position;
}

bool InRange(const SettingBinding& b, int value)
{
    return value >= b.minimum && value <= b.maximum;
}

int CachedSetting(const Session& s, const SettingBinding& b, int w)
{
    return b.read ? b.read(s.settings(), w) : 0;
}

void StoreSetting(Session& s, const SettingBinding& b, int position)
{
    if (b.write)
        b.write(s.settings(), s.CurrentWindow, position);
}

} // namespace trivel
