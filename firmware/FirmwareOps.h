#pragma once
// PendingOp values of the three firmware download procedures.

#include "session/OpRange.h"

#include <array>

namespace trivel::Op {

// Plain image: start, pieces, end, checksum check (+ commit), commit answered.
inline constexpr int FwPlainStart = 201;
inline constexpr int FwPlainData = 202;
inline constexpr int FwPlainEnd = 203;
inline constexpr int FwPlainCheck = 204;
inline constexpr int FwPlainCommitted = 205;
// Prefixed image: no commit frame; the end reply is checked in FwPrefixedCheck.
inline constexpr int FwPrefixedStart = 230;
inline constexpr int FwPrefixedData = 231;
inline constexpr int FwPrefixedEnd = 232;
inline constexpr int FwPrefixedCheck = 233;
// Large image: board query (and its retries), pieces, end, per-board checksums.
inline constexpr int FwLargeQuery = 300;
inline constexpr int FwLargeBoards = 301;
inline constexpr int FwLargeData = 302;
inline constexpr int FwLargeEnd = 303;
inline constexpr int FwLargeCheck = 304;

inline constexpr std::array<OpRange, 3> kFirmwareOps{{
    {FwPlainStart, FwPlainCommitted, "firmware: short image"},
    {FwPrefixedStart, FwPrefixedCheck, "firmware: prefixed image"},
    {FwLargeQuery, FwLargeCheck, "firmware: large image"},
}};

constexpr bool IsFirmwareOp(int op)
{
    for (const OpRange& r : kFirmwareOps)
        if (op >= r.first && op <= r.last)
            return true;
    return false;
}

// States that wait for the box to flash and check the image (end and commit replies).
constexpr bool IsFirmwareFlashWait(int op)
{
    return op == FwPlainCheck || op == FwPlainCommitted || op == FwPrefixedCheck || op == FwLargeCheck;
}

} // namespace trivel::Op
