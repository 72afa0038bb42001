#pragma once
// A request frame as a value: the fields a sender writes and how much of the previous frame it
// clears first. The exchange lays it over the request buffer at send time, so a request that
// clears less than the whole buffer still carries the earlier frame's bytes beyond its own fields,
// as the box has always seen them.

#include "protocol/Frame.h"
#include "protocol/SettingCodec.h"

#include <array>
#include <cstdint>
#include <span>

namespace trivel {

// Bytes of the request buffer (report id included) cleared before the fields are written.
enum class Clear : std::uint16_t {
    None = 0, // only the request's own fields change
    Head = 4, // the report id and frame bytes 0..2
    Frame = 512,
    All = kBufferSize,
};

class Request {
public:
    // Frame offsets a request may write: no request uses more than the first 500 bytes.
    static constexpr std::size_t kFields = kTcpFrameSize;

    explicit Request(std::uint32_t code, Clear clear = Clear::All);

    std::uint32_t code() const { return m_code; }
    Clear clear() const { return m_clear; }

    // Field writers at frame offsets; a write past kFields is a programming error.
    Request& u8(std::size_t offset, std::uint8_t v);
    Request& u16(std::size_t offset, std::uint16_t v);
    Request& i16(std::size_t offset, std::int16_t v) { return u16(offset, std::uint16_t(v)); }
    Request& u32(std::size_t offset, std::uint32_t v);
    Request& i32(std::size_t offset, std::int32_t v) { return u32(offset, std::uint32_t(v)); }
    Request& bytes(std::size_t offset, std::span<const std::uint8_t> data);
    // The 12-character setting command at offsets 8..19.
    Request& setting(const SettingCommand& cmd);

    // What the field at offset holds in this request (0 where it writes nothing).
    std::uint8_t at(std::size_t offset) const { return offset < kFields ? m_bytes[offset] : 0; }
    bool writes(std::size_t offset) const
    {
        return offset < kFields && (m_written[offset / 64] >> (offset % 64) & 1) != 0;
    }

    // Clears the buffer as the request says, then writes the code and the fields.
    void applyTo(FrameBuffer& buffer) const;

    // A request that writes every field of a whole frame: what a buffer-composed sender built.
    static Request fromFrame(const FrameBuffer& buffer, Clear clear);

private:
    void mark(std::size_t offset, std::size_t n);
    // The first offset from `from` on that is written (or, with written false, not written).
    std::size_t next(std::size_t from, bool written) const;

    std::uint32_t m_code;
    Clear m_clear;
    std::array<std::uint8_t, kFields> m_bytes{};
    // One bit per field offset, a word at a time: an upload piece marks and lays 480 in a row.
    std::array<std::uint64_t, kFields / 64> m_written{};
};

} // namespace trivel
