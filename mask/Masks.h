#pragma once
// The user masks of a box with the feature: the tool's copies of the box's ten slots, the slot
// each window shows, the mask prepared on the Digi Mapping page, and what the tool does with them
// on the box. The Digi Mapping and Mask pages and trivelctl drive it; the state it holds is what
// the pages show (the core never reads a widget).
//
// Operations that refuse to start (no mask loaded, no slot chosen) tell the user why, send
// nothing, and end failed with Refused, the message already shown.

#include "link/Operation.h"
#include "mask/MaskCodec.h"
#include "mask/MaskState.h"
#include "protocol/Frame.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <utility>

namespace trivel {

class Session;

inline constexpr int kMaskOffsetXMax = 1920;
inline constexpr int kMaskOffsetYMax = 1200;
inline constexpr int kColourSlot = 10;

class Masks {
public:
    // The width and height of a window's output frame (0..3), as the box reported them.
    using OutputFrame = std::function<std::pair<int, int>(int window)>;

    Masks(Session& s, OutputFrame outputFrame);
    ~Masks();
    Masks(const Masks&) = delete;
    Masks& operator=(const Masks&) = delete;

    MaskState& state() { return m_state; }
    const MaskState& state() const { return m_state; }
    // Slot 1..9 (mono) or 10 (colour); anything else is a programming error.
    SlotCopy& slotCopy(int slot);
    const SlotCopy& slotCopy(int slot) const;
    // Per window: 0 "Off" or the slot 1..10.
    std::array<std::int32_t, 4>& assignment() { return m_state.MaskAssignment; }
    const std::array<std::int32_t, 4>& assignment() const { return m_state.MaskAssignment; }

    // The user-mask byte of the Identify reply: 0 means the box has no user masks.
    void applyFeature(std::uint8_t feature);
    // The slot copies read at connect: nine mono slots and the colour slot, each header then its
    // 256-byte pieces. Nothing without the feature.
    Operation<void> readSlots();

    // Start-up of the pages: the colour dialog preset, the blank picture, the slot preview as the
    // Mask page's refresh and show handler.
    void initPages();

    // Digi Mapping: the picture and its placement.
    void loadImage(const QByteArray& file);
    void setCentred(bool on);
    void setOffsetX(int position);
    void setOffsetY(int position);
    void setBackgroundMasked(bool on);
    void setReversed(bool on);
    void setColour(std::uint32_t rgb); // 0xRRGGBB
    void setLoopTime(int value) { m_state.LoopTime = value; }
    void selectSlot(int item); // CBMaskIdx: 0 "Off", 1..10
    void setSaveAll(bool on);
    void showBlankPicture();
    void clearPicture();

    // Mask page: the slot previewed in MaskImageU, chosen by the user or by code.
    void previewSlot(int item);
    void showSlotPreview();

    // The page's mask with its placement, flags and colour, uploaded to the current window and
    // shown there, with PBMask, the wait window and a message at the end.
    Operation<void> preview();
    // The current window's preview taken away, over the frame as it stands.
    Operation<void> clearPreview();
    // The previewed mask kept in the slot chosen in CBMaskIdx and assigned to the current window.
    Operation<void> save();
    Operation<void> deleteSlot();
    // The slot chosen in CBMaskIdx read back into the page's mask; an empty slot drops the page's
    // mask and ends Refused (shown).
    Operation<void> read();
    // A mono stream as it is (its header carries size, placement, flags and colour) uploaded to a
    // window's preview and shown there, with no page, progress or message: the patterns of the
    // camera alignment. hideStream takes a window's preview away.
    Operation<void> showStream(int window, MaskBytes stream);
    Operation<void> hideStream(int window);
    // The slot chosen on the Digi Mapping page, or on the Mask page, shown on the current window.
    Operation<void> assign();
    Operation<void> assignPreviewed();

private:
    Operation<void> sendAssignment(int slot);
    Operation<void> readSlot(int slot);
    void stampStreamHeader();
    void takeHeader(SlotCopy& buffer, const FrameView& reply, const char* what);
    void installReadBuffer(SlotCopy& buffer, bool colour);
    void takePlacement(const SlotCopy& buffer);
    void dropCurrentMask();
    [[noreturn]] void refuse(const char* text);
    void inform(const QString& text, const QString& caption = QString());
    void placeX(std::int64_t position);
    void placeY(std::int64_t position);
    void enableMonoControls(bool on);
    void showPicture(const QImage& picture);
    void showSlotPicture(const QImage& picture);
    void openWait(int maximum, bool cycling);
    void closeWait();

    // The current window's output frame.
    std::pair<int, int> currentFrame() const;

    Session& m_s;
    OutputFrame m_outputFrame;
    MaskState m_state;
};

} // namespace trivel
