#include "files/SettingTransfer.h"

#include "box/Box.h"
#include "box/Readback.h"
#include "files/TransferCommands.h"
#include "mask/Masks.h"
#include "protocol/MaskFrames.h"
#include "protocol/SettingFrames.h"
#include "protocol/WarpFrames.h"
#include "session/Controls.h"
#include "session/Session.h"
#include "settings/SettingsState.h"
#include "warp/ControlGrid.h"

#include <QLoggingCategory>

#include <algorithm>

Q_LOGGING_CATEGORY(lcTransfer, "trivel.files.transfer")

namespace trivel {

namespace {

// The window-end and cursor frames keep the pause the Warp Adjust page's cursor frames keep.
constexpr int kCursorFramePause = 80;
constexpr int kPointChunks = 3;

// The setting text of the window selection, of the update steps and of the cursor query.
constexpr const char* kSelectWindow = "s00VKY+060";
constexpr const char* kUpdateStep = "s00UDT+001";
constexpr const char* kPointQuery = "S0095I+000";

Request SettingFrame(std::uint32_t code, const SettingCommand& cmd, Clear clear)
{
    return Request(code, clear).setting(cmd);
}

Request SettingFrame(const char* tpl, int value, std::uint32_t code, Clear clear)
{
    SettingCommand cmd = MakeSettingCommand(tpl);
    EncodeSettingValue(value, cmd);
    return SettingFrame(code, cmd, clear);
}

// The first `size field` bytes of a slot copy, never more than the copy holds.
std::size_t CopyLength(const SlotCopy& copy)
{
    if (copy.size() < kMaskHeaderBytes)
        return 0;
    const std::uint32_t size = std::uint32_t(copy[4]) | std::uint32_t(copy[5]) << 8
        | std::uint32_t(copy[6]) << 16 | std::uint32_t(copy[7]) << 24;
    return std::min<std::size_t>(size, copy.size());
}

// One transfer: the box's subsystems it reads, and where it stands.
class Run {
public:
    explicit Run(Box& box)
        : m_box(box)
        , m_s(box.session)
        , m_masks(box.masks.state())
    {
    }

    Operation<void> masks();
    Operation<void> windows();

private:
    std::size_t window() const { return std::size_t(std::clamp(m_s.TransferWindow, 0, 3)); }
    bool single() const { return m_s.flag(Flag::SingleWindowTransfer); }
    void announce(TransferPhase phase)
    {
        emit m_s.events.settingTransferStep(int(phase), int(window()), single() ? 1 : m_s.ChannelCount);
    }
    void addProgress(int n) { SetProgress(m_s, m_s.ProgressPosition + n); }
    // Every fixed wait of the transfer goes through here.
    Operation<void> wait(int ms);
    Operation<void> send(Request request, int pauseMs = 0);
    Operation<void> selectWindow();

    // Mask slots.
    bool loadStream(const SlotCopy* copy);
    const SlotCopy* monoCopy(int slot) const;
    Operation<void> sendStream(std::uint32_t code);
    Operation<void> sendSlotFrame(std::uint32_t code);
    Operation<void> sendSlot(bool colour, bool extraProgressOnDelete);
    Operation<void> allSlots();
    Operation<void> oneSlot(bool mono);

    // Windows.
    Operation<void> sendWindow();
    Operation<void> sendSettings();
    Operation<void> sendWarp();
    Operation<void> sendBlendAndCursor();
    Operation<void> endWindow(bool& last);
    Operation<void> resetWarpCursor();

