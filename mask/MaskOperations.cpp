#include "mask/MaskOperations.h"

#include "protocol/SettingCodec.h"
#include "mask/Controls.h"
#include "mask/MaskImage.h"
#include "mask/MaskOps.h"
#include "mask/MaskPageLogic.h"
#include "mask/MaskTransfer.h"
#include "session/PendingOps.h"
#include "session/Session.h"

#include <algorithm>
#include <climits>
#include <span>

namespace trivel {

namespace {

namespace Text {
constexpr char LoadFirst[] = "please Load image first!!";
constexpr char UploadFinished[] = "User Mask data Upload finished ";
constexpr char PreviewFirst[] = "please Load and preview image first!!";
constexpr char SaveIndex[] = "please select save index (1-10) !";
constexpr char SaveIndexMono[] = "please select save index (1-9) !";
constexpr char SaveIndexColour[] = "please select save index 10 for color mask image !";
constexpr char Saved[] = "User Mask Saved ";
constexpr char DeleteIndex[] = "please select delete index (1-10) !";
constexpr char Deleted[] = "User Mask Deleted ! ";
constexpr char ReadIndex[] = "please select index (1-10)";
constexpr char Empty[] = "User Mask %1 is empty !!";
constexpr char SetDone[] = "User Mapping Set done !!";
} // namespace Text

std::uint32_t Le32(std::span<const std::uint8_t> b, std::size_t off)
{
    return std::uint32_t(b[off]) | std::uint32_t(b[off + 1]) << 8 | std::uint32_t(b[off + 2]) << 16
        | std::uint32_t(b[off + 3]) << 24;
}

void PutLe32(std::span<std::uint8_t> b, std::size_t off, std::uint32_t v)
{
    for (std::size_t i = 0; i < 4; ++i)
        b[off + i] = std::uint8_t(v >> (8 * i));
}

void Inform(Session& s, const QString& text)
{
    s.ui.message(MsgIcon::Information, QString(), text, MsgButtons::Ok);
}

void Inform(Session& s, const char* text)
{
    Inform(s, QString::fromLatin1(text));
}

// Progress maxima are size + size / 10; a size field from the box may be anything.
int ProgressMaximum(std::uint32_t size)
{
    return int(std::min<std::int64_t>(std::int64_t(size) + size / 10, INT_MAX));
}

int Clamped(std::uint32_t v)
{
    return int(std::min<std::uint32_t>(v, INT_MAX));
}

void SetPBMask(Session& s, int position)
{
    s.ui.set(ctl::PBMask, Prop::Position, position);
}

void SetPBMaskToMaximum(Session& s)
{
    s.ui.set(ctl::PBMask, Prop::Position, s.ui.intValue(ctl::PBMask, Prop::Maximum, 100));
}

void OpenWait(Session& s, int maximum, bool cycling)
{
    s.ui.openWaitWindow(maximum);
    if (cycling)
        s.ui.enableWaitTimer(true);
}

void CloseWait(Session& s)
{
    s.ui.setWaitProgress(s.ui.waitMaximum());
    s.ui.enableWaitTimer(false);
    s.ui.closeWaitWindow();
}

std::uint8_t Window(const Session& s)
{
    return std::uint8_t(s.CurrentWindow);
}

// The show or clear frame 4128 over the request as it stands.
void PutShowFrame(Session& s, bool show)
{
    FrameView f = s.request();
    f.setCode(Cmd::MaskShow);
    f.put8(8, Window(s));
    f.put8(12, show ? 1 : 0);
    if (show)
        f.put8(16, std::uint8_t(s.mask.MaskKind));
}

// "S00DMI" with the slot as value under 4108; records the slot for the current window.
void SendAssignment(Session& s, int item)
{
    s.mask.MaskAssignment[std::size_t(s.CurrentWindow & 3)] = item;
    SettingCommand cmd = MakeSettingCommand("S00DMI+000");
    EncodeSettingValue(item, cmd);
    PutSettingFrame(s.RequestBuffer, Cmd::SettingQuery, cmd);
    SendFrame(s);
}

// Header and chunk requests of "Read" are written over the previous frame.
void SendReadRequest(Session& s, std::uint32_t code, std::uint32_t value)
{
    FrameView f = s.request();
    f.setCode(code);
    f.put8(8, Window(s));
    f.put32(12, value);
    SendFrame(s);
}

void SendReadHeaderRequest(Session& s, std::uint32_t code, int slotOnWire)
{
    FrameView f = s.request();
    f.setCode(code);
    f.put8(8, Window(s));
    f.put8(12, std::uint8_t(slotOnWire));
    SendFrame(s);
}

SlotCopy& ReadBuffer(Session& s, bool colour)
{
    MaskState& m = s.mask;
    return colour ? m.ColourReadBuffer : m.MonoReadBuffer[std::size_t(s.CurrentWindow & 3)];
}

void DropCurrentMask(Session& s)
{
    s.mask.Stream.clear();
    ShowBlankMaskPicture(s);
    s.ui.setCaption(ctl::STMaskInfo, QString());
    s.mask.MaskKind = 0;
}

// Placement controls from a header read back from the box.
void TakePlacement(Session& s, const SlotCopy& buffer)
{
    s.ui.setEnabled(ctl::SBMaskOffsetX, true);
    s.ui.setEnabled(ctl::SBMaskOffsetY, true);
    s.mask.CenterMask = false;
    s.ui.setChecked(ctl::CBCenterMask, false);
    const auto offset
        = [](std::uint32_t v, int max) { return int(std::min<std::uint32_t>(v, std::uint32_t(max))); };
    const int x = offset(Le32(buffer, 16), kMaskOffsetXMax);
    const int y = offset(Le32(buffer, 20), kMaskOffsetYMax);
    s.ui.set(ctl::SBMaskOffsetX, Prop::Position, x);
    SBMaskOffsetXChange(s, x);
    s.ui.set(ctl::SBMaskOffsetY, Prop::Position, y);
    SBMaskOffsetYChange(s, y);
}

// The read buffer becomes the current mask: the first size-field bytes, or what the buffer holds.
void InstallReadBuffer(Session& s, SlotCopy& buffer, bool colour)
{
    MaskState& m = s.mask;
    TakePlacement(s, buffer);
    if (!colour) {
        CBTransClick(s, buffer[24] != 0);
        CBImageReverseClick(s, buffer[25] != 0);
        SetMaskColour(s, std::uint32_t(buffer[28]) << 16 | std::uint32_t(buffer[29]) << 8 | buffer[30]);
    }
    // The decoders look for 'E' 'X', which the received count has overwritten until now.
    const auto& magic = colour ? kColourMagic : kMonoMagic;
    std::copy(magic.begin(), magic.end(), buffer.writable().begin());
    const MaskDecodeResult r = colour ? RenderColourMask(buffer.data(), buffer.size())
                                      : DecodeMonoMask(buffer.data(), buffer.size());
    if (!r.ok && !colour)
        Inform(s, r.message);
    s.mask.Picture = r.ok ? MaskPictureImage(r.picture) : QImage();
    if (m.pictureChanged)
        m.pictureChanged();

    const std::size_t n = std::min<std::size_t>(Le32(buffer, 4), buffer.size());
    m.Stream.clear();
    m.Stream.bytes.assign(buffer.begin(), buffer.begin() + std::ptrdiff_t(n));
    const int width = Clamped(Le32(buffer, 8));
    const int height = Clamped(Le32(buffer, 12));
    s.ui.setCaption(ctl::STMaskInfo, MaskInfoText(width, height, n));
    m.MaskKind = colour ? 2 : 1;
}

void PreviewStep(Session& s)
{
    MaskStream& stream = s.mask.Stream;
    if (stream.position >= stream.size()) {
        s.PendingOp = Op::MaskPreviewShown;
        s.clearRequest();
        PutShowFrame(s, s.mask.MaskEnDown);
        SendFrame(s);
        return;
    }
    SetPBMask(s, int(stream.position));
    s.ui.setWaitProgress(int(stream.position));
    SendMaskChunk(s);
}

void ReadHeaderStep(Session& s, bool colour)
{
    const FrameView reply = s.reply();
    if (reply.u8(10) != 'E' || reply.u8(11) != 'X') {
        s.PendingOp = Op::Idle;
        s.ui.setHourglass(false);
        Inform(s, QString::fromLatin1(Text::Empty).arg(s.mask.MaskIdx));
        DropCurrentMask(s);
        return;
    }
    auto& buffer = ReadBuffer(s, colour);
    TakeMaskHeader(s, buffer, colour ? "colour read buffer" : "mono read buffer");
    s.PendingOp = colour ? Op::MaskReadColourChunk : Op::MaskReadChunk;
    const int maximum = ProgressMaximum(Le32(buffer, 4));
    s.ui.set(ctl::PBMask, Prop::Maximum, maximum);
    OpenWait(s, maximum, false);
    SendReadRequest(
        s, colour ? Cmd::MaskReadColourChunk : Cmd::MaskReadChunk, std::uint32_t(kMaskHeaderBytes));
}

void ReadChunkStep(Session& s, bool colour)
{
    auto& buffer = ReadBuffer(s, colour);
    const int before = Clamped(Le32(buffer, 0));
    std::uint32_t next = 0;
    const bool more = TakeMaskChunk(buffer, s.reply(), next);
    SetPBMask(s, before);
    s.ui.setWaitProgress(before);
    if (more) {
        SendReadRequest(s, colour ? Cmd::MaskReadColourChunk : Cmd::MaskReadChunk, next);
        return;
    }
    InstallReadBuffer(s, buffer, colour);
    s.PendingOp = Op::Idle;
    SetPBMaskToMaximum(s);
    CloseWait(s);
}

} // namespace

void TakeMaskHeader(Session& s, SlotCopy& buffer, const char* what)
{
    s.reply().copyOut(8, buffer.writable().data(), kMaskHeaderBytes);
    PutLe32(buffer.writable(), 0, 0);
    const std::uint32_t size = Le32(buffer, 4);
    if (size > buffer.size())
        s.ui.appendMemo(QStringLiteral("MASK SIZE %1 > %2 (%3): read stops at its end")
                            .arg(size)
                            .arg(buffer.size())
                            .arg(QLatin1String(what)));
}

bool TakeMaskChunk(SlotCopy& buffer, const FrameView& reply, std::uint32_t& nextOffset)
{
    const std::uint32_t received = Le32(buffer.bytes(), 0);
    const std::size_t at = kMaskHeaderBytes + std::size_t(received);
    const std::span<std::uint8_t> bytes = buffer.writable();
    if (at < bytes.size())
        reply.copyOut(8, bytes.data() + at, std::min(kMaskReadChunkBytes, bytes.size() - at));
    const std::uint32_t now = received + std::uint32_t(kMaskReadChunkBytes);
    PutLe32(bytes, 0, now);
    nextOffset = now + std::uint32_t(kMaskHeaderBytes);
    return now < Le32(buffer, 4) && kMaskHeaderBytes + std::size_t(now) < buffer.size();
}

void BtnUploadMaskClick(Session& s)
{
    MaskState& m = s.mask;
    MaskStream& stream = m.Stream;
    if (stream.empty()) {
        Inform(s, Text::LoadFirst);
        return;
    }
    const std::uint32_t size = std::uint32_t(stream.size());
    s.ui.set(ctl::PBMask, Prop::Maximum, ProgressMaximum(size));
    // A stream read back from a box may be shorter than a header; it then goes out as it is.
    if (stream.size() >= kMaskHeaderBytes) {
        auto& b = stream.bytes;
        PutLe32(b, 4, size);
        PutLe32(b, 16, std::uint32_t(m.OffsetX));
        PutLe32(b, 20, std::uint32_t(m.OffsetY));
        b[24] = m.Trans ? 1 : 0;
        b[25] = m.ImageReverse ? 1 : 0;
        b[26] = std::uint8_t(m.LoopTime);
        b[27] = std::uint8_t(m.LoopTime >> 8);
        b[28] = std::uint8_t(m.MaskColor >> 16);
        b[29] = std::uint8_t(m.MaskColor >> 8);
        b[30] = std::uint8_t(m.MaskColor);
    }
    stream.rewind();
    s.PendingOp = Op::MaskPreview;
    // Opened before the send: a reply handed over at once must find it open to close it.
    OpenWait(s, ProgressMaximum(size), false);
    SendMaskChunk(s);
}

void BtnMaskSaveClick(Session& s)
{
    MaskState& m = s.mask;
    const int slot = m.MaskIdx;
    if (m.MaskKind == 0)
        return Inform(s, Text::PreviewFirst);
    if (slot == 0)
        return Inform(s, Text::SaveIndex);
    if (m.MaskKind == 1 && slot == 10)
        return Inform(s, Text::SaveIndexMono);
    if (m.MaskKind == 2 && slot < 10)
        return Inform(s, Text::SaveIndexColour);

    s.clearRequest();
    FrameView f = s.request();
    f.setCode(Cmd::MaskStore);
    f.put8(8, Window(s));
    f.put8(12, std::uint8_t(slot - 1));
    auto& copy = slot == 10 ? m.ColourSlotCopy : m.MonoSlotCopy[std::size_t(slot - 1)];
    const std::size_t n = std::min(m.Stream.size(), copy.size());
    std::copy_n(m.Stream.bytes.begin(), n, copy.writable().begin());
    m.Stream.rewind();
    s.PendingOp = Op::MaskSave;
    m.MaskAssignment[std::size_t(s.CurrentWindow & 3)] = slot;
    SelectMaskSlotPreview(s, slot);
    OpenWait(s, 100, true);
    SendFrame(s);
}

void BtnMaskDeleteClick(Session& s)
{
    MaskState& m = s.mask;
    const int slot = m.MaskIdx;
    if (slot == 0)
        return Inform(s, Text::DeleteIndex);
    s.clearRequest();
    FrameView f = s.request();
    f.setCode(Cmd::MaskDelete);
    f.put8(8, Window(s));
    f.put8(12, std::uint8_t(slot - 1));
    s.PendingOp = Op::MaskDelete;
    auto& copy = slot - 1 >= 9 ? m.ColourSlotCopy : m.MonoSlotCopy[std::size_t(slot - 1)];
    copy.clearHeader();
    CBMaskIdx2Change(s);
    OpenWait(s, 100, true);
    SendFrame(s);
}

void BtnMaskCleanClick(Session& s)
{
    PutShowFrame(s, false);
    SendFrame(s);
}

void BtnMaskReadClick(Session& s)
{
    const int slot = s.mask.MaskIdx;
    if (slot == 0)
        return Inform(s, Text::ReadIndex);
    // Only the hourglass until the header is in; the wait window follows for the chunks.
    s.ui.setHourglass(true);
    if (slot < 10) {
        s.PendingOp = Op::MaskReadHeader;
        SendReadHeaderRequest(s, Cmd::MaskReadHeader, slot - 1);
    } else {
        s.PendingOp = Op::MaskReadColourHeader;
        SendReadHeaderRequest(s, Cmd::MaskReadColourHeader, 9);
    }
}

void BtnMaskLoadClick(Session& s)
{
    const int item = s.mask.MaskIdx;
    s.mask.MaskIdx2 = item;
    s.ui.set(ctl::CBMaskIdx2, Prop::ItemIndex, item);
    s.PendingOp = Op::MaskAssign;
    OpenWait(s, 100, true);
    SendAssignment(s, item);
}

void BtnMaskLoad2Click(Session& s)
{
    s.PendingOp = Op::MaskAssign;
    OpenWait(s, 100, true);
    SendAssignment(s, s.mask.MaskIdx2);
}

void MaskOperationStep(Session& s, int op)
{
    switch (op) {
    case Op::MaskPreview:
        PreviewStep(s);
        break;
    case Op::MaskPreviewShown:
        CloseWait(s);
        SetPBMaskToMaximum(s);
        Inform(s, Text::UploadFinished);
        s.PendingOp = Op::Idle;
        break;
    case Op::MaskSave:
        s.PendingOp = Op::MaskSaveAssigned;
        SendAssignment(s, s.mask.MaskIdx);
        break;
    case Op::MaskSaveAssigned:
    case Op::MaskDeleteCleared:
    case Op::MaskAssign:
        CloseWait(s);
        Inform(s,
            op == Op::MaskSaveAssigned        ? Text::Saved
                : op == Op::MaskDeleteCleared ? Text::Deleted
                                              : Text::SetDone);
        s.PendingOp = Op::Idle;
        break;
    case Op::MaskDelete:
        s.PendingOp = Op::MaskDeleteCleared;
        BtnMaskCleanClick(s);
        break;
    case Op::MaskReadHeader:
    case Op::MaskReadColourHeader:
        ReadHeaderStep(s, op == Op::MaskReadColourHeader);
        break;
    case Op::MaskReadChunk:
    case Op::MaskReadColourChunk:
        ReadChunkStep(s, op == Op::MaskReadColourChunk);
        break;
    default:
        break;
    }
}

} // namespace trivel
