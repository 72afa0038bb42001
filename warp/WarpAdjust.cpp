#include "warp/WarpAdjust.h"

#include "link/SettingCodec.h"
#include "session/PendingOps.h"
#include "session/Session.h"
#include "warp/Controls.h"
#include "warp/WarpModel.h"
#include "warp/WarpOps.h"

#include <algorithm>
#include <cstdlib>

namespace trivel {

namespace {

constexpr int kOffsetLimit = 600;
constexpr int kCursorFrameDelay = 80;
constexpr int kModeDelay = 250;
constexpr int kShowDelay = 60;
constexpr std::size_t kChunkBytes = 408;
constexpr int kPointChunks = 3;

constexpr int kPatternColours[kPatternColourCount] = {0, 7, 1, 2, 4, 6, 5, 3, 15};

// Undo actions besides the moves (0..3 = WarpDir).
constexpr int kUndoCursorLeft = 4;
constexpr int kUndoCursorRight = 5;
constexpr int kUndoCursorUp = 6;
constexpr int kUndoCursorDown = 7;
constexpr int kUndoMode = 0x1000;

QString Hex4(int v)
{
    return QStringLiteral("%1").arg(v & 0xFFFF, 4, 16, QLatin1Char('0')).toUpper();
}

std::size_t Win(const Session& s)
{
    return std::size_t(s.CurrentWindow & 3);
}

// WarpWindow always follows the selected output window.
WarpModel& Model(Session& s)
{
    s.warp.WarpWindow = int(Win(s));
    return s.warp.current();
}

bool HasControlGrid(int mode)
{
    return mode == WarpMode::Keystone || mode == WarpMode::Grid3x3 || mode == WarpMode::Grid5x3
        || mode == WarpMode::Grid9x5 || mode == WarpMode::Wall || mode == WarpMode::Points;
}

int ControlIndex(const CursorPos& c)
{
    return std::clamp(c.row * 9 + c.column, 0, kControlPoints - 1);
}

// Corners in the order top-left, top-right, bottom-left, bottom-right.
int CornerIndex(const CursorPos& c)
{
    return (c.column > 0 ? 1 : 0) + (c.row > 0 ? 2 : 0);
}

// The eight wall points skip the centre of the 3 x 3 positions.
int WallIndex(const CursorPos& c)
{
    int i = (c.row / 2) * 3 + c.column / 4;
    if (i > 4)
        --i;
    return std::clamp(i, 0, kWallPoints - 1);
}

std::int16_t Clamp(int v)
{
    return std::int16_t(std::clamp(v, -kOffsetLimit, kOffsetLimit));
}

bool Linked(const Session& s)
{
    return s.flag(Flag::LinkedWarp);
}

void SendText(Session& s, const char* tpl, int value, std::uint32_t code = Cmd::Setting)
{
    SettingCommand cmd = MakeSettingCommand(tpl);
    EncodeSettingValue(value, cmd);
    PutSettingFrame(s.RequestBuffer, code, cmd);
    SendFrame(s);
}

void SendUpdate(Session& s, int step)
{
    // UDT 3 follows the linked warp mode like the mode command does.
    SendText(s, "s00UDT+001", step, step == 3 && Linked(s) ? Cmd::SettingAlt : Cmd::Setting);
}

void SendSelectedPoint(Session& s)
{
    SendText(s, "s0095I+000", ControlIndex(Model(s).ControlCursor));
}

void SendControlCursorFrame(Session& s, bool shown)
{
    const int saved = s.PostSendDelay;
    s.PostSendDelay = kCursorFrameDelay;
    s.clearRequest(512);
    FrameView f = s.request();
    f.setCode(Cmd::ControlCursor);
    f.put8(8, std::uint8_t(Win(s)));
    f.put8(9, std::uint8_t(ControlIndex(Model(s).ControlCursor)));
    f.put8(10, shown ? 1 : 0);
    SendFrame(s);
    s.PostSendDelay = saved;
}

void SendGridCursorFrame(Session& s)
{
    const int saved = s.PostSendDelay;
    s.PostSendDelay = kCursorFrameDelay;
    const CursorPos c = Model(s).GridCursor;
    s.clearRequest(512);
    FrameView f = s.request();
    f.setCode(Cmd::UserMapCursor);
    f.put8(8, std::uint8_t(Win(s)));
    f.put8(9, std::uint8_t(c.column));
    f.put8(10, std::uint8_t(c.row));
    f.put8(11, 1);
    SendFrame(s);
    s.PostSendDelay = saved;
}

void SendPatternColour(Session& s)
{
    if (!s.connected())
        return;
    s.clearRequest(512);
    FrameView f = s.request();
    f.setCode(Cmd::TestPatternColour);
    f.put8(8, std::uint8_t(Win(s)));
    f.put8(9, std::uint8_t(PatternColourCode(s.warpAdjust.PatternColourIndex[Win(s)])));
    SendFrame(s);
}

void SendPointFrame(Session& s)
{
    const WarpModel& m = Model(s);
    const CursorPos c = m.GridCursor;
    const OffsetPair p = m.PointOffsets.at(std::size_t(c.column)).at(std::size_t(c.row));
    s.clearRequest(512);
    FrameView f = s.request();
    f.setCode(Cmd::PointModePoint);
    f.put8(8, std::uint8_t(Win(s)));
    f.put8(10, std::uint8_t(c.column));
    f.put8(11, std::uint8_t(c.row));
    f.put8(12, 1);
    f.put32(16, std::uint32_t(std::int32_t(p.dx)));
    f.put32(20, std::uint32_t(std::int32_t(p.dy)));
    SendFrame(s);
}

void SendPointChunk(Session& s, int chunk)
{
    const WarpModel& m = Model(s);
    s.clearRequest(512);
    FrameView f = s.request();
    f.setCode(Cmd::PointModeChunk);
    f.put8(8, std::uint8_t(Win(s)));
    f.put8(9, std::uint8_t(chunk));
    // PointOffsets as the box stores them: column-major (dx, dy) int16 pairs.
    const std::size_t first = std::size_t(chunk) * kChunkBytes;
    const std::size_t total = std::size_t(kGridSize) * kGridSize * 4;
    const std::size_t len = std::min(kChunkBytes, total - first);
    for (std::size_t b = 0; b < len; b += 4) {
        const std::size_t point = (first + b) / 4;
        const OffsetPair p = m.PointOffsets[point / kGridSize][point % kGridSize];
        f.put16(32 + b, std::uint16_t(p.dx));
        f.put16(32 + b + 2, std::uint16_t(p.dy));
    }
    SendFrame(s);
}

void PutPairs(FrameView f, std::size_t at, const auto& pairs)
{
    for (std::size_t i = 0; i < pairs.size(); ++i) {
        f.put16(at + 4 * i, std::uint16_t(pairs[i].x));
        f.put16(at + 4 * i + 2, std::uint16_t(pairs[i].y));
    }
}

// Bulk block 1 carries the 9 x 5 offsets, block 2 the corners and the wall points.
void SendBulkBlock(Session& s, int block, int mode)
{
    const std::size_t w = Win(s);
    s.clearRequest(512);
    FrameView f = s.request();
    f.setCode(Cmd::BulkWarpBlock);
    f.put8(8, std::uint8_t(block));
    f.put8(9, std::uint8_t(mode));
    if (block == 1) {
        PutPairs(f, 12, s.warpAdjust.ControlOffsets[w]);
    } else {
        PutPairs(f, 12, s.warpAdjust.KeystoneCorners[w]);
        PutPairs(f, 50, s.warpAdjust.WallPoints[w]);
    }
    SendFrame(s);
}

// The box knows no bulk data for the point mode: its coarse source is the 9x5 grid.
int BulkMode(const WarpModel& m)
{
    return m.ControlPattern == WarpMode::Points ? WarpMode::Grid9x5 : m.ControlPattern;
}

const Control* ModeButton(int mode)
{
    switch (mode) {
    case WarpMode::Keystone:
        return &ctl::BtnWP2x2;
    case WarpMode::Grid3x3:
        return &ctl::BtnWP3x3;
    case WarpMode::Grid5x3:
        return &ctl::BtnWP5x3;
    case WarpMode::Grid9x5:
        return &ctl::BtnWP9x5;
    case WarpMode::Wall:
        return &ctl::BtnWPWall;
    default:
        return nullptr;
    }
}

void ShowModeButtons(Session& s, int mode)
{
    const Control* down = ModeButton(mode);
    for (int m :
        {WarpMode::Keystone, WarpMode::Grid3x3, WarpMode::Grid5x3, WarpMode::Grid9x5, WarpMode::Wall})
        if (ModeButton(m) != down)
            s.ui.setChecked(*ModeButton(m), false);
    if (down)
        s.ui.setChecked(*down, true);
}

CursorPos CurrentCursor(const WarpModel& m)
{
    return m.ControlPattern == WarpMode::Points ? m.GridCursor : m.ControlCursor;
}

// Writes the pending entry (unless an undo is being replayed) and clears it.
void RecordUndo(Session& s)
{
    WarpAdjustState& a = s.warpAdjust;
    if (s.flag(Flag::WarpUndo) || a.ReplayAmount != 0) {
        a.ReplayAmount = 0;
    } else {
        const WarpUndoRecord& r = a.PendingUndo;
        s.ui.appendMemo(QStringLiteral("UNDO Mode:") + Hex4(r.action));
        std::vector<std::uint8_t>& h = a.UndoHistory[Win(s)];
        for (std::int32_t v : {r.action, r.amount, r.column, r.row})
            for (int b = 0; b < 4; ++b)
                h.push_back(std::uint8_t(std::uint32_t(v) >> (8 * b)));
        s.ui.appendMemo(QStringLiteral("UNDO Countr:%1").arg(h.size() / kWarpUndoRecordSize));
    }
    a.PendingUndo = {};
}

void SetPendingUndo(Session& s, int action, int amount, CursorPos at)
{
    s.warpAdjust.PendingUndo = {action, amount, at.column, at.row};
}

void EndBusy(Session& s)
{
    s.warpAdjust.WarpBusy = false;
    s.PendingOp = Op::Idle;
}

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
        SendBulkBlock(s, 2, BulkMode(Model(s)));
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
        SendBulkBlock(s, 2, BulkMode(Model(s)));
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
        if (Model(s).ControlPattern == WarpMode::Points)
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
    PointOffset& p = a.ControlOffsets[Win(s)][std::size_t(ControlIndex(Model(s).ControlCursor))];
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
        RecordUndo(s);
    }
    a.WarpBusy = false;
}

