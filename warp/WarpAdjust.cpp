// The Warp Adjust page: the page show, the box-side modes with their read-back or re-select,
// the control cursor, point moves, grid spacing and the reset.

#include "warp/Warp.h"

#include "protocol/WarpFrames.h"
#include "session/Session.h"
#include "warp/Controls.h"
#include "warp/WarpModel.h"

#include <QScopeGuard>

#include <algorithm>
#include <cstdlib>

namespace trivel {

namespace {

constexpr int kShowPause = 60;
// The page show waits this much longer after the point selection, before the cursor frame.
constexpr int kShowPointWait = 100;
constexpr int kCursorPause = 80;
constexpr int kModePause = 250;
constexpr int kPointChunks = 3;

} // namespace

void Warp::showAdjustPage()
{
    if (m_s.flag(Flag::Refreshing) || !m_s.PageEnabled[Page::WarpAdjust])
        return;
    const int w = int(windowIndex());
    if (m_s.BoardModel != 116)
        post(proto::ShowMarker(w), {.pauseMs = kShowPause});
    post(proto::PatternColour(w, PatternColourCode(m_adjust.PatternColourIndex[std::size_t(w)])),
        {.pauseMs = kShowPause});
    post(selectedPointRequest(), {.pauseMs = kShowPause + kShowPointWait});
    post(controlCursorRequest(true), {.pauseMs = kCursorPause});
    showPointValues();
    bool& userMapShown = m_adjust.UserMapShown[std::size_t(w)];
    if (userMapShown) {
        post(proto::WarpUpdate(3, linked()));
        userMapShown = false;
    }
}

Operation<void> Warp::selectMode(int mode)
{
    WarpModel& m = currentModel();
    const std::size_t w = windowIndex();
    if (m_s.flag(Flag::Refreshing) || busy() || m.ControlPattern == mode)
        return Finished();
    const int previous = m.ControlPattern;
    recordUndo({kUndoMode + previous, 0, CurrentCursor(m).column, CurrentCursor(m).row});
    m_s.ui.setEnabled(ctl::GPWPMode, false);
    m.ControlCursor = m_adjust.SavedCursor;
    if (mode == WarpMode::Keystone)
        m_s.setFlag(Flag::LinkedWarp, previous == WarpMode::Points);
    // The coarse pattern byte follows the mode; the active counts stay as they were built.
    if (mode == WarpMode::Grid3x3)
        m.WarpPattern = Pattern3x3;
    else if (mode == WarpMode::Grid5x3)
        m.WarpPattern = Pattern5x3;
    else if (mode == WarpMode::Grid9x5)
        m.WarpPattern = Pattern9x5;
    showModeButtons(mode);
    m_s.ui.setEnabled(ctl::BtnLoadData, false);
    m.ControlPattern = std::uint8_t(mode);
    // The box still holds the tables of its confirmed mode: they go out again instead of a mode
    // change.
    if (mode == m_adjust.ConfirmedMode[w])
        return reselect(w, mode);
    m_adjust.ConfirmedMode[w] = mode;
    if (mode != WarpMode::Keystone)
        m_s.setFlag(Flag::LinkedWarp, false);
    return changeMode(w, mode);
}

namespace {

// The point and the cursor of a new mode: 9x5 and WALL show the cursor first and pace the
// point like it.
struct ModeFrames {
    Request first;
    SendOptions firstOptions;
    Request second;
    SendOptions secondOptions;
};

ModeFrames FramesOf(int mode, Request point, Request cursor)
{
    if (mode == WarpMode::Wall || mode == WarpMode::Grid9x5)
        return {std::move(cursor), {.pauseMs = kCursorPause}, std::move(point), {.pauseMs = kCursorPause}};
    return {std::move(point), {}, std::move(cursor), {.pauseMs = kCursorPause}};
}

} // namespace

Operation<void> Warp::reselect(std::size_t w, int mode)
{
    const auto hold = m_s.exchange.hold();
    const auto end = qScopeGuard([this] {
        m_s.ui.setEnabled(ctl::GPWPMode, true);
        m_adjust.WarpBusy = false;
        m_s.ui.setHourglass(false);
    });
    const ModeFrames frames = FramesOf(mode, selectedPointRequest(), controlCursorRequest(true));
    // The hourglass from the moment the first request is out, while it awaits its reply.
    Operation<void> first = sendStep(frames.first, frames.firstOptions);
    m_s.ui.setHourglass(true);
    co_await first;
    co_await m_s.exchange.send(frames.second, frames.secondOptions);
    co_await m_s.exchange.send(bulkControlRequest(w, m_adjust.ConfirmedMode[w]));
    co_await m_s.exchange.delay(200);
    co_await m_s.exchange.send(proto::WarpUpdate(1, linked()));
    co_await m_s.exchange.delay(500);
    co_await m_s.exchange.send(bulkCornerRequest(w, BulkMode(model(int(w)).ControlPattern)));
    co_await m_s.exchange.delay(300);
    co_await m_s.exchange.send(proto::WarpUpdate(2, linked()));
    co_await m_s.exchange.delay(100);
    co_await m_s.exchange.send(proto::WarpUpdate(3, linked()));
    showPointValues();
}

Operation<void> Warp::changeMode(std::size_t, int mode)
{
    const auto hold = m_s.exchange.hold();
    // Should the read-back fail, the mode group does not stay disabled.
    const auto end = qScopeGuard([this] { m_s.ui.setEnabled(ctl::GPWPMode, true); });
    const ModeFrames frames = FramesOf(mode, selectedPointRequest(), controlCursorRequest(true));
    co_await m_s.exchange.send(frames.first, frames.firstOptions);
    co_await m_s.exchange.send(frames.second, frames.secondOptions);
    co_await m_s.exchange.send(proto::WarpModeSelect(mode, linked()), {.pauseMs = kModePause});
    co_await readTablesBack();
}

void Warp::moveCursor(WarpDir dir)
{
    WarpModel& m = currentModel();
    if (!HasControlGrid(m.ControlPattern) || m_s.SelectingWindow)
        return;
    const CursorPos before = CurrentCursor(m);
    if (m.ControlPattern == WarpMode::Points) {
        MoveGridCursor(m_state, ColumnStep(dir), RowStep(dir));
        post(gridCursorRequest(), {.pauseMs = kCursorPause});
    } else {
        MoveControlCursor(m_state, ColumnStep(dir), RowStep(dir));
        post(selectedPointRequest());
        post(controlCursorRequest(true), {.pauseMs = kCursorPause});
    }
    constexpr int actions[] = {kUndoCursorLeft, kUndoCursorRight, kUndoCursorUp, kUndoCursorDown};
    recordUndo({actions[int(dir)], 0, before.column, before.row});
    showPointValues();
}

Operation<void> Warp::movePoint(WarpDir dir)
{
    WarpModel& m = currentModel();
    const std::size_t w = windowIndex();
    const int mode = m.ControlPattern;
    if (!HasControlGrid(mode) || busy() || m_s.SelectingWindow)
        return Finished();
    const int step
        = m_adjust.FineStep ? 1 : (m_adjust.ReplayAmount != 0 ? m_adjust.ReplayAmount : m_adjust.MoveStep[w]);
    const bool horizontal = dir == WarpDir::Left || dir == WarpDir::Right;
    const int dx = ColumnStep(dir) * step;
    const int dy = RowStep(dir) * step;
    const CursorPos at = CurrentCursor(m);
    const WarpUndoRecord entry{int(dir), step, at.column, at.row};
    if (mode == WarpMode::Points) {
        Operation<void> op = pointModeMove(dx, dy);
        recordUndo(entry);
        return op;
    }

    PointOffset* p = nullptr;
    int point = 0;
    if (mode == WarpMode::Keystone) {
        p = &m_adjust.KeystoneCorners[w][std::size_t(CornerIndex(m.ControlCursor))];
    } else if (mode == WarpMode::Wall) {
        p = &m_adjust.WallPoints[w][std::size_t(WallIndex(m.ControlCursor))];
    } else {
        point = ControlIndex(m.ControlCursor);
        p = &m_adjust.ControlOffsets[w][std::size_t(point)];
    }
    const int before = horizontal ? p->x : p->y;
    p->x = ClampOffset(p->x + dx);
    p->y = ClampOffset(p->y + dy);
    if (mode == WarpMode::Wall) {
        // The middle points of opposite edges move together along their edge.
        auto& wall = m_adjust.WallPoints[w];
        const int i = WallIndex(m.ControlCursor);
        if (horizontal && (i == 1 || i == 6))
            wall[std::size_t(7 - i)].x = p->x;
        if (!horizontal && (i == 3 || i == 4))
            wall[std::size_t(7 - i)].y = p->y;
    }
    showPointValues();

    m_adjust.WarpBusy = true;
    const int value = horizontal ? p->x : p->y;
    if (mode == WarpMode::Keystone || mode == WarpMode::Wall) {
        Operation<void> op = awaitAck(mode == WarpMode::Keystone
                ? proto::CornerMove(CornerIndex(m.ControlCursor), !horizontal, value, linked())
                : proto::WallMove(!horizontal, value));
        recordUndo(entry);
        return op;
    }
    return moveControlPoint(proto::ControlPointMove(!horizontal, value), w, point, horizontal, before, entry);
}

Operation<void> Warp::sendStep(Request request, SendOptions options)
{
    co_await m_s.exchange.send(std::move(request), options);
}

Operation<void> Warp::awaitAck(Request request)
{
    const auto hold = m_s.exchange.hold();
    const auto end = qScopeGuard([this] { m_adjust.WarpBusy = false; });
    co_await m_s.exchange.send(std::move(request));
}

// The box echoes the value of a 95X / 95Y move and has the last word. The echo belongs to the
// window and point the move was made on, whatever is current when it comes.
Operation<void> Warp::moveControlPoint(
    Request request, std::size_t w, int point, bool horizontal, int before, WarpUndoRecord entry)
{
    const auto hold = m_s.exchange.hold();
    m_awaitingEcho = true;
    const auto end = qScopeGuard([this] {
        m_awaitingEcho = false;
        m_adjust.WarpBusy = false;
    });
    const int value = proto::ControlPointEcho(co_await m_s.exchange.send(std::move(request)));
    PointOffset& p = m_adjust.ControlOffsets[w & 3][std::size_t(std::clamp(point, 0, kControlPoints - 1))];
    std::int16_t& axis = horizontal ? p.x : p.y;
    axis = std::int16_t(value);
    // Undo returns the point to where it was before the move, whatever the box made of it: the
    // entry's direction and amount are those of the move the box really did. A move the box
    // refused leaves nothing to undo.
    const int moved = axis - before;
    showPointValues();
    if (moved != 0 || m_adjust.ReplayAmount != 0 || m_s.flag(Flag::WarpUndo)) {
        const WarpDir dir = horizontal ? (moved < 0 ? WarpDir::Left : WarpDir::Right)
                                       : (moved < 0 ? WarpDir::Up : WarpDir::Down);
        entry.action = int(dir);
        entry.amount = std::abs(moved);
        recordUndo(entry, w);
    }
}

Operation<void> Warp::pointModeMove(int dx, int dy)
{
    WarpModel& m = currentModel();
    const CursorPos c = m.GridCursor;
    OffsetPair p = m.PointOffsets.at(std::size_t(c.column)).at(std::size_t(c.row));
    p.dx = ClampOffset(p.dx + dx);
    p.dy = ClampOffset(p.dy + dy);
    SetPointOffset(m, c.column, c.row, p);
    m_adjust.WarpBusy = true;
    Operation<void> op = awaitAck(pointRequest(windowIndex(), c));
    showPointValues();
    return op;
}

bool Warp::selectPoint(int column, int row)
{
    WarpModel& m = currentModel();
    const int mode = m.ControlPattern;
    if (mode == WarpMode::Points) {
        if (column < 0 || column >= kGridSize || row < 0 || row >= kGridSize)
            return false;
        m.GridCursor = {std::int16_t(column), std::int16_t(row)};
        post(gridCursorRequest(), {.pauseMs = kCursorPause});
        return true;
    }
    if (!HasControlGrid(mode) || column < 0 || column > 8 || row < 0 || row > 4)
        return false;
    const bool onGrid = mode == WarpMode::Wall ? column % 4 == 0 && row % 2 == 0 && !(column == 4 && row == 2)
                                               : ControlColumnMask(mode, column) && ControlRowMask(mode, row);
    if (!onGrid)
        return false;
    m.ControlCursor = {std::int16_t(column), std::int16_t(row)};
    post(selectedPointRequest(), {.pauseMs = kCursorPause});
    post(controlCursorRequest(true), {.pauseMs = kCursorPause});
    showPointValues();
    return true;
}

void Warp::setMoveStep(int step)
{
    m_adjust.MoveStep[windowIndex()] = std::clamp(step, 1, 64);
    m_s.ui.setCaption(ctl::STAdjustValue2, QString::number(step));
}

void Warp::setPatternColour(int index)
{
    const std::size_t w = windowIndex();
    m_adjust.PatternColourIndex[w] = std::clamp(index, 0, kPatternColourCount - 1);
    if (!m_s.flag(Flag::Refreshing))
        post(proto::PatternColour(int(w), PatternColourCode(m_adjust.PatternColourIndex[w])));
}

Operation<void> Warp::showPatternColour(int window, int index)
{
    const std::size_t w = std::size_t(window & 3);
    m_adjust.PatternColourIndex[w] = std::clamp(index, 0, kPatternColourCount - 1);
    co_await m_s.exchange.send(
        proto::PatternColour(int(w), PatternColourCode(m_adjust.PatternColourIndex[w])));
}

Operation<void> Warp::setGridSpacing(int spacing)
{
    WarpAdjustState& a = m_adjust;
    const std::size_t w = windowIndex();
    if (a.LastSentSpacing < 0)
        a.LastSentSpacing = spacing;
    if (a.WarpBusy || m_s.flag(Flag::Refreshing)) {
        // A refill stores; a change during a pending reply springs back.
        const int shown = a.WarpBusy ? a.LastSentSpacing : spacing;
        a.GridSpacing[w] = shown;
        m_s.ui.setCaption(ctl::STGridVal, QString::number(shown));
        if (a.WarpBusy)
            m_s.ui.set(ctl::TBGrid, Prop::Position, shown);
        return Finished();
    }
    a.GridSpacing[w] = spacing;
    m_s.ui.setCaption(ctl::STGridVal, QString::number(spacing));
    a.LastSentSpacing = spacing;
    a.WarpBusy = true;
    return awaitAck(proto::GridSpacing(spacing));
}

Operation<void> Warp::reset()
{
    if (m_s.ui.message(
            MsgIcon::Information, QString(), QStringLiteral("Do you want to reset warp?"), MsgButtons::YesNo)
        != MsgResult::Yes)
        return Finished();
    WarpModel& m = currentModel();
    const std::size_t w = windowIndex();
    if (m.ControlPattern == WarpMode::Keystone) {
        m_adjust.KeystoneCorners[w].fill({});
    } else if (m.ControlPattern == WarpMode::Wall) {
        m_adjust.WallPoints[w].fill({});
    } else {
        for (int k = 0; k < kGridSize; ++k)
            for (int j = 0; j < kGridSize; ++j)
                SetPointOffset(m, k, j, {});
        m_adjust.ControlOffsets[w].fill({});
    }
    Operation<void> op = resetChain(w);
    m_adjust.UndoHistory[w].clear();
    return op;
}

// The cleared tables go out in bulk with the box's update steps between them, then the point
// offsets in three chunks.
Operation<void> Warp::resetChain(std::size_t w)
{
    const auto hold = m_s.exchange.hold();
    const auto end = qScopeGuard([this] { m_adjust.WarpBusy = false; });
    const auto mode = [this, w] { return BulkMode(model(int(w)).ControlPattern); };
    co_await m_s.exchange.send(bulkControlRequest(w, mode()));
    co_await m_s.exchange.delay(200);
    co_await m_s.exchange.send(proto::WarpUpdate(1, linked()));
    co_await m_s.exchange.delay(500);
    co_await m_s.exchange.send(bulkCornerRequest(w, mode()));
    co_await m_s.exchange.delay(300);
    co_await m_s.exchange.send(proto::WarpUpdate(2, linked()));
    for (int chunk = 0; chunk < kPointChunks; ++chunk)
        co_await m_s.exchange.send(pointChunkRequest(w, chunk));
    co_await m_s.exchange.delay(100);
    const WarpModel& m = model(int(w));
    if (m.ControlPattern == WarpMode::Points)
        co_await m_s.exchange.send(pointRequest(w, m.GridCursor));
    else
        co_await m_s.exchange.send(proto::WarpUpdate(3, linked()));
    showPointValues();
    co_await m_s.exchange.send(proto::WarpUpdate(4, linked()));
}

Operation<void> Warp::sendPointOffsets()
{
    const auto hold = m_s.exchange.hold();
    const std::size_t w = windowIndex();
    if (model(int(w)).ControlPattern != WarpMode::Points)
        Fail(Failure::Kind::Refused, QStringLiteral("window %1 is not in point mode").arg(w + 1));
    for (int chunk = 0; chunk < kPointChunks; ++chunk)
        co_await m_s.exchange.send(pointChunkRequest(w, chunk));
    co_await m_s.exchange.send(pointRequest(w, model(int(w)).GridCursor));
    showPointValues();
}

} // namespace trivel
