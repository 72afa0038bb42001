// The three download procedures. Each request awaits its own reply; the end and commit replies
// come only once the box has flashed the image, so those steps get the flash allowance.

#include "firmware/Firmware.h"

#include "firmware/Controls.h"
#include "protocol/FirmwareFrames.h"
#include "session/Session.h"
#include "session/Controls.h"

namespace trivel {

namespace {

constexpr int kBoardQueries = 6;
constexpr int kBoardQueryGapMs = 300;

QString ProcessError(std::uint16_t boxValue)
{
    return QStringLiteral("Process Error!!")
        + QStringLiteral("%1").arg(boxValue, 4, 16, QLatin1Char('0')).toUpper();
}

} // namespace

Operation<void> Firmware::run()
{
    const auto hold = m_s.exchange.hold();
    try {
        if (m_state.Procedure == FirmwareProcedure::Large)
            co_await runLarge();
        else
            co_await runShort(m_state.Procedure == FirmwareProcedure::Prefixed);
    } catch (const OperationFailure& e) {
        const Failure& f = e.failure();
        // Outcomes of the procedure itself, and a close that ended the update, are shown already.
        if (running()) {
            if (f.kind == Failure::Kind::LinkLost)
                abort(FirmwareOutcome::LinkClosed, kFirmwareLinkClosed, false);
            else if (f.kind != Failure::Kind::Cancelled)
                abort(FirmwareOutcome::NoReply, kFirmwareNoReply, m_s.connected());
        }
        Fail(f.kind, f.reason, true);
    }
}

// Short and prefixed images: start, pieces, end; the box's 16-bit sum must match the image's.
// Only the short image commits it, and the commit's answer confirms the update.
Operation<void> Firmware::runShort(bool prefixed)
{
    const std::uint32_t size = imageSize();
    setBar(0);
    co_await m_s.exchange.send(
        proto::FirmwareStart(prefixed ? Cmd::FwPrefixedStart : Cmd::FwShortStart, size));
    co_await sendPieces(prefixed ? Cmd::FwPrefixedData : Cmd::FwShortData);
    const Reply end = co_await m_s.exchange.send(
        proto::FirmwareEnd(prefixed ? Cmd::FwPrefixedEnd : Cmd::FwShortEnd, size),
        {.allowanceMs = kFlashAllowanceMs});
    const std::uint16_t box = proto::FirmwareShortEndView{end}.checksum();
    m_state.BoxChecksum = box;
    barToEnd();
    const bool match = Checksum16Matches(box, m_state.FirmwareChecksum);
    if (prefixed) {
        m_s.ui.setCaption(ctl::ProgBtn, QStringLiteral("Start"));
        m_s.ui.setEnabled(ctl::GroupBox1, true);
    }
    if (!match)
        failWith(FirmwareOutcome::ChecksumError, ProcessError(box));
    if (!prefixed)
        co_await m_s.exchange.send(
            proto::FirmwareCommit(size, m_state.FirmwareChecksum), {.allowanceMs = kFlashAllowanceMs});
    co_await succeed();
}

// Large image: the boards present first, then start, pieces, end; every board 0..3 present must
// report the image's sum.
Operation<void> Firmware::runLarge()
{
    const std::uint8_t boards = co_await queryBoards();
    m_s.BoardMask = boards;
    setBar(0);
    setBarColour(BoardMaskColour(boards));
    co_await m_s.exchange.send(proto::FirmwareStart(Cmd::FwLargeStart, imageSize()));
    co_await sendPieces(Cmd::FwLargeData);
    const Reply end = co_await m_s.exchange.send(
        proto::FirmwareEnd(Cmd::FwLargeEnd, imageSize()), {.allowanceMs = kFlashAllowanceMs});
    const proto::FirmwareLargeEndView sums{end};
    barToEnd();
    m_state.BoxChecksum = sums.board(0);
    // A mask without any of boards 0..3 has nothing to confirm the image: not a success.
    bool ok = (m_s.BoardMask & 0xFu) != 0;
    for (int b = 0; b < proto::kFirmwareBoards; ++b)
        if ((m_s.BoardMask >> b) & 1u && sums.board(b) != m_state.FirmwareChecksum) {
            ok = false;
            m_state.BoxChecksum = sums.board(b);
        }
    if (!ok)
        failWith(FirmwareOutcome::ChecksumError, ProcessError(sums.shown()));
    // Before the finish steps: over TCP they disconnect, which disables ProgBtn.
    startButton(true);
    co_await succeed();
}

// A box still starting its boards answers 0: asked again 300 ms later, six times in all.
Operation<std::uint8_t> Firmware::queryBoards()
{
    m_state.RetryCount = 0;
    for (;;) {
        const Reply r = co_await m_s.exchange.send(proto::FirmwareBoardQuery());
        const std::uint8_t mask = proto::FirmwareBoardsView{r}.mask();
        if (mask != 0)
            co_return mask;
        if (++m_state.RetryCount >= kBoardQueries) {
            setBar(m_state.BarMinimum, false);
            failWith(FirmwareOutcome::BoardNotFound, QStringLiteral("Board not found!!"));
        }
        co_await m_s.exchange.delay(kBoardQueryGapMs);
    }
}

// The image in pieces of 256 bytes from the read position; the bar shows each piece as it goes.
Operation<void> Firmware::sendPieces(std::uint32_t code)
{
    const std::vector<std::uint8_t>& image = m_state.FirmwareImage;
    while (m_state.ReadPosition < image.size()) {
        const auto piece = FirmwarePieceAt(image, m_state.ReadPosition);
        Request request = proto::FirmwarePiece(code, std::uint32_t(m_state.ReadPosition), piece);
        m_state.ReadPosition += piece.size();
        setBar(qint64(m_state.ReadPosition));
        co_await m_s.exchange.send(std::move(request));
    }
}

// The completion message, the restart frame (no answer), and over TCP the disconnect. ProgBtn
// stays as the procedure left it.
Operation<void> Firmware::succeed()
{
    const qint64 seconds = (m_s.clock.tickMs() - m_state.UpdateStartTick) / 1000;
    m_state.Outcome = FirmwareOutcome::Done;
    qCInfo(lcFirmware) << "update done in" << seconds << "s";
    m_s.ui.message(MsgIcon::Information, QString(),
        QStringLiteral("Process Done!! [ ") + QString::number(seconds) + QStringLiteral("s ]"),
        MsgButtons::Ok);
    if (m_state.ResetDevice)
        co_await m_s.exchange.send(proto::FirmwareRestart(), {.awaitReply = false});
    m_s.ui.setCaption(ctl::ProgBtn, QStringLiteral("Start"));
    m_s.ui.setEnabled(ctl::GroupBox1, true);
    if (m_s.TcpSelected && m_s.connected())
        emit m_s.events.disconnectRequested();
}

} // namespace trivel
