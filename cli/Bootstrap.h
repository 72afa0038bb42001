#pragma once
// The one way trivelctl's commands reach a box: choose the link, connect, wait for the work's own
// end, map its outcome to the exit code, disconnect. The environment (clock and link) is
// injectable, so the commands run in-process against a simulated box on a virtual clock.

#include "box/Box.h"
#include "box/Connection.h"
#include "cli/CliLink.h"
#include "cli/CliUi.h"
#include "link/Clock.h"
#include "link/Link.h"
#include "link/Operation.h"
#include "protocol/Frame.h"

#include <deque>
#include <functional>
#include <memory>
#include <string>

namespace trivel::cli {

enum Exit { Success = 0, Failed = 1, Usage = 2, LinkFailure = 3, Rejected = 4 };

// Returned by a wait on a virtual clock that ran out of things to do before the work ended: the
// real program would have hung there.
inline constexpr int kHung = -100;

struct BoxEnv {
    // Null: the real clock.
    Clock* clock = nullptr;
    // Set: every link goes to this transport, whatever --tcp or --usb said.
    Link::TcpOpener opener;
    // Called once a command's result is decided, before its disconnect sends anything.
    std::function<void(int exitCode)> decided;
    // Called when a disconnect begins (what it sends is no part of the command's work).
    std::function<void()> closing;
    // How long a virtual-clock wait may run before it counts as a hang, and who is told.
    qint64 hangAfterMs = 15 * 60 * 1000;
    std::function<void()> hung;
};

enum class ConnectMode {
    IdentifyOnly, // Identify and model, nothing that reads or selects a window
    // As IdentifyOnly; the command reads the window-settings block itself (which names the
    // current window), so the disconnect sends the neutral state as the window does.
    WindowSettings,
    Readback, // the whole connect read-back
};

// The field of an Identify reply that no box sends (a window count outside 1..4, a frame size
// beyond any output), named for the user; empty when the reply is plausible. The core clamps
// such values to go on; a command must not act on them.
QString ImplausibleIdentify(const FrameView& reply);

// One line of --verbose's frame log: the code, and the setting text or the first data bytes.
std::string FrameLogLine(const FrameView& frame);

// Exit code of a failed operation: silence and a lost link are link failures, a box that
// answered what the step cannot use or refused is a box fault.
int ExitCodeOf(const Failure& failure);

class BoxRun {
public:
    BoxRun(const BoxEnv& env, const CliLinkOptions& link, CliUi& ui);
    ~BoxRun();
    BoxRun(const BoxRun&) = delete;
    BoxRun& operator=(const BoxRun&) = delete;

    Box& box() { return m_box; }
    Session& session() { return m_box.session; }
    Connection& connection() { return m_connection; }
    CliUi& ui() { return m_ui; }

    // Connects and waits for the connect exchange's end: Success, LinkFailure or Rejected.
    int connect(ConnectMode mode);
    // Waits for the operation's end; Success or the exit code of its failure. The operation's
    // own end decides, not a close that follows it: one that has all its replies succeeds even
    // when the box hangs up right after. Success also needs the reply of every request sent.
    template <typename T> int await(const Operation<T>& op)
    {
        // Shared: an operation abandoned by a hung wait may still end later.
        auto result = std::make_shared<int>(-1);
        op.onFinished(
            [op, result] { *result = op.valid() && op.failure() ? ExitCodeOf(*op.failure()) : Success; });
        return waitFor([result] { return *result; }, 0, false);
    }
    // For chains that do not end in an operation: `done` is asked each time the event loop has run
    // out of work (after every reply); it returns the exit code, or -1 to go on. Success counts
    // only once every request sent has had its reply: a box silent on the last one fails with
    // LinkFailure after the reply allowance, one that answered with a wrong code with Rejected.
    // A chain the reply watchdog gave up on ends the wait with LinkFailure.
    // With timeoutMs, a wait that long ends with LinkFailure ("no reply from the box").
    int waitUntil(const std::function<int()>& done, int timeoutMs = 0);
    // The command's result: told to the environment, and the link's closing noise is not printed.
    int decide(int exitCode);
    // Disconnects as the window does (neutral state) when the read-back ran; otherwise leaves
    // the box as it was. Called by the destructor when still connected.
    void disconnect();

private:
    int waitFor(const std::function<int()>& done, int timeoutMs, bool endOnLinkLoss);
    int drive(int& result, const std::function<int()>& poll);

    BoxEnv m_env;
    std::unique_ptr<RealClock> m_realClock;
    CliUi& m_ui;
    Box m_box;
    Connection m_connection;
    CliLinkOptions m_link;
    ConnectMode m_mode = ConnectMode::Readback;
    bool m_decided = false;
    bool m_noReply = false;
    // The codes of requests sent and not yet answered, oldest first; whether a reply came with
    // another code than the oldest of them.
    std::deque<std::uint32_t> m_unanswered;
    bool m_wrongReply = false;
    bool m_closing = false; // a disconnect has begun
    bool m_announced = false;
    // What made the Identify reply implausible; empty when it was not.
    QString m_implausible;
};

} // namespace trivel::cli
