#pragma once
// What the tool does when an operation ends without success and nothing has told the user yet:
// a silent box gets the wait window and progress panel taken down and "No reply from the box.";
// a box that answered wrongly gets the reason; a lost link was reported by the connection.

#include "link/Operation.h"

namespace trivel {

class Session;

// Watches op; on a failure not yet shown, cleans up the screen and says what happened.
void ReportFailure(Session& s, const Operation<void>& op);

// Runs an operation started by the user: nobody awaits it, its failure is reported.
inline void Launch(Session& s, const Operation<void>& op)
{
    ReportFailure(s, op);
}

// The same for a failure in hand (a posted request that got no reply).
void ReportFailure(Session& s, const Failure& f);

} // namespace trivel
