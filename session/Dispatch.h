#pragma once
// DispatchResponse: the single reply handler. It routes by PendingOp through one table of
// value ranges to the subsystem that owns the step; adding a subsystem adds a row.

#include "session/OpRange.h"

#include <cstdint>
#include <span>

namespace trivel {

class Session;

// A chain step: reads s.reply(), stores what it needs, usually sends the next request and
// sets s.PendingOp. `op` is the PendingOp value that selected it.
using ChainStep = void (*)(Session& s, int op);

struct ChainRoute {
    int first;
    int last; // inclusive
    ChainStep step;
    const char* owner;
};

std::span<const ChainRoute> ChainTable();
// Every PendingOp range some owner declares (whether or not a step serves it yet).
std::span<const OpRange> DeclaredOpRanges();
const ChainRoute* FindChainRoute(int pendingOp);

// Runs on the main thread after each reply frame has been copied into ReplyBuffer.
void DispatchResponse(Session& s);

// Copies a received reply into ReplyBuffer (report id at byte 0 over USB, frame from byte 1)
// and dispatches it. Bytes beyond the buffer are dropped.
void DeliverReply(Session& s, const std::uint8_t* bytes, std::size_t n, bool withReportId);

} // namespace trivel
