#include "settings/BlendLogic.h"

#include "protocol/SettingCodec.h"
#include "session/Session.h"
#include "settings/BoundedIndex.h"
#include "settings/SettingBinding.h"

namespace trivel {

namespace {

constexpr char kSides[] = "LRTB";
constexpr char kChannels[] = "RGB";
constexpr char kAxes[] = "XY";

BlendRecord& Record(Session& s)
{
    return s.settings.BlendSettings[std::size_t(s.CurrentWindow & 3)];
}

std::size_t W(const Session& s)
{
    return std::size_t(s.CurrentWindow & 3);
}

void SendBuilt(Session& s, const char* tpl, int position, char letter, int value)
{
    SettingCommand cmd = MakeSettingCommand(tpl);
    if (position >= 0)
        PatchLetter(cmd, position, letter);
    EncodeSettingValue(value, cmd);
    PutSettingFrame(s.RequestBuffer, Cmd::Setting, cmd);
    SendFrame(s);
}

char Letter(const char* letters, int n, int i)
{
    return letters[i >= 0 && i < n ? i : 0];
}

void SelectIfNeeded(Session& s, int code)
{
    if (s.settings.LastPointCode[W(s)] != code)
        SelectBlendPoint(s, code);
}

} // namespace

void SelectBlendPoint(Session& s, int code)
{
    s.PostSendDelay = 40;
    s.settings.LastPointCode[W(s)] = std::uint8_t(code);
    SendSetting(s, "s0095I+000", code);
    s.PostSendDelay = 0;
}

void SendEdgeWidth(Session& s, int side, int value)
{
    SendBuilt(s, "s00LEB+022", 3, Letter(kSides, 4, side), value);
}
void SendEdgeShift(Session& s, int side, int value)
{
    SendBuilt(s, "s00EFL+022", 5, Letter(kSides, 4, side), value);
}
void SendTransitionGamma(Session& s, int ch, int value)
{
    SendBuilt(s, "s00EBR+022", 5, Letter(kChannels, 3, ch), value);
}
void SendGammaGain(Session& s, int ch, int value)
{
    SendBuilt(s, "s00GGR+022", 5, Letter(kChannels, 3, ch), value);
}
void SendGammaOffset(Session& s, int value)
{
    SendBuilt(s, "s00EBL+022", -1, 0, value);
}
void SendColourGain(Session& s, int ch, int value)
{
    SendBuilt(s, "s00EGR+022", 5, Letter(kChannels, 3, ch), value);
}
void SendColourOffset(Session& s, int ch, int value)
{
    SendBuilt(s, "s00EOR+022", 5, Letter(kChannels, 3, ch), value);
}
void SendBlackLevel(Session& s, int ch, int value)
{
    SendBuilt(s, "s00BCR+000", 5, Letter(kChannels, 3, ch), value);
}
void SendBlendCorner(Session& s, int axis, int value)
{
    SendBuilt(s, "s00EOX+000", 5, Letter(kAxes, 2, axis), value);
}
void SendMaskCorner(Session& s, int axis, int value)
{
    SendBuilt(s, "s00EMX+000", 5, Letter(kAxes, 2, axis), value);
}

int SBEdgeChange(Session& s, int side, int position)
{
    const int width = position >= 50 ? position : 0;
    Record(s).setEdgeWidth(side, std::uint16_t(width));
    return width;
}

int SelectedRegion(Session& s)
{
    return BoundedIndex(s, "selected region", s.settings.SelectedRegion[W(s)], int(RegionPointCode.size()));
}
int SelectedCorner(Session& s)
{
    return BoundedIndex(s, "selected corner", s.settings.SelectedCorner[W(s)], int(CornerPointCode.size()));
}
int SelectedMaskCorner(Session& s)
{
    return BoundedIndex(
        s, "selected mask corner", s.settings.SelectedMaskCorner[W(s)], int(CornerPointCode.size()));
}

void RBOffsetClick(Session& s, int tag)
{
    if (tag >= 0 && tag < int(RegionPointCode.size()))
        s.settings.SelectedRegion[W(s)] = std::uint8_t(tag);
}
void RBCornerClick(Session& s, int tag)
{
    if (tag >= 0 && tag < int(CornerPointCode.size()))
        s.settings.SelectedCorner[W(s)] = std::uint8_t(tag);
}
void RBMaskClick(Session& s, int tag)
{
    if (tag >= 0 && tag < int(CornerPointCode.size()))
        s.settings.SelectedMaskCorner[W(s)] = std::uint8_t(tag);
}

int BlackLevelValue(Session& s, int ch)
{
    const int r = SelectedRegion(s);
    return r < 0 ? 0 : Record(s).blackLevel(RegionSlot[std::size_t(r)], ch);
}
int BlendCornerValue(Session& s, int axis)
{
    const int c = SelectedCorner(s);
    if (c < 0)
        return 0;
    return axis == 0 ? Record(s).cornerX(c) : Record(s).cornerY(c);
}
int MaskCornerValue(Session& s, int axis)
{
    const int c = SelectedMaskCorner(s);
    if (c < 0)
        return 0;
    const auto& table = axis == 0 ? s.settings.EdgeMaskCorners.x : s.settings.EdgeMaskCorners.y;
    return table[W(s)][std::size_t(c)];
}

void SBOffsetScroll(Session& s, int ch, int position)
{
    const int r = SelectedRegion(s);
    if (r < 0)
        return;
    std::uint8_t& byte = Record(s).blackLevel(RegionSlot[std::size_t(r)], ch);
    byte = std::uint8_t(position);
    SelectIfNeeded(s, RegionPointCode[std::size_t(r)]);
    SendBlackLevel(s, ch, byte);
}

void SBCornerScroll(Session& s, int axis, int position)
{
    const int c = SelectedCorner(s);
    if (c < 0)
        return;
    BlendRecord& b = Record(s);
    if (axis == 0)
        b.setCorner(c, std::int16_t(position), b.cornerY(c));
    else
        b.setCorner(c, b.cornerX(c), std::int16_t(position));
    SelectIfNeeded(s, CornerPointCode[std::size_t(c)]);
    SendBlendCorner(s, axis, position);
}

void SBMaskScroll(Session& s, int axis, int position)
{
    const int c = SelectedMaskCorner(s);
    if (c < 0)
        return;
    auto& table = axis == 0 ? s.settings.EdgeMaskCorners.x : s.settings.EdgeMaskCorners.y;
    table[W(s)][std::size_t(c)] = std::int16_t(position);
    SelectIfNeeded(s, CornerPointCode[std::size_t(c)]);
    SendMaskCorner(s, axis, position);
}

void BtnEdgeResetClick(Session& s)
{
    for (int side = 0; side < 4; ++side) {
        if (side > 0)
            s.clock.sleepMs(100);
        Record(s).setEdgeWidth(side, 0);
        SendEdgeWidth(s, side, 0);
    }
}

void BtnShiftRstClick(Session& s)
{
    for (int side = 0; side < 4; ++side) {
        if (side > 0)
            s.clock.sleepMs(100);
        Record(s).setEdgeShift(side, 0);
        SendEdgeShift(s, side, 0);
    }
}

void BtnGammaTransResetClick(Session& s)
{
    for (int ch = 0; ch < 3; ++ch)
        Record(s).setTransitionGamma(ch, 220);
    for (int ch = 0; ch < 3; ++ch) {
        SendTransitionGamma(s, ch, 220);
        s.clock.sleepMs(500);
    }
}

void BtnGammaGainResetClick(Session& s)
{
    // Here the pause is the send's own, so replies are still handled during it.
    for (int ch = 0; ch < 3; ++ch) {
        s.PostSendDelay = 500;
        Record(s).gammaGain(ch) = 50;
        SendGammaGain(s, ch, 50);
    }
    s.PostSendDelay = 0;
}

void BtnBtnGammaBiasResetClick(Session& s)
{
    Record(s).gammaOffset() = 220;
    SendGammaOffset(s, 220);
}

void BTNColorGainResetClick(Session& s)
{
    for (int ch = 0; ch < 3; ++ch) {
        Record(s).colourGain(ch) = 50;
        SendColourGain(s, ch, 50);
        s.clock.sleepMs(500);
    }
}

void BTNColorBiasResetClick(Session& s)
{
    for (int ch = 0; ch < 3; ++ch) {
        Record(s).colourOffset(ch) = 50;
        SendColourOffset(s, ch, 50);
        s.clock.sleepMs(500);
    }
}

void BlendMarkerEnClick(Session& s, bool checked)
{
    const int w = s.CurrentWindow & 3;
    s.settings.BlendMarker[std::size_t(w)] = checked ? 1 : 0;
    s.PostSendDelay = 20;
    // Written over the previous frame, as the page-show request does.
    FrameView f = s.request();
    f.setCode(Cmd::BlendMarker);
    f.put8(8, std::uint8_t(w));
    f.put8(9, checked ? 1 : 0);
    SendFrame(s);
    s.PostSendDelay = 0;
}

QString TransitionGammaText(int position)
{
    const int tenths = (position + 5) / 10;
    return QStringLiteral("%1.%2").arg(tenths / 10).arg(tenths % 10);
}

QString GammaOffsetText(int position)
{
    return QString::number(position / 100.0);
}

} // namespace trivel
