#include "warp/Warp.h"

#include "protocol/WarpFrames.h"
#include "session/Session.h"
#include "warp/Controls.h"
#include "warp/WarpModel.h"

#include <cstdlib>

namespace trivel {

namespace {

QString Hex4(int v)
{
    return QStringLiteral("%1").arg(v & 0xFFFF, 4, 16, QLatin1Char('0')).toUpper();
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

proto::OffsetWords Words(const PointOffset& p)
{
    return {p.x, p.y};
}

PointOffset Point(const proto::OffsetWords& w)
{
    return {w.x, w.y};
}

template <std::size_t N> std::array<proto::OffsetWords, N> WordsOf(const std::array<PointOffset, N>& points)
{
    std::array<proto::OffsetWords, N> out{};
    for (std::size_t i = 0; i < N; ++i)
        out[i] = Words(points[i]);
    return out;
}

} // namespace

Warp::Warp(Session& s)
    : m_s(s)
{
    // A wrong reply to an x chunk is noted in the memo; the transfer goes on waiting for its own.
    QObject::connect(&s.exchange, &Exchange::replyOfAnotherCode, &m_context,
        [this](std::uint32_t code, std::uint32_t awaited) {
            if (awaited == Cmd::UserMapSourceX)
                m_s.ui.appendMemo(QStringLiteral("X CMD ERROR:") + Hex4(int(code)));
        });
}

Warp::~Warp() = default;

std::size_t Warp::windowIndex() const
{
    return std::size_t(m_s.CurrentWindow & 3);
}

WarpModel& Warp::currentModel()
{
    m_state.WarpWindow = int(windowIndex());
    return m_state.current();
}

bool Warp::busy() const
{
    return m_s.exchange.holding();
}

bool Warp::linked() const
{
    return m_s.flag(Flag::LinkedWarp);
}

void Warp::post(const Request& request, const SendOptions& options)
{
    if (m_s.connected())
        m_s.exchange.post(request, options);
}

void Warp::post(const Request& request)
{
    post(request, SendOptions{});
}

Request Warp::selectedPointRequest()
{
    return proto::SelectedPoint(ControlIndex(currentModel().ControlCursor));
}

Request Warp::controlCursorRequest(bool shown)
{
    return proto::ControlCursor(int(windowIndex()), ControlIndex(currentModel().ControlCursor), shown);
}

Request Warp::gridCursorRequest()
{
    const CursorPos c = currentModel().GridCursor;
    return proto::UserMapCursor(int(windowIndex()), c.column, c.row);
}

Request Warp::pointRequest(std::size_t window, CursorPos at)
{
    const OffsetPair p = model(int(window)).PointOffsets.at(std::size_t(at.column)).at(std::size_t(at.row));
    return proto::PointModePoint(int(window), at.column, at.row, p.dx, p.dy);
}

Request Warp::bulkControlRequest(std::size_t window, int mode, Clear clear) const
{
    return proto::BulkControlBlock(mode, WordsOf(m_adjust.ControlOffsets[window]), clear);
}

Request Warp::bulkCornerRequest(std::size_t window, int mode) const
{
    return proto::BulkCornerBlock(
        mode, WordsOf(m_adjust.KeystoneCorners[window]), WordsOf(m_adjust.WallPoints[window]));
}

Request Warp::pointChunkRequest(std::size_t window, int chunk) const
{
    // The point offsets as the box stores them: column-major (dx, dy) int16 pairs.
    std::array<std::uint8_t, proto::kPointBytes> bytes{};
    const WarpModel& m = model(int(window));
    for (std::size_t point = 0; point < std::size_t(kGridSize) * kGridSize; ++point) {
        const OffsetPair p = m.PointOffsets[point / kGridSize][point % kGridSize];
        FrameView f(bytes.data() + 4 * point, 4);
        f.put16(0, std::uint16_t(p.dx));
        f.put16(2, std::uint16_t(p.dy));
    }
    return proto::PointModeChunk(int(window), chunk, bytes);
}

void Warp::recordUndo(const WarpUndoRecord& r, std::size_t window)
{
    // A replayed action leaves no entry of its own.
    if (m_s.flag(Flag::WarpUndo) || m_adjust.ReplayAmount != 0) {
        m_adjust.ReplayAmount = 0;
        return;
    }
    m_s.ui.appendMemo(QStringLiteral("UNDO Mode:") + Hex4(r.action));
    std::vector<std::uint8_t>& h = m_adjust.UndoHistory[window & 3];
    for (std::int32_t v : {r.action, r.amount, r.column, r.row})
        for (int b = 0; b < 4; ++b)
            h.push_back(std::uint8_t(std::uint32_t(v) >> (8 * b)));
    m_s.ui.appendMemo(QStringLiteral("UNDO Countr:%1").arg(h.size() / kWarpUndoRecordSize));
}

void Warp::recordUndo(const WarpUndoRecord& r)
{
    recordUndo(r, windowIndex());
}

int Warp::undoCount(int window) const
{
    return int(m_adjust.UndoHistory.at(std::size_t(window & 3)).size() / kWarpUndoRecordSize);
}

WarpUndoRecord Warp::undoAt(int window, int index) const
{
    const std::vector<std::uint8_t>& h = m_adjust.UndoHistory.at(std::size_t(window & 3));
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

void Warp::showModeButtons(int mode)
{
    const Control* down = ModeButton(mode);
    for (int m = 0; m <= WarpMode::Points; ++m)
        if (const Control* b = ModeButton(m); b && b != down)
            m_s.ui.setChecked(*b, false);
    if (down)
        m_s.ui.setChecked(*down, true);
}

void Warp::showMode()
{
    showModeButtons(currentModel().ControlPattern);
}

void Warp::showPointValues()
{
    const WarpModel& m = currentModel();
    const std::size_t w = windowIndex();
    PointOffset p;
    switch (m.ControlPattern) {
    case WarpMode::Keystone:
        p = m_adjust.KeystoneCorners[w][std::size_t(CornerIndex(m.ControlCursor))];
        break;
    case WarpMode::Wall:
        p = m_adjust.WallPoints[w][std::size_t(WallIndex(m.ControlCursor))];
        break;
    case WarpMode::Points: {
        const OffsetPair o
            = m.PointOffsets.at(std::size_t(m.GridCursor.column)).at(std::size_t(m.GridCursor.row));
        p = {o.dx, o.dy};
        break;
    }
    default:
        p = m_adjust.ControlOffsets[w][std::size_t(ControlIndex(m.ControlCursor))];
        break;
    }
    m_s.ui.setCaption(ctl::WPLRVal, QString::number(p.x));
    m_s.ui.setCaption(ctl::WPUDVal, QString::number(p.y));
}

void Warp::refreshAdjust()
{
    const std::size_t w = windowIndex();
    showModeButtons(currentModel().ControlPattern);
    m_s.ui.set(ctl::TBAdjustStep2, Prop::Position, m_adjust.MoveStep[w]);
    m_s.ui.setCaption(ctl::STAdjustValue2, QString::number(m_adjust.MoveStep[w]));
    m_s.ui.set(ctl::CBPatternSel1, Prop::ItemIndex, m_adjust.PatternColourIndex[w]);
    m_s.ui.set(ctl::TBGrid, Prop::Position, m_adjust.GridSpacing[w]);
    m_s.ui.setCaption(ctl::STGridVal, QString::number(m_adjust.GridSpacing[w]));
    showPointValues();
}

void Warp::storeControlOffsets(const FrameView& reply, int firstWindow)
{
    const proto::ControlOffsetsReplyView v{reply};
    for (int k = 0; k < 2; ++k)
        for (std::size_t i = 0; i < kControlPoints; ++i)
            m_adjust.ControlOffsets[std::size_t((firstWindow + k) & 3)][i] = Point(v.point(k, i));
}

void Warp::storeWallAndKeystone(const FrameView& reply)
{
    const proto::WarpTableCReplyView v{reply};
    for (std::size_t w = 0; w < 4; ++w) {
        for (std::size_t i = 0; i < kWallPoints; ++i)
            m_adjust.WallPoints[w][i] = Point(v.wall(w, i));
        for (std::size_t i = 0; i < kKeystoneCorners; ++i)
            m_adjust.KeystoneCorners[w][i] = Point(v.corner(w, i));
    }
}

void Warp::storeModes(const FrameView& reply)
{
    const proto::WarpTableCReplyView v{reply};
    for (std::size_t w = 0; w < 4; ++w)
        m_state.model[w].ControlPattern = v.mode(w);
}

Operation<void> Warp::readTablesBack()
{
    const auto hold = m_s.exchange.hold();
    storeControlOffsets(co_await m_s.exchange.send(proto::ReadWarpBlock(Cmd::ReadWarpA)), 0);
    storeControlOffsets(co_await m_s.exchange.send(proto::ReadWarpBlock(Cmd::ReadWarpB)), 2);
    storeWallAndKeystone(co_await m_s.exchange.send(proto::ReadWarpBlock(Cmd::ReadWarpC)));
    m_s.ui.setEnabled(ctl::GPWPMode, true);
    emit m_s.events.warpPointValuesChanged();
}

} // namespace trivel

namespace trivel {

Operation<void> Warp::undo()
{
    if (busy())
        return Finished();
    const std::size_t w = windowIndex();
    std::vector<std::uint8_t>& h = m_adjust.UndoHistory[w];
    if (h.size() < kWarpUndoRecordSize)
        return Finished();
    const WarpUndoRecord r = undoAt(int(w), undoCount(int(w)) - 1);
    h.erase(h.end() - std::ptrdiff_t(kWarpUndoRecordSize), h.end());
    m_adjust.ReplayAmount = std::abs(r.amount);
    m_s.ui.appendMemo(QStringLiteral("UNDO Mode:") + Hex4(r.action));
    m_adjust.SavedCursor = {std::int16_t(r.column), std::int16_t(r.row)};
    m_s.setFlag(Flag::WarpUndo, true);
    Operation<void> started = Finished();
    replay(r, started);
    m_s.setFlag(Flag::WarpUndo, false);
    // A replay that did not start a move awaiting its echo leaves no step behind for the next.
    if (!m_awaitingEcho)
        m_adjust.ReplayAmount = 0;
    m_adjust.SavedCursor = {};
    return started;
}

void Warp::replay(const WarpUndoRecord& r, Operation<void>& started)
{
    if (r.action >= int(WarpDir::Left) && r.action <= int(WarpDir::Down)) {
        started = movePoint(Opposite(WarpDir(r.action)));
        return;
    }
    if (r.action >= kUndoCursorLeft && r.action <= kUndoCursorDown) {
        moveCursor(Opposite(WarpDir(r.action - kUndoCursorLeft)));
        return;
    }
    // A mode change goes back to the previous mode, WALL and warp off included.
    const int previous = r.action - kUndoMode;
    if ((previous >= WarpMode::Off && previous <= WarpMode::Grid9x5) || previous == WarpMode::Wall)
        started = selectMode(previous);
    else if (previous == WarpMode::Points)
        enterPointMode();
    else if (previous >= WarpMode::FirstUserMap && previous <= WarpMode::LastUserMap)
        selectUserMap(previous - WarpMode::FirstUserMap);
}

} // namespace trivel
