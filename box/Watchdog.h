#pragma once
// The box's silence: when the last reply of any kind came, and the one warning when the status
// poll keeps finding the box silent. (A request whose own reply never comes fails in the
// exchange after its allowance.)

namespace trivel {

class Session;

// Silence after which the box counts as not answering; a send stuck this long ends the link.
inline constexpr int kReplyWatchdogMs = 10000;

// Every reply, whoever awaits it: the box is not silent.
void NoteReplyTaken(Session& s);

// The status poll keeps finding the box silent: once kReplyWatchdogMs have passed since the last
// reply, "No reply from the box." is shown, once until a reply arrives. The link stays up.
void ReportSilentBox(Session& s);
// A new link starts without silence.
void NoteLinkOpened(Session& s);

} // namespace trivel