    Box& m_box;
    Session& m_s;
    MaskState& m_masks;
    std::size_t m_maskPosition = 0;
    std::array<SettingCommand, kCommandListSize> m_commands{};
};

Operation<void> Run::wait(int ms)
{
    const int scaled = ms * std::max(m_s.transfer.WaitPercent, 0) / 100;
    if (scaled > 0)
        co_await m_s.exchange.delay(scaled);
}

Operation<void> Run::send(Request request, int pauseMs)
{
    co_await m_s.exchange.send(std::move(request), {.pauseMs = pauseMs});
}

Operation<void> Run::selectWindow()
{
    return send(proto::SettingWrite(kSelectWindow, 60 + int(window())));
}

// ---- mask slots ----

const SlotCopy* Run::monoCopy(int slot) const
{
    if (slot < 0 || slot >= kMonoSlots)
        return nullptr;
    return &m_masks.MonoSlotCopy[std::size_t(slot)];
}

// Loads a copy into the mask stream; false when the copy is empty.
bool Run::loadStream(const SlotCopy* copy)
{
    m_masks.Stream.clear();
    const std::size_t n = copy ? CopyLength(*copy) : 0;
    if (n == 0)
        return false;
    m_masks.Stream.bytes.assign(copy->begin(), copy->begin() + std::ptrdiff_t(n));
    m_maskPosition = 0;
    return true;
}

// The stream in pieces, each written over the frame as it stands.
Operation<void> Run::sendStream(std::uint32_t code)
{
    const auto& stream = m_masks.Stream.bytes;
    do {
        const std::size_t at = std::min(m_maskPosition, stream.size());
        const std::span<const std::uint8_t> rest = std::span(stream).subspan(at);
        const Request chunk = proto::MaskUploadChunk(
            code, m_s.CurrentWindow, std::uint32_t(at), std::uint32_t(stream.size()), rest, Clear::None);
        m_maskPosition = at + std::min(rest.size(), proto::kMaskUploadChunkBytes);
        co_await send(chunk);
    } while (m_maskPosition < m_masks.Stream.size());
}

// Store or delete of the slot being sent, written over the frame as it stands.
Operation<void> Run::sendSlotFrame(std::uint32_t code)
{
    const int slot = std::clamp(m_s.transfer.MaskSlot, 0, 9);
    return send(code == Cmd::MaskStore ? proto::MaskStore(m_s.CurrentWindow, slot, Clear::None)
                                       : proto::MaskDelete(m_s.CurrentWindow, slot, Clear::None));
}

// A slot's copy in pieces and its store, or its delete when the copy is empty.
Operation<void> Run::sendSlot(bool colour, bool extraProgressOnDelete)
{
    if (loadStream(colour ? &m_masks.ColourSlotCopy : monoCopy(m_s.transfer.MaskSlot))) {
        co_await sendStream(colour ? Cmd::MaskUploadColour : Cmd::MaskUploadMono);
        co_await sendSlotFrame(Cmd::MaskStore);
        co_return;
    }
    co_await sendSlotFrame(Cmd::MaskDelete);
    if (extraProgressOnDelete)
        addProgress(1);
}

// A whole-box transfer: every mono slot from the first, then the colour slot.
Operation<void> Run::allSlots()
{
    bool first = true;
    while (m_s.transfer.MaskSlot < kMonoSlots) {
        co_await sendSlot(false, first);
        first = false;
        m_masks.Stream.clear();
        ++m_s.transfer.MaskSlot;
        addProgress(1);
    }
    co_await sendSlot(true, false);
}

// A single-window transfer: the window's own slot.
Operation<void> Run::oneSlot(bool mono)
{
    addProgress(10);
    if (!mono) {
        co_await sendSlot(true, false);
        co_return;
    }
    if (!loadStream(monoCopy(m_s.transfer.MaskSlot))) {
        co_await sendSlotFrame(Cmd::MaskDelete);
        co_return;
    }
    co_await sendStream(Cmd::MaskUploadMono);
    addProgress(1);
    co_await sendSlotFrame(Cmd::MaskStore);
}

Operation<void> Run::masks()
{
    const bool one = single();
    const int a = m_masks.MaskAssignment[std::size_t(m_s.CurrentWindow & 3)];
    announce(TransferPhase::MaskSlots);
    co_await selectWindow();
    if (one)
        co_await oneSlot(a >= 1 && a <= 9);
    else
        co_await allSlots();
    m_masks.Stream.clear();
    addProgress(1);
}

// ---- windows ----

Operation<void> Run::sendSettings()
{
    for (const int index : kCommandOrder) {
        addProgress(1);
        if (index == 2 || index == 20 || index == 45)
            co_await wait(1000);
        else if (index > 43)
            co_await wait(300);
        co_await wait(index > 16 ? 120 : 50);
        co_await send(SettingFrame(Cmd::Setting, m_commands[std::size_t(index)], Clear::Frame));
    }
}

Operation<void> Run::sendWarp()
{
    const std::size_t w = window();
    Warp& warp = m_box.warp;
    const int pattern = warp.state().model[w].ControlPattern;
    announce(TransferPhase::Warp);
    co_await wait(200);
    co_await send(
        warp.bulkControlRequest(w, pattern == WarpMode::Points ? WarpMode::Grid9x5 : pattern, Clear::Head));
    co_await wait(20);
    co_await send(SettingFrame(kUpdateStep, 1, Cmd::Setting, Clear::Head));
    co_await wait(1500);
    co_await send(warp.bulkCornerRequest(w, pattern));
    co_await wait(600);
    co_await send(SettingFrame(kUpdateStep, 2, Cmd::Setting, Clear::Frame));
    for (int chunk = 0; chunk < kPointChunks; ++chunk)
        co_await send(warp.pointChunkRequest(w, chunk));
    co_await wait(600);
    if (warp.state().model[w].ControlPattern == WarpMode::Points) {
        const WarpModel& m = warp.state().model[w];
        CursorPos at;
        at.column = std::clamp<int>(m.GridCursor.column, 0, kGridSize - 1);
        at.row = std::clamp<int>(m.GridCursor.row, 0, kGridSize - 1);
        co_await send(warp.pointRequest(w, at));
    } else {
        co_await send(SettingFrame(kUpdateStep, 3, Cmd::Setting, Clear::Frame));
    }
}

Operation<void> Run::sendBlendAndCursor()
{
    const std::size_t w = window();
    const SettingsState& st = m_s.settings();
    const BlendRecord& b = st.BlendSettings[w];
    announce(TransferPhase::Blend);
    co_await wait(200);
    co_await send(proto::BulkBlendBlock(b.bytes[25], std::span(b.bytes).subspan(54, 32),
        std::span(b.bytes).subspan(26, 27), st.EdgeMaskCorners.x[w], st.EdgeMaskCorners.y[w]));
    co_await wait(100);
    co_await send(SettingFrame(kUpdateStep, 4, Cmd::Setting, Clear::Frame));
    if (m_s.flag(Flag::UserMask)) {
        co_await wait(100);
        SettingCommand& dmi = m_commands[kWindowCommands];
        EncodeSettingValue(m_masks.MaskAssignment[w], dmi);
        co_await send(SettingFrame(Cmd::SettingQuery, dmi, Clear::None));
    }
    co_await wait(800);
    const int point = ControlIndex(m_box.warp.currentModel().ControlCursor);
    co_await send(SettingFrame(kPointQuery, point, Cmd::SettingQuery, Clear::Frame));
    co_await wait(100);
    co_await send(proto::ControlCursor(
                      m_s.CurrentWindow & 3, ControlIndex(m_box.warp.currentModel().ControlCursor), true),
        kCursorFramePause);
    co_await wait(100);
    co_await send(proto::TransferWindowEnd(m_s.CurrentWindow), kCursorFramePause);
}

// The Warp Adjust page back on the current window's mode with its cursor at the start.
Operation<void> Run::resetWarpCursor()
{
    Warp& warp = m_box.warp;
    WarpModel& m = warp.currentModel();
    warp.showMode();
    if (m.ControlPattern != WarpMode::Points) {
        m.ControlCursor = {};
        co_await send(proto::ControlCursor(m_s.CurrentWindow & 3, ControlIndex(m.ControlCursor), true),
            kCursorFramePause);
        co_await send(proto::SelectedPoint(ControlIndex(m.ControlCursor)), kCursorFramePause);
        warp.refreshAdjust();
    } else {
        m.GridCursor = {};
        co_await send(proto::UserMapCursor(m_s.CurrentWindow & 3, m.GridCursor.column, m.GridCursor.row),
            kCursorFramePause);
    }
}

Operation<void> Run::endWindow(bool& last)
{
    co_await wait(600);
    last = true;
    if (single()) {
        SetProgress(m_s, m_s.ProgressMaximum);
        co_await wait(500);
        m_s.ui.set(ctl::UpdateStep, Prop::Top, 680);
        m_s.setFlag(Flag::SingleWindowTransfer, false);
        co_await resetWarpCursor();
        qCInfo(lcTransfer) << "single-window transfer done";
        co_return;
    }
    ++m_s.TransferWindow;
    if (m_s.TransferWindow < m_s.ChannelCount) {
        last = false;
        co_return;
    }
    // The read-back from the network step refreshes the caches from the box and ends the load.
    announce(TransferPhase::Readback);
    m_s.setFlag(Flag::TransferReadback, true);
    StartReadback(m_s, ReadbackStart::AfterTransfer);
    Operation<void> readback = m_s.readback;
    try {
        co_await readback;
    } catch (const OperationFailure& f) {
        // The read-back has said what went wrong.
        Failure said = f.failure();
        said.shown = true;
        throw OperationFailure(said);
    }
}

Operation<void> Run::sendWindow()
{
    m_commands = TransferCommands(m_s.settings(), m_box.masks.state(), m_s, window());
    announce(TransferPhase::Settings);
    co_await selectWindow();
    co_await sendSettings();
    co_await sendWarp();
    co_await sendBlendAndCursor();
}

Operation<void> Run::windows()
{
    for (bool last = false; !last;) {
        co_await sendWindow();
        co_await endWindow(last);
    }
}

// Marks the transfer as running for as long as its frame lives, however it ends.
class Running {
public:
    explicit Running(Session& s)
        : m_s(s)
        , m_hold(s.exchange.hold())
    {
        m_s.transfer.Running = true;
    }
    ~Running() { m_s.transfer.Running = false; }
    Running(const Running&) = delete;
    Running& operator=(const Running&) = delete;

private:
    Session& m_s;
    Exchange::Hold m_hold;
};

Operation<void> Transfer(Box& box, bool maskPhase)
{
    const Running running(box.session);
    box.masks.state().Stream.clear();
    Run run(box);
    if (maskPhase)
        co_await run.masks();
    co_await run.windows();
}

} // namespace

const std::array<int, 73> kCommandOrder{0, 2, 3, 4, 5, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 1, 20, 21, 22,
    23, 24, 25, 26, 27, 28, 29, 30, 31, 32, 33, 34, 35, 36, 37, 38, 39, 40, 41, 6, 7, 8, 9, 42, 43, 51, 52,
    53, 54, 55, 56, 57, 58, 49, 45, 46, 47, 48, 50, 44, 59, 60, 61, 62, 63, 64, 65, 66, 67, 68, 69, 70, 71,
    72};

int ListCommandWaitMs(int index)
{
    int ms = index > 16 ? 120 : 50;
    if (index == 2 || index == 20 || index == 45)
        ms += 1000;
    else if (index > 43)
        ms += 300;
    return ms;
}

Operation<void> TransferSettings(Box& box, bool wholeBox)
{
    Session& s = box.session;
    if (!s.connected())
        return Finished();
    if (!wholeBox)
        s.setFlag(Flag::SingleWindowTransfer, true);
    const bool single = s.flag(Flag::SingleWindowTransfer);
    s.TransferWindow = wholeBox ? 0 : std::clamp(s.CurrentWindow, 0, 3);
    SetProgress(s, 0);
    SetProgressMaximum(s, single ? kSingleWindowProgress : kWholeBoxProgress);
    s.ui.set(ctl::UpdateStep, Prop::Top, 180);

    const bool userMask = s.flag(Flag::UserMask);
    if (userMask && !single) {
        s.transfer.MaskSlot = 0;
        return Transfer(box, true);
    }
    const int a = box.masks.state().MaskAssignment[std::size_t(s.TransferWindow)];
    if (userMask && !wholeBox && a >= 1 && a <= 10) {
        s.transfer.MaskSlot = a - 1;
        return Transfer(box, true);
    }
    if (userMask && wholeBox)
        // One slot's copy must never be stored into another slot, and a whole-box file names
        // no single slot: the box keeps the masks it has.
        s.ui.appendMemo(QStringLiteral("MASK SLOTS NOT SENT: SINGLE-WINDOW TRANSFER OF A WHOLE-BOX FILE"));
    return Transfer(box, false);
}

Operation<void> TransferLoadedSettings(Box& box, bool maskTransfer)
{
    if (!box.session.connected())
        return Finished();
    return Transfer(box, maskTransfer);
}

} // namespace trivel
