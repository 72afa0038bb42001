#pragma once
// Handlers of the Digi Mapping page's picture and placement controls and of the slot preview
// on the Mask page. They work on the session's mask fields, so tests and trivelctl run them
// without widgets; the pages only forward their widgets' events here.

#include <QByteArray>

#include <cstdint>

namespace trivel {

class Session;

// Start-up: the colour dialog preset to the mask colour, the blank picture in MaskImage, and
// the slot preview as the Mask page's refresh and show handler.
void InitMaskPages(Session& s);

// "Load Image" once the dialog has given a file's bytes.
void LoadMaskImageFile(Session& s, const QByteArray& file);

void CBCenterMaskClick(Session& s, bool checked);
void SBMaskOffsetXChange(Session& s, int position);
void SBMaskOffsetYChange(Session& s, int position);
void CBTransClick(Session& s, bool checked);
void CBImageReverseClick(Session& s, bool checked);
// BtnSelColor after the colour dialog was confirmed; 0xRRGGBB.
void SetMaskColour(Session& s, std::uint32_t rgb);
void CBMaskIdxChange(Session& s, int item);
void CBSaveAllClick(Session& s, bool checked);

// The preview of the slot chosen in CBMaskIdx2, in MaskImageU.
void CBMaskIdx2Change(Session& s);
// Selects an item of CBMaskIdx2 (the user, or code) and previews it.
void SelectMaskSlotPreview(Session& s, int item);

// MaskImage's picture: the blank one, or none (cleared).
void ShowBlankMaskPicture(Session& s);
void ClearMaskPicture(Session& s);

inline constexpr int kMaskOffsetXMax = 1920;
inline constexpr int kMaskOffsetYMax = 1200;

} // namespace trivel
