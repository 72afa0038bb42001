#include "warp/WarpModel.h"

#include <cmath>
#include <limits>
#include <utility>

Q_LOGGING_CATEGORY(lcWarp, "trivel.warp")

namespace trivel {

namespace {

// Distance between active grid lines per pattern 0..8 (a line is active when its index is a
// multiple of the step).
constexpr std::array<int, 9> kColumnStep{16, 8, 4, 4, 2, 2, 1, 8, 16};
constexpr std::array<int, 9> kRowStep{16, 8, 8, 4, 4, 2, 1, 8, 16};
constexpr std::array<int, 8> kActiveColumns{2, 3, 5, 5, 9, 9, 17, 1};
constexpr std::array<int, 8> kActiveRows{2, 3, 3, 5, 5, 9, 17, 1};

// Control grid (9 x 5) table entries 1..6; entry 0 is unused.
constexpr std::array<int, 7> kControlColumnStep{8, 8, 4, 2, 1, 4, 8};
constexpr std::array<int, 7> kControlRowStep{4, 4, 2, 2, 1, 2, 4};

constexpr int kLast = kGridSize - 1;
constexpr int kControlColumns = 9;
constexpr int kControlRows = 5;
constexpr std::uint8_t kControlWall = 16;

using KnotRow = std::array<float, kGridSize>;

struct ActiveLines {
    std::array<int, kGridSize> index{};
    int count = 0;
};

ActiveLines activeColumns(std::uint8_t pattern)
{
    ActiveLines lines;
    for (int k = 0; k < kGridSize; ++k) {
        if (ColumnMask(pattern, k))
            lines.index[lines.count++] = k;
    }
    return lines;
}

ActiveLines activeRows(std::uint8_t pattern)
{
    ActiveLines lines;
    for (int j = 0; j < kGridSize; ++j) {
        if (RowMask(pattern, j))
            lines.index[lines.count++] = j;
    }
    return lines;
}

// (d * far + (m - d) * near) / m, the straight line between two active points.
float between(float nearValue, float farValue, int d, int m)
{
    return static_cast<float>((double(d) * farValue + double(m - d) * nearValue) / m);
}

// Step 1 (rows) and step 2 (columns) of the fill-in share this shape: a spline through the
// active points of each active line, then the points between consecutive active points get
// their position along the line by linear interpolation and across it from the spline.
// along(line, i) and across(line, i) address a coordinate of point i of a line.
template <typename Along, typename Across>
void fillActiveLines(const ActiveLines& lines, const ActiveLines& knots, Along along, Across across)
{
    std::array<SplineSet, kGridSize> sets{};
    for (int r = 0; r < lines.count; ++r) {
        KnotRow x{}, y{};
        for (int i = 0; i < knots.count; ++i) {
            x[i] = along(lines.index[r], knots.index[i]);
            y[i] = across(lines.index[r], knots.index[i]);
        }
        BuildCubicSegments(x.data(), y.data(), knots.count, sets[r].data());
    }
    for (int r = 0; r < lines.count; ++r) {
        const int line = lines.index[r];
        for (int g = 0; g + 1 < knots.count; ++g) {
            const int p = knots.index[g];
            const int q = knots.index[g + 1];
            const int m = q - p;
            const float xp = along(line, p);
            const float xq = along(line, q);
            for (int d = 1; d < m; ++d) {
                const float pos = between(xp, xq, d, m);
                along(line, p + d) = pos;
                across(line, p + d) = EvaluateSegment(sets[r][g], static_cast<float>(double(pos) - xp));
            }
        }
    }
}

void fillInactivePoints(WarpModel& m)
{
    const std::uint8_t p = m.WarpPattern;
    const ActiveLines cols = activeColumns(p);
    const ActiveLines rows = activeRows(p);
    auto& g = m.UserGrid;

    if (m.ActiveColumnCount != kGridSize) {
        fillActiveLines(
            rows, cols, [&](int j, int k) -> float& { return g[k][j].x; },
            [&](int j, int k) -> float& { return g[k][j].y; });
    }
    if (m.ActiveRowCount != kGridSize) {
        fillActiveLines(
            cols, rows, [&](int k, int j) -> float& { return g[k][j].y; },
            [&](int k, int j) -> float& { return g[k][j].x; });
    }
    if (p == Pattern17x17)
        return;
    // Points off the active rows take x from their row, points off the active columns y from
    // their column; a point in an active row keeps its y from the row spline.
    for (int j = 0; j < kGridSize; ++j) {
        if (RowMask(p, j))
            continue;
        for (int i = 0; i + 1 < cols.count; ++i) {
            const int a = cols.index[i], b = cols.index[i + 1];
            for (int d = 1; d < b - a; ++d)
                g[a + d][j].x = between(g[a][j].x, g[b][j].x, d, b - a);
        }
    }
    for (int k = 0; k < kGridSize; ++k) {
        if (ColumnMask(p, k))
            continue;
        for (int i = 0; i + 1 < rows.count; ++i) {
            const int a = rows.index[i], b = rows.index[i + 1];
            for (int d = 1; d < b - a; ++d)
                g[k][a + d].y = between(g[k][a].y, g[k][b].y, d, b - a);
        }
    }
}

float toFloat(double v)
{
    return static_cast<float>(v);
}

// Steps a cursor coordinate: wraps at the ends (and stops there), otherwise keeps going in the
// step's direction over inactive lines. Both ends are active in every mask.
template <typename Active> int stepCursor(int pos, int delta, int last, Active active)
{
    pos += delta;
    if (pos < 0)
        return last;
    if (pos > last)
        return 0;
    const int dir = delta > 0 ? 1 : -1;
    while (!active(pos) && pos + dir >= 0 && pos + dir <= last)
        pos += dir;
    return pos;
}

} // namespace

WarpState::WarpState()
{
    // The same for every session (and a fuzz run makes one per input): computed once, then copied.
    static const WarpState initial = [] {
        WarpState w{Uninitialised{}};
        for (w.WarpWindow = 3; w.WarpWindow >= 0; --w.WarpWindow)
            InitWarpWindow(w);
        w.WarpWindow = 0;
        return w;
    }();
    *this = initial;
}

bool WarpFrameSizeFits(int width, int height)
{
    return width >= kMinWarpFrameSize && width <= kMaxWarpFrameWidth && height >= kMinWarpFrameSize
        && height <= kMaxWarpFrameHeight;
}

bool SetWarpFrameSize(WarpState& state, int width, int height)
{
    if (!WarpFrameSizeFits(width, height)) {
        qCWarning(lcWarp) << "frame size" << width << "x" << height << "of window" << state.WarpWindow
                          << "does not fit the warp tables; kept" << state.current().frameWidth << "x"
                          << state.current().frameHeight;
        return false;
    }
    WarpModel& m = state.current();
    m.frameWidth = width;
    m.frameHeight = height;
    m.MeshColumns = (width - 1) / kMeshStep + 1;
    m.MeshRows = (height - 1) / kMeshStep + 1;
    ResetWarpWindow(state);
    ResetGridPositions(state);
    return true;
}

void InitWarpWindow(WarpState& state)
{
    SetWarpFrameSize(state, 1920, 1080);
}

void ResetWarpWindow(WarpState& state)
{
    WarpModel& m = state.current();
    for (int j = 0; j < kGridSize; ++j)
        m.BaseGridY[j] = j * m.frameHeight / kGridIntervals;
    for (int k = 0; k < kGridSize; ++k) {
        m.BaseGridX[k] = k * m.frameWidth / kGridIntervals;
        for (int j = 0; j < kGridSize; ++j) {
            const GridPoint base{float(m.BaseGridX[k]), float(m.BaseGridY[j])};
            m.UserGrid[k][j] = base;
            state.LiveGrid[k][j] = base;
            m.PointOffsets[k][j] = {};
            m.WallOffsets[k][j] = {};
        }
    }
    m.CornerBase = {m.UserGrid[0][0], m.UserGrid[kLast][0], m.UserGrid[0][kLast], m.UserGrid[kLast][kLast]};
    m.CornerPositions = m.CornerBase;
    m.CornerOffsets = {};
}

void ResetGridPositions(WarpState& state)
{
    WarpModel& m = state.current();
    for (int k = 0; k < kGridSize; ++k) {
        for (int j = 0; j < kGridSize; ++j) {
            const GridPoint base{float(m.BaseGridX[k]), float(m.BaseGridY[j])};
            m.UserGrid[k][j] = base;
            state.LiveGrid[k][j] = base;
        }
    }
    ResetSourceTables(state);
}

void ResetSourceTables(WarpState& state)
{
    // Reset with every window's frame size, four times per connect: copied from tables computed once.
    using Table = std::array<std::uint16_t, kSourceTableEntries>;
    static const std::pair<Table, Table> identity = [] {
        std::pair<Table, Table> t;
        for (int l = 0; l < kSourceTableColumns; ++l) {
            for (int n = 0; n < kSourceTableRows; ++n) {
                t.first[SourceTableIndex(l, n)] = static_cast<std::uint16_t>(256 * l);
                t.second[SourceTableIndex(l, n)] = static_cast<std::uint16_t>(256 * n);
            }
        }
        return t;
    }();
    state.SourceXTable = identity.first;
    state.SourceYTable = identity.second;
}

int ActiveColumnCountOf(std::uint8_t pattern)
{
    return pattern < kActiveColumns.size() ? kActiveColumns[pattern] : kGridSize;
}

int ActiveRowCountOf(std::uint8_t pattern)
{
    return pattern < kActiveRows.size() ? kActiveRows[pattern] : kGridSize;
}

bool SelectWarpPattern(WarpState& state, std::uint8_t pattern)
{
    if (pattern >= kActiveColumns.size()) {
        qCWarning(lcWarp) << "unknown warp pattern" << pattern;
        return false;
    }
    WarpModel& m = state.current();
    m.WarpPattern = pattern;
    m.ActiveColumnCount = kActiveColumns[pattern];
    m.ActiveRowCount = kActiveRows[pattern];
    return true;
}

bool ColumnMask(std::uint8_t pattern, int column)
{
    const int step = pattern < kColumnStep.size() ? kColumnStep[pattern] : 1;
    return column % step == 0;
}

bool RowMask(std::uint8_t pattern, int row)
{
    const int step = pattern < kRowStep.size() ? kRowStep[pattern] : 1;
    return row % step == 0;
}

bool ControlColumnMask(int entry, int column)
{
    const int step = entry >= 1 && entry < int(kControlColumnStep.size()) ? kControlColumnStep[entry] : 8;
    return column % step == 0;
}

bool ControlRowMask(int entry, int row)
{
    const int step = entry >= 1 && entry < int(kControlRowStep.size()) ? kControlRowStep[entry] : 4;
    return row % step == 0;
}

void ApplyCornerPerspective(WarpState& state)
{
    const WarpModel& m = state.current();
    const double W = m.frameWidth;
    const double H = m.frameHeight;
    const auto& cp = m.CornerPositions;
    const float x0 = cp[TopLeft].x, y0 = cp[TopLeft].y;

    const float A = toFloat((double(cp[TopRight].x) - x0) / W);
    const float B = toFloat((double(cp[TopRight].y) - y0) / H);
    const float Cx = toFloat((double(cp[BottomLeft].x) - x0) / W);
    const float Cy = toFloat((double(cp[BottomLeft].y) - y0) / H);
    const float Dx = toFloat((double(cp[BottomRight].x) - x0) / W);
    const float Dy = toFloat((double(cp[BottomRight].y) - y0) / H);

    const float s0 = toFloat(double(A) * Cy - double(Cx) * B);
    const float s1 = toFloat(double(A) * Dy - double(Dx) * B);
    const float s2 = toFloat(double(Cx) * Dy - double(Dx) * Cy);

    const float g = toFloat(double(s1) - s0);
    const float h = toFloat(-double(s2) - s0);
    const float i = toFloat(double(s2) + s0 - s1);
    const float a = toFloat(double(A) * s2);
    const float b = toFloat(-double(s1) * Cx);
    const float d = toFloat(double(B) * s2);
    const float e = toFloat(-double(s1) * Cy);

    for (int k = 0; k < kGridSize; ++k) {
        for (int j = 0; j < kGridSize; ++j) {
            const GridPoint& p = m.UserGrid[k][j];
            const float u = toFloat(p.x / W);
            const float v = toFloat(p.y / H);
            const float q = toFloat(double(g) * u + double(h) * v + i);
            if (q == 0.0f || !std::isfinite(q))
                throw WarpMathError("corner perspective is singular");
            const double X = (double(a) * u + double(b) * v) / q * W + x0;
            const double Y = (double(d) * u + double(e) * v) / q * H + y0;
            const float lx = toFloat(std::trunc(X + 0.5));
            const float ly = toFloat(std::trunc(Y + 0.5));
            if (!std::isfinite(lx) || !std::isfinite(ly))
                throw WarpMathError("corner perspective out of range");
            state.LiveGrid[k][j] = {lx, ly};
        }
    }
}

namespace {

// The source position at `at` along a row of knots, through its inverse spline. Outside the
// grid the fixed positions are stored exactly; rounding -1024 px would give 0xC001.
std::uint16_t SourceValue(const KnotRow& knots, const SplineSet& inverse, double at, int& hint)
{
    if (at - knots[0] < -(double(knots[1]) - knots[0]))
        return kSourceBeforeGrid;
    if (at - knots[kLast] > double(knots[kLast]) - knots[kLast - 1])
        return kSourceBeyondGrid;
    return EncodeSourceValue(toFloat(at + EvaluateSpline(knots.data(), inverse.data(), kGridSize, at, hint)));
}

} // namespace

void RebuildWarpTables(WarpState& state)
{
    WarpModel& m = state.current();
    if (m.WarpPattern > Pattern17x17)
        throw WarpMathError("warp pattern has no splines");

    if (m.WarpPattern != Pattern2x2)
        fillInactivePoints(m);

    ApplyCornerPerspective(state);

    // Knot rows in contiguous arrays: row j runs over x, column k over y.
    std::array<KnotRow, kGridSize> rowX{}, rowY{}, colY{}, colX{};
    for (int k = 0; k < kGridSize; ++k) {
        for (int j = 0; j < kGridSize; ++j) {
            const GridPoint& p = state.LiveGrid[k][j];
            rowX[j][k] = colX[k][j] = p.x;
            rowY[j][k] = colY[k][j] = p.y;
        }
    }
    for (int j = 0; j < kGridSize; ++j)
        BuildCubicSegments(rowX[j].data(), rowY[j].data(), kGridSize, state.RowSplines[j].data());
    for (int k = 0; k < kGridSize; ++k)
        BuildCubicSegments(colY[k].data(), colX[k].data(), kGridSize, state.ColumnSplines[k].data());

    // Where each grid row crosses mesh column l, and the inverse along that column.
    // Positions only grow along each loop, so every search resumes at the segment last found.
    std::array<KnotRow, kSourceTableColumns> yv{};
    std::array<int, kGridSize> rowHint{};
    for (int l = 0; l <= m.MeshColumns; ++l) {
        const double x = kMeshStep * l;
        KnotRow values{};
        for (int j = 0; j < kGridSize; ++j) {
            yv[l][j] = EvaluateSpline(rowX[j].data(), state.RowSplines[j].data(), kGridSize, x, rowHint[j]);
            values[j] = toFloat(double(m.BaseGridY[j]) - yv[l][j]);
        }
        BuildCubicSegments(yv[l].data(), values.data(), kGridSize, state.VerticalInverses[l].data());
    }

    // Filled in a copy so that a failure half-way leaves the last good tables in place.
    auto xTable = state.SourceXTable;
    auto yTable = state.SourceYTable;
    std::array<int, kGridSize> columnHint{};
    std::array<int, kSourceTableColumns> verticalHint{};
    for (int n = 0; n <= m.MeshRows; ++n) {
        const double y = kMeshStep * n;
        KnotRow xv{}, values{};
        for (int k = 0; k < kGridSize; ++k) {
            xv[k]
                = EvaluateSpline(colY[k].data(), state.ColumnSplines[k].data(), kGridSize, y, columnHint[k]);
            values[k] = toFloat(double(m.BaseGridX[k]) - xv[k]);
        }
        BuildCubicSegments(xv.data(), values.data(), kGridSize, state.HorizontalInverse.data());

        int horizontalHint = 0;
        for (int l = 0; l <= m.MeshColumns; ++l) {
            const double x = kMeshStep * l;
            xTable[SourceTableIndex(l, n)] = SourceValue(xv, state.HorizontalInverse, x, horizontalHint);
            yTable[SourceTableIndex(l, n)]
                = SourceValue(yv[l], state.VerticalInverses[l], y, verticalHint[l]);
        }
    }
    state.SourceXTable = xTable;
    state.SourceYTable = yTable;
}

void CopyUserGridToLive(WarpState& state)
{
    state.LiveGrid = state.current().UserGrid;
}

void MoveGridCursor(WarpState& state, int dColumn, int dRow)
{
    WarpModel& m = state.current();
    const std::uint8_t p = m.WarpPattern;
    if (dColumn != 0) {
        const std::uint8_t mask
            = (p == PatternWall && m.GridCursor.row == 8) ? std::uint8_t(PatternWallMiddle) : p;
        m.GridCursor.column = static_cast<std::int16_t>(
            stepCursor(m.GridCursor.column, dColumn, kLast, [mask](int c) { return ColumnMask(mask, c); }));
    }
    if (dRow != 0) {
        const std::uint8_t mask
            = (p == PatternWall && m.GridCursor.column == 8) ? std::uint8_t(PatternWallMiddle) : p;
        m.GridCursor.row = static_cast<std::int16_t>(
            stepCursor(m.GridCursor.row, dRow, kLast, [mask](int r) { return RowMask(mask, r); }));
    }
}

void MoveControlCursor(WarpState& state, int dColumn, int dRow)
{
    WarpModel& m = state.current();
    const std::uint8_t c = m.ControlPattern;
    const bool wall = c == kControlWall;
    // Warp off, the point mode and the user maps have no control grid to walk.
    if (!wall && (c == 0 || c >= 5))
        return;
    if (dColumn != 0) {
        const int entry = wall ? (m.ControlCursor.row == 2 ? 6 : 5) : c;
        m.ControlCursor.column = static_cast<std::int16_t>(stepCursor(m.ControlCursor.column, dColumn,
            kControlColumns - 1, [entry](int col) { return ControlColumnMask(entry, col); }));
    }
    if (dRow != 0) {
        const int entry = wall ? (m.ControlCursor.column == 4 ? 6 : 5) : c;
        m.ControlCursor.row = static_cast<std::int16_t>(stepCursor(m.ControlCursor.row, dRow,
            kControlRows - 1, [entry](int row) { return ControlRowMask(entry, row); }));
    }
}

void SetPointOffset(WarpModel& model, int column, int row, OffsetPair offset)
{
    model.PointOffsets.at(column).at(row) = offset;
    model.UserGrid[column][row]
        = {float(model.BaseGridX[column] + offset.dx), float(model.BaseGridY[row] + offset.dy)};
}

void SetCornerOffset(WarpModel& model, int corner, OffsetPair offset)
{
    model.CornerOffsets.at(corner) = offset;
    model.CornerPositions[corner]
        = {model.CornerBase[corner].x + offset.dx, model.CornerBase[corner].y + offset.dy};
}

void CapturePointOffsets(WarpModel& model)
{
    auto toInt16 = [](double v) -> std::int16_t {
        if (std::isnan(v))
            return 0;
        v = std::trunc(v);
        if (v < std::numeric_limits<std::int16_t>::min())
            return std::numeric_limits<std::int16_t>::min();
        if (v > std::numeric_limits<std::int16_t>::max())
            return std::numeric_limits<std::int16_t>::max();
        return static_cast<std::int16_t>(v);
    };
    for (int k = 0; k < kGridSize; ++k) {
        for (int j = 0; j < kGridSize; ++j) {
            const GridPoint& p = model.UserGrid[k][j];
            model.PointOffsets[k][j]
                = {toInt16(double(p.x) - model.BaseGridX[k]), toInt16(double(p.y) - model.BaseGridY[j])};
        }
    }
}

std::array<std::uint8_t, kSourceTableBytes> SourceTableBytes(
    const std::array<std::uint16_t, kSourceTableEntries>& table)
{
    std::array<std::uint8_t, kSourceTableBytes> bytes{};
    for (int i = 0; i < kSourceTableEntries; ++i) {
        bytes[2 * i] = static_cast<std::uint8_t>(table[i] & 0xFF);
        bytes[2 * i + 1] = static_cast<std::uint8_t>(table[i] >> 8);
    }
    return bytes;
}

} // namespace trivel
