#include "settings/OutputSettings.h"

#include "session/Session.h"
#include "settings/BoundedIndex.h"
#include "settings/SettingBinding.h"

namespace trivel {

namespace {

// A chain owns the request buffer until its last reply (a warp transfer included).
bool Busy(const Session& s)
{
    return s.PendingOp != 0;
}

void StoreForPair(Session& s, PerWindow<std::uint8_t>& field, int value)
{
    const std::size_t w = std::size_t(s.CurrentWindow & 3);
    field[w] = std::uint8_t(value);
    if (s.flag(Flag::PairedOutputs))
        field[w ^ 1] = std::uint8_t(value);
}

} // namespace

void CBDeepColorClick(Session& s, bool checked)
{
    if (Busy(s))
        return;
    StoreForPair(s, s.settings.DCM, checked ? 1 : 0);
    if (s.flag(Flag::Refreshing))
        return;
    SendSetting(s, "s00DCM+000", checked ? 1 : 0);
}

void RGHDCPOutputClick(Session& s, int item)
{
    if (Busy(s) || s.flag(Flag::Refreshing) || item < 0 || item >= kHdcpItems)
        return;
    SendSetting(s, "s00HDO+000", item);
    StoreForPair(s, s.settings.HDO, item);
}

int HdcpOutputItem(Session& s)
{
    return BoundedIndex(s, "HDO", s.settings.HDO[std::size_t(s.CurrentWindow & 3)], kHdcpItems);
}

} // namespace trivel
