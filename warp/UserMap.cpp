#include "warp/UserMap.h"

#include "session/PendingOps.h"
#include "session/Session.h"
#include "warp/Controls.h"
#include "warp/WarpAdjust.h"
#include "warp/WarpFrames.h"
#include "warp/WarpModel.h"
#include "warp/WarpOps.h"
#include "warp/WarpSpline.h"

#include <QLoggingCategory>

#include <cmath>
#include <memory>

namespace trivel {

namespace {

constexpr int kWallLimit = 900;
constexpr int kChunkColumns = 3;
constexpr std::size_t kChunkPayload = std::size_t(kChunkColumns) * kSourceTableRows * 2; // 468
static_assert(kSourceTableColumns / kChunkColumns == kUserMapChunksPerTable);

struct UserMapRecord {
    std::int32_t pattern, column, row, dx, dy;
};

UserMapState& State(Session& s)
{
    return s.warpAdjust.userMap;
}

int Step(Session& s)
{
    // The Shift key's fine step of the Warp Adjust page counts here too.
    return s.warpAdjust.FineStep ? 1 : State(s).EditStep[CurrentWarpWindow(s)];
}

void Record(Session& s, OffsetPair old)
{
    const WarpModel& m = CurrentWarpModel(s);
    std::vector<std::uint8_t>& h = State(s).UndoHistory[CurrentWarpWindow(s)];
    for (std::int32_t v : {std::int32_t(m.WarpPattern), std::int32_t(m.GridCursor.column),
             std::int32_t(m.GridCursor.row), std::int32_t(old.dx), std::int32_t(old.dy)})
        for (int b = 0; b < 4; ++b)
            h.push_back(std::uint8_t(std::uint32_t(v) >> (8 * b)));
}

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

void SendWallOffsets(Session& s)
{
    const WarpModel& m = CurrentWarpModel(s);
    static constexpr int kPoints[8][2]
        = {{0, 0}, {8, 0}, {16, 0}, {0, 8}, {16, 8}, {0, 16}, {8, 16}, {16, 16}};
    s.clearRequest(512);
    FrameView f = s.request();
    f.setCode(Cmd::UserMapWall);
    f.put8(8, std::uint8_t(CurrentWarpWindow(s)));
    for (std::size_t i = 0; i < 8; ++i) {
        const OffsetPair p = m.WallOffsets[std::size_t(kPoints[i][0])][std::size_t(kPoints[i][1])];
        f.put16(32 + 4 * i, std::uint16_t(p.dx));
        f.put16(34 + 4 * i, std::uint16_t(p.dy));
    }
    SendFrame(s);
}

void SendChunk(Session& s, bool y)
{
    const UserMapState& u = State(s);
    const auto& table = y ? u.CopyY : u.CopyX;
    s.clearRequest(512);
    FrameView f = s.request();
    f.setCode(y ? Cmd::UserMapSourceY : Cmd::UserMapSourceX);
    f.put8(8, std::uint8_t(u.TransferChunk));
    f.put8(9, kChunkColumns);
    const std::size_t first = std::size_t(u.TransferChunk) * kSourceTableRows;
    for (std::size_t i = 0; i < kChunkPayload / 2; ++i)
        f.put16(32 + 2 * i, table[first + i]);
    SendFrame(s);
}

void StartTableTransfer(Session& s)
{
    if (!s.connected())
        return;
    UserMapState& u = State(s);
    if (s.TmrStatus)
        s.TmrStatus->setEnabled(false);
    s.warpAdjust.WarpBusy = true;
    u.TransferChunk = 0;
    u.CopyX = s.warp.SourceXTable;
    u.CopyY = s.warp.SourceYTable;
    s.PendingOp = Op::UserMapX;
    SendChunk(s, false);
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

// The single-point rule: true when the point changed.
bool EditPoint(Session& s, int column, int row, int dx, int dy)
{
    WarpModel& m = CurrentWarpModel(s);
    const OffsetPair old = m.PointOffsets[std::size_t(column)][std::size_t(row)];
    OffsetPair p = old;
    if (dx != 0)
        p.dx = std::int16_t(NeighbourLimited(m, column, row, false, old.dx + dx));
    else
        p.dy = std::int16_t(NeighbourLimited(m, column, row, true, old.dy + dy));
    if (p == old)
        return false;
    Record(s, old);
    SetPointOffset(m, column, row, p);
    return true;
}

// Rebuild and transfer after an edit; a grid the splines cannot pass keeps the edit unsent.
void RebuildAndTransfer(Session& s)
{
    WarpModel& m = CurrentWarpModel(s);
    try {
        RebuildWarpTables(s.warp);
    } catch (const WarpMathError& e) {
        qCWarning(lcWarp) << "user map not sent:" << e.what();
        return;
    }
    if (m.WarpPattern != Pattern2x2 && m.GridCursor.column == 0)
        State(s).FullTransfer = true;
    StartTableTransfer(s);
}

const Control* PatternButton(int pattern)
{
    static constexpr const Control* kButtons[] = {&ctl::WP2x2Btn, &ctl::WP3x3Btn, &ctl::WP5x3Btn,
        &ctl::WP5x5Btn, &ctl::WP9x5Btn, &ctl::WP9x9Btn, &ctl::WP17x17Btn, &ctl::WPWallBtn};
    return pattern >= 0 && pattern < 8 ? kButtons[pattern] : nullptr;
}

void SendUserMapPatternColour(Session& s)
{
    const std::size_t w = CurrentWarpWindow(s);
    s.clearRequest(512);
    FrameView f = s.request();
    f.setCode(Cmd::TestPatternColour);
    f.put8(8, std::uint8_t(w));
    f.put8(9, std::uint8_t(PatternColourCode(s.UserMapPatternIndex[w])));
    SendFrame(s);
}

} // namespace

void TabWapAdjustShow(Session& s)
{
    const std::size_t w = CurrentWarpWindow(s);
    WarpModel& m = CurrentWarpModel(s);
    if (s.TmrStatus)
        s.TmrStatus->setEnabled(false);
    s.PostSendDelay = 50;
    s.clearRequest(512);
    s.request().setCode(Cmd::BlendMarker);
    s.request().put8(8, std::uint8_t(w));
    SendFrame(s);
    SendUserMapPatternColour(s);
    SendGridCursorFrame(s);
    SendGridCursorFrame(s);
    s.PostSendDelay = 0;
    bool& shown = s.warpAdjust.UserMapShown[w];
    if (!shown) {
        if (m.WarpPattern == PatternWall) {
            SendWallOffsets(s);
        } else if (State(s).TableTransferred[w]) {
            s.clearRequest(512);
            s.request().setCode(Cmd::UserMapUseStored);
            SendFrame(s);
        } else {
            bool built = true;
            try {
                RebuildWarpTables(s.warp);
            } catch (const WarpMathError&) {
                built = false;
                s.clock.sleepMs(50);
            }
            if (built) {
                State(s).FullTransfer = true;
                StartTableTransfer(s);
            }
        }
    }
    shown = true;
    if (s.TmrStatus)
        s.TmrStatus->setEnabled(true);
}

void SelectUserMapPattern(Session& s, int pattern)
{
    if (s.flag(Flag::Refreshing) || pattern < 0 || pattern > 7)
        return;
    WarpModel& m = CurrentWarpModel(s);
    m.GridCursor = {};
    SelectWarpPattern(s.warp, std::uint8_t(pattern));
    CapturePointOffsets(m);
    SendGridCursorFrame(s);
    for (int p = 0; p < 8; ++p)
        s.ui.setChecked(*PatternButton(p), p == pattern);
}

void MoveUserMapCursor(Session& s, WarpDir dir)
{
    const int dc = dir == WarpDir::Left ? -1 : (dir == WarpDir::Right ? 1 : 0);
    const int dr = dir == WarpDir::Up ? -1 : (dir == WarpDir::Down ? 1 : 0);
    CurrentWarpModel(s);
    MoveGridCursor(s.warp, dc, dr);
    SendGridCursorFrame(s);
}

void EditUserMapPoint(Session& s, WarpDir dir)
{
    if (s.warpAdjust.WarpBusy)
        return;
    WarpModel& m = CurrentWarpModel(s);
    const int step = Step(s);
    const bool horizontal = dir == WarpDir::Left || dir == WarpDir::Right;
    const int sign = dir == WarpDir::Left || dir == WarpDir::Up ? -1 : 1;
    const int dx = horizontal ? sign * step : 0;
    const int dy = horizontal ? 0 : sign * step;
    const CursorPos c = m.GridCursor;

    if (m.WarpPattern == PatternWall) {
        OffsetPair& p = m.WallOffsets[std::size_t(c.column)][std::size_t(c.row)];
        OffsetPair next = p;
        next.dx = std::int16_t(std::clamp(p.dx + dx, -kWallLimit, kWallLimit));
        next.dy = std::int16_t(std::clamp(p.dy + dy, -kWallLimit, kWallLimit));
        if (next != p) {
            Record(s, p);
            p = next;
        }
        s.warpAdjust.WarpBusy = true;
        s.PendingOp = Op::UserMapApplied;
        SendWallOffsets(s);
        return;
    }
    if (m.WarpPattern == Pattern2x2) {
        const int corner = CornerOf(c.column, c.row);
        const OffsetPair old = m.CornerOffsets[std::size_t(corner)];
        Record(s, old);
        SetCornerOffset(m, corner, {std::int16_t(old.dx + dx), std::int16_t(old.dy + dy)});
        RebuildAndTransfer(s);
        return;
    }
    if (!State(s).LineMode) {
        if (EditPoint(s, c.column, c.row, dx, dy))
            RebuildAndTransfer(s);
        return;
    }
    // Line mode: up/down move the cursor's row, left/right its column, point by point.
    const CursorPos home = c;
    if (horizontal)
        m.GridCursor.row = 0;
    else
        m.GridCursor.column = 0;
    do {
        EditPoint(s, m.GridCursor.column, m.GridCursor.row, dx, dy);
        MoveGridCursor(s.warp, horizontal ? 0 : 1, horizontal ? 1 : 0);
    } while ((horizontal ? m.GridCursor.row : m.GridCursor.column) != 0);
    m.GridCursor = home;
    RebuildAndTransfer(s);
}

void TBAdjustStepChange(Session& s, int position)
{
    State(s).EditStep[CurrentWarpWindow(s)] = position;
    s.ui.setCaption(ctl::STAdjustValue, QString::number(position));
}

void CBPatternSelChange(Session& s, int index)
{
    s.UserMapPatternIndex[CurrentWarpWindow(s)] = std::clamp(index, 0, kPatternColourCount - 1);
    SendUserMapPatternColour(s);
}

void CBLineMoveClick(Session& s, bool checked)
{
    State(s).LineMode = checked;
}

void UserMapReset(Session& s)
{
    CurrentWarpModel(s);
    ResetWarpWindow(s.warp);
    ResetGridPositions(s.warp);
    State(s).UndoHistory[CurrentWarpWindow(s)].clear();
    StartTableTransfer(s);
}

void UserMapUndo(Session& s)
{
    std::vector<std::uint8_t>& h = State(s).UndoHistory[CurrentWarpWindow(s)];
    if (h.size() < kUserMapUndoRecordSize)
        return;
    WarpModel& m = CurrentWarpModel(s);
    // A rebuild that fails puts back the model and the history as they were.
    const auto before = std::make_unique<WarpState>(s.warp);
    const std::vector<std::uint8_t> history = h;
    const UserMapRecord r = PopRecord(h);
    const int column = std::clamp(r.column, 0, kGridSize - 1);
    const int row = std::clamp(r.row, 0, kGridSize - 1);
    m.GridCursor = {std::int16_t(column), std::int16_t(row)};
    const OffsetPair old{std::int16_t(r.dx), std::int16_t(r.dy)};
    if (r.pattern == PatternWall) {
        // A WALL record goes back into the wall offsets, and the box hears of it.
        m.WallOffsets[std::size_t(column)][std::size_t(row)] = old;
        SendGridCursorFrame(s);
        s.warpAdjust.WarpBusy = true;
        s.PendingOp = Op::UserMapApplied;
        SendWallOffsets(s);
        return;
    }
    if (r.pattern == Pattern2x2)
        SetCornerOffset(m, CornerOf(column, row), old);
    else
        SetPointOffset(m, column, row, old);
    const std::uint8_t current = m.WarpPattern;
    SelectWarpPattern(s.warp, std::uint8_t(std::clamp(r.pattern, 0, 6)));
    SendGridCursorFrame(s);
    try {
        RebuildWarpTables(s.warp);
    } catch (const WarpMathError& e) {
        qCWarning(lcWarp) << "undo not applied:" << e.what();
        s.warp = *before;
        h = history;
        s.ui.message(MsgIcon::Warning, QString(),
            QStringLiteral("The warp grid cannot be computed with this step undone: two points would lie on "
                           "top of each other. Nothing was changed."),
            MsgButtons::Ok);
        return;
    }
    StartTableTransfer(s);
    SelectWarpPattern(s.warp, current);
}

void RefreshUserMap(Session& s)
{
    const std::size_t w = CurrentWarpWindow(s);
    const int pattern = CurrentWarpModel(s).WarpPattern;
    for (int p = 0; p < 8; ++p)
        s.ui.setChecked(*PatternButton(p), p == pattern);
    s.ui.set(ctl::TBAdjustStep, Prop::Position, State(s).EditStep[w]);
    s.ui.setCaption(ctl::STAdjustValue, QString::number(State(s).EditStep[w]));
    s.ui.set(ctl::CBPatternSel, Prop::ItemIndex, s.UserMapPatternIndex[w]);
}

int UserMapUndoCount(const Session& s, int window)
{
    return int(s.warpAdjust.userMap.UndoHistory.at(std::size_t(window & 3)).size() / kUserMapUndoRecordSize);
}

void TransferUserMapTables(Session& s)
{
    CurrentWarpModel(s);
    State(s).FullTransfer = true;
    StartTableTransfer(s);
}

int UserMapChunksAcknowledged(const Session& s)
{
    const int chunks = s.warpAdjust.userMap.TransferChunk / kChunkColumns;
    if (s.PendingOp == Op::UserMapX)
        return chunks;
    if (s.PendingOp == Op::UserMapY)
        return kUserMapChunksPerTable + chunks;
    return s.PendingOp == Op::UserMapApplied ? 2 * kUserMapChunksPerTable : 0;
}

void UserMapStep(Session& s, int op)
{
    UserMapState& u = State(s);
    const std::uint32_t code = s.reply().code();
    switch (op) {
    case Op::UserMapX:
        if (code != Cmd::UserMapSourceX) {
            s.ui.appendMemo(QStringLiteral("X CMD ERROR:") + Hex4(int(code)));
            return;
        }
        u.TransferChunk += kChunkColumns;
        if (u.TransferChunk >= kSourceTableColumns || !u.FullTransfer) {
            u.TransferChunk = 0;
            s.PendingOp = Op::UserMapY;
            SendChunk(s, true);
        } else {
            SendChunk(s, false);
        }
        break;
    case Op::UserMapY:
        if (code != Cmd::UserMapSourceY)
            return;
        u.TransferChunk += kChunkColumns;
        if (u.TransferChunk < kSourceTableColumns && u.FullTransfer) {
            SendChunk(s, true);
        } else if (u.FullTransfer) {
            s.PendingOp = Op::UserMapApplied;
            s.clearRequest(512);
            s.request().setCode(Cmd::UserMapApply);
            s.request().put8(8, std::uint8_t(CurrentWarpWindow(s)));
            SendFrame(s);
        } else {
            // The first transfer sends one chunk of each table, then everything.
            u.FullTransfer = true;
            StartTableTransfer(s);
        }
        break;
    case Op::UserMapApplied:
        s.warpAdjust.WarpBusy = false;
        s.PendingOp = Op::Idle;
        u.TableTransferred[CurrentWarpWindow(s)] = true;
        if (s.TmrStatus)
            s.TmrStatus->setEnabled(true);
        break;
    default:
        break;
    }
}

} // namespace trivel
