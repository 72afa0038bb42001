#pragma once
// Reply watchdog for chains that still compose their frames and route replies by PendingOp (the
// operations' steps have their own allowance in the exchange): a step whose reply never comes
// would leave the wait window up and the main window disabled for ever. The watchdog gives up on
// it after kReplyWatchdogMs of silence, tells the user, and returns the tool to idle without
// closing the link. The silence bookkeeping of the status poll lives here too.

namespace trivel {

class Session;

inline constexpr int kReplyWatchdogMs = 10000;

// Whether a PendingOp value is a chain step the watchdog guards (the status poll is not).
bool ReplyWatchdogGuards(int pendingOp);

// Restarted on every send and after every dispatched reply.
void NoteFrameSent(Session& s);
void NoteReplyDispatched(Session& s);
// Every reply, whoever awaits it: the box is not silent.
void NoteReplyTaken(Session& s);

// Handler of Session::ReplyWatchdog.
void ReplyWatchdogTimeout(Session& s);

// The status poll keeps finding the box silent: once kReplyWatchdogMs have passed since the last
// reply, "No reply from the box." is shown, once until a reply arrives. The link stays up.
void ReportSilentBox(Session& s);
// A new link starts without silence.
void NoteLinkOpened(Session& s);

} // namespace trivel
