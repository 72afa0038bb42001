#include "mask/MaskPageLogic.h"

#include "mask/Controls.h"
#include "mask/MaskImage.h"
#include "box/Box.h"
#include "session/Session.h"

#include <algorithm>
#include <span>

namespace trivel {

namespace {

void PictureChanged(Session& s)
{
    if (s.mask.pictureChanged)
        s.mask.pictureChanged();
}

void ShowPicture(Session& s, const QImage& picture)
{
    s.mask.Picture = picture;
    PictureChanged(s);
}

void ShowSlotPreview(Session& s, const QImage& picture)
{
    s.mask.SlotPreview = picture;
    if (s.mask.slotPreviewChanged)
        s.mask.slotPreviewChanged();
}

const WarpModel& OutputFrame(const Session& s)
{
    return s.box->warp.model(std::clamp(s.CurrentWindow, 0, 3));
}

// A scroll bar takes any position within its range; setting it runs its change handler.
void SetOffsetX(Session& s, std::int64_t position)
{
    const int p = int(std::clamp<std::int64_t>(position, 0, kMaskOffsetXMax));
    s.ui.set(ctl::SBMaskOffsetX, Prop::Position, p);
    SBMaskOffsetXChange(s, p);
}

void SetOffsetY(Session& s, std::int64_t position)
{
    const int p = int(std::clamp<std::int64_t>(position, 0, kMaskOffsetYMax));
    s.ui.set(ctl::SBMaskOffsetY, Prop::Position, p);
    SBMaskOffsetYChange(s, p);
}

void EnableMonoControls(Session& s, bool on)
{
    for (const Control& c : {ctl::CBTrans, ctl::CBImageReverse, ctl::BtnSelColor})
        s.ui.setEnabled(c, on);
}

std::uint32_t Le32(std::span<const std::uint8_t> b, std::size_t off)
{
    return std::uint32_t(b[off]) | std::uint32_t(b[off + 1]) << 8 | std::uint32_t(b[off + 2]) << 16
        | std::uint32_t(b[off + 3]) << 24;
}

void Inform(Session& s, const QString& text, const QString& caption = QString())
{
    s.ui.message(MsgIcon::Information, caption, text, MsgButtons::Ok);
}

} // namespace

void ShowBlankMaskPicture(Session& s)
{
    ShowPicture(s, MaskPictureImage(BlankMaskPicture()));
}

void ClearMaskPicture(Session& s)
{
    ShowPicture(s, QImage());
}

void InitMaskPages(Session& s)
{
    if (s.mask.presetColourDialog)
        s.mask.presetColourDialog();
    ShowBlankMaskPicture(s);
    s.ui.set(ctl::MaskColor, Prop::Color, int(s.mask.MaskColor));
    s.pageHooks.maskSlotChange = [&s] { CBMaskIdx2Change(s); };
}

void LoadMaskImageFile(Session& s, const QByteArray& file)
{
    MaskState& m = s.mask;
    const MaskBitmap b = LoadMaskBitmap(file);
    switch (b.status) {
    case MaskLoadStatus::NotBmp:
    case MaskLoadStatus::Damaged:
        Inform(s, b.message);
        return;
    case MaskLoadStatus::TooBig:
        ClearMaskPicture(s);
        Inform(s, b.message, QString::fromLatin1(MaskText::Caption));
        return;
    case MaskLoadStatus::NotSupported:
        ShowPicture(s, b.shown);
        Inform(s, b.message);
        return;
    default:
        break;
    }

    ShowPicture(s, b.shown);
    const bool mono = b.picture.depth == 1;
    EnableMonoControls(s, mono);
    QString message;
    const bool ok = mono
        ? EncodeMonoMask(b.picture, std::size_t(m.MonoMaskLimit), m.Stream.bytes, m.MaskKind, message)
        : EncodeColourMask(b.picture, m.Stream.bytes, m.MaskKind, message);
    m.Stream.rewind();
    if (!ok) {
        m.MaskKind = 0;
        ClearMaskPicture(s);
        Inform(s, message);
        EnableMonoControls(s, true);
        s.ui.setCaption(ctl::STMaskInfo, QString());
        return;
    }
    if (!mono)
        CBMaskIdxChange(s, 10);
    if (m.CenterMask) {
        CBCenterMaskClick(s, true);
    } else {
        SetOffsetX(s, 0);
        SetOffsetY(s, 0);
    }
    s.ui.setCaption(ctl::STMaskInfo, MaskInfoText(b.picture.width, b.picture.height, m.Stream.size()));
}

void CBCenterMaskClick(Session& s, bool checked)
{
    MaskState& m = s.mask;
    if (m.Picture.width() == 0) {
        m.CenterMask = false;
        s.ui.setChecked(ctl::CBCenterMask, false);
        return;
    }
    m.CenterMask = checked;
    s.ui.setChecked(ctl::CBCenterMask, checked);
    s.ui.setEnabled(ctl::SBMaskOffsetX, !checked);
    s.ui.setEnabled(ctl::SBMaskOffsetY, !checked);
    if (!checked)
        return;
    // Each halving truncates toward zero, as the placement rule says.
    const WarpModel& out = OutputFrame(s);
    SetOffsetX(s, out.frameWidth / 2 - m.Picture.width() / 2);
    SetOffsetY(s, out.frameHeight / 2 - m.Picture.height() / 2);
}

void SBMaskOffsetXChange(Session& s, int position)
{
    const int output = OutputFrame(s).frameWidth;
    const int picture = s.mask.Picture.width();
    if (picture + position > output) {
        position = std::clamp(output - picture, 0, kMaskOffsetXMax);
        s.ui.set(ctl::SBMaskOffsetX, Prop::Position, position);
    }
    s.mask.OffsetX = position;
    s.ui.setCaption(ctl::STOffsetX, QString::number(position));
}

void SBMaskOffsetYChange(Session& s, int position)
{
    const int output = OutputFrame(s).frameHeight;
    const int picture = s.mask.Picture.height();
    if (picture + position > output) {
        position = std::clamp(output - picture, 0, kMaskOffsetYMax);
        s.ui.set(ctl::SBMaskOffsetY, Prop::Position, position);
    }
    s.mask.OffsetY = position;
    s.ui.setCaption(ctl::STOffsetY, QString::number(position));
}

void CBTransClick(Session& s, bool checked)
{
    s.mask.Trans = checked;
    s.ui.setChecked(ctl::CBTrans, checked);
}

void CBImageReverseClick(Session& s, bool checked)
{
    s.mask.ImageReverse = checked;
    s.ui.setChecked(ctl::CBImageReverse, checked);
}

void SetMaskColour(Session& s, std::uint32_t rgb)
{
    s.mask.MaskColor = rgb & 0xFFFFFFu;
    s.ui.set(ctl::MaskColor, Prop::Color, int(s.mask.MaskColor));
}

void CBMaskIdxChange(Session& s, int item)
{
    s.mask.MaskIdx = std::clamp(item, 0, 10);
    s.ui.set(ctl::CBMaskIdx, Prop::ItemIndex, s.mask.MaskIdx);
}

void CBSaveAllClick(Session& s, bool checked)
{
    s.SaveAllMasks = checked;
    s.ui.setChecked(ctl::CBSaveAll, checked);
}

void SelectMaskSlotPreview(Session& s, int item)
{
    s.mask.MaskIdx2 = std::clamp(item, 0, 10);
    CBMaskIdx2Change(s);
}

void CBMaskIdx2Change(Session& s)
{
    MaskState& m = s.mask;
    const int item = std::clamp(m.MaskIdx2, 0, 10);
    s.ui.set(ctl::CBMaskIdx2, Prop::ItemIndex, item);
    const QImage blank = MaskPictureImage(BlankMaskPicture());
    if (item == 10) {
        const auto& copy = m.ColourSlotCopy;
        SetOffsetX(s, Le32(copy, 16));
        SetOffsetY(s, Le32(copy, 20));
        if (Le32(copy, 4) == 0) {
            ShowSlotPreview(s, blank);
            return;
        }
        ShowSlotPreview(s, MaskPictureImage(RenderColourMask(copy.data(), copy.size()).picture));
        return;
    }
    if (item == 0 || Le32(m.MonoSlotCopy[std::size_t(item - 1)], 4) == 0) {
        ShowSlotPreview(s, blank);
        return;
    }
    auto& copy = m.MonoSlotCopy[std::size_t(item - 1)];
    MaskHeader header;
    ReadMaskHeader(copy.data(), copy.size(), header);
    const MaskDecodeResult r = DecodeMonoMask(copy.data(), copy.size());
    if (!r.ok)
        Inform(s, r.message);
    ShowSlotPreview(s, MaskPictureImage(r.picture, MonoPreviewPalette(header)));
    std::copy(kMonoMagic.begin(), kMonoMagic.end(), copy.writable().begin());
}

} // namespace trivel
