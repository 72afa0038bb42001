#include "protocol/RegisterFrames.h"

namespace trivel::proto {

Request RegisterBankRead(int window, int bank, int count)
{
    Request r(Cmd::RegisterRead, Clear::All);
    r.u8(8, std::uint8_t(window)).u8(9, std::uint8_t(count)).u8(10, std::uint8_t(bank));
    for (int a = 0; a < count; ++a)
        r.u8(32 + 2 * std::size_t(a), std::uint8_t(a));
    return r;
}

Request RegisterRead(int window, int bank, int address)
{
    return Request(Cmd::RegisterRead, Clear::None)
        .u8(8, std::uint8_t(window))
        .u8(9, 1)
        .u8(10, std::uint8_t(bank))
        .u8(32, std::uint8_t(address));
}

Request RegisterWrite(int window, int address, int value)
{
    return Request(Cmd::RegisterWrite, Clear::None)
        .u8(8, std::uint8_t(window))
        .u8(9, 1)
        .u8(32, std::uint8_t(address))
        .u8(33, std::uint8_t(value));
}

Request TestRequest(int window)
{
    return Request(Cmd::TestRequest, Clear::All).u8(8, std::uint8_t(window));
}

void PutRegisterReplyHead(FrameView& reply, int window, std::size_t count, int bank)
{
    reply.put8(8, std::uint8_t(window));
    reply.put8(9, std::uint8_t(count));
    reply.put8(10, std::uint8_t(bank));
}

void PutRegisterPair(FrameView& reply, std::size_t k, int address, int value)
{
    reply.put8(32 + 2 * k, std::uint8_t(address));
    reply.put8(33 + 2 * k, std::uint8_t(value));
}

} // namespace trivel::proto
