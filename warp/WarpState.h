#pragma once
// Warp state of the four windows: the per-window model the user edits and the shared tables
// (live grid, splines, source lookup tables) that always describe the current WarpWindow.

#include <array>
#include <cstddef>
#include <cstdint>

namespace trivel {

inline constexpr int kGridSize = 17; // 17 x 17 control grid
inline constexpr int kGridIntervals = kGridSize - 1;
inline constexpr int kSourceTableColumns = 132; // mesh columns the box's table holds
inline constexpr int kSourceTableRows = 78; // mesh rows per mesh column
inline constexpr int kSourceTableEntries = kSourceTableColumns * kSourceTableRows;
inline constexpr std::size_t kSourceTableBytes = kSourceTableEntries * 2; // 20592
inline constexpr int kMeshStep = 16; // output pixels between mesh points
// Largest frame whose mesh still fits the source tables.
inline constexpr int kMaxWarpFrameWidth = (kSourceTableColumns - 1) * kMeshStep; // 2096
inline constexpr int kMaxWarpFrameHeight = (kSourceTableRows - 1) * kMeshStep; // 1232
// Below this the base grid has coinciding lines and no spline can pass through them.
inline constexpr int kMinWarpFrameSize = kGridIntervals;

struct CursorPos {
    std::int16_t column = 0;
    std::int16_t row = 0;
    bool operator==(const CursorPos&) const = default;
};

struct GridPoint {
    float x = 0.0f;
    float y = 0.0f;
    bool operator==(const GridPoint&) const = default;
};

struct OffsetPair {
    std::int16_t dx = 0;
    std::int16_t dy = 0;
    bool operator==(const OffsetPair&) const = default;
};

// Value at distance t past the segment's first knot: a + b t + c t^2 + d t^3.
struct SplineSegment {
    float a = 0.0f;
    float b = 0.0f;
    float c = 0.0f;
    float d = 0.0f;
};

// [column k][row j], column-major as the box and the setting files lay it out.
template <typename T> using GridArray = std::array<std::array<T, kGridSize>, kGridSize>;
using SplineSet = std::array<SplineSegment, kGridIntervals>;

enum Corner { TopLeft = 0, TopRight = 1, BottomLeft = 2, BottomRight = 3 };

// Coarse patterns of the User Map page (WarpPattern).
enum WarpPatternId : std::uint8_t {
    Pattern2x2 = 0,
    Pattern3x3 = 1,
    Pattern5x3 = 2,
    Pattern5x5 = 3,
    Pattern9x5 = 4,
    Pattern9x9 = 5,
    Pattern17x17 = 6,
    PatternWall = 7,
    PatternWallMiddle = 8, // masks only, for the WALL cursor on the middle row or column
};

struct WarpModel {
    std::int32_t frameWidth = 1920;
    std::int32_t frameHeight = 1080;
    std::int32_t MeshColumns = 120;
    std::int32_t MeshRows = 68;
    std::array<std::int32_t, kGridSize> BaseGridX{};
    std::array<std::int32_t, kGridSize> BaseGridY{};
    GridArray<GridPoint> UserGrid{};
    GridArray<OffsetPair> PointOffsets{};
    GridArray<OffsetPair> WallOffsets{};
    std::array<GridPoint, 4> CornerBase{}; // Corner order
    std::array<OffsetPair, 4> CornerOffsets{};
    std::array<GridPoint, 4> CornerPositions{};
    std::uint8_t WarpPattern = 0;
    std::int32_t ActiveColumnCount = 2;
    std::int32_t ActiveRowCount = 2;
    CursorPos GridCursor; // 17 x 17 grid of the User Map page
    std::uint8_t ControlPattern = 0; // Warp Adjust mode
    CursorPos ControlCursor; // 9 x 5 control grid of the Warp Adjust page
};

struct WarpState {
    // Every window starts with a 1920 x 1080 frame; WarpWindow ends at 0.
    WarpState();

    std::int32_t WarpWindow = 0;
    std::array<WarpModel, 4> model{};

    WarpModel& current() { return model.at(static_cast<std::size_t>(WarpWindow)); }
    const WarpModel& current() const { return model.at(static_cast<std::size_t>(WarpWindow)); }

    // Shared by all windows; rebuilt for the current window before every transfer.
    GridArray<GridPoint> LiveGrid{};
    std::array<SplineSet, kGridSize> RowSplines{}; // y over x, per grid row
    std::array<SplineSet, kGridSize> ColumnSplines{}; // x over y, per grid column
    SplineSet HorizontalInverse{}; // of the mesh row being computed
    std::array<SplineSet, kSourceTableColumns> VerticalInverses{}; // per mesh column
    // Entry (l, n) at l * 78 + n: source position of output pixel (16 l, 16 n) in 1/16 pixel,
    // as the low 16 bits of a value in -16384..49151.
    std::array<std::uint16_t, kSourceTableEntries> SourceXTable{};
    std::array<std::uint16_t, kSourceTableEntries> SourceYTable{};

private:
    struct Uninitialised { };
    explicit WarpState(Uninitialised) { }
};

// Entries of mesh points more than one grid interval outside the grid: -1024 and 3068 pixels.
inline constexpr std::uint16_t kSourceBeforeGrid = 0xC000;
inline constexpr std::uint16_t kSourceBeyondGrid = 3068 * 16;

inline constexpr int SourceTableIndex(int meshColumn, int meshRow)
{
    return meshColumn * kSourceTableRows + meshRow;
}

} // namespace trivel
