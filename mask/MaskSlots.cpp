#include "mask/Controls.h"
#include "mask/MaskOps.h"
#include "mask/MaskState.h"
#include "session/PendingOps.h"
#include "session/Session.h"

#include <algorithm>

namespace trivel {

namespace {

std::uint32_t ReadLe32(const std::vector<std::uint8_t>& b, std::size_t off)
{
    return std::uint32_t(b[off]) | std::uint32_t(b[off + 1]) << 8 | std::uint32_t(b[off + 2]) << 16
        | std::uint32_t(b[off + 3]) << 24;
}

void WriteLe32(std::vector<std::uint8_t>& b, std::size_t off, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[off + std::size_t(i)] = std::uint8_t(v >> (8 * i));
}

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

void TakeHeader(std::vector<std::uint8_t>& copy, const FrameView& reply)
{
    reply.copyOut(8, copy.data(), kMaskHeaderBytes);
    WriteLe32(copy, 0, 0);
}

// Stores one 256-byte chunk and tells whether more is to be read. The size field comes from
// the box: the read stops at the end of the copy, whatever size the box claims.
bool TakeChunk(std::vector<std::uint8_t>& copy, const FrameView& reply, std::uint32_t& nextOffset)
{
    const std::uint32_t received = ReadLe32(copy, 0);
    const std::size_t at = kMaskHeaderBytes + received;
    if (at < copy.size())
        reply.copyOut(8, copy.data() + at, std::min<std::size_t>(256, copy.size() - at));
    const std::uint32_t now = received + 256;
    WriteLe32(copy, 0, now);
    const std::uint32_t size = ReadLe32(copy, 4);
    nextOffset = now + kMaskHeaderBytes;
    return now < size && kMaskHeaderBytes + std::size_t(now) < copy.size();
}

void Finish(std::vector<std::uint8_t>& copy, const std::array<std::uint8_t, 4>& magic)
{
    std::copy(magic.begin(), magic.end(), copy.begin());
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
            TakeHeader(m.MonoSlotCopy[slot], reply);
            s.PendingOp = Op::MaskSlotChunk;
            SendChunkRequest(s, Cmd::MaskReadChunk, 0, kMaskHeaderBytes);
        } else {
            std::fill_n(m.MonoSlotCopy[slot].begin(), kMaskHeaderBytes, 0);
            NextSlot(s);
        }
        break;
    case Op::MaskSlotChunk:
        if (TakeChunk(m.MonoSlotCopy[slot], reply, next)) {
            SendChunkRequest(s, Cmd::MaskReadChunk, 0, next);
        } else {
            Finish(m.MonoSlotCopy[slot], kMonoMagic);
            NextSlot(s);
        }
        break;
    case Op::MaskColourHeader:
        if (HoldsMask(reply)) {
            TakeHeader(m.ColourSlotCopy, reply);
            s.PendingOp = Op::MaskColourChunk;
            SendChunkRequest(s, Cmd::MaskReadColourChunk, s.CurrentWindow, kMaskHeaderBytes);
        } else {
            std::fill_n(m.ColourSlotCopy.begin(), kMaskHeaderBytes, 0);
            s.ui.addWaitProgress(1);
            ContinueWithWindowSettings(s);
        }
        break;
    case Op::MaskColourChunk:
        if (TakeChunk(m.ColourSlotCopy, reply, next)) {
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
