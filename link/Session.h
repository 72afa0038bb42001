#pragma once
// The one session: all state the system shares, created once by main (or by a test in one
// line) and passed by reference. Names follow the protocol documentation.

#include "link/Clock.h"
#include "link/Frame.h"
#include "link/SessionFlags.h"
#include "link/UiPort.h"
#include "mask/MaskState.h"
#include "settings/SettingsState.h"
#include "warp/WarpAdjustState.h"
#include "warp/WarpState.h"

#include <array>
#include <memory>

namespace trivel {

class Connection;
class Transport;

struct SignalSize {
    std::int32_t width = 0;
    std::int32_t height = 0;
    bool operator==(const SignalSize&) const = default;
};

class Session {
public:
    Session(Clock& clock, UiPort& ui);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    Clock& clock;
    UiPort& ui;

    FrameBuffer RequestBuffer{};
    FrameBuffer ReplyBuffer{};
    FrameView request() { return FrameView::ofBuffer(RequestBuffer); }
    FrameView reply() { return FrameView::ofBuffer(ReplyBuffer); }
    void clearRequest(std::size_t bytes = kBufferSize);

    std::int32_t PostSendDelay = 0;
    std::int32_t PendingOp = 0;
    std::uint32_t SessionFlags = 0;
    bool flag(std::uint32_t f) const { return (SessionFlags & f) != 0; }
    void setFlag(std::uint32_t f, bool on) { SessionFlags = on ? (SessionFlags | f) : (SessionFlags & ~f); }
    bool connected() const { return flag(Flag::Connected); }

    int ChannelCount = 2;
    int BoardModel = 0;
    int CurrentWindow = 0;
    // Boards reported by the large-image firmware query; gates the Ctrl+Alt+1/2 shortcuts.
    std::uint32_t BoardMask = 0;

    // Connect read-back and status poll state.
    int ReadbackWindow = 0; // counts ChannelCount down to 1; the window read is ReadbackWindow - 1
    int ReadbackItem = 0; // 0..10
    std::array<SignalSize, 4> InputSize{};
    std::array<SignalSize, 4> PipSourceSize{};
    std::array<SignalSize, 4> LastPipSourceSize{};
    int LastInputMask = 256; // 256 never matches a real mask, so the next poll repaints
    int LastOutputMask = 256;
    // From the factory-reset button until its reply has been handled; a disconnect then skips
    // the neutral-state requests.
    bool FactoryResetPending = false;
    // Item index of the User Map pattern list CBPatternSel, per window.
    std::array<int, 4> UserMapPatternIndex{};

    // USB is selected exactly when "IP Address" is not checked.
    bool tcpSelected() const { return ui.isChecked("RBTCP"); }

    // The open link, or none. Owned by the connection logic.
    Transport* transport = nullptr;
    // The connect/disconnect handlers (a factory reset or reboot over TCP clicks BtnCnt2).
    Connection* connection = nullptr;

    std::unique_ptr<ClockTimer> TmrStatus; // 2000 ms status poll, enabled from start-up
    std::unique_ptr<ClockTimer> USBTimeOut; // 500 ms resend guard
    std::unique_ptr<ClockTimer> Timer2; // reset / profile progress
    // Ends a chain whose reply never comes (see link/Watchdog.h).
    std::unique_ptr<ClockTimer> ReplyWatchdog;

    SettingsState settings;
    WarpState warp;
    WarpAdjustState warpAdjust;
    MaskState mask;
};

// Sends the request frame on the selected transport; nothing while not connected.
// Then pauses PostSendDelay ms while still dispatching replies.
void SendFrame(Session& s);

} // namespace trivel
