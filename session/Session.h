#pragma once
// The one session: all state the system shares, created once by main (or by a test in one
// line) and passed by reference. Names follow the protocol documentation.

#include "link/Clock.h"
#include "link/Exchange.h"
#include "protocol/Frame.h"
#include "session/PageTable.h"
#include "session/SessionEvents.h"
#include "session/SessionFlags.h"
#include "session/TransferState.h"
#include "session/UiPort.h"

#include <array>
#include <functional>
#include <memory>

namespace trivel {

class Box;
class Connection;
class Masks;
class Settings;
class Transport;
struct SettingsState;

struct SignalSize {
    std::int32_t width = 0;
    std::int32_t height = 0;
    bool operator==(const SignalSize&) const = default;
};

// Work that belongs to pages built later; an empty hook is skipped.
struct PageHooks {
    // Show handlers of the pages that have their own (Warp Adjust, User Map); the others send
    // the common page-show request.
    std::array<std::function<void()>, kPageCount> show{};
    std::function<void()> maskSlotChange; // CBMaskIdx2Change
    // The mask page shows the user-mask slot of window w (0..3) when a refill selects it.
    std::function<void(int w)> windowMaskSlot;
};

// LastInputMask/LastOutputMask before the first status reply: never equal to a real mask, so
// the next poll repaints.
inline constexpr int kSignalMaskUnknown = 256;

class Session {
public:
    Session(Clock& clock, UiPort& ui);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    Clock& clock;
    UiPort& ui;
    // The box this session belongs to (box/Box.h): how functions that take only the session
    // reach a subsystem's state. Set by the box.
    Box* box = nullptr;
    SessionEvents events;
    PageHooks pageHooks;

    // The one exchange with the box; it owns the request and reply buffers.
    Exchange exchange{clock};
    FrameBuffer& RequestBuffer = exchange.requestBuffer();
    FrameBuffer& ReplyBuffer = exchange.replyBuffer();
    FrameView request() { return FrameView::ofBuffer(RequestBuffer); }
    FrameView reply() { return FrameView::ofBuffer(ReplyBuffer); }
    void clearRequest(std::size_t bytes = kBufferSize);

    std::uint32_t SessionFlags = 0;
    bool flag(std::uint32_t f) const { return (SessionFlags & f) != 0; }
    void setFlag(std::uint32_t f, bool on);
    bool connected() const { return flag(Flag::Connected); }

    int ChannelCount = 2;
    int BoardModel = 0;
    int CurrentWindow = 0;
    // While SelectWindow runs, CurrentWindow and the box's window disagree for a while and events
    // are processed in its pauses: warp moves and cursor steps wait for its end.
    bool SelectingWindow = false;
    // Boards reported by the large-image firmware query; gates the Ctrl+Alt+1/2 shortcuts.
    std::uint32_t BoardMask = 0;

    // The transport choice of Grop1: TCP when "IP Address" is selected, else USB.
    bool TcpSelected = false;
    // What ConnectAddressBox holds; the GUI stores the typed text before each connect.
    QString ConnectAddressText = QStringLiteral("192.168.0.100");
    // Page of PCMain on show, and which pages are enabled (their tabs follow).
    int ActivePage = Page::WarpAdjust;
    std::array<bool, kPageCount> PageEnabled{};
    // ProgressBar2 of the progress panel (resets, profile load, setting transfer).
    int ProgressPosition = 0;
    int ProgressMaximum = 100;

    // The running read-back and status poll, if any (box/Readback.h, box/StatusPoll.h).
    Operation<void> readback;
    Operation<void> statusPoll;
    // Whether a chain is running: an operation holding the exchange or a request awaiting its reply.
    bool busy() const { return !exchange.idle(); }

    // Connect read-back and status poll state.
    int ReadbackWindow = 0; // counts ChannelCount down to 1; the window read is ReadbackWindow - 1
    int ReadbackItem = 0; // 0..10
    // Only the box's identity is wanted (trivelctl identify): the exchange ends after the model
    // reply, before anything that reads or selects a window.
    bool IdentifyOnly = false;
    std::array<SignalSize, 4> InputSize{};
    std::array<SignalSize, 4> PipSourceSize{};
    std::array<SignalSize, 4> LastPipSourceSize{};
    int LastInputMask = kSignalMaskUnknown;
    int LastOutputMask = kSignalMaskUnknown;
    // Silence of the box: status polls in a row without a reply, when the last reply of any kind
    // arrived, and whether "No reply from the box." has been shown since.
    int UnansweredPolls = 0;
    qint64 LastReplyTick = 0;
    bool SilenceReported = false;
    // From the factory-reset button until its reply has been handled; a disconnect then skips
    // the neutral-state requests.
    bool FactoryResetPending = false;
    // Item index of the User Map pattern list CBPatternSel, per window.
    std::array<int, 4> UserMapPatternIndex{};

    // The open link, or none. Owned by the connection logic; the exchange sends on it.
    Transport* transport = nullptr;
    void setTransport(Transport* t, const QString& closedReason = QStringLiteral("link closed"));
    // The connect/disconnect handlers (a factory reset or reboot over TCP clicks BtnCnt2).
    Connection* connection = nullptr;

    std::unique_ptr<ClockTimer> TmrStatus; // 2000 ms status poll, enabled from start-up

    // The per-window settings cache, owned by the settings subsystem (settings/Settings.h); the
    // connect read-back, setting files and previews read and fill it.
    SettingsState& settings() const { return *m_settings; }
    // The subsystem itself, for widgets that other folders' pages build (the Mask page's
    // edge-mask group); everything else gets it from the composition root.
    Settings& settingsService() const { return *m_settingsService; }

    TransferState transfer; // the setting transfer of files/SettingTransfer.h
    // The box's mask subsystem (mask/Masks.h, owned by the Box), for the setting files, the
    // transfer, the read-back and the preview, which reach it through the session.
    Masks* masks = nullptr;

    // Setting files (files/SettingFile.h): the input and PIP source sizes of the last loaded file
    // (the transfer sends these, not the live sizes), CBSaveAll, and the window the transfer of
    // a loaded file starts with.
    std::array<SignalSize, 4> FileInputSize{};
    std::array<SignalSize, 4> FilePipSourceSize{};
    bool SaveAllMasks = true;
    int TransferWindow = 0;

private:
    friend class Settings;
    SettingsState* m_settings = nullptr;
    Settings* m_settingsService = nullptr;
};

// A reply frame as the transport hands it over (report id at byte 0 over USB, frame from byte 1),
// to the exchange; bytes beyond the buffer are dropped.
inline void DeliverReply(Session& s, const std::uint8_t* bytes, std::size_t n, bool withReportId)
{
    s.exchange.deliver(bytes, n, withReportId);
}

// Enables a page and shows its tab, or disables it and hides the tab.
void SetPageAvailable(Session& s, int page, bool on);
// Makes a page the active one of PCMain (no show handler runs).
void SetActivePage(Session& s, int page);
// Position and maximum of ProgressBar2.
void SetProgress(Session& s, int position);
void SetProgressMaximum(Session& s, int maximum);

} // namespace trivel
