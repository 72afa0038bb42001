#include "protocol/MaskFrames.h"

#include "protocol/SettingCodec.h"

namespace trivel::proto {

Request MaskUploadChunk(std::uint32_t code, int window, std::uint32_t offset, std::uint32_t total,
    std::span<const std::uint8_t> bytes, Clear clear)
{
    return Request(code, clear)
        .u8(8, std::uint8_t(window))
        .u32(12, offset)
        .u32(16, total)
        .bytes(20, bytes.first(std::min(bytes.size(), kMaskUploadChunkBytes)));
}

Request MaskShow(int window, int kind)
{
    return Request(Cmd::MaskShow, Clear::All)
        .u8(8, std::uint8_t(window))
        .u8(12, 1)
        .u8(16, std::uint8_t(kind));
}

Request MaskHide(int window, Clear clear)
{
    return Request(Cmd::MaskShow, clear).u8(8, std::uint8_t(window)).u8(12, 0);
}

Request MaskStore(int window, int slot, Clear clear)
{
    return Request(Cmd::MaskStore, clear).u8(8, std::uint8_t(window)).u8(12, std::uint8_t(slot));
}

Request MaskDelete(int window, int slot, Clear clear)
{
    return Request(Cmd::MaskDelete, clear).u8(8, std::uint8_t(window)).u8(12, std::uint8_t(slot));
}

Request MaskReadHeader(std::uint32_t code, int window, int slot, Clear clear)
{
    return Request(code, clear).u8(8, std::uint8_t(window)).u8(12, std::uint8_t(slot));
}

Request MaskReadChunk(std::uint32_t code, int window, std::uint32_t offset, Clear clear)
{
    return Request(code, clear).u8(8, std::uint8_t(window)).u32(12, offset);
}

Request MaskAssignment(int slot)
{
    SettingCommand cmd = MakeSettingCommand("S00DMI+000");
    EncodeSettingValue(slot, cmd);
    return Request(Cmd::SettingQuery, Clear::All).setting(cmd);
}

void PutMaskHeaderReply(FrameView& reply, std::span<const std::uint8_t> stream)
{
    reply.copyIn(8, stream.data(), std::min(stream.size(), kMaskHeaderReplyBytes));
}

void PutMaskChunkReply(FrameView& reply, std::span<const std::uint8_t> bytes)
{
    reply.copyIn(8, bytes.data(), std::min(bytes.size(), kMaskReadChunkBytes));
}

void PutMaskHeaderSize(FrameView& reply, std::uint32_t size)
{
    reply.put32(12, size);
}

} // namespace trivel::proto
