#pragma once
// The connect exchange as trivelctl's commands run it, shared by all of them.

#include <QString>

class QCoreApplication;

namespace trivel {
class Connection;
class Session;
} // namespace trivel

namespace trivel::cli {

class CliUi;

enum Exit { Success = 0, Usage = 2, LinkFailure = 3, Rejected = 4 };

struct LinkChoice {
    bool tcp = false;
    QString host;
    quint16 port = 7;
};

// Selects the transport, connects and runs the exchange to its end: the whole read-back, or
// with identifyOnly just the Identify and model replies. The result is decided by the first
// event that settles it, in the order they happen, so the chain's own end comes before the close
// of a box that hangs up right after its last reply. Returns Success, LinkFailure or Rejected.
int ConnectAndRead(QCoreApplication& app, Session& s, Connection& connection, CliUi& ui,
    const LinkChoice& link, bool identifyOnly);

// Disconnects (or lets a disconnect already started run) and returns once the link is closed,
// so the neutral state has gone out before the command ends.
void Disconnect(Session& s, Connection& connection);

} // namespace trivel::cli
