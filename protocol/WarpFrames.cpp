#include "protocol/WarpFrames.h"

#include "protocol/SettingCodec.h"

#include <array>

namespace trivel::proto {

namespace {

// The warp texts go out over a wholly cleared buffer.
Request Text(std::uint32_t code, const char* tpl, int value)
{
    SettingCommand cmd = MakeSettingCommand(tpl);
    EncodeSettingValue(value, cmd);
    return Request(code, Clear::All).setting(cmd);
}

Request WindowFrame(std::uint32_t code, int window)
{
    return Request(code, Clear::Frame).u8(8, std::uint8_t(window));
}

void PutPairs(Request& r, std::size_t at, std::span<const OffsetWords> pairs)
{
    for (std::size_t i = 0; i < pairs.size(); ++i)
        r.i16(at + 4 * i, pairs[i].x).i16(at + 4 * i + 2, pairs[i].y);
}

} // namespace

Request SelectedPoint(int index)
{
    return Text(Cmd::Setting, "s0095I+000", index);
}

Request WarpModeSelect(int mode, bool linked)
{
    return Text(linked ? Cmd::SettingAlt : Cmd::Setting, "s00WPM+006", mode);
}

Request WarpUpdate(int step, bool linked)
{
    return Text(step == 3 && linked ? Cmd::SettingAlt : Cmd::Setting, "s00UDT+001", step);
}

Request CornerMove(int corner, bool y, int value, bool linked)
{
    // TLA is x of the top-left corner: B for a bottom corner, R for a right one, B for y.
    SettingCommand cmd = MakeSettingCommand("s00TLA+000");
    if (corner >= 2)
        PatchLetter(cmd, 3, 'B');
    if (corner & 1)
        PatchLetter(cmd, 4, 'R');
    PatchLetter(cmd, 5, y ? 'B' : 'A');
    EncodeSettingValue(value, cmd);
    return Request(linked ? Cmd::SettingAlt : Cmd::Setting, Clear::All).setting(cmd);
}

Request WallMove(bool y, int value)
{
    return Text(Cmd::Setting, y ? "s00WLY+000" : "s00WLX+000", value);
}

Request ControlPointMove(bool y, int value)
{
    return Text(Cmd::SettingQuery, y ? "S0095Y+000" : "S0095X+000", value);
}

Request GridSpacing(int spacing)
{
    return Text(Cmd::Setting, "s00GRD+000", spacing);
}

int ControlPointEcho(const FrameView& reply)
{
    const int value = DecodeSettingDigits(reply);
    return reply.u8(14) == '-' ? -value : value;
}

Request ControlCursor(int window, int index, bool shown)
{
    return WindowFrame(Cmd::ControlCursor, window).u8(9, std::uint8_t(index)).u8(10, shown ? 1 : 0);
}

Request UserMapCursor(int window, int column, int row)
{
    return WindowFrame(Cmd::UserMapCursor, window)
        .u8(9, std::uint8_t(column))
        .u8(10, std::uint8_t(row))
        .u8(11, 1);
}

Request PatternColour(int window, int code)
{
    return WindowFrame(Cmd::TestPatternColour, window).u8(9, std::uint8_t(code));
}

Request ShowMarker(int window)
{
    return WindowFrame(Cmd::BlendMarker, window).u8(9, 0);
}

Request PointModeEnter(int window)
{
    return WindowFrame(Cmd::PointModeEnter, window);
}

Request PointModePoint(int window, int column, int row, int dx, int dy)
{
    return WindowFrame(Cmd::PointModePoint, window)
        .u8(10, std::uint8_t(column))
        .u8(11, std::uint8_t(row))
        .u8(12, 1)
        .i32(16, dx)
        .i32(20, dy);
}

Request PointModeChunk(int window, int chunk, std::span<const std::uint8_t> points)
{
    Request r = WindowFrame(Cmd::PointModeChunk, window).u8(9, std::uint8_t(chunk));
    const std::size_t first = std::size_t(std::clamp(chunk, 0, 2)) * kPointChunkBytes;
    const std::size_t end = std::min({first + kPointChunkBytes, kPointBytes, points.size()});
    if (first < end)
        r.bytes(32, points.subspan(first, end - first));
    return r;
}

Request BulkControlBlock(int mode, std::span<const OffsetWords> control, Clear clear)
{
    Request r(Cmd::BulkWarpBlock, clear);
    r.u8(8, 1).u8(9, std::uint8_t(mode));
    PutPairs(r, 12, control);
    return r;
}

Request BulkCornerBlock(int mode, std::span<const OffsetWords> corners, std::span<const OffsetWords> wall)
{
    Request r(Cmd::BulkWarpBlock, Clear::Frame);
    r.u8(8, 2).u8(9, std::uint8_t(mode));
    PutPairs(r, 12, corners);
    PutPairs(r, 50, wall);
    return r;
}

Request BulkBlendBlock(int mode, std::span<const std::uint8_t> corners, std::span<const std::uint8_t> regions,
    std::span<const std::int16_t> maskX, std::span<const std::int16_t> maskY)
{
    Request r(Cmd::BulkWarpBlock, Clear::Frame);
    r.u8(8, 3).u8(9, std::uint8_t(mode));
    r.bytes(12, corners.first(std::min<std::size_t>(corners.size(), 32)));
    r.bytes(50, regions.first(std::min<std::size_t>(regions.size(), 27)));
    for (std::size_t c = 0; c < std::min<std::size_t>(maskX.size(), 8); ++c)
        r.i16(80 + 2 * c, maskX[c]);
    for (std::size_t c = 0; c < std::min<std::size_t>(maskY.size(), 8); ++c)
        r.i16(120 + 2 * c, maskY[c]);
    return r;
}

Request TransferWindowEnd(int window)
{
    return Request(Cmd::TransferWindowEnd, Clear::None).u32(8, 0xFFFFFF00u | std::uint32_t(window & 0xFF));
}

Request SaveWarpMap(int window, int slot, int pattern)
{
    return WindowFrame(Cmd::SaveWarpMap, window).u8(9, std::uint8_t(slot)).u8(12, std::uint8_t(pattern));
}

Request QueryWarpMap(int window, int slot)
{
    return WindowFrame(Cmd::QueryWarpMap, window).u8(9, std::uint8_t(slot)).u8(12, 0);
}

Request ReadWarpMapBlock(int window, int block)
{
    return WindowFrame(Cmd::ReadWarpMapBlock, window).u8(9, 0).u8(12, std::uint8_t(block));
}

Request SourceChunk(bool y, int firstColumn, std::span<const std::uint16_t> table)
{
    Request r(y ? Cmd::UserMapSourceY : Cmd::UserMapSourceX, Clear::Frame);
    r.u8(8, std::uint8_t(firstColumn)).u8(9, kSourceChunkColumns);
    const std::size_t first = std::size_t(std::max(firstColumn, 0)) * kSourceColumnWords;
    constexpr std::size_t kWords = kSourceChunkColumns * kSourceColumnWords;
    const std::size_t n = first < table.size() ? std::min(kWords, table.size() - first) : 0;
    // Little-endian words laid in as one run: a chunk is sent 88 times a transfer.
    std::array<std::uint8_t, 2 * kWords> words{};
    for (std::size_t i = 0; i < n; ++i) {
        words[2 * i] = std::uint8_t(table[first + i]);
        words[2 * i + 1] = std::uint8_t(table[first + i] >> 8);
    }
    r.bytes(32, std::span(words).first(2 * n));
    return r;
}

Request UserMapApply(int window)
{
    return WindowFrame(Cmd::UserMapApply, window);
}

Request UserMapUseStored()
{
    return Request(Cmd::UserMapUseStored, Clear::Frame);
}

Request UserMapWall(int window, std::span<const OffsetWords> points)
{
    Request r = WindowFrame(Cmd::UserMapWall, window);
    PutPairs(r, 32, points);
    return r;
}

Request ReadWarpBlock(std::uint32_t code)
{
    return Request(code, Clear::Frame);
}

void PointModeChunkView::copyTo(std::span<std::uint8_t> points) const
{
    if (chunk() > 2)
        return;
    const std::size_t first = std::size_t(chunk()) * kPointChunkBytes;
    const std::size_t end = std::min({first + kPointChunkBytes, kPointBytes, points.size()});
    if (first < end)
        f.copyOut(32, points.data() + first, end - first);
}

bool SourceChunkView::copyTo(std::span<std::uint8_t> table, std::size_t tableColumns) const
{
    const std::size_t bytes = columns() * kSourceColumnWords * 2;
    const std::size_t at = firstColumn() * kSourceColumnWords * 2;
    if (firstColumn() + columns() > tableColumns || !f.fits(32, bytes) || at + bytes > table.size())
        return false;
    f.copyOut(32, table.data() + at, bytes);
    return true;
}

void PutControlOffsetWord(FrameView& reply, int k, std::size_t word, std::int16_t v)
{
    reply.put16(8 + 180 * std::size_t(k) + 2 * word, std::uint16_t(v));
}

void PutWarpTableC(FrameView& reply, std::size_t w, std::uint8_t mode, std::span<const std::int16_t> wall,
    std::span<const std::int16_t> corners)
{
    reply.put8(8 + w, mode);
    for (std::size_t i = 0; i < wall.size(); ++i)
        reply.put16(16 + 32 * w + 2 * i, std::uint16_t(wall[i]));
    for (std::size_t i = 0; i < corners.size(); ++i)
        reply.put16(144 + 16 * w + 2 * i, std::uint16_t(corners[i]));
}

void PutMapReplyHead(FrameView& reply, int window)
{
    reply.put8(8, std::uint8_t(window));
}

void PutMapSaveReply(FrameView& reply, int slot)
{
    reply.put8(9, std::uint8_t(slot));
}

void PutMapQueryReply(FrameView& reply, bool held, int slot)
{
    reply.put8(8, held ? 1 : 0);
    reply.put8(9, std::uint8_t(slot));
}

void PutMapBlockNumber(FrameView& reply, int block)
{
    reply.put8(12, std::uint8_t(block));
}

void PutMapBlock(
    FrameView& reply, std::span<const std::uint8_t> pointBytes, std::span<const std::int16_t> corners)
{
    reply.copyIn(16, pointBytes.data(), pointBytes.size());
    for (std::size_t i = 0; i < corners.size(); ++i)
        reply.put16(272 + 2 * i, std::uint16_t(corners[i]));
}

} // namespace trivel::proto
