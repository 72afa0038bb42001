#include "warp/WarpPointMode.h"

#include "session/PendingOps.h"
#include "session/Session.h"
#include "warp/Controls.h"
#include "warp/WarpAdjust.h"
#include "warp/WarpFrames.h"
#include "warp/WarpModel.h"
#include "warp/WarpOps.h"
#include "warp/WarpSpline.h"

#include <QLoggingCategory>

#include <memory>

namespace trivel {

namespace {

constexpr std::size_t kMapBlockBytes = 256;
constexpr std::size_t kPointBytes = std::size_t(kGridSize) * kGridSize * 4;

void SendMapFrame(Session& s, std::uint32_t code, int byte9, int byte12)
{
    s.clearRequest(512);
    FrameView f = s.request();
    f.setCode(code);
    f.put8(8, std::uint8_t(CurrentWarpWindow(s)));
    f.put8(9, std::uint8_t(byte9));
    f.put8(12, std::uint8_t(byte12));
    SendFrame(s);
}

void SendReadBlock(Session& s, int block)
{
    SendMapFrame(s, Cmd::ReadWarpMapBlock, 0, block);
}

// The corner requests of a loaded map, TLA .. BRB: corner k / 2, y when k is odd.
void SendCornerRequest(Session& s, int k)
{
    const int corner = k / 2;
    const bool y = k % 2 != 0;
    const PointOffset p = s.warpAdjust.KeystoneCorners[CurrentWarpWindow(s)][std::size_t(corner)];
    SendCornerCommand(s, corner, y, y ? p.y : p.x);
}

// n bytes of PointOffsets from byte `at` of the box's column-major layout.
void StorePointBytes(Session& s, std::size_t at, std::size_t from, std::size_t n)
{
    WarpModel& m = CurrentWarpModel(s);
    const FrameView r = s.reply();
    for (std::size_t b = 0; b + 1 < n && at + b + 1 < kPointBytes; b += 2) {
        const std::size_t word = (at + b) / 2;
        const std::size_t point = word / 2;
        const int column = int(point / kGridSize);
        const int row = int(point % kGridSize);
        OffsetPair p = m.PointOffsets[std::size_t(column)][std::size_t(row)];
        (word % 2 == 0 ? p.dx : p.dy) = r.i16(from + b);
        SetPointOffset(m, column, row, p);
    }
}

void ShowPointModeEntered(Session& s)
{
    WarpModel& m = CurrentWarpModel(s);
    m.ControlPattern = WarpMode::Points;
    ShowModeButtons(s, WarpMode::Points);
}

} // namespace

void EnterPointMode(Session& s)
{
    WarpModel& m = CurrentWarpModel(s);
    const std::size_t w = CurrentWarpWindow(s);
    if (s.flag(Flag::Refreshing) || s.PendingOp != Op::Idle || m.ControlPattern == WarpMode::Points)
        return;
    const std::size_t historyBefore = s.warpAdjust.UndoHistory[w].size();
    SetPendingUndo(s, kUndoMode + m.ControlPattern, 0, m.ControlCursor);
    RecordUndo(s);
    s.ui.setEnabled(ctl::BtnLoadData, false);

    if (m.WarpPattern == Pattern17x17) {
        // The point offsets are current: no expansion.
        ShowPointModeEntered(s);
        m.GridCursor = {};
        SendGridCursorFrame(s);
        ShowWarpPointValues(s);
        SendPointFrame(s);
        return;
    }

    // The rebuild can fail half-way: keep what it may change to put it back.
    const auto before = std::make_unique<WarpState>(s.warp);
    const auto& control = s.warpAdjust.ControlOffsets[w];
    for (int c = 0; c < kGridSize; ++c) {
        for (int r = 0; r < kGridSize; ++r) {
            OffsetPair p = m.PointOffsets[std::size_t(c)][std::size_t(r)];
            if (r % 4 == 0 && c % 2 == 0) {
                const PointOffset& o = control[std::size_t((r / 4) * 9 + c / 2)];
                p = {o.x, o.y};
            }
            SetPointOffset(m, c, r, p);
        }
    }
    const int previous = m.ControlPattern;
    SelectWarpPattern(s.warp,
        previous == WarpMode::Grid3x3       ? Pattern3x3
            : previous == WarpMode::Grid5x3 ? Pattern5x3
                                            : Pattern9x5);
    try {
        RebuildWarpTables(s.warp);
    } catch (const WarpMathError& e) {
        // The splines cannot pass through this grid: leave the model and the history as they
        // were and tell the user instead of letting the failure escape the click.
        qCWarning(lcWarp) << "point mode not entered:" << e.what();
        s.warp = *before;
        s.warpAdjust.UndoHistory[w].resize(historyBefore);
        s.ui.setEnabled(ctl::BtnLoadData, true);
        s.ui.message(MsgIcon::Warning, QString(),
            QStringLiteral("The warp grid cannot be expanded to 17x17 points: two points lie on top of each "
                           "other. Move them apart and try again."),
            MsgButtons::Ok);
        return;
    }
    CapturePointOffsets(m);

    ShowModeButtons(s, WarpMode::Points);
    m.GridCursor = s.warpAdjust.SavedCursor;
    SendGridCursorFrame(s);
    m.ControlPattern = WarpMode::Points;
    // Only the pattern byte: the active counts stay those the expansion was built with.
    m.WarpPattern = Pattern17x17;
    s.clearRequest(512);
    FrameView f = s.request();
    f.setCode(Cmd::PointModeEnter);
    f.put8(8, std::uint8_t(w));
    SendFrame(s);
    ShowWarpPointValues(s);
}

void SelectUserMap(Session& s, int slot)
{
    WarpModel& m = CurrentWarpModel(s);
    if (slot < 0 || slot > 9 || s.warpAdjust.WarpBusy || s.flag(Flag::Refreshing) || s.PendingOp != Op::Idle)
        return;
    SetPendingUndo(s, kUndoMode + m.ControlPattern, 0, CurrentCursor(m));
    RecordUndo(s);
    m.ControlPattern = std::uint8_t(WarpMode::FirstUserMap + slot);
    SendText(s, "s00WPM+006", WarpMode::FirstUserMap + slot, Cmd::Setting);
    ShowModeButtons(s, m.ControlPattern);
    s.warpAdjust.LoadMapSlot = slot;
    s.ui.setEnabled(ctl::BtnLoadData, true);
}

void SaveUserMap(Session& s, int slot)
{
    WarpModel& m = CurrentWarpModel(s);
    if (slot < 0 || slot > 9 || s.warpAdjust.WarpBusy)
        return;
    SetPendingUndo(s, kUndoMode + m.ControlPattern, 0, CurrentCursor(m));
    RecordUndo(s);
    s.PendingOp = Op::WarpMapSave;
    SendMapFrame(s, Cmd::SaveWarpMap, slot, m.WarpPattern);
}

void LoadUserMap(Session& s)
{
    if (s.PendingOp != Op::Idle)
        return;
    s.PendingOp = Op::WarpMapQuery;
    SendMapFrame(s, Cmd::QueryWarpMap, s.warpAdjust.LoadMapSlot, 0);
}

void WarpMapStep(Session& s, int op)
{
    const FrameView r = s.reply();
    WarpModel& m = CurrentWarpModel(s);
    const std::size_t w = CurrentWarpWindow(s);
    if (op == Op::WarpMapSave) {
        s.clock.sleepMs(100);
        const int mode = WarpMode::FirstUserMap + std::min<int>(r.u8(9), 9);
        s.PendingOp = Op::WarpMapSelected;
        SendText(s, "s00WPM+006", mode, Cmd::Setting);
        m.ControlPattern = std::uint8_t(mode);
    } else if (op == Op::WarpMapSelected) {
        ShowModeButtons(s, m.ControlPattern);
        s.PendingOp = Op::Idle;
        s.warpAdjust.WarpBusy = false;
        s.ui.message(MsgIcon::Information, QString(), QStringLiteral("User Warp saved!!"), MsgButtons::Ok);
    } else if (op == Op::WarpMapQuery) {
        if (r.u8(8) == 1) {
            s.PendingOp = Op::WarpMapBlock0;
            SendReadBlock(s, 0);
        } else {
            s.PendingOp = Op::Idle;
            s.ui.message(MsgIcon::Information, QString(), QStringLiteral("No 17x17 warp information!!"),
                MsgButtons::Ok);
        }
    } else if (op >= Op::WarpMapBlock0 && op < Op::WarpMapBlock0 + 4) {
        const int block = op - Op::WarpMapBlock0;
        StorePointBytes(s, std::size_t(block) * kMapBlockBytes, 16, kMapBlockBytes);
        s.PendingOp = op + 1;
        SendReadBlock(s, block + 1);
    } else if (op == Op::WarpMapBlock0 + 4) {
        StorePointBytes(s, 4 * kMapBlockBytes, 16, kPointBytes - 4 * kMapBlockBytes);
        ReadPointPairs(r, 272, s.warpAdjust.KeystoneCorners[w]);
        m.ControlCursor = {};
        s.PendingOp = Op::WarpMapCorners;
        SendCornerRequest(s, 0);
    } else if (op >= Op::WarpMapCorners && op < Op::WarpMapPoint) {
        // Before the x request of each corner the cursor goes to that corner.
        const int k = op - Op::WarpMapCorners + 1;
        const CursorPos corners[] = {{0, 0}, {1, 0}, {0, 1}, {1, 1}};
        if (k % 2 == 0)
            m.ControlCursor = corners[k / 2];
        s.PendingOp = op + 1;
        SendCornerRequest(s, k);
    } else if (op == Op::WarpMapPoint) {
        s.clock.sleepMs(200);
        m.GridCursor = {};
        s.PendingOp = Op::WarpMapLoaded;
        SendPointFrame(s);
    } else if (op == Op::WarpMapLoaded) {
        // Idle before the paced cursor frame, whose own reply arrives inside its pause.
        s.PendingOp = Op::Idle;
        ShowPointModeEntered(s);
        m.WarpPattern = Pattern17x17;
        m.GridCursor = {};
        m.ControlCursor = {};
        SendGridCursorFrame(s);
        ShowWarpPointValues(s);
    }
}

} // namespace trivel
