#include "mask/Controls.h"
#include "mask/MaskOperations.h"
#include "mask/MaskPageLogic.h"
#include "mask/MaskState.h"
#include "session/Session.h"

#include <algorithm>

namespace trivel {

namespace {

bool HoldsMask(const FrameView& reply)
{
    return reply.u8(10) == 'E' && reply.u8(11) == 'X';
}

Request HeaderRequest(std::uint32_t code, int slotOnWire)
{
    return Request(code, Clear::Frame).u8(8, 0).u8(12, std::uint8_t(slotOnWire));
}

Request ChunkRequest(std::uint32_t code, int window, std::uint32_t offset)
{
    return Request(code, Clear::Frame).u8(8, std::uint8_t(window)).u32(12, offset);
}

void Finish(SlotCopy& copy, const std::array<std::uint8_t, 4>& magic)
{
    std::copy(magic.begin(), magic.end(), copy.writable().begin());
}

// One slot into its copy: the header, then pieces until the copy is full or the size is reached.
Operation<void> ReadSlot(Session& s, SlotCopy& copy, std::uint32_t headerCode,
    std::uint32_t chunkCode, int slotOnWire, int chunkWindow, const std::array<std::uint8_t, 4>& magic,
    const char* what)
{
    const Reply header = co_await s.exchange.send(HeaderRequest(headerCode, slotOnWire));
    if (!HoldsMask(header)) {
        copy.clearHeader();
        co_return;
    }
    TakeMaskHeader(s, copy, what);
    std::uint32_t next = kMaskHeaderBytes;
    for (;;) {
        const Reply piece = co_await s.exchange.send(ChunkRequest(chunkCode, chunkWindow, next));
        if (!TakeMaskChunk(copy, piece, next))
            break;
    }
    Finish(copy, magic);
}

} // namespace

Operation<void> ReadMaskSlots(Session& s)
{
    if (!s.flag(Flag::UserMask))
        co_return;
    MaskState& m = s.mask;
    for (m.SlotCounter = 0; m.SlotCounter < kMonoSlots; ++m.SlotCounter) {
        co_await ReadSlot(s, m.MonoSlotCopy[std::size_t(m.SlotCounter)], Cmd::MaskReadHeader, Cmd::MaskReadChunk,
            m.SlotCounter, 0, kMonoMagic, "mono slot copy");
        s.ui.addWaitProgress(1);
    }
    co_await ReadSlot(s, m.ColourSlotCopy, Cmd::MaskReadColourHeader, Cmd::MaskReadColourChunk, 9,
        s.CurrentWindow, kColourMagic, "colour slot copy");
    s.ui.addWaitProgress(1);
}

void ApplyUserMaskFeature(Session& s, std::uint8_t feature)
{
    const bool on = feature != 0;
    SetPageAvailable(s, Page::DigiMap, on);
    s.ui.setEnabled(ctl::GBUserMask, on);
    s.ui.setVisible(ctl::GBUserMask, on);
    s.setFlag(Flag::UserMask, on);
    if (!on)
        return;
    s.mask.MonoMaskLimit = feature == 0x5B ? 32768 : 237568;
    s.mask.MaskKind = 0;
    s.mask.Stream.clear();
    ShowBlankMaskPicture(s);
    s.ui.setCaption(ctl::STMaskInfo, QString());
}

} // namespace trivel
