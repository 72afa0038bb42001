#include "protocol/FirmwareFrames.h"

#include <algorithm>

namespace trivel::proto {

Request FirmwareStart(std::uint32_t code, std::uint32_t imageSize)
{
    return Request(code, Clear::None).u32(8, imageSize);
}

Request FirmwareEnd(std::uint32_t code, std::uint32_t imageSize)
{
    return Request(code, Clear::None).u32(8, imageSize);
}

Request FirmwarePiece(std::uint32_t code, std::uint32_t position, std::span<const std::uint8_t> piece)
{
    // Never more than a frame carries, whatever the caller hands in.
    const std::size_t room = Request::kFields - kFirmwarePieceOffset;
    return Request(code, Clear::All)
        .u32(8, position)
        .bytes(kFirmwarePieceOffset, piece.first(std::min(piece.size(), room)));
}

Request FirmwareCommit(std::uint32_t imageSize, std::uint32_t checksum)
{
    return Request(Cmd::FwShortCommit, Clear::None).u32(8, imageSize).u32(12, checksum);
}

Request FirmwareBoardQuery()
{
    return Request(Cmd::FwLargeBoardQuery, Clear::None);
}

Request FirmwareRestart()
{
    return Request(Cmd::Restart, Clear::None);
}

void PutFirmwareShortEnd(FrameView& reply, std::uint16_t checksum)
{
    reply.put16(8, checksum);
}

void PutFirmwareBoardSum(FrameView& reply, int board, std::uint32_t checksum)
{
    if (board >= 0 && board < kFirmwareBoards)
        reply.put32(8 + 4 * std::size_t(board), checksum);
}

void PutFirmwareBoards(FrameView& reply, std::uint8_t mask)
{
    reply.put8(8, mask);
}

} // namespace trivel::proto
