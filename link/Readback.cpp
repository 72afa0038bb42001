#include "link/Readback.h"

#include "link/LinkChains.h"
#include "link/PageTable.h"
#include "link/Session.h"
#include "link/SettingCodec.h"
#include "mask/MaskState.h"
#include "settings/SettingsState.h"
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
        return 4115;
    return s.flag(Flag::UserMask) ? 4110 : 4112;
}

void Reject(Session& s, bool boardError, std::uint32_t firmware)
{
    s.ui.showMainWindow(false);
    for (int p = 0; p <= kPageDigiMap; ++p)
        SetPageAvailable(s.ui, p, false);
    s.ui.showMainWindow(true);
    s.ui.closeWaitWindow();
    s.ui.setEnabled("BtnFrame", false);
    const QString text = boardError
        ? QStringLiteral("Sorry!The Main Board Error!!")
        : QString::asprintf("Sorry!The MCU F/W version is too old! [M2A%05u]", firmware);
    s.ui.message(MsgIcon::Warning, QString(), text, MsgButtons::Ok);
    s.PendingOp = 0;
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
        SetPageAvailable(s.ui, kPagePip, true);
    } else {
        if (kind == 2)
            s.setFlag(Flag::FourInput, true);
        channels = 2 * kind;
        SetPageAvailable(s.ui, kPagePip, false);
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

    s.ui.setCaption("MCUVersion", QStringLiteral("M2A%1").arg(firmware));
    const bool boardError = (status & 0x08) != 0;
    if (boardError || firmware < kMinControllerFirmware) {
        Reject(s, boardError, firmware);
        return;
    }
    ApplyUserMaskFeature(s, r.u8(37));
    ResetWindowSettings(s);
    PutSettingFrame(s.RequestBuffer, Cmd::SettingQuery, MakeQueryCommand("MDN"), 512);
    s.PendingOp = 4095;
    SendFrame(s);
    s.ui.openWaitWindow(100);
    s.ui.addWaitProgress(kProgressStep);
}

void ModelStep(Session& s)
{
    s.BoardModel = DecodeSettingDigits(s.reply());
    if (s.BoardModel == 116) {
        SetPageAvailable(s.ui, kPageBlend1, false);
        SetPageAvailable(s.ui, kPageBlend2, false);
    }
    s.setFlag(Flag::PairedOutputs, s.BoardModel == 800);
    SendCode(s, Cmd::ReadNetwork, 4096);
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
        Query(s, kPipQueries[std::size_t(s.ReadbackItem)], 4119);
        return;
    }
    --s.ReadbackWindow;
    if (s.ReadbackWindow > 0)
        SelectReadbackWindow(s, s.flag(Flag::UserMask) ? 4110 : 4112);
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
    SendCode(s, Cmd::Identify, 4094, kBufferSize);
}

void ReadbackStep(Session& s, int op)
{
    switch (op) {
    case 4094:
        IdentifyStep(s);
        break;
    case 4095:
        ModelStep(s);
        break;
    case 4096:
        NetworkStep(s);
        break;
    case 4103:
        DecodeWindowBlock(s, s.reply());
        SendCode(s, Cmd::ReadWarpA, 4106);
        s.ui.addWaitProgress(kProgressStep);
        break;
    case 4106:
        StoreControlOffsets(s, 0);
        SendCode(s, Cmd::ReadWarpB, 4107);
        s.ui.addWaitProgress(kProgressStep);
        break;
    case 4107:
        StoreControlOffsets(s, 2);
        SendCode(s, Cmd::ReadWarpC, 4108);
        s.ui.addWaitProgress(kProgressStep);
        break;
    case 4108:
        // A whole-box setting transfer has just set the patterns itself.
        if (!s.flag(Flag::TransferReadback))
            for (std::size_t w = 0; w < 4; ++w)
                s.warp.model[w].ControlPattern = s.reply().u8(8 + w);
        StoreWallAndKeystone(s);
        s.request().setCode(Cmd::ReadBlend);
        s.PendingOp = 4109;
        SendFrame(s);
        if (s.USBTimeOut)
            s.USBTimeOut->setEnabled(true);
        s.ui.addWaitProgress(kProgressStep);
        break;
    case 4109:
        BlendStep(s);
        break;
    case 4110:
        Query(s, "DMI", 4111);
        break;
    case 4111:
        if (const int w = LoopWindow(s); w >= 0) {
            // The slot indexes the slot copies later: anything but Off or 1..10 counts as Off.
            const int slot = DecodeSettingDigits(s.reply());
            s.mask.MaskAssignment[std::size_t(w)] = slot >= 0 && slot <= 10 ? slot : 0;
        }
        s.ReadbackItem = 0;
        Query(s, "DCM", 4113);
        break;
    case 4112:
    case 4115:
        s.ReadbackItem = 0;
        Query(s, "DCM", op + 1);
        break;
    case 4113:
    case 4116:
        StoreDigit(s, s.settings.DCM);
        s.ReadbackItem = 1;
        Query(s, "HDO", op + 1);
        break;
    case 4114:
        StoreDigit(s, s.settings.HDO);
        s.ReadbackItem = 0;
        Query(s, kPipQueries[0], 4119);
        break;
    case 4117:
        StoreDigit(s, s.settings.HDO);
        --s.ReadbackWindow;
        if (s.ReadbackWindow > 0)
            SelectReadbackWindow(s, 4115);
        else
            FinishReadback(s, false);
        break;
    case 4119:
        PipItemStep(s);
        break;
    case 4120:
        SendCode(s, Cmd::ReadWarpA, 4121);
        break;
    case 4121:
        StoreControlOffsets(s, 0);
        SendCode(s, Cmd::ReadWarpB, 4122);
        break;
    case 4122:
        StoreControlOffsets(s, 2);
        SendCode(s, Cmd::ReadWarpC, 4123);
        break;
    case 4123:
        StoreWallAndKeystone(s);
        s.ui.setEnabled("GPWPMode", true);
        s.PendingOp = 0;
        s.ui.showWarpPointValues();
        break;
    default:
        break;
    }
}

void FinishReadback(Session& s, bool pipOrder)
{
    auto refresh = [&s] {
        s.PendingOp = 0;
        s.ui.refreshPages();
        s.ui.refreshBlendPages();
    };
    if (pipOrder)
        refresh();
    const int tag = PageTag(s.ui.activePage());
    if (tag != kTagSystem && tag != kTagVideoWall) {
        s.ui.setActivePage(kPageWarpAdjust);
        s.ui.runPageShowHandler(kPageWarpAdjust);
    }
    if (s.flag(Flag::TransferReadback)) {
        s.ui.set("ProgressBar2", Prop::Position, s.ui.intValue("ProgressBar2", Prop::Maximum, 100));
        s.clock.sleepMs(500);
        s.ui.clickControl("BtnWin1");
        s.setFlag(Flag::TransferReadback, false);
    }
    s.ui.set("UpdateStep", Prop::Top, 680);
    s.ui.setWaitProgress(s.ui.waitMaximum());
    s.clock.sleepMs(500);
    s.ui.closeWaitWindow();
    if (!pipOrder)
        refresh();
}

} // namespace trivel
