#pragma once
// Fields of a mask stream's 32-byte header as the slot copies and read buffers hold it. While a
// copy is being filled from the box, its first dword counts the body bytes received so far.

#include "mask/MaskState.h"
#include "mask/SlotCopy.h"

#include <cstdint>
#include <span>

namespace trivel {

namespace proto {
struct MaskChunkReplyView;
}

// Little-endian dword at off; 0 where the bytes end first.
inline std::uint32_t StreamField(std::span<const std::uint8_t> b, std::size_t off)
{
    if (off > b.size() || b.size() - off < 4)
        return 0;
    return std::uint32_t(b[off]) | std::uint32_t(b[off + 1]) << 8 | std::uint32_t(b[off + 2]) << 16
        | std::uint32_t(b[off + 3]) << 24;
}

inline void PutStreamField(std::span<std::uint8_t> b, std::size_t off, std::uint32_t v)
{
    if (off > b.size() || b.size() - off < 4)
        return;
    for (std::size_t i = 0; i < 4; ++i)
        b[off + i] = std::uint8_t(v >> (8 * i));
}

inline std::uint32_t StreamSizeField(const SlotCopy& c)
{
    return StreamField(c.bytes(), 4);
}
inline std::uint32_t StreamOffsetX(const SlotCopy& c)
{
    return StreamField(c.bytes(), 16);
}
inline std::uint32_t StreamOffsetY(const SlotCopy& c)
{
    return StreamField(c.bytes(), 20);
}
inline std::uint32_t ReceivedCount(const SlotCopy& c)
{
    return StreamField(c.bytes(), 0);
}
inline void SetReceivedCount(SlotCopy& c, std::uint32_t n)
{
    PutStreamField(c.writable(), 0, n);
}

// Stores one piece at 32 + the received count, never past the copy's end, and counts 256 more.
// True while more is to be read; next is then the stream offset to ask for.
bool TakeReadPiece(SlotCopy& copy, const proto::MaskChunkReplyView& piece, std::uint32_t& next);

} // namespace trivel
