#pragma once
// PendingOp values of the session's own chains: the connect read-back, the status poll, the
// box-wide commands.

#include "session/OpRange.h"

#include <array>

namespace trivel::Op {

inline constexpr int Idle = 0;

// Connect read-back.
inline constexpr int Identify = 4094;
inline constexpr int Model = 4095;
inline constexpr int Network = 4096;
inline constexpr int WindowSettings = 4103;
inline constexpr int WarpA = 4106;
inline constexpr int WarpB = 4107;
inline constexpr int WarpC = 4108;
inline constexpr int Blend = 4109;
// Per-window loop: the step after the window is selected, then one step per query reply.
inline constexpr int LoopMaskSlotQuery = 4110; // PIP box with user masks: ask DMI
inline constexpr int LoopMaskSlot = 4111;
inline constexpr int LoopPipQuery = 4112; // PIP box without user masks: ask DCM
inline constexpr int LoopPipDeepColour = 4113;
inline constexpr int LoopPipHdcp = 4114;
inline constexpr int LoopQuery = 4115; // other boxes: ask DCM
inline constexpr int LoopDeepColour = 4116;
inline constexpr int LoopHdcp = 4117;
inline constexpr int LoopPipItem = 4119;

// Box-wide commands and the status poll.
inline constexpr int Reset = 7000;
inline constexpr int AllReset = 7099;
inline constexpr int ProfileLoad = 7100;
inline constexpr int StatusPoll = 10000;
inline constexpr int PollWindowSettings = 36864; // 0x9000
inline constexpr int FactoryReset = 39321; // 0x9999

inline constexpr std::array<OpRange, 6> kSessionOps{{
    {Identify, Network, "session: identify, model, network"},
    {WindowSettings, LoopPipItem, "session: read-back"},
    {Reset, Reset, "session: reset"},
    {AllReset, ProfileLoad, "session: all reset, profile load"},
    {StatusPoll, StatusPoll, "session: status poll"},
    {PollWindowSettings, PollWindowSettings, "session: window settings after a poll"},
}};
inline constexpr OpRange kFactoryResetOps{FactoryReset, FactoryReset, "session: factory reset"};

} // namespace trivel::Op