void PointModeMove(Session& s, int dx, int dy)
{
    WarpModel& m = Model(s);
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

int PatternColourCode(int index)
{
    return index >= 0 && index < kPatternColourCount ? kPatternColours[index] : 0;
}

void ShowWarpPointValues(Session& s)
{
    const WarpModel& m = Model(s);
    const std::size_t w = Win(s);
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
    ShowModeButtons(s, Model(s).ControlPattern);
}

void RefreshWarpAdjust(Session& s)
{
    const std::size_t w = Win(s);
    const WarpAdjustState& a = s.warpAdjust;
    ShowModeButtons(s, Model(s).ControlPattern);
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
        f.put8(8, std::uint8_t(Win(s)));
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
    bool& userMapShown = s.warpAdjust.UserMapShown[Win(s)];
    if (userMapShown) {
        SendUpdate(s, 3);
        userMapShown = false;
    }
}

void SelectWarpMode(Session& s, int mode)
{
    WarpModel& m = Model(s);
    WarpAdjustState& a = s.warpAdjust;
    const std::size_t w = Win(s);
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

    m.ControlPattern = std::uint8_t(mode);
    if (mode == a.ConfirmedMode[w]) {
        // The box still holds this mode's tables: send the cached ones instead of a mode change.
        s.PendingOp = Op::WarpReselectBlock1;
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
    WarpModel& m = Model(s);
    if (!HasControlGrid(m.ControlPattern))
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
    WarpModel& m = Model(s);
    WarpAdjustState& a = s.warpAdjust;
    const std::size_t w = Win(s);
    const int mode = m.ControlPattern;
    if (!HasControlGrid(mode) || s.PendingOp != Op::Idle)
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
        p = &a.ControlOffsets[w][std::size_t(ControlIndex(m.ControlCursor))];
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
        SettingCommand cmd = MakeSettingCommand("s00TLA+000");
        const int corner = CornerIndex(m.ControlCursor);
        if (corner >= 2)
            cmd[3] = 'B';
        if (corner & 1)
            cmd[4] = 'R';
        cmd[5] = horizontal ? 'A' : 'B';
        EncodeSettingValue(value, cmd);
        PutSettingFrame(s.RequestBuffer, Linked(s) ? Cmd::SettingAlt : Cmd::Setting, cmd);
        SendFrame(s);
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

void TBAdjustStep2Change(Session& s, int position)
{
    s.warpAdjust.MoveStep[Win(s)] = std::clamp(position, 1, 64);
    s.ui.setCaption(ctl::STAdjustValue2, QString::number(position));
}

void CBPatternSel1Change(Session& s, int index)
{
    s.warpAdjust.PatternColourIndex[Win(s)] = std::clamp(index, 0, kPatternColourCount - 1);
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
        a.GridSpacing[Win(s)] = shown;
        s.ui.setCaption(ctl::STGridVal, QString::number(shown));
        if (a.WarpBusy)
            s.ui.set(ctl::TBGrid, Prop::Position, shown);
        return;
    }
    a.GridSpacing[Win(s)] = position;
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
    WarpModel& m = Model(s);
    WarpAdjustState& a = s.warpAdjust;
    const std::size_t w = Win(s);
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
    std::vector<std::uint8_t>& h = a.UndoHistory[Win(s)];
    s.setFlag(Flag::WarpUndo, true);
    if (h.size() < kWarpUndoRecordSize) {
        s.setFlag(Flag::WarpUndo, false);
        return;
    }
    const WarpUndoRecord r = WarpUndoAt(s, int(Win(s)), WarpUndoCount(s, int(Win(s))) - 1);
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
