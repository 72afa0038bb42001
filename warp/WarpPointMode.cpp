// The 17x17 point mode of the Warp Adjust page and the ten user maps the box stores: entering the
// mode (the 9x5 offsets expanded along the splines), selecting, saving and loading a map.

#include "warp/Warp.h"

#include "protocol/WarpFrames.h"
#include "session/Session.h"
#include "warp/Controls.h"
#include "warp/WarpModel.h"
#include "warp/WarpSpline.h"

#include <QScopeGuard>

#include <memory>

namespace trivel {

namespace {

constexpr int kCursorPause = 80;
constexpr int kCornerRequests = 8;
constexpr int kPointChunks = 3; // 17 x 17 points of 4 bytes, 408 bytes a chunk

} // namespace

void Warp::showPointModeEntered(WarpModel& m)
{
    m.ControlPattern = WarpMode::Points;
    showModeButtons(WarpMode::Points);
}

void Warp::enterPointMode()
{
    WarpModel& m = currentModel();
    const std::size_t w = windowIndex();
    if (m_s.flag(Flag::Refreshing) || busy() || m.ControlPattern == WarpMode::Points)
        return;
    const std::size_t historyBefore = m_adjust.UndoHistory[w].size();
    recordUndo({kUndoMode + m.ControlPattern, 0, m.ControlCursor.column, m.ControlCursor.row});
    m_s.ui.setEnabled(ctl::BtnLoadData, false);

    if (m.WarpPattern == Pattern17x17) {
        // The point offsets are current: no expansion.
        showPointModeEntered(m);
        m.GridCursor = {};
        post(gridCursorRequest(), {.pauseMs = kCursorPause});
        showPointValues();
        post(pointRequest(w, m.GridCursor));
        return;
    }

    // The rebuild can fail half-way: keep what it may change to put it back.
    const auto before = std::make_unique<WarpState>(m_state);
    const auto& control = m_adjust.ControlOffsets[w];
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
    SelectWarpPattern(m_state,
        previous == WarpMode::Grid3x3       ? Pattern3x3
            : previous == WarpMode::Grid5x3 ? Pattern5x3
                                            : Pattern9x5);
    try {
        RebuildWarpTables(m_state);
    } catch (const WarpMathError& e) {
        // The splines cannot pass through this grid: leave the model and the history as they
        // were and tell the user instead of letting the failure escape the click.
        qCWarning(lcWarp) << "point mode not entered:" << e.what();
        m_state = *before;
        m_adjust.UndoHistory[w].resize(historyBefore);
        m_s.ui.setEnabled(ctl::BtnLoadData, true);
        m_s.ui.message(MsgIcon::Warning, QString(),
            QStringLiteral("The warp grid cannot be expanded to 17x17 points: two points lie on top of each "
                           "other. Move them apart and try again."),
            MsgButtons::Ok);
        return;
    }
    CapturePointOffsets(m);

    showModeButtons(WarpMode::Points);
    m.GridCursor = m_adjust.SavedCursor;
    post(gridCursorRequest(), {.pauseMs = kCursorPause});
    m.ControlPattern = WarpMode::Points;
    // Only the pattern byte: the active counts stay those the expansion was built with.
    m.WarpPattern = Pattern17x17;
    post(proto::PointModeEnter(int(w)));
    showPointValues();
}

Operation<void> Warp::sendPointOffsets(int window, GridArray<OffsetPair> offsets)
{
    const std::size_t w = std::size_t(window & 3);
    const auto hold = m_s.exchange.hold();
    WarpModel& m = model(int(w));
    for (int c = 0; c < kGridSize; ++c)
        for (int r = 0; r < kGridSize; ++r)
            SetPointOffset(m, c, r, offsets[std::size_t(c)][std::size_t(r)]);
    m.WarpPattern = Pattern17x17;
    m.ControlPattern = WarpMode::Points;
    for (int chunk = 0; chunk < kPointChunks; ++chunk)
        co_await m_s.exchange.send(pointChunkRequest(w, chunk));
    co_await m_s.exchange.send(proto::PointModeEnter(int(w)));
}

void Warp::selectUserMap(int slot)
{
    WarpModel& m = currentModel();
    if (slot < 0 || slot > 9 || m_adjust.WarpBusy || m_s.flag(Flag::Refreshing) || busy())
        return;
    const CursorPos at = CurrentCursor(m);
    recordUndo({kUndoMode + m.ControlPattern, 0, at.column, at.row});
    m.ControlPattern = std::uint8_t(WarpMode::FirstUserMap + slot);
    post(proto::WarpModeSelect(WarpMode::FirstUserMap + slot, false));
    showModeButtons(m.ControlPattern);
    m_adjust.LoadMapSlot = slot;
    m_s.ui.setEnabled(ctl::BtnLoadData, true);
}

Operation<void> Warp::saveUserMap(int slot)
{
    WarpModel& m = currentModel();
    if (slot < 0 || slot > 9 || m_adjust.WarpBusy)
        return Finished();
    const CursorPos at = CurrentCursor(m);
    recordUndo({kUndoMode + m.ControlPattern, 0, at.column, at.row});
    return saveChain(windowIndex(), slot);
}

// The box confirms the save with its slot; the map is then selected as a user map.
Operation<void> Warp::saveChain(std::size_t w, int slot)
{
    const auto hold = m_s.exchange.hold();
    const auto end = qScopeGuard([this] { m_adjust.WarpBusy = false; });
    WarpModel& m = model(int(w));
    const Reply saved = co_await m_s.exchange.send(proto::SaveWarpMap(int(w), slot, m.WarpPattern));
    const int mode = WarpMode::FirstUserMap + std::min(proto::MapSaveReplyView{saved}.slot(), 9);
    co_await m_s.exchange.delay(100);
    m.ControlPattern = std::uint8_t(mode);
    co_await m_s.exchange.send(proto::WarpModeSelect(mode, false));
    showModeButtons(m.ControlPattern);
    m_adjust.WarpBusy = false;
    m_s.ui.message(MsgIcon::Information, QString(), QStringLiteral("User Warp saved!!"), MsgButtons::Ok);
}

Operation<void> Warp::loadUserMap()
{
    if (busy())
        return Finished();
    return loadChain(windowIndex());
}

Operation<bool> Warp::slotHoldsMap(int slot)
{
    const auto hold = m_s.exchange.hold();
    const Reply query = co_await m_s.exchange.send(proto::QueryWarpMap(int(windowIndex()), slot));
    co_return proto::MapQueryReplyView{query}.held();
}

// n bytes of point offsets from byte `at` of the box's column-major layout.
void Warp::storePointBytes(WarpModel& m, const FrameView& reply, std::size_t at, std::size_t n)
{
    const proto::MapBlockReplyView v{reply};
    for (std::size_t b = 0; b + 1 < n && at + b + 1 < proto::kPointBytes; b += 2) {
        const std::size_t word = (at + b) / 2;
        const std::size_t point = word / 2;
        const int column = int(point / kGridSize);
        const int row = int(point % kGridSize);
        OffsetPair p = m.PointOffsets[std::size_t(column)][std::size_t(row)];
        (word % 2 == 0 ? p.dx : p.dy) = v.pointWord(b / 2);
        SetPointOffset(m, column, row, p);
    }
}

// The query, five blocks of point offsets, the eight corner requests of the loaded corners
// (the cursor on each corner before its x), then point (0, 0) and the point mode.
Operation<void> Warp::loadChain(std::size_t w)
{
    const auto hold = m_s.exchange.hold();
    WarpModel& m = model(int(w));
    const Reply query = co_await m_s.exchange.send(proto::QueryWarpMap(int(w), m_adjust.LoadMapSlot));
    if (!proto::MapQueryReplyView{query}.held()) {
        m_s.ui.message(
            MsgIcon::Information, QString(), QStringLiteral("No 17x17 warp information!!"), MsgButtons::Ok);
        co_return;
    }
    for (int block = 0; block < proto::kMapBlocks; ++block) {
        const Reply r = co_await m_s.exchange.send(proto::ReadWarpMapBlock(int(w), block));
        const std::size_t at = std::size_t(block) * proto::kMapBlockBytes;
        storePointBytes(m, r, at, std::min(proto::kMapBlockBytes, proto::kPointBytes - at));
        if (block == proto::kMapBlocks - 1) {
            for (std::size_t i = 0; i < kKeystoneCorners; ++i) {
                const proto::OffsetWords c = proto::MapBlockReplyView{r}.corner(i);
                m_adjust.KeystoneCorners[w][i] = {c.x, c.y};
            }
        }
    }
    static constexpr CursorPos kCorners[] = {{0, 0}, {1, 0}, {0, 1}, {1, 1}};
    for (int k = 0; k < kCornerRequests; ++k) {
        const int corner = k / 2;
        const bool y = k % 2 != 0;
        if (!y)
            m.ControlCursor = kCorners[corner];
        const PointOffset p = m_adjust.KeystoneCorners[w][std::size_t(corner)];
        co_await m_s.exchange.send(proto::CornerMove(corner, y, y ? p.y : p.x, linked()));
    }
    co_await m_s.exchange.delay(200);
    m.GridCursor = {};
    co_await m_s.exchange.send(pointRequest(w, m.GridCursor));
    showPointModeEntered(m);
    m.WarpPattern = Pattern17x17;
    m.GridCursor = {};
    m.ControlCursor = {};
    co_await m_s.exchange.send(
        proto::UserMapCursor(int(w), m.GridCursor.column, m.GridCursor.row), {.pauseMs = kCursorPause});
    showPointValues();
}

} // namespace trivel
