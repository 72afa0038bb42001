#include "link/Dispatch.h"

#include "link/Session.h"

#include <algorithm>
#include <cstring>

namespace trivel {

namespace {

// PendingOp value ranges and their owners. A value without a row is ignored (PendingOp kept).
const ChainRoute kChainTable[] = {
    {0, -1, nullptr, "idle"}, // placeholder so the table is never empty; matches nothing
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
