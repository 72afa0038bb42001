#pragma once
// Frames of the three firmware download procedures: start, pieces, end, the short image's commit,
// the large image's board query, and the restart after a successful update. Request builders for
// the tool, request views and reply builders for the simulated box, reply views for the tool.

#include "protocol/Frame.h"
#include "protocol/Request.h"

#include <cstdint>
#include <span>

namespace trivel::proto {

// Image bytes of one piece start here; a piece is at most 256 bytes.
inline constexpr std::size_t kFirmwarePieceOffset = 12;
// The large image's end reply: one checksum per board 0..3.
inline constexpr int kFirmwareBoards = 4;

// Start and end of a download (codes of either procedure): only code and size change, the rest of
// the previous frame stays.
Request FirmwareStart(std::uint32_t code, std::uint32_t imageSize);
Request FirmwareEnd(std::uint32_t code, std::uint32_t imageSize);
// One piece at `position`, on a cleared frame (a short last piece is zero-filled).
Request FirmwarePiece(std::uint32_t code, std::uint32_t position, std::span<const std::uint8_t> piece);
// The short image's commit: size and the whole 32-bit sum.
Request FirmwareCommit(std::uint32_t imageSize, std::uint32_t checksum);
// The large image's question for the boards present; written over the previous frame.
Request FirmwareBoardQuery();
// The box restarts without an answer; written over the previous frame.
Request FirmwareRestart();

// A start, end, piece or commit as the box sees it.
struct FirmwareRequestView {
    const FrameView& f;
    std::uint32_t size() const { return f.u32(8); } // start, end, commit
    std::uint32_t position() const { return f.u32(8); } // piece
    std::uint32_t checksum() const { return f.u32(12); } // commit
    // Copies up to n bytes of the piece out; bytes past the frame read as 0.
    void copyPiece(std::uint8_t* out, std::size_t n) const { f.copyOut(kFirmwarePieceOffset, out, n); }
};

// The short procedures' end reply: the lower 16 bits of the box's sum.
struct FirmwareShortEndView {
    const FrameView& f;
    std::uint16_t checksum() const { return f.u16(8); }
};

// The large procedure's end reply: the sum as each board computed it (0 for a board not present).
struct FirmwareLargeEndView {
    const FrameView& f;
    std::uint32_t board(int b) const
    {
        return b >= 0 && b < kFirmwareBoards ? f.u32(8 + 4 * std::size_t(b)) : 0;
    }
    // What an error message shows: the lower half of board 0's sum.
    std::uint16_t shown() const { return f.u16(8); }
};

// The board query's reply: bit b set for each board b present; 0 while none answered yet.
struct FirmwareBoardsView {
    const FrameView& f;
    std::uint8_t mask() const { return f.u8(8); }
};

// The box's side.
void PutFirmwareShortEnd(FrameView& reply, std::uint16_t checksum);
void PutFirmwareBoardSum(FrameView& reply, int board, std::uint32_t checksum);
void PutFirmwareBoards(FrameView& reply, std::uint8_t mask);

} // namespace trivel::proto
