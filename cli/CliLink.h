#pragma once
// The link options of trivelctl's commands that talk to a box, and the connect that runs the
// read-back to its end before the command's own work starts.

#include "cli/CliUi.h"

#include <QString>

#include <functional>

namespace trivel {

struct CliLinkOptions {
    bool tcp = false;
    bool given = false;
    QString host;
    quint16 port = 7;
    bool verbose = false;
    bool yes = false;
    // "trivelctl: connected" on stderr at the box's first reply: backup and restore learn from
    // it that a box answered before it failed.
    bool announceConnect = false;
};

// Takes --tcp HOST[:PORT], --usb, --verbose and --yes at args[i]; true when it was one of them
// (i is moved past a value). Sets `error` on a bad value. Every command parses its link options
// here, so they all accept and refuse the same things with the same words.
bool TakeLinkOption(const QStringList& args, int& i, CliLinkOptions& o, QString& error);

namespace cli {
class BoxRun;
}

// Connects with the whole read-back; then calls `work` once and waits until `done` returns an
// exit code (>= 0); `done` is asked after every reply. Returns that code, 3 for a link failure,
// 4 for a rejected box.
int RunOnBox(cli::BoxRun& run, const std::function<void()>& work, const std::function<int()>& done);

} // namespace trivel
