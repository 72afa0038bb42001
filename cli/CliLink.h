#pragma once
// The link options of trivelctl's commands that talk to a box, and the connect that runs the
// read-back to its end before the command's own work starts.

#include "cli/CliUi.h"

#include <QString>

#include <functional>

namespace trivel {

class Connection;
class Session;

struct CliLinkOptions {
    bool tcp = false;
    bool given = false;
    QString host;
    quint16 port = 7;
    bool verbose = false;
    bool yes = false;
};

// Takes --tcp HOST[:PORT], --usb, --verbose and --yes at args[i]; true when it was one of them
// (i is moved past a value). Sets `error` on a bad value. Every command parses its link options
// here, so they all accept and refuse the same things with the same words.
bool TakeLinkOption(const QStringList& args, int& i, CliLinkOptions& o, QString& error);

// Connects and runs the read-back; then calls `work` once and keeps the event loop running until
// `done` returns an exit code (>= 0). Returns that code, 3 for a link failure, 4 for a rejected box.
int RunOnBox(const CliLinkOptions& o, Session& s, Connection& connection, cli::CliUi& ui,
    const std::function<void()>& work, const std::function<int()>& done);

} // namespace trivel
