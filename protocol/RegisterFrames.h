#pragma once
// Frames of the chip register page: a bank read (or one register of it), a register write, and
// the test request of the page's unlabelled button. Request builders for the tool, request views
// and reply builders for the simulated box, a reply view for the tool.

#include "protocol/Frame.h"
#include "protocol/Request.h"

#include <algorithm>
#include <cstdint>

namespace trivel::proto {

// Pairs (address, value) from frame offset 32 fit in one link frame up to this count.
inline constexpr std::size_t kRegisterPairsPerFrame = (kTcpFrameSize - 32) / 2;

// The whole bank of 128 registers: every address listed, the request cleared first.
Request RegisterBankRead(int window, int bank, int count);
// One register, written over the previous frame's bytes.
Request RegisterRead(int window, int bank, int address);
Request RegisterWrite(int window, int address, int value);
// Code 0xF123 with the window; the box is not expected to answer.
Request TestRequest(int window);

// A register read or write as the box sees it.
struct RegisterRequestView {
    const FrameView& f;
    int window() const { return f.u8(8); }
    // The pairs the request names, never more than a frame holds.
    std::size_t count() const { return std::min<std::size_t>(f.u8(9), kRegisterPairsPerFrame); }
    int bank() const { return f.u8(10); }
    int address(std::size_t k) const { return f.u8(32 + 2 * k); }
    int value(std::size_t k) const { return f.u8(33 + 2 * k); }
};

// The reply to a register read: the pairs read, never more than a frame holds.
struct RegisterReplyView {
    const FrameView& f;
    std::size_t count() const { return std::min<std::size_t>(f.u8(9), kRegisterPairsPerFrame); }
    int address(std::size_t k) const { return f.u8(32 + 2 * k); }
    int value(std::size_t k) const { return f.u8(33 + 2 * k); }
};

// The box's side: a read reply carries window, count and bank at 8..10 and the pairs from 32.
void PutRegisterReplyHead(FrameView& reply, int window, std::size_t count, int bank);
void PutRegisterPair(FrameView& reply, std::size_t k, int address, int value);

} // namespace trivel::proto
