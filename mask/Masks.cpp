#include "mask/Masks.h"


#include "mask/Controls.h"
#include "mask/MaskImage.h"
#include "mask/StreamFields.h"
#include "protocol/MaskFrames.h"
#include "session/Session.h"

#include <algorithm>
#include <cassert>

namespace trivel {

Masks::Masks(Session& s, OutputFrame outputFrame)
    : m_s(s)
    , m_outputFrame(std::move(outputFrame))
{
    m_s.masks = this;
}

Masks::~Masks()
{
    m_s.pageHooks.maskSlotChange = nullptr;
    m_s.pageHooks.windowMaskSlot = nullptr;
    if (m_s.masks == this)
        m_s.masks = nullptr;
}

SlotCopy& Masks::slotCopy(int slot)
{
    assert(slot >= 1 && slot <= kColourSlot);
    return slot == kColourSlot ? m_state.ColourSlotCopy : m_state.MonoSlotCopy[std::size_t(slot - 1)];
}

const SlotCopy& Masks::slotCopy(int slot) const
{
    return const_cast<Masks*>(this)->slotCopy(slot);
}

void Masks::applyFeature(std::uint8_t feature)
{
    const bool on = feature != 0;
    SetPageAvailable(m_s, Page::DigiMap, on);
    m_s.ui.setEnabled(ctl::GBUserMask, on);
    m_s.ui.setVisible(ctl::GBUserMask, on);
    m_s.setFlag(Flag::UserMask, on);
    if (!on)
        return;
    m_state.MonoMaskLimit = feature == 0x5B ? 32768 : 237568;
    m_state.MaskKind = 0;
    m_state.Stream.clear();
    showBlankPicture();
    m_s.ui.setCaption(ctl::STMaskInfo, QString());
}

// The header goes into the copy's first 32 bytes with the received count 0; a size field the copy
// cannot hold goes to the memo (`what` names the copy there).
void Masks::takeHeader(SlotCopy& buffer, const FrameView& reply, const char* what)
{
    proto::MaskHeaderReplyView{reply}.header(buffer.writable().data());
    SetReceivedCount(buffer, 0);
    const std::uint32_t size = StreamSizeField(buffer);
    if (size > buffer.size())
        m_s.ui.appendMemo(QStringLiteral("MASK SIZE %1 > %2 (%3): read stops at its end")
                              .arg(size)
                              .arg(buffer.size())
                              .arg(QLatin1String(what)));
}

Operation<void> Masks::readSlots()
{
    if (!m_s.flag(Flag::UserMask))
        co_return;
    for (int slot = 1; slot <= kColourSlot; ++slot) {
        co_await readSlot(slot);
        m_s.ui.addWaitProgress(1);
    }
}

// One slot into its copy: the header, then pieces until the copy is full or the size is reached.
// Mono headers and pieces name window 0, the colour pieces the current window.
Operation<void> Masks::readSlot(int slot)
{
    const bool colour = slot == kColourSlot;
    SlotCopy& copy = slotCopy(slot);
    const int slotOnWire = colour ? proto::kColourSlotOnWire : slot - 1;
    const Reply header = co_await m_s.exchange.send(proto::MaskReadHeader(
        colour ? Cmd::MaskReadColourHeader : Cmd::MaskReadHeader, 0, slotOnWire, Clear::Frame));
    if (!proto::MaskHeaderReplyView{header}.holdsMask()) {
        copy.clearHeader();
        co_return;
    }
    takeHeader(copy, header, colour ? "colour slot copy" : "mono slot copy");
    const std::uint32_t code = colour ? Cmd::MaskReadColourChunk : Cmd::MaskReadChunk;
    const int window = colour ? m_s.CurrentWindow : 0;
    std::uint32_t next = kMaskHeaderBytes;
    for (;;) {
        const Reply piece
            = co_await m_s.exchange.send(proto::MaskReadChunk(code, window, next, Clear::Frame));
        if (!TakeReadPiece(copy, proto::MaskChunkReplyView{piece}, next))
            break;
    }
    const auto& magic = colour ? kColourMagic : kMonoMagic;
    std::copy(magic.begin(), magic.end(), copy.writable().begin());
}

// ---- the pages' handlers ----

void Masks::inform(const QString& text, const QString& caption)
{
    m_s.ui.message(MsgIcon::Information, caption, text, MsgButtons::Ok);
}

void Masks::showPicture(const QImage& picture)
{
    m_state.Picture = picture;
    if (m_state.pictureChanged)
        m_state.pictureChanged();
}

void Masks::showSlotPicture(const QImage& picture)
{
    m_state.SlotPreview = picture;
    if (m_state.slotPreviewChanged)
        m_state.slotPreviewChanged();
}

void Masks::showBlankPicture()
{
    showPicture(MaskPictureImage(BlankMaskPicture()));
}

void Masks::clearPicture()
{
    showPicture(QImage());
}

// A scroll bar takes any position within its range; setting it runs its change handler.
void Masks::placeX(std::int64_t position)
{
    const int p = int(std::clamp<std::int64_t>(position, 0, kMaskOffsetXMax));
    m_s.ui.set(ctl::SBMaskOffsetX, Prop::Position, p);
    setOffsetX(p);
}

void Masks::placeY(std::int64_t position)
{
    const int p = int(std::clamp<std::int64_t>(position, 0, kMaskOffsetYMax));
    m_s.ui.set(ctl::SBMaskOffsetY, Prop::Position, p);
    setOffsetY(p);
}

void Masks::enableMonoControls(bool on)
{
    for (const Control& c : {ctl::CBTrans, ctl::CBImageReverse, ctl::BtnSelColor})
        m_s.ui.setEnabled(c, on);
}

void Masks::initPages()
{
    if (m_state.presetColourDialog)
        m_state.presetColourDialog();
    showBlankPicture();
    m_s.ui.set(ctl::MaskColor, Prop::Color, int(m_state.MaskColor));
    m_s.pageHooks.maskSlotChange = [this] { showSlotPreview(); };
    m_s.pageHooks.windowMaskSlot = [this](int w) { previewSlot(assignment()[std::size_t(w & 3)]); };
}

void Masks::loadImage(const QByteArray& file)
{
    MaskState& m = m_state;
    const MaskBitmap b = LoadMaskBitmap(file);
    switch (b.status) {
    case MaskLoadStatus::NotBmp:
    case MaskLoadStatus::Damaged:
        inform(b.message);
        return;
    case MaskLoadStatus::TooBig:
        clearPicture();
        inform(b.message, QString::fromLatin1(MaskText::Caption));
        return;
    case MaskLoadStatus::NotSupported:
        showPicture(b.shown);
        inform(b.message);
        return;
    default:
        break;
    }

    showPicture(b.shown);
    const bool mono = b.picture.depth == 1;
    enableMonoControls(mono);
    QString message;
    const bool ok = mono
        ? EncodeMonoMask(b.picture, std::size_t(m.MonoMaskLimit), m.Stream.bytes, m.MaskKind, message)
        : EncodeColourMask(b.picture, m.Stream.bytes, m.MaskKind, message);
    if (!ok) {
        m.MaskKind = 0;
        clearPicture();
        inform(message);
        enableMonoControls(true);
        m_s.ui.setCaption(ctl::STMaskInfo, QString());
        return;
    }
    if (!mono)
        selectSlot(kColourSlot);
    if (m.CenterMask) {
        setCentred(true);
    } else {
        placeX(0);
        placeY(0);
    }
    m_s.ui.setCaption(ctl::STMaskInfo, MaskInfoText(b.picture.width, b.picture.height, m.Stream.size()));
}

void Masks::setCentred(bool on)
{
    MaskState& m = m_state;
    if (m.Picture.width() == 0) {
        m.CenterMask = false;
        m_s.ui.setChecked(ctl::CBCenterMask, false);
        return;
    }
    m.CenterMask = on;
    m_s.ui.setChecked(ctl::CBCenterMask, on);
    m_s.ui.setEnabled(ctl::SBMaskOffsetX, !on);
    m_s.ui.setEnabled(ctl::SBMaskOffsetY, !on);
    if (!on)
        return;
    // Each halving truncates toward zero, as the placement rule says.
    const auto [width, height] = currentFrame();
    placeX(width / 2 - m.Picture.width() / 2);
    placeY(height / 2 - m.Picture.height() / 2);
}

std::pair<int, int> Masks::currentFrame() const
{
    return m_outputFrame(std::clamp(m_s.CurrentWindow, 0, 3));
}

void Masks::setOffsetX(int position)
{
    const int output = currentFrame().first;
    const int picture = m_state.Picture.width();
    if (picture + position > output) {
        position = std::clamp(output - picture, 0, kMaskOffsetXMax);
        m_s.ui.set(ctl::SBMaskOffsetX, Prop::Position, position);
    }
    m_state.OffsetX = position;
    m_s.ui.setCaption(ctl::STOffsetX, QString::number(position));
}

void Masks::setOffsetY(int position)
{
    const int output = currentFrame().second;
    const int picture = m_state.Picture.height();
    if (picture + position > output) {
        position = std::clamp(output - picture, 0, kMaskOffsetYMax);
        m_s.ui.set(ctl::SBMaskOffsetY, Prop::Position, position);
    }
    m_state.OffsetY = position;
    m_s.ui.setCaption(ctl::STOffsetY, QString::number(position));
}

void Masks::setBackgroundMasked(bool on)
{
    m_state.Trans = on;
    m_s.ui.setChecked(ctl::CBTrans, on);
}

void Masks::setReversed(bool on)
{
    m_state.ImageReverse = on;
    m_s.ui.setChecked(ctl::CBImageReverse, on);
}

void Masks::setColour(std::uint32_t rgb)
{
    m_state.MaskColor = rgb & 0xFFFFFFu;
    m_s.ui.set(ctl::MaskColor, Prop::Color, int(m_state.MaskColor));
}

void Masks::selectSlot(int item)
{
    m_state.MaskIdx = std::clamp(item, 0, kColourSlot);
    m_s.ui.set(ctl::CBMaskIdx, Prop::ItemIndex, m_state.MaskIdx);
}

void Masks::setSaveAll(bool on)
{
    m_s.SaveAllMasks = on;
    m_s.ui.setChecked(ctl::CBSaveAll, on);
}

void Masks::previewSlot(int item)
{
    m_state.MaskIdx2 = std::clamp(item, 0, kColourSlot);
    showSlotPreview();
}

void Masks::showSlotPreview()
{
    const int item = std::clamp(m_state.MaskIdx2, 0, kColourSlot);
    m_s.ui.set(ctl::CBMaskIdx2, Prop::ItemIndex, item);
    const QImage blank = MaskPictureImage(BlankMaskPicture());
    if (item == kColourSlot) {
        const SlotCopy& copy = m_state.ColourSlotCopy;
        placeX(StreamOffsetX(copy));
        placeY(StreamOffsetY(copy));
        if (StreamSizeField(copy) == 0)
            return showSlotPicture(blank);
        return showSlotPicture(MaskPictureImage(RenderColourMask(copy.data(), copy.size()).picture));
    }
    if (item == 0 || StreamSizeField(slotCopy(item)) == 0)
        return showSlotPicture(blank);
    SlotCopy& copy = slotCopy(item);
    MaskHeader header;
    ReadMaskHeader(copy.data(), copy.size(), header);
    const MaskDecodeResult r = DecodeMonoMask(copy.data(), copy.size());
    if (!r.ok)
        inform(r.message);
    showSlotPicture(MaskPictureImage(r.picture, MonoPreviewPalette(header)));
    std::copy(kMonoMagic.begin(), kMonoMagic.end(), copy.writable().begin());
}

} // namespace trivel
