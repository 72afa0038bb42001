#include "link/Dispatch.h"

#include "link/BoxCommands.h"
#include "link/LinkChains.h"
#include "link/Readback.h"
#include "link/Session.h"
#include "link/Watchdog.h"
#include "mask/MaskState.h"

#include <algorithm>
#include <cstring>

namespace trivel {

namespace {

// PendingOp value ranges and their owners. A value without a row is ignored (PendingOp kept).
const ChainRoute kChainTable[] = {
    {4094, 4096, ReadbackStep, "link: identify, model, network"},
    {4097, 4100, MaskSlotReadStep, "mask: slots at connect"},
    {4103, 4103, ReadbackStep, "link: window settings"},
    {4106, 4117, ReadbackStep, "link: warp, blend, per-window queries"},
    {4119, 4123, ReadbackStep, "link: PIP items, warp re-read"},
    {7000, 7000, BoxCommandStep, "link: reset"},
    {7099, 7100, BoxCommandStep, "link: all reset, profile load"},
    {10000, 10000, StatusPollStep, "link: status poll"},
    {36864, 36864, StatusPollStep, "link: window settings after a poll"},
    {39321, 39321, BoxCommandStep, "link: factory reset"},
};

} // namespace

std::span<const ChainRoute> ChainTable()
{
    return kChainTable;
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
    FrameView reply = s.reply();
    const std::uint32_t code = reply.code();
    // Over USB any reply but a status reply counts as the acknowledge the resend guard waits for.
    if (!s.tcpSelected() && code != 0x1006 && s.USBTimeOut)
        s.USBTimeOut->setEnabled(false);
    if (const ChainRoute* r = FindChainRoute(s.PendingOp))
        r->step(s, s.PendingOp);
    s.reply().setCode(0);
    NoteReplyDispatched(s);
}

void DeliverReply(Session& s, const std::uint8_t* bytes, std::size_t n, bool withReportId)
{
    if (withReportId) {
        const std::size_t k = std::min(n, s.ReplyBuffer.size());
        std::memcpy(s.ReplyBuffer.data(), bytes, k);
    } else {
        const std::size_t k = std::min(n, s.ReplyBuffer.size() - 1);
        std::memcpy(s.ReplyBuffer.data() + 1, bytes, k);
    }
    DispatchResponse(s);
}

} // namespace trivel
