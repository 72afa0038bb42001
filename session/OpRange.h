#pragma once
// A range of PendingOp values and the subsystem that owns it. Each owner lists its ranges in
// its own *Ops.h; session/Dispatch.cpp checks at compile time that no two overlap.

namespace trivel {

struct OpRange {
    int first;
    int last; // inclusive
    const char* owner;
};

} // namespace trivel
