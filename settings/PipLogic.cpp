#include "settings/PipLogic.h"

#include "box/StatusPoll.h"
#include "session/Session.h"
#include "settings/BoundedIndex.h"
#include "settings/SettingBinding.h"

#include <array>

namespace trivel {

namespace {

struct PipGroupInfo {
    const char* mnemonic;
    int items;
};
constexpr std::array<PipGroupInfo, kPipGroups> kPipGroupInfo{
    {{"PIO", 4}, {"PIR", 2}, {"PIT", 4}, {"POR", 6}}};

const SettingBinding* Row(int group)
{
    return group >= 0 && group < kPipGroups ? FindBinding(kPipGroupInfo[std::size_t(group)].mnemonic)
                                            : nullptr;
}

} // namespace

int PipGroupItemCount(int group)
{
    return group >= 0 && group < kPipGroups ? kPipGroupInfo[std::size_t(group)].items : 0;
}

int PipGroupItem(Session& s, int group)
{
    const SettingBinding* row = Row(group);
    if (!row)
        return -1;
    return BoundedIndex(s, row->mnemonic, CachedSetting(s, *row, s.CurrentWindow), PipGroupItemCount(group));
}

QString PipResolutionText(const Session& s)
{
    const SignalSize& z = s.PipSourceSize[std::size_t(s.CurrentWindow & 3)];
    if (z.width == 0)
        return QString::fromLatin1(kNoSignalText);
    return QStringLiteral("%1 * %2").arg(z.width).arg(z.height);
}

} // namespace trivel
