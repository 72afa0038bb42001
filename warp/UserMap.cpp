// The User Map editor: coarse patterns over the 17 x 17 grid, point and line edits held inside
// their neighbours, the 2x2 corners, the WALL offsets, undo, reset and the transfer of the
// rebuilt source tables.

#include "warp/Warp.h"

#include "protocol/WarpFrames.h"
#include "session/Operations.h"
#include "session/Session.h"
#include "warp/Controls.h"
#include "warp/WarpModel.h"
#include "warp/WarpSpline.h"

#include <QScopeGuard>

#include <algorithm>
#include <cmath>
#include <memory>

namespace trivel {

namespace {

constexpr int kWallLimit = 900;
constexpr int kShowPause = 50;
constexpr int kCursorPause = 80;
constexpr int kChunksPerTable = kSourceTableColumns / proto::kSourceChunkColumns;
static_assert(kChunksPerTable == kUserMapChunksPerTable);

struct UserMapRecord {
    std::int32_t pattern, column, row, dx, dy;
};

UserMapRecord PopRecord(std::vector<std::uint8_t>& h)
{
    const std::size_t at = h.size() - kUserMapUndoRecordSize;
    std::int32_t v[5];
    for (int k = 0; k < 5; ++k) {
        std::uint32_t w = 0;
        for (int b = 0; b < 4; ++b)
            w |= std::uint32_t(h[at + 4 * std::size_t(k) + std::size_t(b)]) << (8 * b);
        v[k] = std::int32_t(w);
    }
    h.erase(h.end() - std::ptrdiff_t(kUserMapUndoRecordSize), h.end());
    return {v[0], v[1], v[2], v[3], v[4]};
}

int CornerOf(int column, int row)
{
    return (column != 0 ? 1 : 0) + (row != 0 ? 2 : 0);
}

// A point stays at least 2 pixels inside its neighbours in its column (y) or row (x). A
// candidate exactly one pixel inside stands: stored maps were made with this rule.
int NeighbourLimited(const WarpModel& m, int column, int row, bool y, int offset)
{
    const int index = y ? row : column;
    const int base = y ? m.BaseGridY[std::size_t(row)] : m.BaseGridX[std::size_t(column)];
    const int p = base + offset;
    auto at = [&](int k) {
        const GridPoint& g = y ? m.UserGrid[std::size_t(column)][std::size_t(k)]
                               : m.UserGrid[std::size_t(k)][std::size_t(row)];
        return int(std::trunc(y ? g.y : g.x));
    };
    if (index == 0) {
        const int next = at(1);
        return next > p ? offset : next - 2 - base;
    }
    if (index == kGridSize - 1) {
        const int before = at(kGridSize - 2);
        return before < p ? offset : before + 2 - base;
    }
    const int next = at(index + 1);
    const int before = at(index - 1);
    if (next <= p)
        return next - 2 - base;
    if (before >= p)
        return before + 2 - base;
    return offset;
}

const Control* PatternButton(int pattern)
{
    static constexpr const Control* kButtons[] = {&ctl::WP2x2Btn, &ctl::WP3x3Btn, &ctl::WP5x3Btn,
        &ctl::WP5x5Btn, &ctl::WP9x5Btn, &ctl::WP9x9Btn, &ctl::WP17x17Btn, &ctl::WPWallBtn};
    return pattern >= 0 && pattern < 8 ? kButtons[pattern] : nullptr;
}

} // namespace

int Warp::editStep()
{
    // The Shift key's fine step of the Warp Adjust page counts here too.
    return m_adjust.FineStep ? 1 : m_adjust.userMap.EditStep[windowIndex()];
}

void Warp::recordUserMapEdit(OffsetPair old)
{
    const WarpModel& m = currentModel();
    std::vector<std::uint8_t>& h = m_adjust.userMap.UndoHistory[windowIndex()];
    for (std::int32_t v : {std::int32_t(m.WarpPattern), std::int32_t(m.GridCursor.column),
             std::int32_t(m.GridCursor.row), std::int32_t(old.dx), std::int32_t(old.dy)})
        for (int b = 0; b < 4; ++b)
            h.push_back(std::uint8_t(std::uint32_t(v) >> (8 * b)));
}

// The single-point rule: true when the point changed.
bool Warp::editPoint(int column, int row, int dx, int dy)
{
    WarpModel& m = currentModel();
    const OffsetPair old = m.PointOffsets[std::size_t(column)][std::size_t(row)];
    OffsetPair p = old;
    if (dx != 0)
        p.dx = std::int16_t(NeighbourLimited(m, column, row, false, old.dx + dx));
    else
        p.dy = std::int16_t(NeighbourLimited(m, column, row, true, old.dy + dy));
    if (p == old)
        return false;
    recordUserMapEdit(old);
    SetPointOffset(m, column, row, p);
    return true;
}

Request Warp::wallRequest()
{
    const WarpModel& m = currentModel();
    static constexpr int kPoints[8][2]
        = {{0, 0}, {8, 0}, {16, 0}, {0, 8}, {16, 8}, {0, 16}, {8, 16}, {16, 16}};
    std::array<proto::OffsetWords, 8> points{};
    for (std::size_t i = 0; i < points.size(); ++i) {
        const OffsetPair p = m.WallOffsets[std::size_t(kPoints[i][0])][std::size_t(kPoints[i][1])];
        points[i] = {p.dx, p.dy};
    }
    return proto::UserMapWall(int(windowIndex()), points);
}

// The WALL offsets go out alone; the box's answer counts as an applied table.
Operation<void> Warp::sendWallOffsets()
{
    const std::size_t w = windowIndex();
    const auto hold = m_s.exchange.hold();
    m_adjust.WarpBusy = true;
    const auto end = qScopeGuard([this] { m_adjust.WarpBusy = false; });
    co_await m_s.exchange.send(wallRequest());
    m_adjust.userMap.TableTransferred[w] = true;
}

Operation<void> Warp::startTransfer()
{
    if (!m_s.connected())
        return Finished();
    return transferChain(windowIndex());
}

// The x table, then the y table, chunk by chunk, then the apply. The first transfer sends one
// chunk of each and starts again whole.
Operation<void> Warp::transferChain(std::size_t w)
{
    const auto hold = m_s.exchange.hold();
    UserMapState& u = m_adjust.userMap;
    m_adjust.WarpBusy = true;
    const auto end = qScopeGuard([this] {
        m_adjust.WarpBusy = false;
        m_phase = TransferPhase::None;
    });
    for (;;) {
        u.CopyX = m_state.SourceXTable;
        u.CopyY = m_state.SourceYTable;
        for (const bool y : {false, true}) {
            m_phase = y ? TransferPhase::Y : TransferPhase::X;
            u.TransferChunk = 0;
            do {
                co_await m_s.exchange.send(proto::SourceChunk(y, u.TransferChunk, y ? u.CopyY : u.CopyX));
                u.TransferChunk += proto::kSourceChunkColumns;
            } while (u.TransferChunk < kSourceTableColumns && u.FullTransfer);
        }
        if (u.FullTransfer)
            break;
        u.FullTransfer = true;
    }
    m_phase = TransferPhase::Apply;
    co_await m_s.exchange.send(proto::UserMapApply(int(w)));
    u.TableTransferred[w] = true;
}

Operation<void> Warp::transferTables()
{
    currentModel();
    m_adjust.userMap.FullTransfer = true;
    return startTransfer();
}

int Warp::chunksAcknowledged() const
{
    const int chunks = m_adjust.userMap.TransferChunk / proto::kSourceChunkColumns;
    switch (m_phase) {
    case TransferPhase::X:
        return chunks;
    case TransferPhase::Y:
        return kChunksPerTable + chunks;
    case TransferPhase::Apply:
        return 2 * kChunksPerTable;
    default:
        return 0;
    }
}

// Rebuild and transfer after an edit; a grid the splines cannot pass keeps the edit unsent.
Operation<void> Warp::rebuildAndTransfer()
{
    WarpModel& m = currentModel();
    try {
        RebuildWarpTables(m_state);
    } catch (const WarpMathError& e) {
        qCWarning(lcWarp) << "user map not sent:" << e.what();
        return Finished();
    }
    if (m.WarpPattern != Pattern2x2 && m.GridCursor.column == 0)
        m_adjust.userMap.FullTransfer = true;
    return startTransfer();
}

void Warp::showUserMapPage()
{
    const std::size_t w = windowIndex();
    WarpModel& m = currentModel();
    // What follows the page's frames: the box's own WALL offsets, the tables it holds, or ours.
    enum class Tail { None, Wall, Stored, Transfer } tail = Tail::None;
    int lastPause = kCursorPause;
    bool& shown = m_adjust.UserMapShown[w];
    if (!shown) {
        if (m.WarpPattern == PatternWall) {
            tail = Tail::Wall;
        } else if (m_adjust.userMap.TableTransferred[w]) {
            tail = Tail::Stored;
        } else {
            try {
                RebuildWarpTables(m_state);
                tail = Tail::Transfer;
            } catch (const WarpMathError& e) {
                qCWarning(lcWarp) << "user map not sent:" << e.what();
                lastPause += kShowPause;
            }
        }
    }
    shown = true;
    post(proto::ShowMarker(int(w)), {.pauseMs = kShowPause});
    post(
        proto::PatternColour(int(w), PatternColourCode(m_s.UserMapPatternIndex[w])), {.pauseMs = kShowPause});
    post(gridCursorRequest(), {.pauseMs = kCursorPause});
    post(gridCursorRequest(), {.pauseMs = lastPause});
    if (tail == Tail::Wall) {
        post(wallRequest());
    } else if (tail == Tail::Stored) {
        post(proto::UserMapUseStored());
    } else if (tail == Tail::Transfer) {
        m_adjust.userMap.FullTransfer = true;
        Launch(m_s, startTransfer());
    }
}

void Warp::selectUserMapPattern(int pattern)
{
    if (m_s.flag(Flag::Refreshing) || pattern < 0 || pattern > 7)
        return;
    WarpModel& m = currentModel();
    m.GridCursor = {};
    SelectWarpPattern(m_state, std::uint8_t(pattern));
    CapturePointOffsets(m);
    post(gridCursorRequest(), {.pauseMs = kCursorPause});
    for (int p = 0; p < 8; ++p)
        m_s.ui.setChecked(*PatternButton(p), p == pattern);
}

void Warp::moveUserMapCursor(WarpDir dir)
{
    currentModel();
    MoveGridCursor(m_state, ColumnStep(dir), RowStep(dir));
    post(gridCursorRequest(), {.pauseMs = kCursorPause});
}

Operation<void> Warp::editUserMapPoint(WarpDir dir)
{
    if (m_adjust.WarpBusy)
        return Finished();
    WarpModel& m = currentModel();
    const int step = editStep();
    const bool horizontal = dir == WarpDir::Left || dir == WarpDir::Right;
    const int dx = ColumnStep(dir) * step;
    const int dy = RowStep(dir) * step;
    const CursorPos c = m.GridCursor;

    if (m.WarpPattern == PatternWall) {
        OffsetPair& p = m.WallOffsets[std::size_t(c.column)][std::size_t(c.row)];
        OffsetPair next = p;
        next.dx = std::int16_t(std::clamp(p.dx + dx, -kWallLimit, kWallLimit));
        next.dy = std::int16_t(std::clamp(p.dy + dy, -kWallLimit, kWallLimit));
        if (next != p) {
            recordUserMapEdit(p);
            p = next;
        }
        return sendWallOffsets();
    }
    if (m.WarpPattern == Pattern2x2) {
        const int corner = CornerOf(c.column, c.row);
        const OffsetPair old = m.CornerOffsets[std::size_t(corner)];
        recordUserMapEdit(old);
        SetCornerOffset(m, corner, {std::int16_t(old.dx + dx), std::int16_t(old.dy + dy)});
        return rebuildAndTransfer();
    }
    if (!m_adjust.userMap.LineMode)
        return editPoint(c.column, c.row, dx, dy) ? rebuildAndTransfer() : Finished();
    // Line mode: up/down move the cursor's row, left/right its column, point by point.
    const CursorPos home = c;
    if (horizontal)
        m.GridCursor.row = 0;
    else
        m.GridCursor.column = 0;
    do {
        editPoint(m.GridCursor.column, m.GridCursor.row, dx, dy);
        MoveGridCursor(m_state, horizontal ? 0 : 1, horizontal ? 1 : 0);
    } while ((horizontal ? m.GridCursor.row : m.GridCursor.column) != 0);
    m.GridCursor = home;
    return rebuildAndTransfer();
}

void Warp::setEditStep(int step)
{
    m_adjust.userMap.EditStep[windowIndex()] = step;
    m_s.ui.setCaption(ctl::STAdjustValue, QString::number(step));
}

void Warp::setUserMapPatternColour(int index)
{
    const std::size_t w = windowIndex();
    m_s.UserMapPatternIndex[w] = std::clamp(index, 0, kPatternColourCount - 1);
    post(proto::PatternColour(int(w), PatternColourCode(m_s.UserMapPatternIndex[w])));
}

Operation<void> Warp::resetUserMap()
{
    currentModel();
    ResetWarpWindow(m_state);
    ResetGridPositions(m_state);
    m_adjust.userMap.UndoHistory[windowIndex()].clear();
    return startTransfer();
}

Operation<void> Warp::undoUserMap()
{
    std::vector<std::uint8_t>& h = m_adjust.userMap.UndoHistory[windowIndex()];
    if (h.size() < kUserMapUndoRecordSize)
        return Finished();
    WarpModel& m = currentModel();
    // A rebuild that fails puts back the model and the history as they were.
    const auto before = std::make_unique<WarpState>(m_state);
    const std::vector<std::uint8_t> history = h;
    const UserMapRecord r = PopRecord(h);
    const int column = std::clamp(r.column, 0, kGridSize - 1);
    const int row = std::clamp(r.row, 0, kGridSize - 1);
    m.GridCursor = {std::int16_t(column), std::int16_t(row)};
    const OffsetPair old{std::int16_t(r.dx), std::int16_t(r.dy)};
    if (r.pattern == PatternWall) {
        // A WALL record goes back into the wall offsets, and the box hears of it.
        m.WallOffsets[std::size_t(column)][std::size_t(row)] = old;
        post(gridCursorRequest(), {.pauseMs = kCursorPause});
        return sendWallOffsets();
    }
    if (r.pattern == Pattern2x2)
        SetCornerOffset(m, CornerOf(column, row), old);
    else
        SetPointOffset(m, column, row, old);
    const std::uint8_t current = m.WarpPattern;
    SelectWarpPattern(m_state, std::uint8_t(std::clamp(r.pattern, 0, 6)));
    post(gridCursorRequest(), {.pauseMs = kCursorPause});
    try {
        RebuildWarpTables(m_state);
    } catch (const WarpMathError& e) {
        qCWarning(lcWarp) << "undo not applied:" << e.what();
        m_state = *before;
        h = history;
        m_s.ui.message(MsgIcon::Warning, QString(),
            QStringLiteral("The warp grid cannot be computed with this step undone: two points would lie on "
                           "top of each other. Nothing was changed."),
            MsgButtons::Ok);
        return Finished();
    }
    Operation<void> op = startTransfer();
    SelectWarpPattern(m_state, current);
    return op;
}

void Warp::refreshUserMap()
{
    const std::size_t w = windowIndex();
    const int pattern = currentModel().WarpPattern;
    for (int p = 0; p < 8; ++p)
        m_s.ui.setChecked(*PatternButton(p), p == pattern);
    m_s.ui.set(ctl::TBAdjustStep, Prop::Position, m_adjust.userMap.EditStep[w]);
    m_s.ui.setCaption(ctl::STAdjustValue, QString::number(m_adjust.userMap.EditStep[w]));
    m_s.ui.set(ctl::CBPatternSel, Prop::ItemIndex, m_s.UserMapPatternIndex[w]);
}

int Warp::userMapUndoCount(int window) const
{
    return int(m_adjust.userMap.UndoHistory.at(std::size_t(window & 3)).size() / kUserMapUndoRecordSize);
}

} // namespace trivel
