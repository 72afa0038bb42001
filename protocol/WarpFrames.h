#pragma once
// Frames of the warp pages: the Warp Adjust setting texts, the cursor and pattern frames, the
// point mode, the bulk tables, the stored maps, the User Map tables and the warp blocks read
// back. Request builders for the tool, request views and reply builders for the simulated box,
// reply views for the tool.

#include "protocol/Frame.h"
#include "protocol/Request.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <span>

namespace trivel::proto {

// Bytes of the 17 x 17 point offsets: column-major (dx, dy) int16 pairs.
inline constexpr std::size_t kPointBytes = 17 * 17 * 4; // 1156
// A point-mode chunk carries this many of them; three chunks hold all.
inline constexpr std::size_t kPointChunkBytes = 408;
// A stored-map block carries this many; the fifth holds the rest and the corners.
inline constexpr std::size_t kMapBlockBytes = 256;
inline constexpr int kMapBlocks = 5;
// A User Map table chunk: three mesh columns of 78 words.
inline constexpr int kSourceChunkColumns = 3;
inline constexpr std::size_t kSourceColumnWords = 78;

struct OffsetWords {
    std::int16_t x = 0;
    std::int16_t y = 0;
};

// ---- setting texts of the Warp Adjust page ----
// "s0095I": the selected point of the 9 x 5 grid.
Request SelectedPoint(int index);
// "s00WPM": the window's warp mode; the linked form goes as 0x100b.
Request WarpModeSelect(int mode, bool linked);
// "s00UDT": an update step of the bulk tables; step 3 follows the linked form.
Request WarpUpdate(int step, bool linked);
// "s00TLA" .. "s00BRB": corner 0..3 (top-left, top-right, bottom-left, bottom-right), x or y.
Request CornerMove(int corner, bool y, int value, bool linked);
// "s00WLX" / "s00WLY": a wall point along its axis.
Request WallMove(bool y, int value);
// "S0095X" / "S0095Y" as a query: the box echoes the value it took.
Request ControlPointMove(bool y, int value);
// "s00GRD": the spacing of the box's grid pattern.
Request GridSpacing(int spacing);

// The value the box echoes to a 95X / 95Y move: three digits, negative after a '-'.
int ControlPointEcho(const FrameView& reply);

// ---- cursor, pattern and page frames ----
Request ControlCursor(int window, int index, bool shown); // 0x2007
Request UserMapCursor(int window, int column, int row); // 0x2006
Request PatternColour(int window, int code); // 0x2003
// 0x2030 with value 0, which a page show sends first.
Request ShowMarker(int window);

// ---- point mode ----
Request PointModeEnter(int window);
Request PointModePoint(int window, int column, int row, int dx, int dy);
// Chunk 0..2 of the point offsets, taken from `points` (kPointBytes, the box's layout).
Request PointModeChunk(int window, int chunk, std::span<const std::uint8_t> points);

// ---- bulk tables of the confirmed mode ----
// Block 1: the 45 control offsets. Block 2: the 4 corners and the 8 wall points. The setting
// transfer sends block 1 over the frame as it stands (Clear::Head).
Request BulkControlBlock(int mode, std::span<const OffsetWords> control, Clear clear = Clear::Frame);
Request BulkCornerBlock(int mode, std::span<const OffsetWords> corners, std::span<const OffsetWords> wall);
// Block 3: the blend block of a setting transfer: the eight corner positions (32 bytes) and the
// nine region offsets (27 bytes) as the blend record holds them, then the edge-mask corners.
Request BulkBlendBlock(int mode, std::span<const std::uint8_t> corners, std::span<const std::uint8_t> regions,
    std::span<const std::int16_t> maskX, std::span<const std::int16_t> maskY);
// 0x2004: a window of a setting transfer is complete; written over the frame as it stands.
Request TransferWindowEnd(int window);

// ---- stored maps ----
Request SaveWarpMap(int window, int slot, int pattern);
Request QueryWarpMap(int window, int slot);
Request ReadWarpMapBlock(int window, int block);

struct MapSaveReplyView {
    const FrameView& f;
    int slot() const { return f.u8(9); }
};
struct MapQueryReplyView {
    const FrameView& f;
    bool held() const { return f.u8(8) == 1; }
};
// Block 0..3: 256 point bytes from 16; block 4: the last 132 and the corners from 272.
struct MapBlockReplyView {
    const FrameView& f;
    std::uint8_t pointByte(std::size_t k) const { return f.u8(16 + k); }
    std::int16_t pointWord(std::size_t k) const { return f.i16(16 + 2 * k); }
    OffsetWords corner(std::size_t i) const { return {f.i16(272 + 4 * i), f.i16(274 + 4 * i)}; }
};

// ---- User Map tables ----
// Mesh columns first .. first + 2 of a source table (x or y), 78 words each.
Request SourceChunk(bool y, int firstColumn, std::span<const std::uint16_t> table);
Request UserMapApply(int window);
Request UserMapUseStored();
// The eight WALL offsets (corners and edge middles, row by row, centre skipped).
Request UserMapWall(int window, std::span<const OffsetWords> points);

// ---- warp blocks read back ----
Request ReadWarpBlock(std::uint32_t code); // 0x1007, 0x1008, 0x1009

// 0x1007 / 0x1008: the 45 control offsets of two windows.
struct ControlOffsetsReplyView {
    const FrameView& f;
    OffsetWords point(int k, std::size_t i) const
    {
        const std::size_t at = 8 + 180 * std::size_t(k) + 4 * i;
        return {f.i16(at), f.i16(at + 2)};
    }
};
// 0x1009: the mode, the 8 wall points and the 4 corners of every window.
struct WarpTableCReplyView {
    const FrameView& f;
    std::uint8_t mode(std::size_t w) const { return f.u8(8 + w); }
    OffsetWords wall(std::size_t w, std::size_t i) const
    {
        return {f.i16(16 + 32 * w + 4 * i), f.i16(18 + 32 * w + 4 * i)};
    }
    OffsetWords corner(std::size_t w, std::size_t i) const
    {
        return {f.i16(144 + 16 * w + 4 * i), f.i16(146 + 16 * w + 4 * i)};
    }
};

// ---- the box's side ----
struct ControlCursorView {
    const FrameView& f;
    int window() const { return f.u8(8); }
    int index() const { return f.u8(9); }
    bool shown() const { return f.u8(10) != 0; }
};
struct PatternColourView {
    const FrameView& f;
    int window() const { return f.u8(8); }
    int code() const { return f.u8(9); }
};
struct PointModePointView {
    const FrameView& f;
    int window() const { return f.u8(8); }
    int column() const { return f.u8(10); }
    int row() const { return f.u8(11); }
    std::int32_t dx() const { return f.i32(16); }
    std::int32_t dy() const { return f.i32(20); }
};
struct PointModeChunkView {
    const FrameView& f;
    int window() const { return f.u8(8); }
    int chunk() const { return f.u8(9); }
    // The bytes of chunk 0..2 (none for another), copied to their place in `points`.
    void copyTo(std::span<std::uint8_t> points) const;
};
struct BulkBlockView {
    const FrameView& f;
    int block() const { return f.u8(8); }
    int mode() const { return f.u8(9); }
    std::int16_t controlWord(std::size_t k) const { return f.i16(12 + 2 * k); } // block 1
    std::int16_t cornerWord(std::size_t k) const { return f.i16(12 + 2 * k); } // block 2
    std::int16_t wallWord(std::size_t k) const { return f.i16(50 + 2 * k); } // block 2
};
struct MapRequestView {
    const FrameView& f;
    int window() const { return f.u8(8); }
    int slot() const { return f.u8(9); }
    int pattern() const { return f.u8(12); } // a save
    int block() const { return f.u8(12); } // a block read
};
struct SourceChunkView {
    const FrameView& f;
    std::size_t firstColumn() const { return f.u8(8); }
    std::size_t columns() const { return f.u8(9); }
    // Copies the chunk's columns into a table of `tableColumns` columns; false when they do not fit.
    bool copyTo(std::span<std::uint8_t> table, std::size_t tableColumns) const;
};
struct UserMapWallView {
    const FrameView& f;
    int window() const { return f.u8(8); }
    std::int16_t word(std::size_t k) const { return f.i16(32 + 2 * k); }
};

void PutControlOffsetWord(FrameView& reply, int k, std::size_t word, std::int16_t v);
void PutWarpTableC(FrameView& reply, std::size_t w, std::uint8_t mode, std::span<const std::int16_t> wall,
    std::span<const std::int16_t> corners);
// Every map reply names its window at 8; a save its slot at 9; a query whether the slot holds
// a map (8) and the slot (9); a block read its block at 12, then the block's point bytes from 16
// and, in block 4, the corners from 272.
void PutMapReplyHead(FrameView& reply, int window);
void PutMapSaveReply(FrameView& reply, int slot);
void PutMapQueryReply(FrameView& reply, bool held, int slot);
void PutMapBlockNumber(FrameView& reply, int block);
void PutMapBlock(
    FrameView& reply, std::span<const std::uint8_t> pointBytes, std::span<const std::int16_t> corners);

} // namespace trivel::proto
