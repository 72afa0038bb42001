#include "firmware/FirmwareUpdate.h"

#include "firmware/Controls.h"
#include "firmware/FirmwareOps.h"
#include "box/Connection.h"
#include "session/Controls.h"
#include "session/PageTable.h"
#include "session/PendingOps.h"
#include "session/Session.h"
#include "settings/Controls.h"

#include <QDateTime>
#include <QFileInfo>
#include <QLocale>

namespace trivel {

Q_LOGGING_CATEGORY(lcFirmware, "trivel.firmware")

namespace {

// Windows colour values are 0x00BBGGRR; the UI port takes 0xRRGGBB.
int PortColour(std::uint32_t bgr)
{
    return int((bgr & 0xFFu) << 16 | (bgr & 0xFF00u) | (bgr >> 16 & 0xFFu));
}

void SetBarColour(Session& s, std::uint32_t bgr)
{
    s.firmware.BarColour = bgr;
    s.ui.set(ctl::ProgressBar1, Prop::Color, PortColour(bgr));
}

void ShowPercent(Session& s)
{
    FirmwareState& f = s.firmware;
    f.Percent = FirmwarePercent(f.BarPosition, f.BarMinimum, f.BarMaximum);
    s.ui.setCaption(ctl::PLabel, QString::number(f.Percent) + QStringLiteral(" %"));
}

void SetBar(Session& s, qint64 position, bool percent = true)
{
    s.firmware.BarPosition = position;
    s.ui.set(ctl::ProgressBar1, Prop::Position, int(position));
    if (percent)
        ShowPercent(s);
}

void BarToEnd(Session& s)
{
    SetBar(s, s.firmware.BarMaximum, false);
    s.firmware.Percent = 100;
    s.ui.setCaption(ctl::PLabel, QStringLiteral("100 %"));
}

void StartButton(Session& s, bool enabled)
{
    s.ui.setEnabled(ctl::ProgBtn, enabled);
    s.ui.setCaption(ctl::ProgBtn, QStringLiteral("Start"));
}

std::uint32_t ImageSize(const Session& s)
{
    return std::uint32_t(s.firmware.FirmwareImage.size());
}

// Start, end and board-query frames reuse the frame as it is: only code and size change.
void SendSizeFrame(Session& s, std::uint32_t code)
{
    FrameView f = s.request();
    f.setCode(code);
    f.put32(8, ImageSize(s));
    SendFrame(s);
}

// SendFirmwarePiece: one piece at the read position; true once the whole image is out.
// PendingOp (dataOp, or endOp after the last piece) is set before sending, so a reply handled
// inside the send already sees it.
bool SendFirmwarePiece(Session& s, std::uint32_t code, int dataOp, int endOp)
{
    FirmwareState& f = s.firmware;
    const auto piece = FirmwarePieceAt(f.FirmwareImage, f.ReadPosition);
    s.clearRequest();
    FrameView frame = s.request();
    frame.setCode(code);
    frame.put32(8, std::uint32_t(f.ReadPosition));
    frame.copyIn(12, piece.data(), piece.size());
    f.ReadPosition += piece.size();
    const bool done = f.ReadPosition >= f.FirmwareImage.size();
    s.PendingOp = done ? endOp : dataOp;
    SetBar(s, qint64(f.ReadPosition));
    SendFrame(s);
    return done;
}

QString ProcessError(std::uint16_t boxValue)
{
    return QStringLiteral("Process Error!!")
        + QStringLiteral("%1").arg(boxValue, 4, 16, QLatin1Char('0')).toUpper();
}

void Failed(Session& s, FirmwareOutcome outcome, const QString& text)
{
    s.PendingOp = Op::Idle;
    s.firmware.Outcome = outcome;
    qCWarning(lcFirmware) << text;
    s.ui.message(MsgIcon::Error, QString(), text, MsgButtons::Ok);
    StartButton(s, true);
    s.ui.setEnabled(ctl::GroupBox1, true);
}

// The completion message and the finish steps; ProgBtn stays disabled.
void Succeeded(Session& s)
{
    FirmwareState& f = s.firmware;
    const qint64 seconds = (s.clock.tickMs() - f.UpdateStartTick) / 1000;
    s.PendingOp = Op::Idle;
    f.Outcome = FirmwareOutcome::Done;
    qCInfo(lcFirmware) << "update done in" << seconds << "s";
    s.ui.message(MsgIcon::Information, QString(),
        QStringLiteral("Process Done!! [ ") + QString::number(seconds) + QStringLiteral("s ]"),
        MsgButtons::Ok);
    if (f.ResetDevice) {
        s.request().setCode(Cmd::Restart);
        SendFrame(s);
    }
    s.ui.setCaption(ctl::ProgBtn, QStringLiteral("Start"));
    s.ui.setEnabled(ctl::GroupBox1, true);
    if (s.TcpSelected && s.connected() && s.connection)
        s.connection->BtnCnt2Click();
}

// The pages and groups from which another PendingOp chain could start.
void DisableOtherOperations(Session& s)
{
    s.ui.setEnabled(ctl::FRstBtn, false);
    s.ui.setEnabled(ctl::BtnFrame, false);
    for (int page : {Page::WarpAdjust, Page::VideoWall, Page::Blend1, Page::Blend2, Page::Mask, Page::Image,
             Page::Edid}) {
        s.PageEnabled[std::size_t(page)] = false;
        s.ui.setEnabled(kPages[std::size_t(page)].control, false);
    }
    s.ui.setEnabled(ctl::GroupBox1, false);
}

void CheckShortEnd(Session& s, bool commit)
{
    FirmwareState& f = s.firmware;
    const std::uint16_t box = s.reply().u16(8);
    f.BoxChecksum = box;
    BarToEnd(s);
    const bool match = Checksum16Matches(box, f.FirmwareChecksum);
    if (commit) {
        if (!match) {
            Failed(s, FirmwareOutcome::ChecksumError, ProcessError(box));
            return;
        }
        FrameView frame = s.request();
        s.PendingOp = Op::FwPlainCommitted;
        frame.setCode(Cmd::FwShortCommit);
        frame.put32(8, ImageSize(s));
        frame.put32(12, f.FirmwareChecksum);
        SendFrame(s);
        return;
    }
    s.ui.setCaption(ctl::ProgBtn, QStringLiteral("Start"));
    s.ui.setEnabled(ctl::GroupBox1, true);
    if (match)
        Succeeded(s);
    else
        Failed(s, FirmwareOutcome::ChecksumError, ProcessError(box));
}

void CheckLargeEnd(Session& s)
{
    FirmwareState& f = s.firmware;
    const FrameView reply = s.reply();
    BarToEnd(s);
    f.BoxChecksum = reply.u32(8);
    // A mask without any of boards 0..3 has nothing to confirm the image: not a success.
    bool ok = (s.BoardMask & 0xFu) != 0;
    for (int j = 0; j < 4; ++j)
        if ((s.BoardMask >> j) & 1u) {
            const std::uint32_t board = reply.u32(8 + 4 * std::size_t(j));
            if (board != f.FirmwareChecksum) {
                ok = false;
                f.BoxChecksum = board;
            }
        }
    if (ok) {
        // Before the finish steps: over TCP they disconnect, which disables ProgBtn.
        StartButton(s, true);
        Succeeded(s);
    } else {
        Failed(s, FirmwareOutcome::ChecksumError, ProcessError(reply.u16(8)));
    }
}

} // namespace

void ShowImageInfo(Session& s)
{
    FirmwareState& f = s.firmware;
    const QFileInfo info(f.FileName);
    if (f.FileName.isEmpty() || !info.exists()) {
        s.ui.setCaption(ctl::DateLabel, QString());
        s.ui.setCaption(ctl::SizeLabel, QString());
        return;
    }
    s.ui.setCaption(ctl::DateLabel, QLocale().toString(info.lastModified(), QLocale::ShortFormat));
    s.ui.setCaption(ctl::SizeLabel, QString::number(info.size()));
    f.FirmwareChecksum = FirmwareSum(f.FirmwareImage);
    s.ui.setCaption(ctl::CksLabel, FormatFirmwareChecksum(f.FirmwareChecksum));
}

void LoadFirmwareFile(Session& s, const QString& path)
{
    FirmwareState& f = s.firmware;
    f.FileName = path;
    auto bytes = ReadFirmwareFile(path);
    f.FirmwareImage = bytes ? std::move(*bytes) : std::vector<std::uint8_t>{};
    s.ui.setCaption(ctl::FileLabel, path);
    ShowImageInfo(s);
}

void ProgBtnClick(Session& s)
{
    FirmwareState& f = s.firmware;
    if (!s.connected() || s.PendingOp != Op::Idle)
        return;
    if (!HasFirmwareExtension(f.FileName)) {
        s.ui.message(MsgIcon::None, QString(), QStringLiteral("File Format error !!!"), MsgButtons::Ok);
        return;
    }
    f.FirmwareImage.clear();
    auto bytes = ReadFirmwareFile(f.FileName);
    if (!bytes) {
        s.ui.message(MsgIcon::None, QString(), QStringLiteral("Failed to load  File !!!"), MsgButtons::Ok);
        return;
    }
    f.FirmwareImage = std::move(*bytes);
    f.ReadPosition = 0;
    ShowImageInfo(s);
    f.FirmwareChecksum = FirmwareSum(f.FirmwareImage);

    const qint64 size = qint64(f.FirmwareImage.size());
    f.BarMaximum = size + size / 10;
    f.BarMinimum = -(size / 10);
    s.ui.set(ctl::ProgressBar1, Prop::Maximum, int(f.BarMaximum));
    s.ui.set(ctl::ProgressBar1, Prop::Minimum, int(f.BarMinimum));
    SetBar(s, 0, false);
    s.ui.setEnabled(ctl::ProgBtn, false);
    s.ui.setCaption(ctl::ProgBtn, QStringLiteral("Downloading"));

    if (f.FirmwareImage.size() < kFirmwareMinSize) {
        s.ui.message(MsgIcon::None, QString(), QStringLiteral("File not correct!!!"), MsgButtons::Ok);
        StartButton(s, true);
        return;
    }

    f.Procedure = ChooseFirmwareProcedure(f.FirmwareImage.size(), f.FileName);
    switch (f.Procedure) {
    case FirmwareProcedure::Plain:
        s.PendingOp = Op::FwPlainStart;
        SetBarColour(s, 0x800080);
        break;
    case FirmwareProcedure::Prefixed:
        s.PendingOp = Op::FwPrefixedStart;
        SetBarColour(s, 0x00A5FF);
        break;
    case FirmwareProcedure::Large:
        s.PendingOp = Op::FwLargeQuery;
        break;
    }
    qCInfo(lcFirmware) << "download" << f.FileName << size << "bytes," << FirmwareProcedureName(f.Procedure);
    DisableOtherOperations(s);
    SetActivePage(s, Page::Firmware);
    f.UpdateStartTick = s.clock.tickMs();
    f.Outcome = FirmwareOutcome::Running;
    // The first state sends its frame without waiting for a reply.
    FirmwareStep(s, s.PendingOp);
}

void FirmwareStep(Session& s, int op)
{
    FirmwareState& f = s.firmware;
    switch (op) {
    case Op::FwPlainStart:
    case Op::FwPrefixedStart:
        s.PendingOp = op + 1;
        SetBar(s, 0);
        SendSizeFrame(s, op == Op::FwPlainStart ? Cmd::FwShortStart : Cmd::FwPrefixedStart);
        break;
    case Op::FwPlainData:
        SendFirmwarePiece(s, Cmd::FwShortData, Op::FwPlainData, Op::FwPlainEnd);
        break;
    case Op::FwPrefixedData:
        SendFirmwarePiece(s, Cmd::FwPrefixedData, Op::FwPrefixedData, Op::FwPrefixedEnd);
        break;
    case Op::FwLargeData:
        SendFirmwarePiece(s, Cmd::FwLargeData, Op::FwLargeData, Op::FwLargeEnd);
        break;
    case Op::FwPlainEnd:
        s.PendingOp = Op::FwPlainCheck;
        SendSizeFrame(s, Cmd::FwShortEnd);
        break;
    case Op::FwPrefixedEnd:
        s.PendingOp = Op::FwPrefixedCheck;
        SendSizeFrame(s, Cmd::FwPrefixedEnd);
        break;
    case Op::FwLargeEnd:
        s.PendingOp = Op::FwLargeCheck;
        SendSizeFrame(s, Cmd::FwLargeEnd);
        break;
    case Op::FwPlainCheck:
        CheckShortEnd(s, true);
        break;
    case Op::FwPrefixedCheck:
        CheckShortEnd(s, false);
        break;
    case Op::FwPlainCommitted:
        Succeeded(s);
        break;
    case Op::FwLargeCheck:
        CheckLargeEnd(s);
        break;
    case Op::FwLargeQuery:
        f.RetryCount = 0;
        s.PendingOp = Op::FwLargeBoards;
        s.request().setCode(Cmd::FwLargeBoardQuery);
        SendFrame(s);
        break;
    case Op::FwLargeBoards: {
        const std::uint8_t mask = s.reply().u8(8);
        if (mask != 0) {
            s.BoardMask = mask;
            SetBar(s, 0);
            SetBarColour(s, BoardMaskColour(mask));
            s.PendingOp = Op::FwLargeData;
            SendSizeFrame(s, Cmd::FwLargeStart);
            break;
        }
        if (++f.RetryCount < 6) {
            s.clock.sleepMs(300);
            s.request().setCode(Cmd::FwLargeBoardQuery);
            SendFrame(s);
            break;
        }
        SetBar(s, f.BarMinimum, false);
        Failed(s, FirmwareOutcome::BoardNotFound, QStringLiteral("Board not found!!"));
        break;
    }
    default:
        break;
    }
}

void AbortFirmwareUpdate(Session& s, FirmwareOutcome outcome, const QString& why)
{
    if (!Op::IsFirmwareOp(s.PendingOp))
        return;
    s.PendingOp = Op::Idle;
    s.firmware.Outcome = outcome;
    qCWarning(lcFirmware) << why << "at" << s.firmware.ReadPosition << "of"
                          << s.firmware.FirmwareImage.size();
    s.ui.setEnabled(ctl::GroupBox1, true);
    // Enabled again now, or by the next connect when the link is gone.
    StartButton(s, s.connected());
    s.ui.message(MsgIcon::Error, QString(), why, MsgButtons::Ok);
}

void FirmwareLinkClosed(Session& s)
{
    AbortFirmwareUpdate(s, FirmwareOutcome::LinkClosed, kFirmwareLinkClosed);
}

} // namespace trivel
