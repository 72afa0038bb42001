#include "mask/Controls.h"
#include "mask/MaskOperations.h"
#include "mask/MaskOps.h"
#include "mask/MaskPageLogic.h"
#include "mask/MaskState.h"
#include "session/PendingOps.h"
#include "session/Session.h"

#include <algorithm>

namespace trivel {

namespace {

bool HoldsMask(const FrameView& reply)
{
    return reply.u8(10) == 'E' && reply.u8(11) == 'X';
}

void SendHeaderRequest(Session& s, std::uint32_t code, int slotOnWire, int op)
{
    s.clearRequest(512);
    FrameView f = s.request();
    f.setCode(code);
    f.put8(8, 0);
    f.put8(12, std::uint8_t(slotOnWire));
    s.PendingOp = op;
    SendFrame(s);
}

void SendChunkRequest(Session& s, std::uint32_t code, int window, std::uint32_t offset)
{
    s.clearRequest(512);
    FrameView f = s.request();
    f.setCode(code);
    f.put8(8, std::uint8_t(window));
    f.put32(12, offset);
    SendFrame(s);
}

// Leaves the slot chain for the window-settings step of the read-back.
void ContinueWithWindowSettings(Session& s)
{
    s.clearRequest(512);
    s.request().setCode(Cmd::ReadWindowSettings);
    s.PendingOp = Op::WindowSettings;
    SendFrame(s);
}

void NextSlot(Session& s)
{
    MaskState& m = s.mask;
    ++m.SlotCounter;
    s.ui.addWaitProgress(1);
    if (m.SlotCounter <= 8)
        SendHeaderRequest(s, Cmd::MaskReadHeader, m.SlotCounter, Op::MaskSlotHeader);
    else
        SendHeaderRequest(s, Cmd::MaskReadColourHeader, 9, Op::MaskColourHeader);
}

void Finish(SlotCopy& copy, const std::array<std::uint8_t, 4>& magic)
{
    std::copy(magic.begin(), magic.end(), copy.writable().begin());
}

} // namespace

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

void StartMaskSlotRead(Session& s)
{
    if (!s.flag(Flag::UserMask)) {
        ContinueWithWindowSettings(s);
        return;
    }
    s.mask.SlotCounter = 0;
    SendHeaderRequest(s, Cmd::MaskReadHeader, 0, Op::MaskSlotHeader);
}

void MaskSlotReadStep(Session& s, int op)
{
    MaskState& m = s.mask;
    const FrameView reply = s.reply();
    const int slot = std::clamp(m.SlotCounter, 0, kMonoSlots - 1);
    std::uint32_t next = 0;
    switch (op) {
    case Op::MaskSlotHeader:
        if (HoldsMask(reply)) {
            TakeMaskHeader(s, m.MonoSlotCopy[slot], "mono slot copy");
            s.PendingOp = Op::MaskSlotChunk;
            SendChunkRequest(s, Cmd::MaskReadChunk, 0, kMaskHeaderBytes);
        } else {
            m.MonoSlotCopy[slot].clearHeader();
            NextSlot(s);
        }
        break;
    case Op::MaskSlotChunk:
        if (TakeMaskChunk(m.MonoSlotCopy[slot], reply, next)) {
            SendChunkRequest(s, Cmd::MaskReadChunk, 0, next);
        } else {
            Finish(m.MonoSlotCopy[slot], kMonoMagic);
            NextSlot(s);
        }
        break;
    case Op::MaskColourHeader:
        if (HoldsMask(reply)) {
            TakeMaskHeader(s, m.ColourSlotCopy, "colour slot copy");
            s.PendingOp = Op::MaskColourChunk;
            SendChunkRequest(s, Cmd::MaskReadColourChunk, s.CurrentWindow, kMaskHeaderBytes);
        } else {
            m.ColourSlotCopy.clearHeader();
            s.ui.addWaitProgress(1);
            ContinueWithWindowSettings(s);
        }
        break;
    case Op::MaskColourChunk:
        if (TakeMaskChunk(m.ColourSlotCopy, reply, next)) {
            SendChunkRequest(s, Cmd::MaskReadColourChunk, s.CurrentWindow, next);
        } else {
            Finish(m.ColourSlotCopy, kColourMagic);
            s.ui.addWaitProgress(1);
            ContinueWithWindowSettings(s);
        }
        break;
    default:
        break;
    }
}

} // namespace trivel
