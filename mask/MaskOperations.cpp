// The user operations on the box's mask slots: preview upload, save, delete, read, assign and the
// preview's removal.

#include "mask/Controls.h"
#include "mask/MaskImage.h"
#include "mask/Masks.h"
#include "mask/StreamFields.h"
#include "protocol/MaskFrames.h"
#include "session/Session.h"

#include <algorithm>
#include <climits>

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

// Progress maxima are size + size / 10; a size field from the box may be anything.
int ProgressMaximum(std::uint32_t size)
{
    return int(std::min<std::int64_t>(std::int64_t(size) + size / 10, INT_MAX));
}

int Clamped(std::uint32_t v)
{
    return int(std::min<std::uint32_t>(v, INT_MAX));
}

} // namespace

bool TakeReadPiece(SlotCopy& copy, const proto::MaskChunkReplyView& piece, std::uint32_t& next)
{
    const std::uint32_t received = ReceivedCount(copy);
    const std::size_t at = kMaskHeaderBytes + std::size_t(received);
    const std::span<std::uint8_t> bytes = copy.writable();
    if (at < bytes.size())
        piece.bytes(bytes.data() + at, bytes.size() - at);
    const std::uint32_t now = received + std::uint32_t(proto::kMaskReadChunkBytes);
    PutStreamField(bytes, 0, now);
    next = now + std::uint32_t(kMaskHeaderBytes);
    return now < StreamSizeField(copy) && kMaskHeaderBytes + std::size_t(now) < copy.size();
}

void Masks::refuse(const char* text)
{
    inform(QString::fromLatin1(text));
    Fail(Failure::Kind::Refused, QString::fromLatin1(text), true);
}

void Masks::openWait(int maximum, bool cycling)
{
    m_s.ui.openWaitWindow(maximum);
    if (cycling)
        m_s.ui.enableWaitTimer(true);
}

void Masks::closeWait()
{
    m_s.ui.setWaitProgress(m_s.ui.waitMaximum());
    m_s.ui.enableWaitTimer(false);
    m_s.ui.closeWaitWindow();
}

// The size, placement, flags and colour written into the stream's header before it goes out. A
// stream read back from a box may be shorter than a header; it then goes out as it is.
void Masks::stampStreamHeader()
{
    MaskState& m = m_state;
    auto& b = m.Stream.bytes;
    if (b.size() < kMaskHeaderBytes)
        return;
    PutStreamField(b, 4, std::uint32_t(b.size()));
    PutStreamField(b, 16, std::uint32_t(m.OffsetX));
    PutStreamField(b, 20, std::uint32_t(m.OffsetY));
    b[24] = m.Trans ? 1 : 0;
    b[25] = m.ImageReverse ? 1 : 0;
    b[26] = std::uint8_t(m.LoopTime);
    b[27] = std::uint8_t(m.LoopTime >> 8);
    b[28] = std::uint8_t(m.MaskColor >> 16);
    b[29] = std::uint8_t(m.MaskColor >> 8);
    b[30] = std::uint8_t(m.MaskColor);
}

Operation<void> Masks::preview()
{
    MaskState& m = m_state;
    if (m.Stream.empty())
        refuse(Text::LoadFirst);
    const auto hold = m_s.exchange.hold();
    const std::uint32_t size = std::uint32_t(m.Stream.size());
    m_s.ui.set(ctl::PBMask, Prop::Maximum, ProgressMaximum(size));
    stampStreamHeader();
    // The stream is sent as it stands now; the page may load another meanwhile.
    const MaskBytes stream = m.Stream.bytes;
    const int window = m_s.CurrentWindow;
    const int kind = m.MaskKind;
    const std::uint32_t code = kind == 1 ? Cmd::MaskUploadMono : Cmd::MaskUploadColour;
    openWait(ProgressMaximum(size), false);
    for (std::size_t at = 0; at < stream.size(); at += proto::kMaskUploadChunkBytes) {
        if (at > 0) {
            m_s.ui.set(ctl::PBMask, Prop::Position, int(at));
            m_s.ui.setWaitProgress(int(at));
        }
        co_await m_s.exchange.send(proto::MaskUploadChunk(
            code, window, std::uint32_t(at), size, std::span(stream).subspan(at), Clear::Frame));
    }
    co_await m_s.exchange.send(
        m.MaskEnDown ? proto::MaskShow(window, kind) : proto::MaskHide(window, Clear::All));
    closeWait();
    m_s.ui.set(ctl::PBMask, Prop::Position, m_s.ui.intValue(ctl::PBMask, Prop::Maximum, 100));
    inform(QString::fromLatin1(Text::UploadFinished));
}

