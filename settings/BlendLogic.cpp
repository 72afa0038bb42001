#include "settings/BlendLogic.h"

#include "session/Session.h"
#include "settings/BoundedIndex.h"
#include "settings/SettingsState.h"

namespace trivel {

namespace {

BlendRecord& Record(Session& s)
{
    return s.settings().BlendSettings[std::size_t(s.CurrentWindow & 3)];
}

std::size_t W(const Session& s)
{
    return std::size_t(s.CurrentWindow & 3);
}

} // namespace

int SBEdgeChange(Session& s, int side, int position)
{
    const int width = position >= 50 ? position : 0;
    Record(s).setEdgeWidth(side, std::uint16_t(width));
    return width;
}

int SelectedRegion(Session& s)
{
    return BoundedIndex(s, "selected region", s.settings().SelectedRegion[W(s)], int(RegionPointCode.size()));
}
int SelectedCorner(Session& s)
{
    return BoundedIndex(s, "selected corner", s.settings().SelectedCorner[W(s)], int(CornerPointCode.size()));
}
int SelectedMaskCorner(Session& s)
{
    return BoundedIndex(
        s, "selected mask corner", s.settings().SelectedMaskCorner[W(s)], int(CornerPointCode.size()));
}

void RBOffsetClick(Session& s, int tag)
{
    if (tag >= 0 && tag < int(RegionPointCode.size()))
        s.settings().SelectedRegion[W(s)] = std::uint8_t(tag);
}
void RBCornerClick(Session& s, int tag)
{
    if (tag >= 0 && tag < int(CornerPointCode.size()))
        s.settings().SelectedCorner[W(s)] = std::uint8_t(tag);
}
void RBMaskClick(Session& s, int tag)
{
    if (tag >= 0 && tag < int(CornerPointCode.size()))
        s.settings().SelectedMaskCorner[W(s)] = std::uint8_t(tag);
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
    const auto& table = axis == 0 ? s.settings().EdgeMaskCorners.x : s.settings().EdgeMaskCorners.y;
    return table[W(s)][std::size_t(c)];
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
