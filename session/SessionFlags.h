#pragma once
#include <cstdint>

namespace trivel::Flag {
inline constexpr std::uint32_t Connected = 0x1;
inline constexpr std::uint32_t Refreshing = 0x2;
inline constexpr std::uint32_t FourInput = 0x4;
inline constexpr std::uint32_t Key = 0x8;
inline constexpr std::uint32_t PipCapable = 0x80;
inline constexpr std::uint32_t InputSetChanged = 0x200;
inline constexpr std::uint32_t TransferReadback = 0x400;
inline constexpr std::uint32_t LinkedWarp = 0x800;
inline constexpr std::uint32_t Rejected = 0x1000;
inline constexpr std::uint32_t WarpUndo = 0x2000;
inline constexpr std::uint32_t SingleWindowTransfer = 0x4000;
inline constexpr std::uint32_t UserMask = 0x8000;
inline constexpr std::uint32_t PairedOutputs = 0x10000;
} // namespace trivel::Flag