Operation<void> Masks::clearPreview()
{
    co_await m_s.exchange.send(proto::MaskHide(m_s.CurrentWindow, Clear::None));
}

Operation<void> Masks::showStream(int window, MaskBytes stream)
{
    const auto hold = m_s.exchange.hold();
    const std::uint32_t size = std::uint32_t(stream.size());
    for (std::size_t at = 0; at < stream.size(); at += proto::kMaskUploadChunkBytes)
        co_await m_s.exchange.send(proto::MaskUploadChunk(Cmd::MaskUploadMono, window, std::uint32_t(at),
            size, std::span(stream).subspan(at), Clear::Frame));
    co_await m_s.exchange.send(proto::MaskShow(window, 1));
}

Operation<void> Masks::hideStream(int window)
{
    co_await m_s.exchange.send(proto::MaskHide(window, Clear::None));
}

// "S00DMI" with the slot as its value; records the slot for the current window.
Operation<void> Masks::sendAssignment(int slot)
{
    m_state.MaskAssignment[std::size_t(m_s.CurrentWindow & 3)] = slot;
    co_await m_s.exchange.send(proto::MaskAssignment(slot));
}

Operation<void> Masks::save()
{
    MaskState& m = m_state;
    const int slot = m.MaskIdx;
    if (m.MaskKind == 0)
        refuse(Text::PreviewFirst);
    if (slot == 0)
        refuse(Text::SaveIndex);
    if (m.MaskKind == 1 && slot == kColourSlot)
        refuse(Text::SaveIndexMono);
    if (m.MaskKind == 2 && slot < kColourSlot)
        refuse(Text::SaveIndexColour);

    const auto hold = m_s.exchange.hold();
    SlotCopy& copy = slotCopy(slot);
    const std::size_t n = std::min(m.Stream.size(), copy.size());
    std::copy_n(m.Stream.bytes.begin(), n, copy.writable().begin());
    m.MaskAssignment[std::size_t(m_s.CurrentWindow & 3)] = slot;
    previewSlot(slot);
    openWait(100, true);
    co_await m_s.exchange.send(proto::MaskStore(m_s.CurrentWindow, slot - 1, Clear::All));
    co_await sendAssignment(m.MaskIdx);
    closeWait();
    inform(QString::fromLatin1(Text::Saved));
}

Operation<void> Masks::deleteSlot()
{
    const int slot = m_state.MaskIdx;
    if (slot == 0)
        refuse(Text::DeleteIndex);
    const auto hold = m_s.exchange.hold();
    slotCopy(slot).clearHeader();
    showSlotPreview();
    openWait(100, true);
    co_await m_s.exchange.send(proto::MaskDelete(m_s.CurrentWindow, slot - 1, Clear::All));
    co_await clearPreview();
    closeWait();
    inform(QString::fromLatin1(Text::Deleted));
}

Operation<void> Masks::assign()
{
    const int item = m_state.MaskIdx;
    m_state.MaskIdx2 = item;
    m_s.ui.set(ctl::CBMaskIdx2, Prop::ItemIndex, item);
    return assignPreviewed();
}

Operation<void> Masks::assignPreviewed()
{
    openWait(100, true);
    co_await sendAssignment(m_state.MaskIdx2);
    closeWait();
    inform(QString::fromLatin1(Text::SetDone));
}

void Masks::dropCurrentMask()
{
    m_state.Stream.clear();
    showBlankPicture();
    m_s.ui.setCaption(ctl::STMaskInfo, QString());
    m_state.MaskKind = 0;
}

