#pragma once
// trivelctl warp mode / nudge / reset / save-map / load-map / push: the warp subsystem's
// operations on a connected box.

#include <QStringList>

#include <functional>

namespace trivel {

class Box;
namespace cli {
class CliUi;
}

// Runs the event loop until the predicate says the run is decided.
using WarpRunUntil = std::function<void(const std::function<bool()>& decided)>;

// args: the command line without the program name. Returns -1 when the arguments are not one of
// these commands, else the exit code.
int RunWarpBoxCommand(const QStringList& args);

// The same command on a box already connected and read back, its loop run by runUntil.
int RunWarpOnBox(Box& box, cli::CliUi& ui, const QStringList& args, const WarpRunUntil& runUntil);

} // namespace trivel
