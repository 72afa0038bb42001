#include "session/Readback.h"

#include "firmware/Controls.h"
#include "protocol/SettingCodec.h"
#include "mask/MaskState.h"
#include "session/PageShow.h"
#include "session/PendingOps.h"
#include "session/Session.h"
#include "session/StatusPoll.h"
#include "settings/SettingsState.h"
#include "warp/Controls.h"
#include "warp/WarpModel.h"

#include <algorithm>

namespace trivel {

namespace {

constexpr int kProgressStep = 8;
constexpr int kPipItems = 11;
constexpr std::array<const char*, kPipItems> kPipQueries{
    "PIO", "PIZ", "PIH", "PIV", "PIR", "PIT", "POR", "PLO", "PRO", "PTO", "PBO"};

void SendCode(Session& s, std::uint32_t code, int nextOp, std::size_t clear = 512)
{
    s.clearRequest(clear);
    s.request().setCode(code);
    s.PendingOp = nextOp;
    SendFrame(s);
}

void Query(Session& s, const char* name, int nextOp)
{
    PutSettingFrame(s.RequestBuffer, Cmd::SettingQuery, MakeQueryCommand(name));
    s.PendingOp = nextOp;
    SendFrame(s);
}

// Makes window w current on the box ("s00VKY+060" + w).
void SelectReadbackWindow(Session& s, int nextOp)
{
    SettingCommand cmd = MakeSettingCommand("s00VKY+022");
    EncodeSettingValue(60 + std::max(s.ReadbackWindow - 1, 0), cmd);
    PutSettingFrame(s.RequestBuffer, Cmd::Setting, cmd, 512);
    s.PendingOp = nextOp;
    SendFrame(s);
}

int LoopStartOp(const Session& s)
{
    if (!s.flag(Flag::PipCapable))
        return Op::LoopQuery;
    return s.flag(Flag::UserMask) ? Op::LoopMaskSlotQuery : Op::LoopPipQuery;
}

void Reject(Session& s, bool boardError, std::uint32_t firmware)
{
    s.ui.showMainWindow(false);
    for (int p = Page::WarpAdjust; p <= Page::DigiMap; ++p)
        SetPageAvailable(s, p, false);
    s.ui.showMainWindow(true);
    s.ui.closeWaitWindow();
    s.ui.setEnabled(ctl::BtnFrame, false);
    const QString text = boardError
        ? QStringLiteral("Sorry!The Main Board Error!!")
        : QString::asprintf("Sorry!The MCU F/W version is too old! [M2A%05u]", firmware);
    emit s.events.boxRejected();
    s.ui.message(MsgIcon::Warning, QString(), text, MsgButtons::Ok);
    s.PendingOp = Op::Idle;
    s.setFlag(Flag::Rejected, true);
}

void IdentifyStep(Session& s)
{
    const FrameView r = s.reply();
    const std::uint32_t firmware = std::uint32_t(r.u8(11)) << 16 | std::uint32_t(r.u8(12)) << 8 | r.u8(13);
    const std::uint8_t kind = r.u8(14);
    const std::uint8_t key = r.u8(15);
    const std::uint8_t status = r.u8(34);
    s.ui.appendMemo(QString::asprintf("V:%d.%d%d-- IV:%06u CH:%d KEY:%d RXBUF[34]:%x", r.u8(8), r.u8(9),
        r.u8(10), firmware, kind, key, status));

    s.setFlag(Flag::FourInput, false);
    int channels = 0;
    if (kind & 0x80) {
        s.setFlag(Flag::PipCapable, true);
        channels = kind & 0x7f;
        if (channels == 4)
            s.setFlag(Flag::FourInput, true);
        SetPageAvailable(s, Page::Pip, true);
    } else {
        if (kind == 2)
            s.setFlag(Flag::FourInput, true);
        channels = 2 * kind;
        SetPageAvailable(s, Page::Pip, false);
    }
    // The tool has four windows; a count outside 1..4 would index past every per-window array.
    s.ChannelCount = std::clamp(channels, 1, 4);
    if (key != 0)
        s.setFlag(Flag::Key, true);
    ApplyChannelLayout(s, true);

    const int saved = s.warp.WarpWindow;
    for (int w = 0; w < 4; ++w) {
        s.warp.WarpWindow = w;
        const std::size_t at = w < 2 ? 16 : 20;
        SetWarpFrameSize(s.warp, r.u16(at), r.u16(at + 2));
    }
    s.warp.WarpWindow = saved;

    s.ui.setCaption(ctl::MCUVersion, QStringLiteral("M2A%1").arg(firmware));
    const bool boardError = (status & 0x08) != 0;
    if (boardError || firmware < kMinControllerFirmware) {
        Reject(s, boardError, firmware);
        return;
    }
    ApplyUserMaskFeature(s, r.u8(37));
    ResetWindowSettings(s);
    PutSettingFrame(s.RequestBuffer, Cmd::SettingQuery, MakeQueryCommand("MDN"), 512);
    s.PendingOp = Op::Model;
    SendFrame(s);
    s.ui.openWaitWindow(100);
    s.ui.addWaitProgress(kProgressStep);
}

void ModelStep(Session& s)
{
    s.BoardModel = DecodeSettingDigits(s.reply());
    if (s.BoardModel == 116) {
        SetPageAvailable(s, Page::Blend1, false);
        SetPageAvailable(s, Page::Blend2, false);
    }
    s.setFlag(Flag::PairedOutputs, s.BoardModel == 800);
    if (s.IdentifyOnly) {
        s.PendingOp = Op::Idle;
        s.ui.closeWaitWindow();
        emit s.events.readbackFinished();
        return;
    }
    SendCode(s, Cmd::ReadNetwork, Op::Network);
    s.ui.addWaitProgress(kProgressStep);
}

void NetworkStep(Session& s)
{
    ShowNetworkSettings(s, s.reply());
    StartMaskSlotRead(s);
    s.ui.addWaitProgress(kProgressStep);
}

void StoreControlOffsets(Session& s, int firstWindow)
{
    const FrameView r = s.reply();
    for (int i = 0; i < 2; ++i)
        ReadPointPairs(
            r, 8 + 180 * std::size_t(i), s.warpAdjust.ControlOffsets[std::size_t(firstWindow + i)]);
}

void StoreWallAndKeystone(Session& s)
{
    const FrameView r = s.reply();
    for (std::size_t w = 0; w < 4; ++w) {
        ReadPointPairs(r, 16 + 32 * w, s.warpAdjust.WallPoints[w]);
        ReadPointPairs(r, 144 + 16 * w, s.warpAdjust.KeystoneCorners[w]);
    }
}

void BlendStep(Session& s)
{
    const FrameView r = s.reply();
    SettingsState& st = s.settings;
    for (std::size_t w = 0; w < 4; ++w) {
        r.copyOut(8 + BlendRecord::kSize * w, st.BlendSettings[w].bytes.data(), BlendRecord::kSize);
        for (std::size_t c = 0; c < 8; ++c) {
            st.EdgeMaskCorners.x[w][c] = r.i16(384 + 16 * w + 2 * c);
            st.EdgeMaskCorners.y[w][c] = r.i16(448 + 16 * w + 2 * c);
        }
    }
    s.ReadbackWindow = s.ChannelCount;
    SelectReadbackWindow(s, LoopStartOp(s));
}

// The window whose values the loop reads, or -1 when the counter is off the windows.
int LoopWindow(const Session& s)
{
    const int w = s.ReadbackWindow - 1;
    return w >= 0 && w < 4 ? w : -1;
}

void PipItemStep(Session& s)
{
    const int w = LoopWindow(s);
    const int item = s.ReadbackItem;
    if (w >= 0 && item >= 0 && item < kPipItems) {
        PipRecord& p = s.settings.PipSettings[std::size_t(w)];
        if (item < 7)
            p.bytes[std::size_t(item)] = std::uint8_t(DecodeSettingDigits(s.reply()));
        else
            p.overlap[std::size_t(item - 7)] = std::int16_t(DecodeSettingReply(s.reply()));
    }
    s.ReadbackItem = std::max(item, 0) + 1;
    if (s.ReadbackItem < kPipItems) {
        Query(s, kPipQueries[std::size_t(s.ReadbackItem)], Op::LoopPipItem);
        return;
    }
    --s.ReadbackWindow;
    if (s.ReadbackWindow > 0)
        SelectReadbackWindow(s, s.flag(Flag::UserMask) ? Op::LoopMaskSlotQuery : Op::LoopPipQuery);
    else
        FinishReadback(s, true);
}

void StoreDigit(Session& s, PerWindow<std::uint8_t>& a)
{
    if (const int w = LoopWindow(s); w >= 0)
        a[std::size_t(w)] = std::uint8_t(DecodeSettingDigits(s.reply()));
}

} // namespace

const char* PipQueryName(int item)
{
    return item >= 0 && item < kPipItems ? kPipQueries[std::size_t(item)] : "";
}

void SendIdentify(Session& s)
{
    SendCode(s, Cmd::Identify, Op::Identify, kBufferSize);
}

void ReadbackStep(Session& s, int op)
{
    switch (op) {
    case Op::Identify:
        IdentifyStep(s);
        break;
    case Op::Model:
        ModelStep(s);
        break;
    case Op::Network:
        NetworkStep(s);
        break;
    case Op::WindowSettings:
        DecodeWindowBlock(s, s.reply());
        SendCode(s, Cmd::ReadWarpA, Op::WarpA);
        s.ui.addWaitProgress(kProgressStep);
        break;
    case Op::WarpA:
        StoreControlOffsets(s, 0);
        SendCode(s, Cmd::ReadWarpB, Op::WarpB);
        s.ui.addWaitProgress(kProgressStep);
        break;
    case Op::WarpB:
        StoreControlOffsets(s, 2);
        SendCode(s, Cmd::ReadWarpC, Op::WarpC);
        s.ui.addWaitProgress(kProgressStep);
        break;
    case Op::WarpC:
        // A whole-box setting transfer has just set the patterns itself.
        if (!s.flag(Flag::TransferReadback))
            for (std::size_t w = 0; w < 4; ++w)
                s.warp.model[w].ControlPattern = s.reply().u8(8 + w);
        StoreWallAndKeystone(s);
        s.request().setCode(Cmd::ReadBlend);
        s.PendingOp = Op::Blend;
        SendFrame(s);
        if (s.USBTimeOut)
            s.USBTimeOut->setEnabled(true);
        s.ui.addWaitProgress(kProgressStep);
        break;
    case Op::Blend:
        BlendStep(s);
        break;
    case Op::LoopMaskSlotQuery:
        Query(s, "DMI", Op::LoopMaskSlot);
        break;
    case Op::LoopMaskSlot:
        if (const int w = LoopWindow(s); w >= 0) {
            // The slot indexes the slot copies later: anything but Off or 1..10 counts as Off.
            const int slot = DecodeSettingDigits(s.reply());
            s.mask.MaskAssignment[std::size_t(w)] = slot >= 0 && slot <= 10 ? slot : 0;
        }
        s.ReadbackItem = 0;
        Query(s, "DCM", Op::LoopPipDeepColour);
        break;
    case Op::LoopPipQuery:
    case Op::LoopQuery:
        s.ReadbackItem = 0;
        Query(s, "DCM", op + 1);
        break;
    case Op::LoopPipDeepColour:
    case Op::LoopDeepColour:
        StoreDigit(s, s.settings.DCM);
        s.ReadbackItem = 1;
        Query(s, "HDO", op + 1);
        break;
    case Op::LoopPipHdcp:
        StoreDigit(s, s.settings.HDO);
        s.ReadbackItem = 0;
        Query(s, kPipQueries[0], Op::LoopPipItem);
        break;
    case Op::LoopHdcp:
        StoreDigit(s, s.settings.HDO);
        --s.ReadbackWindow;
        if (s.ReadbackWindow > 0)
            SelectReadbackWindow(s, Op::LoopQuery);
        else
            FinishReadback(s, false);
        break;
    case Op::LoopPipItem:
        PipItemStep(s);
        break;
    case Op::WarpReread:
        SendCode(s, Cmd::ReadWarpA, Op::WarpRereadA);
        break;
    case Op::WarpRereadA:
        StoreControlOffsets(s, 0);
        SendCode(s, Cmd::ReadWarpB, Op::WarpRereadB);
        break;
    case Op::WarpRereadB:
        StoreControlOffsets(s, 2);
        SendCode(s, Cmd::ReadWarpC, Op::WarpRereadC);
        break;
    case Op::WarpRereadC:
        StoreWallAndKeystone(s);
        s.ui.setEnabled(ctl::GPWPMode, true);
        s.PendingOp = Op::Idle;
        emit s.events.warpPointValuesChanged();
        break;
    default:
        break;
    }
}

void FinishReadback(Session& s, bool pipOrder)
{
    auto refresh = [&s] {
        s.PendingOp = Op::Idle;
        RefreshPages(s);
        RefreshBlendPages(s);
    };
    if (pipOrder)
        refresh();
    const int tag = PageTag(s.ActivePage);
    if (tag != kTagSystem && tag != kTagVideoWall) {
        SetActivePage(s, Page::WarpAdjust);
        RunPageShow(s, Page::WarpAdjust);
    }
    if (s.flag(Flag::TransferReadback)) {
        SetProgress(s, s.ProgressMaximum);
        s.clock.sleepMs(500);
        ClickWindowButton(s, 0);
        s.setFlag(Flag::TransferReadback, false);
    }
    s.ui.set(ctl::UpdateStep, Prop::Top, 680);
    s.ui.setWaitProgress(s.ui.waitMaximum());
    s.clock.sleepMs(500);
    s.ui.closeWaitWindow();
    if (!pipOrder)
        refresh();
    emit s.events.readbackFinished();
}

} // namespace trivel
