// The simulated box's video-chip registers: one bank of 128 per window.

#include "sim/BoxModel.h"

#include "protocol/RegisterFrames.h"

namespace trivel::sim {

std::uint8_t BoxModel::registerValue(int w, int bank, int address) const
{
    if (address == 0)
        return std::uint8_t(bank); // register 0 is the bank select
    if (bank < 0 || bank >= kRegisterBanks || address < 0 || address >= kRegistersPerBank)
        return 0;
    const std::size_t i
        = (std::size_t(clampWindow(w)) * kRegisterBanks + std::size_t(bank)) * kRegistersPerBank
        + std::size_t(address);
    return m_registers[i];
}

// One bank of 128 registers per window; register 0 selects the bank, the read request's bank
// byte does the same. Writes go to the selected bank.
void BoxModel::handleRegisters(std::uint32_t code, FrameView req, FrameView rep)
{
    const proto::RegisterRequestView r{req};
    const int w = clampWindow(r.window());
    const std::size_t n = r.count();
    auto& bank = m_registerBank[std::size_t(w)];
    if (code == Cmd::RegisterRead) {
        bank = std::uint8_t(r.bank());
        proto::PutRegisterReplyHead(rep, w, n, bank);
        for (std::size_t k = 0; k < n; ++k) {
            const int addr = r.address(k);
            proto::PutRegisterPair(rep, k, addr, registerValue(w, bank, std::uint8_t(addr)));
        }
        return;
    }
    for (std::size_t k = 0; k < n; ++k) {
        const int addr = r.address(k);
        const auto v = std::uint8_t(r.value(k));
        if (addr == 0)
            bank = v;
        else if (addr < kRegistersPerBank)
            m_registers[(std::size_t(w) * kRegisterBanks + bank) * kRegistersPerBank + std::size_t(addr)] = v;
    }
}

} // namespace trivel::sim
