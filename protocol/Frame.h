#pragma once
// Request/reply buffers, the frame layout and the command codes of the box protocol.

#include <array>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace trivel {

inline constexpr std::size_t kBufferSize = 2048; // RequestBuffer / ReplyBuffer
inline constexpr std::size_t kFrameSize = kBufferSize - 1; // frame starts at byte 1 (byte 0: HID report id)
inline constexpr std::size_t kTcpFrameSize = 512;
inline constexpr std::size_t kCodeOffset = 4;

using FrameBuffer = std::array<std::uint8_t, kBufferSize>;

// Bounds-checked little-endian access to a frame. Out-of-range reads give 0 and
// out-of-range writes are dropped, so a short or hostile reply can never walk off a buffer.
class FrameView {
public:
    FrameView(std::uint8_t* data, std::size_t size)
        : m_data(data)
        , m_size(size)
    {
    }
    static FrameView ofBuffer(FrameBuffer& b) { return FrameView(b.data() + 1, kFrameSize); }

    std::size_t size() const { return m_size; }
    std::uint8_t* data() { return m_data; }
    const std::uint8_t* data() const { return m_data; }
    bool fits(std::size_t off, std::size_t n) const { return off <= m_size && n <= m_size - off; }

    std::uint8_t u8(std::size_t off) const { return fits(off, 1) ? m_data[off] : 0; }
    std::uint16_t u16(std::size_t off) const
    {
        return fits(off, 2) ? std::uint16_t(m_data[off] | m_data[off + 1] << 8) : 0;
    }
    std::int16_t i16(std::size_t off) const { return std::int16_t(u16(off)); }
    std::uint32_t u32(std::size_t off) const
    {
        if (!fits(off, 4))
            return 0;
        return std::uint32_t(m_data[off]) | std::uint32_t(m_data[off + 1]) << 8
            | std::uint32_t(m_data[off + 2]) << 16 | std::uint32_t(m_data[off + 3]) << 24;
    }
    std::int32_t i32(std::size_t off) const { return std::int32_t(u32(off)); }
    std::uint32_t code() const { return u32(kCodeOffset); }

    void put8(std::size_t off, std::uint8_t v)
    {
        if (fits(off, 1))
            m_data[off] = v;
    }
    void put16(std::size_t off, std::uint16_t v)
    {
        put8(off, std::uint8_t(v));
        put8(off + 1, std::uint8_t(v >> 8));
    }
    void put32(std::size_t off, std::uint32_t v)
    {
        for (int i = 0; i < 4; ++i)
            put8(off + i, std::uint8_t(v >> (8 * i)));
    }
    void setCode(std::uint32_t c) { put32(kCodeOffset, c); }

    // Copies n bytes out (zero-filling whatever lies beyond the frame).
    void copyOut(std::size_t off, void* dst, std::size_t n) const
    {
        auto* d = static_cast<std::uint8_t*>(dst);
        for (std::size_t i = 0; i < n; ++i)
            d[i] = u8(off + i);
    }
    // Nothing to copy returns early: an empty source (an empty slot's vector) may be null, and
    // memcpy must not see a null pointer even for zero bytes.
    void copyIn(std::size_t off, const void* src, std::size_t n)
    {
        // memcpy wants a valid source even for 0 bytes; an empty copy may come with none.
        if (n > 0 && fits(off, n))
            std::memcpy(m_data + off, src, n);
    }

private:
    std::uint8_t* m_data;
    std::size_t m_size;
};

// Command codes written at frame offset 4.
namespace Cmd {
inline constexpr std::uint32_t Identify = 0x0001;
inline constexpr std::uint32_t FwShortStart = 0x0011;
inline constexpr std::uint32_t FwShortData = 0x0012;
inline constexpr std::uint32_t FwShortEnd = 0x0013;
inline constexpr std::uint32_t FwShortCommit = 0x0014;
inline constexpr std::uint32_t FwPrefixedStart = 0x0015;
inline constexpr std::uint32_t FwPrefixedData = 0x0016;
inline constexpr std::uint32_t FwPrefixedEnd = 0x0017;
inline constexpr std::uint32_t FwLargeBoardQuery = 0x0090;
inline constexpr std::uint32_t FwLargeStart = 0x0091;
inline constexpr std::uint32_t FwLargeData = 0x0092;
inline constexpr std::uint32_t FwLargeEnd = 0x0093;
inline constexpr std::uint32_t ReadNetwork = 0x1000;
inline constexpr std::uint32_t ReadWindowSettings = 0x1001;
inline constexpr std::uint32_t Setting = 0x1002;
inline constexpr std::uint32_t WriteNetwork = 0x1003;
inline constexpr std::uint32_t Status = 0x1006;
inline constexpr std::uint32_t ReadWarpA = 0x1007;
inline constexpr std::uint32_t ReadWarpB = 0x1008;
inline constexpr std::uint32_t ReadWarpC = 0x1009;
inline constexpr std::uint32_t ReadBlend = 0x100a;
inline constexpr std::uint32_t SettingAlt = 0x100b;
inline constexpr std::uint32_t SettingQuery = 0x100c;
inline constexpr std::uint32_t MaskShow = 0x1020;
inline constexpr std::uint32_t MaskUploadMono = 0x1021;
inline constexpr std::uint32_t MaskStore = 0x1022;
inline constexpr std::uint32_t MaskDelete = 0x1023;
inline constexpr std::uint32_t MaskReadHeader = 0x1025;
inline constexpr std::uint32_t MaskReadChunk = 0x1026;
inline constexpr std::uint32_t MaskUploadColour = 0x1027;
inline constexpr std::uint32_t MaskReadColourHeader = 0x1029;
inline constexpr std::uint32_t MaskReadColourChunk = 0x102a;
inline constexpr std::uint32_t PointModeEnter = 0x1200;
inline constexpr std::uint32_t PointModePoint = 0x1201;
inline constexpr std::uint32_t PointModeChunk = 0x1202;
inline constexpr std::uint32_t RegisterRead = 0x2002;
inline constexpr std::uint32_t TestPatternColour = 0x2003;
inline constexpr std::uint32_t TransferWindowEnd = 0x2004;
inline constexpr std::uint32_t RegisterWrite = 0x2005;
inline constexpr std::uint32_t UserMapCursor = 0x2006;
inline constexpr std::uint32_t ControlCursor = 0x2007;
inline constexpr std::uint32_t UserMapSourceX = 0x2010;
inline constexpr std::uint32_t UserMapSourceY = 0x2011;
inline constexpr std::uint32_t UserMapApply = 0x2012;
inline constexpr std::uint32_t SaveWarpMap = 0x2013;
inline constexpr std::uint32_t UserMapUseStored = 0x2014;
inline constexpr std::uint32_t CurrentWindowChanged = 0x2015;
inline constexpr std::uint32_t QueryWarpMap = 0x2016;
inline constexpr std::uint32_t ReadWarpMapBlock = 0x2017;
inline constexpr std::uint32_t UserMapWall = 0x2020;
inline constexpr std::uint32_t BlendMarker = 0x2030;
inline constexpr std::uint32_t BulkWarpBlock = 0x3000;
inline constexpr std::uint32_t TestRequest = 0xf123;
inline constexpr std::uint32_t Restart = 0x12345678;

// The box answers every request but the restart; the test request's answer is not awaited.
constexpr bool AwaitsReply(std::uint32_t code)
{
    return code != Restart && code != TestRequest;
}
} // namespace Cmd

} // namespace trivel