// Placement controls from a header read back from the box.
void Masks::takePlacement(const SlotCopy& buffer)
{
    m_s.ui.setEnabled(ctl::SBMaskOffsetX, true);
    m_s.ui.setEnabled(ctl::SBMaskOffsetY, true);
    m_state.CenterMask = false;
    m_s.ui.setChecked(ctl::CBCenterMask, false);
    const auto offset
        = [](std::uint32_t v, int max) { return int(std::min<std::uint32_t>(v, std::uint32_t(max))); };
    const int x = offset(StreamOffsetX(buffer), kMaskOffsetXMax);
    const int y = offset(StreamOffsetY(buffer), kMaskOffsetYMax);
    m_s.ui.set(ctl::SBMaskOffsetX, Prop::Position, x);
    setOffsetX(x);
    m_s.ui.set(ctl::SBMaskOffsetY, Prop::Position, y);
    setOffsetY(y);
}

// The read buffer becomes the current mask: the first size-field bytes, or what the buffer holds.
void Masks::installReadBuffer(SlotCopy& buffer, bool colour)
{
    MaskState& m = m_state;
    takePlacement(buffer);
    if (!colour) {
        setBackgroundMasked(buffer[24] != 0);
        setReversed(buffer[25] != 0);
        setColour(std::uint32_t(buffer[28]) << 16 | std::uint32_t(buffer[29]) << 8 | buffer[30]);
    }
    // The decoders look for 'E' 'X', which the received count has overwritten until now.
    const auto& magic = colour ? kColourMagic : kMonoMagic;
    std::copy(magic.begin(), magic.end(), buffer.writable().begin());
    const MaskDecodeResult r = colour ? RenderColourMask(buffer.data(), buffer.size())
                                      : DecodeMonoMask(buffer.data(), buffer.size());
    if (!r.ok && !colour)
        inform(r.message);
    showPicture(r.ok ? MaskPictureImage(r.picture) : QImage());

    const std::size_t n = std::min<std::size_t>(StreamSizeField(buffer), buffer.size());
    m.Stream.bytes.assign(buffer.begin(), buffer.begin() + std::ptrdiff_t(n));
    const int width = Clamped(StreamField(buffer.bytes(), 8));
    const int height = Clamped(StreamField(buffer.bytes(), 12));
    m_s.ui.setCaption(ctl::STMaskInfo, MaskInfoText(width, height, n));
    m.MaskKind = colour ? 2 : 1;
}

Operation<void> Masks::read()
{
    const int slot = m_state.MaskIdx;
    if (slot == 0)
        refuse(Text::ReadIndex);
    const auto hold = m_s.exchange.hold();
    const bool colour = slot == kColourSlot;
    const int window = m_s.CurrentWindow;
    // Only the hourglass until the header is in; the wait window follows for the pieces.
    m_s.ui.setHourglass(true);
    const Reply header = co_await m_s.exchange.send(
        proto::MaskReadHeader(colour ? Cmd::MaskReadColourHeader : Cmd::MaskReadHeader, window,
            colour ? proto::kColourSlotOnWire : slot - 1, Clear::None));
    if (!proto::MaskHeaderReplyView{header}.holdsMask()) {
        m_s.ui.setHourglass(false);
        const QString text = QString::fromLatin1(Text::Empty).arg(slot);
        inform(text);
        dropCurrentMask();
        Fail(Failure::Kind::Refused, text, true);
    }
    SlotCopy& buffer = colour ? m_state.ColourReadBuffer : m_state.MonoReadBuffer[std::size_t(window & 3)];
    takeHeader(buffer, header, colour ? "colour read buffer" : "mono read buffer");
    const int maximum = ProgressMaximum(StreamSizeField(buffer));
    m_s.ui.set(ctl::PBMask, Prop::Maximum, maximum);
    openWait(maximum, false);
    const std::uint32_t code = colour ? Cmd::MaskReadColourChunk : Cmd::MaskReadChunk;
    std::uint32_t next = kMaskHeaderBytes;
    bool more = true;
    while (more) {
        const Reply piece = co_await m_s.exchange.send(proto::MaskReadChunk(code, window, next, Clear::None));
        const int before = Clamped(ReceivedCount(buffer));
        more = TakeReadPiece(buffer, proto::MaskChunkReplyView{piece}, next);
        m_s.ui.set(ctl::PBMask, Prop::Position, before);
        m_s.ui.setWaitProgress(before);
    }
    installReadBuffer(buffer, colour);
    m_s.ui.set(ctl::PBMask, Prop::Position, m_s.ui.intValue(ctl::PBMask, Prop::Maximum, 100));
    closeWait();
}

} // namespace trivel
