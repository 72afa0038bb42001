#include "box/Readback.h"

#include "box/PageShow.h"
#include "box/StatusPoll.h"
#include "firmware/Controls.h"
#include "mask/MaskState.h"
#include "protocol/SettingCodec.h"
#include "session/Operations.h"
#include "session/PendingOps.h"
#include "session/Session.h"
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

Exchange::SendAwaiter Query(Session& s, const char* name, Clear clear = Clear::All)
{
    return s.exchange.send(Request(Cmd::SettingQuery, clear).setting(MakeQueryCommand(name)));
}

// Makes window w current on the box ("s00VKY+060" + w).
Exchange::SendAwaiter SelectReadbackWindow(Session& s, int window)
{
    SettingCommand cmd = MakeSettingCommand("s00VKY+022");
    EncodeSettingValue(60 + window, cmd);
    return s.exchange.send(Request(Cmd::Setting, Clear::Frame).setting(cmd));
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
    s.setFlag(Flag::Rejected, true);
    Fail(Failure::Kind::BoxFault, text, true);
}

// The box's identity from the Identify reply; refuses a box too old or with a board error.
void TakeIdentity(Session& s, const FrameView& r)
{
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
    if (boardError || firmware < kMinControllerFirmware)
        Reject(s, boardError, firmware);
    ApplyUserMaskFeature(s, r.u8(37));
    ResetWindowSettings(s);
}

void TakeModel(Session& s, const FrameView& r)
{
    s.BoardModel = DecodeSettingDigits(r);
    if (s.BoardModel == 116) {
        SetPageAvailable(s, Page::Blend1, false);
        SetPageAvailable(s, Page::Blend2, false);
    }
    s.setFlag(Flag::PairedOutputs, s.BoardModel == 800);
}

void StoreControlOffsets(Session& s, const FrameView& r, int firstWindow)
{
    for (int i = 0; i < 2; ++i)
        ReadPointPairs(
            r, 8 + 180 * std::size_t(i), s.warpAdjust.ControlOffsets[std::size_t(firstWindow + i)]);
}

void StoreWallAndKeystone(Session& s, const FrameView& r)
{
    for (std::size_t w = 0; w < 4; ++w) {
        ReadPointPairs(r, 16 + 32 * w, s.warpAdjust.WallPoints[w]);
        ReadPointPairs(r, 144 + 16 * w, s.warpAdjust.KeystoneCorners[w]);
    }
}

void StoreBlend(Session& s, const FrameView& r)
{
    SettingsState& st = s.settings;
    for (std::size_t w = 0; w < 4; ++w) {
        r.copyOut(8 + BlendRecord::kSize * w, st.BlendSettings[w].bytes.data(), BlendRecord::kSize);
        for (std::size_t c = 0; c < 8; ++c) {
            st.EdgeMaskCorners.x[w][c] = r.i16(384 + 16 * w + 2 * c);
            st.EdgeMaskCorners.y[w][c] = r.i16(448 + 16 * w + 2 * c);
        }
    }
}

void StorePipItem(Session& s, int w, int item, const FrameView& r)
{
    PipRecord& p = s.settings.PipSettings[std::size_t(w)];
    if (item < 7)
        p.bytes[std::size_t(item)] = std::uint8_t(DecodeSettingDigits(r));
    else
        p.overlap[std::size_t(item - 7)] = std::int16_t(DecodeSettingReply(r));
}

// The per-window queries, from the last window down to window 0. The PIP order has the mask
// slot (user-mask boxes), deep colour, HDCP and the eleven PIP items.
Operation<void> ReadWindows(Session& s)
{
    const bool pip = s.flag(Flag::PipCapable);
    const bool userMask = pip && s.flag(Flag::UserMask);
    for (int w = s.ChannelCount - 1; w >= 0; --w) {
        s.ReadbackWindow = w + 1;
        co_await SelectReadbackWindow(s, w);
        if (userMask) {
            // The slot indexes the slot copies later: anything but Off or 1..10 counts as Off.
            const int slot = DecodeSettingDigits(co_await Query(s, "DMI"));
            s.mask.MaskAssignment[std::size_t(w)] = slot >= 0 && slot <= 10 ? slot : 0;
        }
        s.ReadbackItem = 0;
        s.settings.DCM[std::size_t(w)] = std::uint8_t(DecodeSettingDigits(co_await Query(s, "DCM")));
        s.ReadbackItem = 1;
        s.settings.HDO[std::size_t(w)] = std::uint8_t(DecodeSettingDigits(co_await Query(s, "HDO")));
        if (!pip)
            continue;
        for (int item = 0; item < kPipItems; ++item) {
            s.ReadbackItem = item;
            StorePipItem(s, w, item, co_await Query(s, kPipQueries[std::size_t(item)]));
        }
    }
    s.ReadbackWindow = 0;
}

