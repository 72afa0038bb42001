#pragma once
// Frames of the box's user-mask slots: the preview upload and its show frame, store, delete, the
// header and piece reads of a slot, and the assignment of a slot to a window. Request builders for
// the tool, request views and reply builders for the simulated box, reply views for the tool.

#include "protocol/Frame.h"
#include "protocol/Request.h"

#include <algorithm>
#include <cstdint>
#include <span>

namespace trivel::proto {

// Stream bytes per upload frame, from frame offset 20.
inline constexpr std::size_t kMaskUploadChunkBytes = 480;
// Stream bytes per piece read, from reply offset 8.
inline constexpr std::size_t kMaskReadChunkBytes = 256;
// A header read answers the stream's first 32 bytes from offset 8.
inline constexpr std::size_t kMaskHeaderReplyBytes = 32;
// The colour slot goes by this number on the wire, whichever code reads it.
inline constexpr int kColourSlotOnWire = 9;

// A piece of a stream for the window's preview (Cmd::MaskUploadMono or Cmd::MaskUploadColour): its
// offset in the stream, the stream's whole size, and at most 480 bytes.
Request MaskUploadChunk(std::uint32_t code, int window, std::uint32_t offset, std::uint32_t total,
    std::span<const std::uint8_t> bytes, Clear clear);
// The uploaded stream shown on the window (kind 1 mono, 2 colour), on a cleared frame.
Request MaskShow(int window, int kind);
// The window's preview taken away.
Request MaskHide(int window, Clear clear);
// The window's uploaded stream kept in a slot (0-based on the wire), or the slot emptied.
Request MaskStore(int window, int slot, Clear clear);
Request MaskDelete(int window, int slot, Clear clear);
// The first 32 bytes of a slot: Cmd::MaskReadHeader with a mono slot, Cmd::MaskReadColourHeader
// with kColourSlotOnWire.
Request MaskReadHeader(std::uint32_t code, int window, int slot, Clear clear);
// The 256 bytes from a stream offset of the slot whose header was read last (Cmd::MaskReadChunk,
// Cmd::MaskReadColourChunk).
Request MaskReadChunk(std::uint32_t code, int window, std::uint32_t offset, Clear clear);
// "S00DMI" with the slot 1..10 (0: off) as a setting query: the window's mask.
Request MaskAssignment(int slot);

// Any of the requests above as the box sees it; each field means something for some codes only.
struct MaskRequestView {
    const FrameView& f;
    int window() const { return f.u8(8); }
    int slot() const { return f.u8(12); }
    bool shown() const { return f.u8(12) != 0; }
    int kind() const { return f.u8(16); }
    std::uint32_t offset() const { return f.u32(12); }
    std::uint32_t total() const { return f.u32(16); }
    // Copies the upload's bytes out, never more than a frame carries.
    void chunk(std::uint8_t* out, std::size_t n) const
    {
        f.copyOut(20, out, std::min(n, kMaskUploadChunkBytes));
    }
};

// The reply to a header read. A slot holds a mask when the header's magic ends in 'E' 'X'.
struct MaskHeaderReplyView {
    const FrameView& f;
    bool holdsMask() const { return f.u8(10) == 'E' && f.u8(11) == 'X'; }
    // The stream's size field as the box states it.
    std::uint32_t size() const { return f.u32(12); }
    void header(std::uint8_t* out) const { f.copyOut(8, out, kMaskHeaderReplyBytes); }
};

// The reply to a piece read.
struct MaskChunkReplyView {
    const FrameView& f;
    void bytes(std::uint8_t* out, std::size_t n) const
    {
        f.copyOut(8, out, std::min(n, kMaskReadChunkBytes));
    }
};

// The box's side: a header reply carries up to 32 stream bytes, a piece reply up to 256; an empty
// slot answers zeros.
void PutMaskHeaderReply(FrameView& reply, std::span<const std::uint8_t> stream);
void PutMaskChunkReply(FrameView& reply, std::span<const std::uint8_t> bytes);
// Overwrites the size field of a header reply.
void PutMaskHeaderSize(FrameView& reply, std::uint32_t size);

} // namespace trivel::proto
