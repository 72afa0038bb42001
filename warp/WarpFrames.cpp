#include "warp/WarpFrames.h"

#include "protocol/SettingCodec.h"
#include "session/PendingOps.h"
#include "session/Session.h"
#include "warp/Controls.h"
#include "warp/WarpAdjust.h"
#include "warp/WarpModel.h"

#include <algorithm>

namespace trivel {

namespace {

constexpr std::size_t kChunkBytes = 408;
constexpr int kPatternColours[kPatternColourCount] = {0, 7, 1, 2, 4, 6, 5, 3, 15};

} // namespace

int PatternColourCode(int index)
{
    return index >= 0 && index < kPatternColourCount ? kPatternColours[index] : 0;
}

QString Hex4(int v)
{
    return QStringLiteral("%1").arg(v & 0xFFFF, 4, 16, QLatin1Char('0')).toUpper();
}

std::size_t CurrentWarpWindow(const Session& s)
{
    return std::size_t(s.CurrentWindow & 3);
}

// WarpWindow always follows the selected output window.
WarpModel& CurrentWarpModel(Session& s)
{
    s.warp.WarpWindow = int(CurrentWarpWindow(s));
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

void SendText(Session& s, const char* tpl, int value, std::uint32_t code)
{
    SettingCommand cmd = MakeSettingCommand(tpl);
    EncodeSettingValue(value, cmd);
    PutSettingFrame(s.RequestBuffer, code, cmd);
    SendFrame(s);
}

void SendCornerCommand(Session& s, int corner, bool y, int value)
{
    // TLA is x of the top-left corner: B for a bottom corner, R for a right one, B for y.
    SettingCommand cmd = MakeSettingCommand("s00TLA+000");
    if (corner >= 2)
        cmd[3] = 'B';
    if (corner & 1)
        cmd[4] = 'R';
    cmd[5] = y ? 'B' : 'A';
    EncodeSettingValue(value, cmd);
    PutSettingFrame(s.RequestBuffer, Linked(s) ? Cmd::SettingAlt : Cmd::Setting, cmd);
    SendFrame(s);
}

void SendUpdate(Session& s, int step)
{
    // UDT 3 follows the linked warp mode like the mode command does.
    SendText(s, "s00UDT+001", step, step == 3 && Linked(s) ? Cmd::SettingAlt : Cmd::Setting);
}

void SendSelectedPoint(Session& s)
{
    SendText(s, "s0095I+000", ControlIndex(CurrentWarpModel(s).ControlCursor));
}

void SendControlCursorFrame(Session& s, bool shown)
{
    const int saved = s.PostSendDelay;
    s.PostSendDelay = kCursorFrameDelay;
    s.clearRequest(512);
    FrameView f = s.request();
    f.setCode(Cmd::ControlCursor);
    f.put8(8, std::uint8_t(CurrentWarpWindow(s)));
    f.put8(9, std::uint8_t(ControlIndex(CurrentWarpModel(s).ControlCursor)));
    f.put8(10, shown ? 1 : 0);
    SendFrame(s);
    s.PostSendDelay = saved;
}

void SendGridCursorFrame(Session& s)
{
    const int saved = s.PostSendDelay;
    s.PostSendDelay = kCursorFrameDelay;
    const CursorPos c = CurrentWarpModel(s).GridCursor;
    s.clearRequest(512);
    FrameView f = s.request();
    f.setCode(Cmd::UserMapCursor);
    f.put8(8, std::uint8_t(CurrentWarpWindow(s)));
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
    f.put8(8, std::uint8_t(CurrentWarpWindow(s)));
    f.put8(9, std::uint8_t(PatternColourCode(s.warpAdjust.PatternColourIndex[CurrentWarpWindow(s)])));
    SendFrame(s);
}

void SendPointFrame(Session& s)
{
    const WarpModel& m = CurrentWarpModel(s);
    const CursorPos c = m.GridCursor;
    const OffsetPair p = m.PointOffsets.at(std::size_t(c.column)).at(std::size_t(c.row));
    s.clearRequest(512);
    FrameView f = s.request();
    f.setCode(Cmd::PointModePoint);
    f.put8(8, std::uint8_t(CurrentWarpWindow(s)));
    f.put8(10, std::uint8_t(c.column));
    f.put8(11, std::uint8_t(c.row));
    f.put8(12, 1);
    f.put32(16, std::uint32_t(std::int32_t(p.dx)));
    f.put32(20, std::uint32_t(std::int32_t(p.dy)));
    SendFrame(s);
}

void SendPointChunk(Session& s, int chunk)
{
    const WarpModel& m = CurrentWarpModel(s);
    s.clearRequest(512);
    FrameView f = s.request();
    f.setCode(Cmd::PointModeChunk);
    f.put8(8, std::uint8_t(CurrentWarpWindow(s)));
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
    const std::size_t w = CurrentWarpWindow(s);
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
    case WarpMode::Points:
        return &ctl::BtnWP17x17;
    default:
        if (mode >= WarpMode::FirstUserMap && mode <= WarpMode::LastUserMap)
            return &ctl::BtnUserMaps[std::size_t(mode - WarpMode::FirstUserMap)];
        return nullptr;
    }
}

void ShowModeButtons(Session& s, int mode)
{
    const Control* down = ModeButton(mode);
    for (int m = 0; m <= WarpMode::Points; ++m)
        if (const Control* b = ModeButton(m); b && b != down)
            s.ui.setChecked(*b, false);
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
    RecordUndo(s, CurrentWarpWindow(s));
}

void RecordUndo(Session& s, std::size_t window)
{
    WarpAdjustState& a = s.warpAdjust;
    if (s.flag(Flag::WarpUndo) || a.ReplayAmount != 0) {
        a.ReplayAmount = 0;
    } else {
        const WarpUndoRecord& r = a.PendingUndo;
        s.ui.appendMemo(QStringLiteral("UNDO Mode:") + Hex4(r.action));
        std::vector<std::uint8_t>& h = a.UndoHistory[window & 3];
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

} // namespace trivel