// Identify and model; false when only the identity was wanted.
Operation<bool> ReadIdentity(Session& s)
{
    TakeIdentity(s, co_await s.exchange.send(Request(Cmd::Identify, Clear::All)));
    s.ui.openWaitWindow(100);
    s.ui.addWaitProgress(kProgressStep);
    TakeModel(s, co_await Query(s, "MDN", Clear::Frame));
    if (s.IdentifyOnly) {
        s.ui.closeWaitWindow();
        emit s.events.readbackFinished();
        co_return false;
    }
    s.ui.addWaitProgress(kProgressStep);
    co_return true;
}

// Window settings, the three warp blocks and the blend block.
Operation<void> ReadBlocks(Session& s, Clear windowSettingsClear)
{
    DecodeWindowBlock(s, co_await s.exchange.send(Request(Cmd::ReadWindowSettings, windowSettingsClear)));
    s.ui.addWaitProgress(kProgressStep);
    StoreControlOffsets(s, co_await s.exchange.send(Request(Cmd::ReadWarpA, Clear::Frame)), 0);
    s.ui.addWaitProgress(kProgressStep);
    StoreControlOffsets(s, co_await s.exchange.send(Request(Cmd::ReadWarpB, Clear::Frame)), 2);
    s.ui.addWaitProgress(kProgressStep);
    const Reply c = co_await s.exchange.send(Request(Cmd::ReadWarpC, Clear::Frame));
    // A whole-box setting transfer has just set the patterns itself.
    if (!s.flag(Flag::TransferReadback))
        for (std::size_t w = 0; w < 4; ++w)
            s.warp.model[w].ControlPattern = c.u8(8 + w);
    StoreWallAndKeystone(s, c);
    s.ui.addWaitProgress(kProgressStep);
    StoreBlend(s, co_await s.exchange.send(Request(Cmd::ReadBlend, Clear::None), {.resendOnUsb = true}));
}

} // namespace

const char* PipQueryName(int item)
{
    return item >= 0 && item < kPipItems ? kPipQueries[std::size_t(item)] : "";
}

Operation<void> ReadBack(Session& s, ReadbackStart start)
{
    const auto hold = s.exchange.hold();
    Clear windowSettingsClear = Clear::Frame;
    if (start == ReadbackStart::Identify && !co_await ReadIdentity(s))
        co_return;
    if (start == ReadbackStart::WindowSettings) {
        windowSettingsClear = Clear::All;
    } else {
        const Clear clear = start == ReadbackStart::AfterTransfer ? Clear::Head : Clear::Frame;
        ShowNetworkSettings(s, co_await s.exchange.send(Request(Cmd::ReadNetwork, clear)));
        s.ui.addWaitProgress(kProgressStep);
        co_await ReadMaskSlots(s);
    }
    co_await ReadBlocks(s, windowSettingsClear);
    co_await ReadWindows(s);
    co_await FinishReadback(s, s.flag(Flag::PipCapable));
}

Operation<void> FinishReadback(Session& s, bool pipOrder)
{
    auto refresh = [&s] {
        RefreshPages(s);
        RefreshBlendPages(s);
    };
    if (pipOrder)
        refresh();
    const int tag = PageTag(s.ActivePage);
    if (tag != kTagSystem && tag != kTagVideoWall) {
        SetActivePage(s, Page::WarpAdjust);
        co_await ShowPage(s, Page::WarpAdjust);
    }
    if (s.flag(Flag::TransferReadback)) {
        SetProgress(s, s.ProgressMaximum);
        co_await s.exchange.delay(500);
        ClickWindowButton(s, 0);
        s.setFlag(Flag::TransferReadback, false);
    }
    s.ui.set(ctl::UpdateStep, Prop::Top, 680);
    s.ui.setWaitProgress(s.ui.waitMaximum());
    co_await s.exchange.delay(500);
    s.ui.closeWaitWindow();
    if (!pipOrder)
        refresh();
    emit s.events.readbackFinished();
}

void StartReadback(Session& s, ReadbackStart start)
{
    s.readback = ReadBack(s, start);
    ReportFailure(s, s.readback);
}

void SendIdentify(Session& s)
{
    StartReadback(s, ReadbackStart::Identify);
}

void WarpRereadStep(Session& s, int op)
{
    auto sendCode = [&s](std::uint32_t code, int nextOp) {
        s.clearRequest(512);
        s.request().setCode(code);
        s.PendingOp = nextOp;
        SendFrame(s);
    };
    switch (op) {
    case Op::WarpReread:
        sendCode(Cmd::ReadWarpA, Op::WarpRereadA);
        break;
    case Op::WarpRereadA:
        StoreControlOffsets(s, s.reply(), 0);
        sendCode(Cmd::ReadWarpB, Op::WarpRereadB);
        break;
    case Op::WarpRereadB:
        StoreControlOffsets(s, s.reply(), 2);
        sendCode(Cmd::ReadWarpC, Op::WarpRereadC);
        break;
    case Op::WarpRereadC:
        StoreWallAndKeystone(s, s.reply());
        s.ui.setEnabled(ctl::GPWPMode, true);
        s.PendingOp = Op::Idle;
        emit s.events.warpPointValuesChanged();
        break;
    default:
        break;
    }
}

} // namespace trivel
