#include "warp/ControlGrid.h"

#include "warp/WarpAdjustState.h"

#include <algorithm>

namespace trivel {

namespace {

constexpr int kPatternColours[kPatternColourCount] = {0, 7, 1, 2, 4, 6, 5, 3, 15};

} // namespace

bool HasControlGrid(int mode)
{
    return mode == WarpMode::Keystone || mode == WarpMode::Grid3x3 || mode == WarpMode::Grid5x3
        || mode == WarpMode::Grid9x5 || mode == WarpMode::Wall || mode == WarpMode::Points;
}

int ControlIndex(const CursorPos& c)
{
    return std::clamp(c.row * 9 + c.column, 0, kControlPoints - 1);
}

int CornerIndex(const CursorPos& c)
{
    return (c.column > 0 ? 1 : 0) + (c.row > 0 ? 2 : 0);
}

int WallIndex(const CursorPos& c)
{
    int i = (c.row / 2) * 3 + c.column / 4;
    if (i > 4)
        --i;
    return std::clamp(i, 0, kWallPoints - 1);
}

std::int16_t ClampOffset(int v)
{
    return std::int16_t(std::clamp(v, -kOffsetLimit, kOffsetLimit));
}

int BulkMode(int mode)
{
    return mode == WarpMode::Points ? WarpMode::Grid9x5 : mode;
}

CursorPos CurrentCursor(const WarpModel& m)
{
    return m.ControlPattern == WarpMode::Points ? m.GridCursor : m.ControlCursor;
}

WarpDir Opposite(WarpDir dir)
{
    switch (dir) {
    case WarpDir::Left:
        return WarpDir::Right;
    case WarpDir::Right:
        return WarpDir::Left;
    case WarpDir::Up:
        return WarpDir::Down;
    default:
        return WarpDir::Up;
    }
}

int ColumnStep(WarpDir dir)
{
    return dir == WarpDir::Left ? -1 : (dir == WarpDir::Right ? 1 : 0);
}

int RowStep(WarpDir dir)
{
    return dir == WarpDir::Up ? -1 : (dir == WarpDir::Down ? 1 : 0);
}

int PatternColourCode(int index)
{
    return index >= 0 && index < kPatternColourCount ? kPatternColours[index] : 0;
}

} // namespace trivel
