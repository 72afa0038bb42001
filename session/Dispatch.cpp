#include "session/Dispatch.h"

#include "files/FileOps.h"
#include "files/SettingTransfer.h"
#include "mask/MaskOperations.h"
#include "mask/MaskOps.h"
#include "mask/MaskState.h"
#include "box/BoxCommands.h"
#include "session/PendingOps.h"
#include "box/Readback.h"
#include "session/Session.h"
#include "box/StatusPoll.h"
#include "box/Watchdog.h"
#include "warp/UserMap.h"
#include "warp/WarpAdjust.h"
#include "warp/WarpOps.h"
#include "warp/WarpPointMode.h"

#include <algorithm>
#include <cstring>

namespace trivel {

namespace {

// Every owner's ranges, for the overlap check below.
template <std::size_t... N> constexpr auto Join(const std::array<OpRange, N>&... parts)
{
    std::array<OpRange, (N + ...)> all{};
    std::size_t i = 0;
    ((std::copy(parts.begin(), parts.end(), all.begin() + i), i += N), ...);
    return all;
}

constexpr auto kAllOps = Join(
    Op::kSessionOps, std::array<OpRange, 1>{Op::kFactoryResetOps}, Op::kMaskOps, Op::kWarpOps, Op::kFileOps);

constexpr bool Disjoint(const auto& ranges)
{
    for (std::size_t i = 0; i < ranges.size(); ++i) {
        if (ranges[i].first > ranges[i].last || ranges[i].first <= Op::Idle)
            return false;
        for (std::size_t j = i + 1; j < ranges.size(); ++j)
            if (ranges[i].first <= ranges[j].last && ranges[j].first <= ranges[i].last)
                return false;
    }
    return true;
}
static_assert(Disjoint(kAllOps), "two owners claim the same PendingOp values");

// PendingOp value ranges and their steps. A value without a row is ignored (PendingOp kept).
const ChainRoute kChainTable[] = {
    {Op::WarpReread, Op::WarpRereadC, WarpRereadStep, "warp: blocks re-read after a mode change"},
    {Op::WarpMove, Op::WarpMove, WarpAdjustStep, "warp: point move"},
    {Op::WarpMoveX, Op::WarpGrid, WarpAdjustStep, "warp: Warp Adjust steps"},
    {Op::UserMapX, Op::UserMapApplied, UserMapStep, "warp: User Map transfer"},
    {Op::WarpMapSave, Op::WarpMapSelected, WarpMapStep, "warp: warp map data"},
    {Op::WarpMapQuery, Op::WarpMapLoaded, WarpMapStep, "warp: map data load"},
    {Op::MaskPreview, Op::MaskAssign, MaskOperationStep, "mask: preview, save, delete, read, set"},
    {Op::TransferWindowStart, Op::TransferWindowEnd, SettingTransferStep, "files: setting transfer"},
};

} // namespace

std::span<const ChainRoute> ChainTable()
{
    return kChainTable;
}

std::span<const OpRange> DeclaredOpRanges()
{
    return kAllOps;
}

const ChainRoute* FindChainRoute(int op)
{
    for (const ChainRoute& r : kChainTable)
        if (r.step && op >= r.first && op <= r.last)
            return &r;
    return nullptr;
}

void DispatchResponse(Session& s)
{
    if (const ChainRoute* r = FindChainRoute(s.PendingOp))
        r->step(s, s.PendingOp);
    s.reply().setCode(0);
    NoteReplyDispatched(s);
}

void DeliverReply(Session& s, const std::uint8_t* bytes, std::size_t n, bool withReportId)
{
    s.exchange.deliver(bytes, n, withReportId);
}

} // namespace trivel
