#pragma once
// The tool's copies of the box's ten mask slots, the slot assigned to each window, and the mask
// the Digi Mapping page prepares. Held by Masks (mask/Masks.h).

#include "mask/SlotCopy.h"

#include <QImage>

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

namespace trivel {

inline constexpr std::size_t kMonoSlotBytes = 262144;
inline constexpr std::size_t kColourSlotBytes = 2097152;
inline constexpr std::size_t kMaskHeaderBytes = 32;
inline constexpr int kMonoSlots = 9; // slots 1..9; slot 10 is the colour slot

// Header magic written back once a slot copy has been read to its end.
inline constexpr std::array<std::uint8_t, 4> kMonoMagic{0x00, 0x4D, 0x45, 0x58};
inline constexpr std::array<std::uint8_t, 4> kColourMagic{0x00, 0x43, 0x45, 0x58};

// The current mask as converted or read back.
struct MaskStream {
    std::vector<std::uint8_t> bytes;

    bool empty() const { return bytes.empty(); }
    std::size_t size() const { return bytes.size(); }
    void clear() { bytes.clear(); }
};

struct MaskState {
    // A MaskHeader followed by the body; an empty slot has a zero header. While a copy is being
    // filled its first header dword counts the body bytes received so far.
    std::array<SlotCopy, kMonoSlots> MonoSlotCopy{SlotCopy(kMonoSlotBytes), SlotCopy(kMonoSlotBytes),
        SlotCopy(kMonoSlotBytes), SlotCopy(kMonoSlotBytes), SlotCopy(kMonoSlotBytes),
        SlotCopy(kMonoSlotBytes), SlotCopy(kMonoSlotBytes), SlotCopy(kMonoSlotBytes),
        SlotCopy(kMonoSlotBytes)};
    SlotCopy ColourSlotCopy{kColourSlotBytes};
    // Per window: 0 "Off" or the slot 1..10.
    std::array<std::int32_t, 4> MaskAssignment{};
    std::int32_t MonoMaskLimit = 32768;
    int MaskKind = 0; // 0 none, 1 mono, 2 colour
    MaskStream Stream;

    // Filled by "Read": one mono buffer per window and one colour buffer, laid out like the slot
    // copies.
    std::array<SlotCopy, 4> MonoReadBuffer{SlotCopy(kMonoSlotBytes), SlotCopy(kMonoSlotBytes),
        SlotCopy(kMonoSlotBytes), SlotCopy(kMonoSlotBytes)};
    SlotCopy ColourReadBuffer{kColourSlotBytes};

    // What the mask pages decide from; their widgets are a projection of these.
    int MaskIdx = 0; // CBMaskIdx: 0 "Off", 1..10
    int MaskIdx2 = 0; // CBMaskIdx2
    bool CenterMask = false; // CBCenterMask
    int OffsetX = 0; // SBMaskOffsetX
    int OffsetY = 0; // SBMaskOffsetY
    bool Trans = false; // CBTrans, "Background masked"
    bool ImageReverse = false; // CBImageReverse
    int LoopTime = 5; // SBLoopTime (hidden)
    std::uint32_t MaskColor = 0xFFFFFF; // brush of the MaskColor shape, 0xRRGGBB
    bool MaskEnDown = true; // BtnMaskEn: down at start, nothing changes it
    QImage Picture; // what MaskImage shows; null when cleared
    QImage SlotPreview; // what MaskImageU shows

    // Pages redraw their pictures and preset the colour dialog through these; empty ones are skipped.
    std::function<void()> pictureChanged;
    std::function<void()> slotPreviewChanged;
    std::function<void()> presetColourDialog;
};

} // namespace trivel
