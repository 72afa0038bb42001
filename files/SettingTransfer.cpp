#include "files/SettingTransfer.h"

#include "box/Box.h"
#include "box/Readback.h"
#include "files/FileOps.h"
#include "protocol/SettingCodec.h"
#include "mask/Masks.h"
#include "protocol/MaskFrames.h"
#include "session/Controls.h"
#include "session/PendingOps.h"
#include "session/Session.h"
#include "protocol/WarpFrames.h"
#include "warp/ControlGrid.h"
#include "settings/SettingsState.h"

#include <QLoggingCategory>

#include <algorithm>

Q_LOGGING_CATEGORY(lcTransfer, "trivel.files.transfer")

namespace trivel {

const std::array<int, 73> kCommandOrder{0, 2, 3, 4, 5, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 1, 20, 21, 22,
    23, 24, 25, 26, 27, 28, 29, 30, 31, 32, 33, 34, 35, 36, 37, 38, 39, 40, 41, 6, 7, 8, 9, 42, 43, 51, 52,
    53, 54, 55, 56, 57, 58, 49, 45, 46, 47, 48, 50, 44, 59, 60, 61, 62, 63, 64, 65, 66, 67, 68, 69, 70, 71,
    72};

namespace {

constexpr std::array<const char*, kCommandListSize> kTemplates{"s00INP+000", "s00OPM+000", "s00HZM+000",
    "s00VZM+000", "s00HPN+000", "s00VPN+000", "s00OLE+000", "s00ORE+000", "s00OTE+000", "s00OBE+000",
    "s00ORI+000", "s00BRI+000", "s00CON+000", "s00XHA+000", "s00HUE+000", "s00XAT+000", "s00CLR+000",
    "s00RGN+000", "s00GGN+000", "s00BGN+000", "s00LEB+000", "s00REB+000", "s00TEB+000", "s00BEB+000",
    "s00EFL+000", "s00EFR+000", "s00EFT+000", "s00EFB+000", "s00EBR+000", "s00EBG+000", "s00EBB+000",
    "s00GGR+000", "s00GGG+000", "s00GGB+000", "s00EGR+000", "s00EGG+000", "s00EGB+000", "s00EOR+000",
    "s00EOG+000", "s00EOB+000", "s00WWW+000", "s00VVV+000", "s00WWW+000", "s00VVV+000", "s00PIO+000",
    "s00PIZ+000", "s00PIH+000", "s00PIV+000", "s00PIR+000", "s00PIT+000", "s00POR+000", "s00WWW+000",
    "s00VVV+000", "s00PLO+000", "s00PRO+000", "s00PTO+000", "s00PBO+000", "s00WWW+000", "s00VVV+000",
    "s00H1W+000", "s00H1V+000", "s00H2W+000", "s00H2V+000", "s00DPW+000", "s00DPV+000", "s00VGW+000",
    "s00VGV+000", "s00H1E+000", "s00H2E+000", "s00DPE+000", "s00VGE+000", "s00DCM+000", "s00HDO+000",
    "S00DMI+000"};

constexpr std::size_t kPointChunkBytes = 408;
constexpr int kPointChunks = 3;
constexpr int kCursorFrameDelay = 80;

std::size_t TransferIndex(const Session& s)
{
    return std::size_t(std::clamp(s.TransferWindow, 0, 3));
}

// Tells the screen which part is being sent: the chain's pauses leave it long on each.
void Announce(Session& s, TransferPhase phase)
{
    const bool single = s.flag(Flag::SingleWindowTransfer);
    emit s.events.settingTransferStep(int(phase), int(TransferIndex(s)), single ? 1 : s.ChannelCount);
}

// Every fixed wait of the chain goes through here.
void Wait(Session& s, int ms)
{
    s.clock.sleepMs(ms * std::max(s.transfer.WaitPercent, 0) / 100);
}

void AddProgress(Session& s, int n)
{
    SetProgress(s, s.ProgressPosition + n);
}

void FillCommandList(Session& s)
{
    const std::size_t w = TransferIndex(s);
    const WindowSettingsRecord& ws = s.settings().WindowSettings;
    const BlendRecord& b = s.settings().BlendSettings[w];
    const PipRecord& pip = s.settings().PipSettings[w];
    const SignalSize input = s.FileInputSize[w];
    const SignalSize pipSource = s.FilePipSourceSize[w];

    std::array<int, kCommandListSize> v{};
    v[0] = ws.INP[w];
    v[1] = ws.OPM[w];
    v[2] = ws.HZM[w] - 1;
    v[3] = ws.VZM[w] - 1;
    v[4] = ws.HPN[w] - 1;
    v[5] = ws.VPN[w] - 1;
    v[6] = ws.OLE[w];
    v[7] = ws.ORE[w];
    v[8] = ws.OTE[w];
    v[9] = ws.OBE[w];
    v[10] = ws.ORI[w];
    v[11] = ws.BRI[w];
    v[12] = ws.CON[w];
    v[13] = ws.XHA[w] * 10;
    v[14] = ws.HUE[w];
    v[15] = ws.XAT[w];
    v[16] = ws.CLR[w];
    v[17] = ws.RGN[w];
    v[18] = ws.GGN[w];
    v[19] = ws.BGN[w];
    for (std::size_t i = 0; i < 4; ++i) {
        v[20 + i] = b.u16(2 * i);
        v[24 + i] = b.i16(8 + 2 * i);
    }
    for (std::size_t i = 0; i < 3; ++i) {
        v[28 + i] = b.u16(16 + 2 * i);
        v[31 + i] = b.bytes[22 + i];
        v[34 + i] = b.bytes[86 + i];
        v[37 + i] = b.bytes[89 + i];
    }
    v[40] = input.width;
    v[41] = input.height;
    v[42] = 0;
    v[43] = 0;
    for (std::size_t i = 0; i < 7; ++i)
        v[44 + i] = pip.bytes[i];
    v[51] = pipSource.width;
    v[52] = pipSource.height;
    for (std::size_t i = 0; i < 4; ++i)
        v[53 + i] = pip.overlap[i];
    v[57] = 0;
    v[58] = 0;
    v[59] = ws.H1W[w];
    v[60] = ws.H1V[w];
    v[61] = ws.H2W[w];
    v[62] = ws.H2V[w];
    v[63] = ws.DPW[w];
    v[64] = ws.DPV[w];
    v[65] = ws.VGW[w];
    v[66] = ws.VGV[w];
    v[67] = ws.H1E[w];
    v[68] = ws.H2E[w];
    v[69] = ws.DPE[w];
    v[70] = ws.VGE[w];
    v[71] = s.settings().DCM[w];
    v[72] = s.settings().HDO[w];
    v[73] = s.masks->state().MaskAssignment[w];

    for (std::size_t i = 0; i < kTemplates.size(); ++i) {
        SettingCommand& cmd = s.transfer.CommandList[i];
        cmd = MakeSettingCommand(kTemplates[i]);
        EncodeSettingValue(v[i], cmd);
    }
}

void SendSelectWindow(Session& s, int nextOp)
{
    SettingCommand cmd = MakeSettingCommand("s00VKY+060");
    EncodeSettingValue(60 + int(TransferIndex(s)), cmd);
    s.PendingOp = nextOp;
    PutSettingFrame(s.RequestBuffer, Cmd::Setting, cmd);
    SendFrame(s);
}

void SendListCommand(Session& s, int index)
{
    AddProgress(s, 1);
    if (index == 2 || index == 20 || index == 45)
        Wait(s, 1000);
    else if (index > 43)
        Wait(s, 300);
    Wait(s, index > 16 ? 120 : 50);
    PutSettingFrame(s.RequestBuffer, Cmd::Setting, s.transfer.CommandList[std::size_t(index)], 512);
    SendFrame(s);
}

void SendCommand(Session& s, const char* tpl, int value, std::uint32_t code, std::size_t clear)
{
    SettingCommand cmd = MakeSettingCommand(tpl);
    EncodeSettingValue(value, cmd);
    PutSettingFrame(s.RequestBuffer, code, cmd, clear);
    SendFrame(s);
}

// ---- mask slots ----

// The first `size field` bytes of a slot copy, never more than the copy holds.
std::size_t CopyLength(const SlotCopy& copy)
{
    if (copy.size() < kMaskHeaderBytes)
        return 0;
    const std::uint32_t size = std::uint32_t(copy[4]) | std::uint32_t(copy[5]) << 8
        | std::uint32_t(copy[6]) << 16 | std::uint32_t(copy[7]) << 24;
    return std::min<std::size_t>(size, copy.size());
}

const SlotCopy* MonoCopy(const Session& s, int slot)
{
    if (slot < 0 || slot >= kMonoSlots)
        return nullptr;
    return &s.masks->state().MonoSlotCopy[std::size_t(slot)];
}

// Loads a copy into MaskStream; false when the copy is empty.
bool LoadStream(Session& s, const SlotCopy* copy)
{
    s.masks->state().Stream.clear();
    const std::size_t n = copy ? CopyLength(*copy) : 0;
    if (n == 0)
        return false;
    s.masks->state().Stream.bytes.assign(copy->begin(), copy->begin() + std::ptrdiff_t(n));
    s.transfer.MaskPosition = 0;
    return true;
}

bool StreamSent(const Session& s)
{
    return s.transfer.MaskPosition >= s.masks->state().Stream.size();
}

// The next piece of the stream, written over the frame as it stands.
void SendChunk(Session& s, std::uint32_t code, int nextOp)
{
    const auto& stream = s.masks->state().Stream.bytes;
    const std::size_t at = std::min(s.transfer.MaskPosition, stream.size());
    const std::span<const std::uint8_t> rest = std::span(stream).subspan(at);
    proto::MaskUploadChunk(
        code, s.CurrentWindow, std::uint32_t(at), std::uint32_t(stream.size()), rest, Clear::None)
        .applyTo(s.RequestBuffer);
    s.transfer.MaskPosition = at + std::min(rest.size(), proto::kMaskUploadChunkBytes);
    s.PendingOp = nextOp;
    SendFrame(s);
}

// Store (4130) or delete (4131) of TransferSlot, written over the frame as it stands.
void SendSlotFrame(Session& s, std::uint32_t code, int nextOp)
{
    const int slot = std::clamp(s.transfer.MaskSlot, 0, 9);
    (code == Cmd::MaskStore ? proto::MaskStore(s.CurrentWindow, slot, Clear::None)
                            : proto::MaskDelete(s.CurrentWindow, slot, Clear::None))
        .applyTo(s.RequestBuffer);
    s.PendingOp = nextOp;
    SendFrame(s);
}

// A mono slot of the all-slot phase: its chunks, or its delete.
void SendMonoSlot(Session& s, bool extraProgressOnDelete)
{
    if (LoadStream(s, MonoCopy(s, s.transfer.MaskSlot))) {
        SendChunk(s, Cmd::MaskUploadMono, Op::TransferMaskChunk);
        return;
    }
    SendSlotFrame(s, Cmd::MaskDelete, Op::TransferMaskNext);
    if (extraProgressOnDelete)
        AddProgress(s, 1);
}

void SendColourSlot(Session& s)
{
    if (LoadStream(s, &s.masks->state().ColourSlotCopy))
        SendChunk(s, Cmd::MaskUploadColour, Op::TransferColourChunk);
    else
        SendSlotFrame(s, Cmd::MaskDelete, Op::TransferMaskDone);
}

void NextMaskSlot(Session& s)
{
    s.masks->state().Stream.clear();
    ++s.transfer.MaskSlot;
    AddProgress(s, 1);
    if (s.transfer.MaskSlot < kMonoSlots)
        SendMonoSlot(s, false);
    else
        SendColourSlot(s);
}

// ---- window phase ----

void SendBlock1(Session& s)
{
    const std::size_t w = TransferIndex(s);
    const int pattern = s.box->warp.state().model[w].ControlPattern;
    s.clearRequest(4);
    FrameView f = s.request();
    f.setCode(Cmd::BulkWarpBlock);
    f.put8(8, 1);
    f.put8(9, std::uint8_t(pattern == WarpMode::Points ? WarpMode::Grid9x5 : pattern));
    const auto& offsets = s.box->warp.adjust().ControlOffsets[w];
    for (std::size_t i = 0; i < offsets.size(); ++i) {
        f.put16(12 + 4 * i, std::uint16_t(offsets[i].x));
        f.put16(14 + 4 * i, std::uint16_t(offsets[i].y));
    }
    SendFrame(s);
}

void SendBlock2(Session& s)
{
    const std::size_t w = TransferIndex(s);
    s.clearRequest(512);
    FrameView f = s.request();
    f.setCode(Cmd::BulkWarpBlock);
    f.put8(8, 2);
    f.put8(9, s.box->warp.state().model[w].ControlPattern);
    const auto& corners = s.box->warp.adjust().KeystoneCorners[w];
    for (std::size_t i = 0; i < corners.size(); ++i) {
        f.put16(12 + 4 * i, std::uint16_t(corners[i].x));
        f.put16(14 + 4 * i, std::uint16_t(corners[i].y));
    }
    const auto& wall = s.box->warp.adjust().WallPoints[w];
    for (std::size_t i = 0; i < wall.size(); ++i) {
        f.put16(50 + 4 * i, std::uint16_t(wall[i].x));
        f.put16(52 + 4 * i, std::uint16_t(wall[i].y));
    }
    SendFrame(s);
}

// PointOffsets of the transfer window as the box stores them: column-major (dx, dy) pairs.
void SendTransferPointChunk(Session& s, int chunk)
{
    const std::size_t w = TransferIndex(s);
    const WarpModel& m = s.box->warp.state().model[w];
    s.clearRequest(512);
    FrameView f = s.request();
    f.setCode(Cmd::PointModeChunk);
    f.put8(8, std::uint8_t(w));
    f.put8(9, std::uint8_t(chunk));
    const std::size_t total = std::size_t(kGridSize) * kGridSize * 4;
    const std::size_t first = std::size_t(chunk) * kPointChunkBytes;
    const std::size_t len = first < total ? std::min(kPointChunkBytes, total - first) : 0;
    for (std::size_t b = 0; b < len; b += 4) {
        const std::size_t point = (first + b) / 4;
        const OffsetPair p = m.PointOffsets[point / kGridSize][point % kGridSize];
        f.put16(32 + b, std::uint16_t(p.dx));
        f.put16(34 + b, std::uint16_t(p.dy));
    }
    SendFrame(s);
}

void SendSinglePoint(Session& s)
{
    const std::size_t w = TransferIndex(s);
    const WarpModel& m = s.box->warp.state().model[w];
    const int column = std::clamp<int>(m.GridCursor.column, 0, kGridSize - 1);
    const int row = std::clamp<int>(m.GridCursor.row, 0, kGridSize - 1);
    const OffsetPair p = m.PointOffsets[std::size_t(column)][std::size_t(row)];
    s.clearRequest(512);
    FrameView f = s.request();
    f.setCode(Cmd::PointModePoint);
    f.put8(8, std::uint8_t(w));
    f.put8(10, std::uint8_t(column));
    f.put8(11, std::uint8_t(row));
    f.put8(12, 1);
    f.put32(16, std::uint32_t(std::int32_t(p.dx)));
    f.put32(20, std::uint32_t(std::int32_t(p.dy)));
    SendFrame(s);
}

void SendBlendBlock(Session& s)
{
    const std::size_t w = TransferIndex(s);
    const BlendRecord& b = s.settings().BlendSettings[w];
    s.clearRequest(512);
    FrameView f = s.request();
    f.setCode(Cmd::BulkWarpBlock);
    f.put8(8, 3);
    f.put8(9, b.bytes[25]);
    f.copyIn(12, b.bytes.data() + 54, 32); // the eight corner positions
    f.copyIn(50, b.bytes.data() + 26, 27); // the nine region offsets
    for (std::size_t c = 0; c < 8; ++c) {
        f.put16(80 + 2 * c, std::uint16_t(s.settings().EdgeMaskCorners.x[w][c]));
        f.put16(120 + 2 * c, std::uint16_t(s.settings().EdgeMaskCorners.y[w][c]));
    }
    SendFrame(s);
}

void SendWindowEnd(Session& s)
{
    FrameView f = s.request();
    f.setCode(Cmd::TransferWindowEnd);
    f.put32(8, 0xFFFFFF00u | std::uint32_t(s.CurrentWindow & 0xFF));
    s.PendingOp = Op::TransferWindowEnd;
    const int saved = s.PostSendDelay;
    s.PostSendDelay = 80;
    SendFrame(s);
    s.PostSendDelay = saved;
}

// A warp frame sent on the chain's path, paced like the Warp Adjust page's cursor frames.
void SendWarpFrame(Session& s, const Request& r)
{
    r.applyTo(s.RequestBuffer);
    const int saved = s.PostSendDelay;
    s.PostSendDelay = kCursorFrameDelay;
    SendFrame(s);
    s.PostSendDelay = saved;
}

void SendControlCursorFrame(Session& s)
{
    const int w = s.CurrentWindow & 3;
    SendWarpFrame(s, proto::ControlCursor(w, ControlIndex(s.box->warp.currentModel().ControlCursor), true));
}

// The Warp Adjust page back on the current window's mode with its cursor at the start.
void ResetWarpCursor(Session& s)
{
    Warp& warp = s.box->warp;
    WarpModel& m = warp.currentModel();
    warp.showMode();
    if (m.ControlPattern != WarpMode::Points) {
        m.ControlCursor = {};
        SendControlCursorFrame(s);
        SendWarpFrame(s, proto::SelectedPoint(ControlIndex(m.ControlCursor)));
        warp.refreshAdjust();
    } else {
        m.GridCursor = {};
        SendWarpFrame(s, proto::UserMapCursor(s.CurrentWindow & 3, m.GridCursor.column, m.GridCursor.row));
    }
}

void EndWindow(Session& s)
{
    Wait(s, 600);
    if (s.flag(Flag::SingleWindowTransfer)) {
        s.PendingOp = Op::Idle;
        SetProgress(s, s.ProgressMaximum);
        Wait(s, 500);
        s.ui.set(ctl::UpdateStep, Prop::Top, 680);
        s.setFlag(Flag::SingleWindowTransfer, false);
        ResetWarpCursor(s);
        qCInfo(lcTransfer) << "single-window transfer done";
        return;
    }
    ++s.TransferWindow;
    if (s.TransferWindow < s.ChannelCount) {
        StartWindowTransfer(s);
        return;
    }
    // The read-back from the network step refreshes the caches from the box and ends the load.
    Announce(s, TransferPhase::Readback);
    s.setFlag(Flag::TransferReadback, true);
    s.PendingOp = Op::Idle;
    StartReadback(s, ReadbackStart::AfterTransfer);
}

void WindowStep(Session& s, int op)
{
    TransferState& t = s.transfer;
    switch (op) {
    case Op::TransferWindowStart:
        t.CommandStep = 0;
        s.PendingOp = Op::TransferList;
        SendListCommand(s, kCommandOrder[0]);
        break;
    case Op::TransferList:
        ++t.CommandStep;
        if (t.CommandStep >= 0 && t.CommandStep < kWindowCommands) {
            SendListCommand(s, kCommandOrder[std::size_t(t.CommandStep)]);
            break;
        }
        s.PendingOp = Op::TransferBlock1;
        Announce(s, TransferPhase::Warp);
        Wait(s, 200);
        SendBlock1(s);
        break;
    case Op::TransferBlock1:
        Wait(s, 20);
        s.PendingOp = Op::TransferUpdate1;
        t.CommandStep = 0;
        SendCommand(s, "s00UDT+001", 1, Cmd::Setting, 4);
        break;
    case Op::TransferUpdate1:
        Wait(s, 1500);
        s.PendingOp = Op::TransferBlock2;
        SendBlock2(s);
        break;
    case Op::TransferBlock2:
        Wait(s, 600);
        s.PendingOp = Op::TransferUpdate2;
        t.CommandStep = 0;
        SendCommand(s, "s00UDT+001", 2, Cmd::Setting, 512);
        break;
    case Op::TransferUpdate2: {
        const int chunk = std::clamp(t.CommandStep, 0, kPointChunks - 1);
        ++t.CommandStep;
        if (t.CommandStep >= kPointChunks)
            s.PendingOp = Op::TransferPoints;
        SendTransferPointChunk(s, chunk);
        break;
    }
    case Op::TransferPoints:
        Wait(s, 600);
        s.PendingOp = Op::TransferUpdate3;
        if (s.box->warp.state().model[TransferIndex(s)].ControlPattern == WarpMode::Points)
            SendSinglePoint(s);
        else
            SendCommand(s, "s00UDT+001", 3, Cmd::Setting, 512);
        break;
    case Op::TransferUpdate3:
        Announce(s, TransferPhase::Blend);
        Wait(s, 200);
        s.PendingOp = Op::TransferBlend;
        SendBlendBlock(s);
        break;
    case Op::TransferBlend:
        Wait(s, 100);
        s.PendingOp = s.flag(Flag::UserMask) ? Op::TransferUpdate4 : Op::TransferAssignment;
        SendCommand(s, "s00UDT+001", 4, Cmd::Setting, 512);
        break;
    case Op::TransferUpdate4: {
        Wait(s, 100);
        SettingCommand& dmi = t.CommandList[kWindowCommands];
        EncodeSettingValue(s.masks->state().MaskAssignment[TransferIndex(s)], dmi);
        s.PendingOp = Op::TransferAssignment;
        PutSettingFrame(s.RequestBuffer, Cmd::SettingQuery, dmi, 0);
        SendFrame(s);
        break;
    }
    case Op::TransferAssignment:
        Wait(s, 800);
        s.PendingOp = Op::TransferControlPoint;
        SendCommand(s, "S0095I+000", ControlIndex(s.box->warp.currentModel().ControlCursor), Cmd::SettingQuery, 512);
        break;
    case Op::TransferControlPoint:
        Wait(s, 100);
        s.PendingOp = Op::TransferCursor;
        SendControlCursorFrame(s);
        break;
    case Op::TransferCursor:
        Wait(s, 100);
        SendWindowEnd(s);
        break;
    case Op::TransferWindowEnd:
        EndWindow(s);
        break;
    default:
        break;
    }
}

void MaskStep(Session& s, int op)
{
    switch (op) {
    case Op::TransferMaskFirst:
        SendMonoSlot(s, true);
        break;
    case Op::TransferMaskChunk:
        if (StreamSent(s))
            SendSlotFrame(s, Cmd::MaskStore, Op::TransferMaskNext);
        else
            SendChunk(s, Cmd::MaskUploadMono, Op::TransferMaskChunk);
        break;
    case Op::TransferMaskNext:
        NextMaskSlot(s);
        break;
    case Op::TransferColourChunk:
        if (StreamSent(s))
            SendSlotFrame(s, Cmd::MaskStore, Op::TransferMaskDone);
        else
            SendChunk(s, Cmd::MaskUploadColour, Op::TransferColourChunk);
        break;
    case Op::TransferMaskDone:
        s.masks->state().Stream.clear();
        AddProgress(s, 1);
        StartWindowTransfer(s);
        break;
    case Op::TransferSingleMono:
        AddProgress(s, 10);
        if (LoadStream(s, MonoCopy(s, s.transfer.MaskSlot)))
            SendChunk(s, Cmd::MaskUploadMono, Op::TransferSingleMonoChunk);
        else
            SendSlotFrame(s, Cmd::MaskDelete, Op::TransferMaskDone);
        break;
    case Op::TransferSingleMonoChunk:
        if (StreamSent(s)) {
            AddProgress(s, 1);
            SendSlotFrame(s, Cmd::MaskStore, Op::TransferMaskDone);
        } else {
            SendChunk(s, Cmd::MaskUploadMono, Op::TransferSingleMonoChunk);
        }
        break;
    case Op::TransferSingleColour:
        AddProgress(s, 10);
        SendColourSlot(s);
        break;
    default:
        break;
    }
}

} // namespace

int ListCommandWaitMs(int index)
{
    int ms = index > 16 ? 120 : 50;
    if (index == 2 || index == 20 || index == 45)
        ms += 1000;
    else if (index > 43)
        ms += 300;
    return ms;
}

void StartMaskTransfer(Session& s)
{
    int first = Op::TransferMaskFirst;
    if (s.flag(Flag::SingleWindowTransfer)) {
        const int a = s.masks->state().MaskAssignment[std::size_t(s.CurrentWindow & 3)];
        first = a >= 1 && a <= 9 ? Op::TransferSingleMono : Op::TransferSingleColour;
    }
    Announce(s, TransferPhase::MaskSlots);
    SendSelectWindow(s, first);
}

void StartWindowTransfer(Session& s)
{
    FillCommandList(s);
    s.transfer.CommandStep = 0;
    Announce(s, TransferPhase::Settings);
    SendSelectWindow(s, Op::TransferWindowStart);
}

void StartSettingTransfer(Session& s, bool wholeBox)
{
    if (!s.connected())
        return;
    if (!wholeBox)
        s.setFlag(Flag::SingleWindowTransfer, true);
    const bool single = s.flag(Flag::SingleWindowTransfer);
    s.TransferWindow = wholeBox ? 0 : std::clamp(s.CurrentWindow, 0, 3);
    SetProgress(s, 0);
    SetProgressMaximum(s, single ? kSingleWindowProgress : kWholeBoxProgress);
    s.ui.set(ctl::UpdateStep, Prop::Top, 180);
    s.masks->state().Stream.clear();

    const bool userMask = s.flag(Flag::UserMask);
    if (userMask && !single) {
        s.transfer.MaskSlot = 0;
        StartMaskTransfer(s);
        return;
    }
    const int a = s.masks->state().MaskAssignment[std::size_t(s.TransferWindow)];
    if (userMask && !wholeBox && a >= 1 && a <= 10) {
        s.transfer.MaskSlot = a - 1;
        StartMaskTransfer(s);
        return;
    }
    if (userMask && wholeBox)
        // One slot's copy must never be stored into another slot, and a whole-box file names
        // no single slot: the box keeps the masks it has.
        s.ui.appendMemo(QStringLiteral("MASK SLOTS NOT SENT: SINGLE-WINDOW TRANSFER OF A WHOLE-BOX FILE"));
    StartWindowTransfer(s);
}

void ContinueSettingTransfer(Session& s, bool maskTransfer)
{
    if (!s.connected())
        return;
    s.masks->state().Stream.clear();
    if (maskTransfer)
        StartMaskTransfer(s);
    else
        StartWindowTransfer(s);
}

void SettingTransferStep(Session& s, int op)
{
    if (op >= Op::TransferMaskFirst && op <= Op::TransferSingleColour)
        MaskStep(s, op);
    else
        WindowStep(s, op);
}

} // namespace trivel
