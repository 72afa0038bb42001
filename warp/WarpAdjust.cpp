#include "warp/WarpAdjust.h"

#include "warp/WarpFrames.h"

#include "protocol/SettingCodec.h"
#include "session/PendingOps.h"
#include "session/Session.h"
#include "warp/Controls.h"
#include "warp/WarpModel.h"
#include "warp/WarpOps.h"
#include "warp/WarpPointMode.h"

#include <algorithm>
#include <cstdlib>

namespace trivel {

namespace {

constexpr int kModeDelay = 250;
constexpr int kShowDelay = 60;
constexpr int kPointChunks = 3;

// The re-select of a mode already confirmed on the box: its cached tables go out in bulk.
void ReselectStep(Session& s, int op)
{
    switch (op) {
    case Op::WarpReselectBlock1:
        s.clock.sleepMs(200);
        s.PendingOp = Op::WarpReselectUpdate1;
        SendUpdate(s, 1);
        break;
    case Op::WarpReselectUpdate1:
        s.clock.sleepMs(500);
        s.PendingOp = Op::WarpReselectBlock2;
        SendBulkBlock(s, 2, BulkMode(CurrentWarpModel(s)));
        break;
    case Op::WarpReselectBlock2:
        s.clock.sleepMs(300);
        s.PendingOp = Op::WarpReselectUpdate2;
        SendUpdate(s, 2);
        break;
    case Op::WarpReselectUpdate2:
        s.clock.sleepMs(100);
        s.PendingOp = Op::WarpReselectUpdate3;
        SendUpdate(s, 3);
        break;
    case Op::WarpReselectUpdate3:
        s.ui.setEnabled(ctl::GPWPMode, true);
        s.PendingOp = Op::Idle;
        ShowWarpPointValues(s);
        s.warpAdjust.WarpBusy = false;
        s.ui.setHourglass(false);
        break;
    default:
        break;
    }
}

void ResetStep(Session& s, int op)
{
    WarpAdjustState& a = s.warpAdjust;
    switch (op) {
    case Op::WarpResetBlock1:
        s.clock.sleepMs(200);
        s.PendingOp = Op::WarpResetUpdate1;
        SendUpdate(s, 1);
        break;
    case Op::WarpResetUpdate1:
        s.clock.sleepMs(500);
        s.PendingOp = Op::WarpResetBlock2;
        SendBulkBlock(s, 2, BulkMode(CurrentWarpModel(s)));
        break;
    case Op::WarpResetBlock2:
        s.clock.sleepMs(300);
        a.ResetChunk = 0;
        s.PendingOp = Op::WarpResetUpdate2;
        SendUpdate(s, 2);
        break;
    case Op::WarpResetUpdate2: {
        // One point chunk per reply; the reply to the last one moves on.
        const int chunk = std::clamp(a.ResetChunk, 0, kPointChunks - 1);
        a.ResetChunk = chunk + 1;
        if (a.ResetChunk >= kPointChunks)
            s.PendingOp = Op::WarpResetChunks;
        SendPointChunk(s, chunk);
        break;
    }
    case Op::WarpResetChunks:
        s.clock.sleepMs(100);
        s.PendingOp = Op::WarpResetUpdate3;
        if (CurrentWarpModel(s).ControlPattern == WarpMode::Points)
            SendPointFrame(s);
        else
            SendUpdate(s, 3);
        break;
    case Op::WarpResetUpdate3:
        ShowWarpPointValues(s);
        s.PendingOp = Op::WarpResetUpdate4;
        SendUpdate(s, 4);
        break;
    case Op::WarpResetUpdate4:
        EndBusy(s);
        break;
    default:
        break;
    }
}

// The reply to a 95X / 95Y request echoes the box's value; the box has the last word.
void MoveEchoStep(Session& s, int op)
{
    WarpAdjustState& a = s.warpAdjust;
    const FrameView r = s.reply();
    int value = DecodeSettingDigits(r);
    if (r.u8(14) == '-')
        value = -value;
    const std::size_t w = std::size_t(a.MoveWindow & 3);
    PointOffset& p = a.ControlOffsets[w][std::size_t(std::clamp(a.MovePoint, 0, kControlPoints - 1))];
    std::int16_t& axis = op == Op::WarpMoveX ? p.x : p.y;
    if (value != axis)
        axis = std::int16_t(value);
    // Undo returns the point to where it was before the move, whatever the box made of it: the
    // entry's direction and amount are those of the move the box really did. A move the box
    // refused leaves nothing to undo.
    const int moved = axis - a.MoveBefore;
    ShowWarpPointValues(s);
    s.PendingOp = Op::Idle;
    if (moved == 0 && a.ReplayAmount == 0 && !s.flag(Flag::WarpUndo)) {
        a.PendingUndo = {};
    } else {
        const bool horizontal = op == Op::WarpMoveX;
        const WarpDir dir = horizontal ? (moved < 0 ? WarpDir::Left : WarpDir::Right)
                                       : (moved < 0 ? WarpDir::Up : WarpDir::Down);
        a.PendingUndo.action = int(dir);
        a.PendingUndo.amount = std::abs(moved);
        RecordUndo(s, w);
    }
    a.WarpBusy = false;
}

void PointModeMove(Session& s, int dx, int dy)
{
    WarpModel& m = CurrentWarpModel(s);
    const CursorPos c = m.GridCursor;
    OffsetPair p = m.PointOffsets.at(std::size_t(c.column)).at(std::size_t(c.row));
    p.dx = Clamp(p.dx + dx);
    p.dy = Clamp(p.dy + dy);
    SetPointOffset(m, c.column, c.row, p);
    s.PendingOp = Op::WarpMove;
    s.warpAdjust.WarpBusy = true;
    SendPointFrame(s);
    ShowWarpPointValues(s);
    RecordUndo(s);
}

} // namespace

void ShowWarpPointValues(Session& s)
{
    const WarpModel& m = CurrentWarpModel(s);
    const std::size_t w = CurrentWarpWindow(s);
    const WarpAdjustState& a = s.warpAdjust;
    int x = 0;
    int y = 0;
    switch (m.ControlPattern) {
    case WarpMode::Keystone: {
        const PointOffset p = a.KeystoneCorners[w][std::size_t(CornerIndex(m.ControlCursor))];
        x = p.x;
        y = p.y;
        break;
    }
    case WarpMode::Wall: {
        const PointOffset p = a.WallPoints[w][std::size_t(WallIndex(m.ControlCursor))];
        x = p.x;
        y = p.y;
        break;
    }
    case WarpMode::Points: {
        const OffsetPair p
            = m.PointOffsets.at(std::size_t(m.GridCursor.column)).at(std::size_t(m.GridCursor.row));
        x = p.dx;
        y = p.dy;
        break;
    }
    default: {
        const PointOffset p = a.ControlOffsets[w][std::size_t(ControlIndex(m.ControlCursor))];
        x = p.x;
        y = p.y;
        break;
    }
    }
    s.ui.setCaption(ctl::WPLRVal, QString::number(x));
    s.ui.setCaption(ctl::WPUDVal, QString::number(y));
}

void ShowWarpMode(Session& s)
{
    ShowModeButtons(s, CurrentWarpModel(s).ControlPattern);
}

void RefreshWarpAdjust(Session& s)
{
    const std::size_t w = CurrentWarpWindow(s);
    const WarpAdjustState& a = s.warpAdjust;
    ShowModeButtons(s, CurrentWarpModel(s).ControlPattern);
    s.ui.set(ctl::TBAdjustStep2, Prop::Position, a.MoveStep[w]);
    s.ui.setCaption(ctl::STAdjustValue2, QString::number(a.MoveStep[w]));
    s.ui.set(ctl::CBPatternSel1, Prop::ItemIndex, a.PatternColourIndex[w]);
    s.ui.set(ctl::TBGrid, Prop::Position, a.GridSpacing[w]);
    s.ui.setCaption(ctl::STGridVal, QString::number(a.GridSpacing[w]));
    ShowWarpPointValues(s);
}

void Warp95TabShow(Session& s)
{
    if (s.flag(Flag::Refreshing) || !s.PageEnabled[Page::WarpAdjust])
        return;
    if (s.TmrStatus)
        s.TmrStatus->setEnabled(false);
    s.PostSendDelay = kShowDelay;
    if (s.BoardModel != 116) {
        s.clearRequest(512);
        FrameView f = s.request();
        f.setCode(Cmd::BlendMarker);
        f.put8(8, std::uint8_t(CurrentWarpWindow(s)));
        f.put8(9, 0);
        SendFrame(s);
    }
    SendPatternColour(s);
    SendSelectedPoint(s);
    s.clock.sleepMs(100);
    SendControlCursorFrame(s, true);
    ShowWarpPointValues(s);
    s.PostSendDelay = 0;
    if (s.TmrStatus)
        s.TmrStatus->setEnabled(true);
    bool& userMapShown = s.warpAdjust.UserMapShown[CurrentWarpWindow(s)];
    if (userMapShown) {
        SendUpdate(s, 3);
        userMapShown = false;
    }
}

void SelectWarpMode(Session& s, int mode)
{
    WarpModel& m = CurrentWarpModel(s);
    WarpAdjustState& a = s.warpAdjust;
    const std::size_t w = CurrentWarpWindow(s);
    if (s.flag(Flag::Refreshing) || s.PendingOp != Op::Idle || m.ControlPattern == mode)
        return;
    const int previous = m.ControlPattern;
    SetPendingUndo(s, kUndoMode + previous, 0, CurrentCursor(m));
    RecordUndo(s);
    s.ui.setEnabled(ctl::GPWPMode, false);

    m.ControlCursor = a.SavedCursor;
    if (mode == WarpMode::Wall || mode == WarpMode::Grid9x5) {
        SendControlCursorFrame(s, true);
        // Paced like the cursor frame: an echo still on its way when the mode command sets
        // PendingOp would be taken for the mode's reply and shift every table read by one.
        s.PostSendDelay = kCursorFrameDelay;
        SendSelectedPoint(s);
        s.PostSendDelay = 0;
    } else {
        SendSelectedPoint(s);
        SendControlCursorFrame(s, true);
    }
    if (mode == WarpMode::Keystone)
        s.setFlag(Flag::LinkedWarp, previous == WarpMode::Points);

    // The coarse pattern byte follows the mode; the active counts stay as they were built.
    if (mode == WarpMode::Grid3x3)
        m.WarpPattern = Pattern3x3;
    else if (mode == WarpMode::Grid5x3)
        m.WarpPattern = Pattern5x3;
    else if (mode == WarpMode::Grid9x5)
        m.WarpPattern = Pattern9x5;
    ShowModeButtons(s, mode);
    s.ui.setEnabled(ctl::BtnLoadData, false);

    m.ControlPattern = std::uint8_t(mode);
    if (mode == a.ConfirmedMode[w]) {
        // The box still holds this mode's tables: send the cached ones instead of a mode change.
        s.PendingOp = Op::WarpReselectBlock1;
        s.ui.setHourglass(true);
        SendBulkBlock(s, 1, a.ConfirmedMode[w]);
        return;
    }
    a.ConfirmedMode[w] = mode;
    if (mode != WarpMode::Keystone)
        s.setFlag(Flag::LinkedWarp, false);
    s.PostSendDelay = kModeDelay;
    s.PendingOp = Op::WarpReread;
    SendText(s, "s00WPM+006", mode, Linked(s) ? Cmd::SettingAlt : Cmd::Setting);
    s.PostSendDelay = 0;
}

void MoveWarpCursor(Session& s, WarpDir dir)
{
    WarpModel& m = CurrentWarpModel(s);
    if (!HasControlGrid(m.ControlPattern) || s.SelectingWindow)
        return;
    const int dc = dir == WarpDir::Left ? -1 : (dir == WarpDir::Right ? 1 : 0);
    const int dr = dir == WarpDir::Up ? -1 : (dir == WarpDir::Down ? 1 : 0);
    const CursorPos before = CurrentCursor(m);
    if (m.ControlPattern == WarpMode::Points) {
        MoveGridCursor(s.warp, dc, dr);
        SendGridCursorFrame(s);
    } else {
        MoveControlCursor(s.warp, dc, dr);
        SendSelectedPoint(s);
        SendControlCursorFrame(s, true);
    }
    constexpr int actions[] = {kUndoCursorLeft, kUndoCursorRight, kUndoCursorUp, kUndoCursorDown};
    SetPendingUndo(s, actions[int(dir)], 0, before);
    RecordUndo(s);
    ShowWarpPointValues(s);
}

void MoveWarpPoint(Session& s, WarpDir dir)
{
    WarpModel& m = CurrentWarpModel(s);
    WarpAdjustState& a = s.warpAdjust;
    const std::size_t w = CurrentWarpWindow(s);
    const int mode = m.ControlPattern;
    if (!HasControlGrid(mode) || s.PendingOp != Op::Idle || s.SelectingWindow)
        return;
    const int step = a.FineStep ? 1 : (a.ReplayAmount != 0 ? a.ReplayAmount : a.MoveStep[w]);
    const bool horizontal = dir == WarpDir::Left || dir == WarpDir::Right;
    const int sign = dir == WarpDir::Left || dir == WarpDir::Up ? -1 : 1;
    const int dx = horizontal ? sign * step : 0;
    const int dy = horizontal ? 0 : sign * step;
    SetPendingUndo(s, int(dir), step, CurrentCursor(m));

    if (mode == WarpMode::Points) {
        PointModeMove(s, dx, dy);
        return;
    }

    PointOffset* p = nullptr;
    if (mode == WarpMode::Keystone) {
        p = &a.KeystoneCorners[w][std::size_t(CornerIndex(m.ControlCursor))];
    } else if (mode == WarpMode::Wall) {
        p = &a.WallPoints[w][std::size_t(WallIndex(m.ControlCursor))];
    } else {
        a.MoveWindow = int(w);
        a.MovePoint = ControlIndex(m.ControlCursor);
        p = &a.ControlOffsets[w][std::size_t(a.MovePoint)];
        a.MoveBefore = horizontal ? p->x : p->y;
    }
    p->x = Clamp(p->x + dx);
    p->y = Clamp(p->y + dy);
    if (mode == WarpMode::Wall) {
        // The middle points of opposite edges move together along their edge.
        auto& wall = a.WallPoints[w];
        const int i = WallIndex(m.ControlCursor);
        if (horizontal && (i == 1 || i == 6))
            wall[std::size_t(7 - i)].x = p->x;
        if (!horizontal && (i == 3 || i == 4))
            wall[std::size_t(7 - i)].y = p->y;
    }
    ShowWarpPointValues(s);

    a.WarpBusy = true;
    const int value = horizontal ? p->x : p->y;
    if (mode == WarpMode::Keystone) {
        s.PendingOp = Op::WarpMove;
        SendCornerCommand(s, CornerIndex(m.ControlCursor), !horizontal, value);
        RecordUndo(s);
    } else if (mode == WarpMode::Wall) {
        s.PendingOp = Op::WarpMove;
        SendText(s, horizontal ? "s00WLX+000" : "s00WLY+000", value);
        RecordUndo(s);
    } else {
        s.PendingOp = horizontal ? Op::WarpMoveX : Op::WarpMoveY;
        SendText(s, horizontal ? "S0095X+000" : "S0095Y+000", value, Cmd::SettingQuery);
    }
}

bool SelectWarpPoint(Session& s, int column, int row)
{
    WarpModel& m = CurrentWarpModel(s);
    const int mode = m.ControlPattern;
    if (mode == WarpMode::Points) {
        if (column < 0 || column >= kGridSize || row < 0 || row >= kGridSize)
            return false;
        m.GridCursor = {std::int16_t(column), std::int16_t(row)};
        SendGridCursorFrame(s);
        return true;
    }
    if (!HasControlGrid(mode) || column < 0 || column > 8 || row < 0 || row > 4)
        return false;
    const bool onGrid = mode == WarpMode::Wall ? column % 4 == 0 && row % 2 == 0 && !(column == 4 && row == 2)
                                               : ControlColumnMask(mode, column) && ControlRowMask(mode, row);
    if (!onGrid)
        return false;
    m.ControlCursor = {std::int16_t(column), std::int16_t(row)};
    // Paced, so its echo is handled before a move sets PendingOp.
    const int saved = s.PostSendDelay;
    s.PostSendDelay = kCursorFrameDelay;
    SendSelectedPoint(s);
    s.PostSendDelay = saved;
    SendControlCursorFrame(s, true);
    ShowWarpPointValues(s);
    return true;
}

void TBAdjustStep2Change(Session& s, int position)
{
    s.warpAdjust.MoveStep[CurrentWarpWindow(s)] = std::clamp(position, 1, 64);
    s.ui.setCaption(ctl::STAdjustValue2, QString::number(position));
}

void CBPatternSel1Change(Session& s, int index)
{
    s.warpAdjust.PatternColourIndex[CurrentWarpWindow(s)] = std::clamp(index, 0, kPatternColourCount - 1);
    if (!s.flag(Flag::Refreshing))
        SendPatternColour(s);
}

void TBGridChange(Session& s, int position)
{
    WarpAdjustState& a = s.warpAdjust;
    if (a.LastSentSpacing < 0)
        a.LastSentSpacing = position;
    if (a.WarpBusy || s.flag(Flag::Refreshing)) {
        // A refill stores; a change during a pending reply springs back.
        const int shown = a.WarpBusy ? a.LastSentSpacing : position;
        a.GridSpacing[CurrentWarpWindow(s)] = shown;
        s.ui.setCaption(ctl::STGridVal, QString::number(shown));
        if (a.WarpBusy)
            s.ui.set(ctl::TBGrid, Prop::Position, shown);
        return;
    }
    a.GridSpacing[CurrentWarpWindow(s)] = position;
    s.ui.setCaption(ctl::STGridVal, QString::number(position));
    a.LastSentSpacing = position;
    s.PendingOp = Op::WarpGrid;
    a.WarpBusy = true;
    SendText(s, "s00GRD+000", position);
}

void BtnWPResetClick(Session& s)
{
    if (s.ui.message(
            MsgIcon::Information, QString(), QStringLiteral("Do you want to reset warp?"), MsgButtons::YesNo)
        != MsgResult::Yes)
        return;
    WarpModel& m = CurrentWarpModel(s);
    WarpAdjustState& a = s.warpAdjust;
    const std::size_t w = CurrentWarpWindow(s);
    if (m.ControlPattern == WarpMode::Keystone) {
        a.KeystoneCorners[w].fill({});
    } else if (m.ControlPattern == WarpMode::Wall) {
        a.WallPoints[w].fill({});
    } else {
        for (int k = 0; k < kGridSize; ++k)
            for (int j = 0; j < kGridSize; ++j)
                SetPointOffset(m, k, j, {});
        a.ControlOffsets[w].fill({});
    }
    s.PendingOp = Op::WarpResetBlock1;
    SendBulkBlock(s, 1, BulkMode(m));
    a.UndoHistory[w].clear();
}

void BtnWPUndoClick(Session& s)
{
    if (s.PendingOp != Op::Idle)
        return;
    WarpAdjustState& a = s.warpAdjust;
    std::vector<std::uint8_t>& h = a.UndoHistory[CurrentWarpWindow(s)];
    s.setFlag(Flag::WarpUndo, true);
    if (h.size() < kWarpUndoRecordSize) {
        s.setFlag(Flag::WarpUndo, false);
        return;
    }
    const WarpUndoRecord r
        = WarpUndoAt(s, int(CurrentWarpWindow(s)), WarpUndoCount(s, int(CurrentWarpWindow(s))) - 1);
    h.erase(h.end() - std::ptrdiff_t(kWarpUndoRecordSize), h.end());
    a.ReplayAmount = std::abs(r.amount);
    s.ui.appendMemo(QStringLiteral("UNDO Mode:") + Hex4(r.action));
    a.SavedCursor = {std::int16_t(r.column), std::int16_t(r.row)};

    switch (r.action) {
    case int(WarpDir::Left):
        MoveWarpPoint(s, WarpDir::Right);
        break;
    case int(WarpDir::Right):
        MoveWarpPoint(s, WarpDir::Left);
        break;
    case int(WarpDir::Up):
        MoveWarpPoint(s, WarpDir::Down);
        break;
    case int(WarpDir::Down):
        MoveWarpPoint(s, WarpDir::Up);
        break;
    case kUndoCursorLeft:
        MoveWarpCursor(s, WarpDir::Right);
        break;
    case kUndoCursorRight:
        MoveWarpCursor(s, WarpDir::Left);
        break;
    case kUndoCursorUp:
        MoveWarpCursor(s, WarpDir::Down);
        break;
    case kUndoCursorDown:
        MoveWarpCursor(s, WarpDir::Up);
        break;
    default:
        // A mode change goes back to the previous mode, WALL and warp off included.
        if (const int previous = r.action - kUndoMode;
            (previous >= WarpMode::Off && previous <= WarpMode::Grid9x5) || previous == WarpMode::Wall)
            SelectWarpMode(s, previous);
        else if (previous == WarpMode::Points)
            EnterPointMode(s);
        else if (previous >= WarpMode::FirstUserMap && previous <= WarpMode::LastUserMap)
            SelectUserMap(s, previous - WarpMode::FirstUserMap);
        break;
    }
    s.setFlag(Flag::WarpUndo, false);
    // A replay that did not start a move leaves no step behind for the next move.
    if (s.PendingOp != Op::WarpMoveX && s.PendingOp != Op::WarpMoveY)
        a.ReplayAmount = 0;
    a.SavedCursor = {};
}

void WarpAdjustStep(Session& s, int op)
{
    if (op == Op::WarpMove || op == Op::WarpGrid) {
        EndBusy(s);
    } else if (op == Op::WarpMoveX || op == Op::WarpMoveY) {
        MoveEchoStep(s, op);
    } else if (op >= Op::WarpResetBlock1 && op <= Op::WarpResetUpdate4) {
        ResetStep(s, op);
    } else if (op >= Op::WarpReselectBlock1 && op <= Op::WarpReselectUpdate3) {
        ReselectStep(s, op);
    }
}

int WarpUndoCount(const Session& s, int window)
{
    return int(s.warpAdjust.UndoHistory.at(std::size_t(window & 3)).size() / kWarpUndoRecordSize);
}

WarpUndoRecord WarpUndoAt(const Session& s, int window, int index)
{
    const std::vector<std::uint8_t>& h = s.warpAdjust.UndoHistory.at(std::size_t(window & 3));
    const std::size_t at = std::size_t(index) * kWarpUndoRecordSize;
    if (index < 0 || at + kWarpUndoRecordSize > h.size())
        return {};
    auto word = [&h, at](std::size_t k) {
        std::uint32_t v = 0;
        for (int b = 0; b < 4; ++b)
            v |= std::uint32_t(h[at + 4 * k + std::size_t(b)]) << (8 * b);
        return std::int32_t(v);
    };
    return {word(0), word(1), word(2), word(3)};
}

} // namespace trivel
