#pragma once
// trivelctl's warp commands on a box already connected and read back: each runs an operation
// of the warp subsystem and takes its exit code from how that ended. 0 only once the last reply
// of the command has come in; a silent box or a closed link is 3, a box answering wrongly 4.

#include "cli/WarpTableCommand.h"

#include <QString>
#include <QTextStream>

#include <functional>

namespace trivel {

class Box;

enum WarpExit { WarpDone = 0, WarpRefused = 1, WarpLinkFailure = 3, WarpBoxFault = 4 };

struct WarpJob {
    QString command; // mode, nudge, reset, save-map, load-map, push
    int window = 0;
    int mode = 0; // the ControlPattern a mode command selects
    int column = 0; // nudge: the point and its offsets
    int row = 0;
    int dx = 0;
    int dy = 0;
    int slot = 0; // 0..9
    int pattern = 0; // push: the grid file's pattern and points
    WarpGridDescription grid;
};

// Runs the event loop until the predicate says the run is decided.
using WarpRunUntil = std::function<void(const std::function<bool()>& decided)>;

// Makes the job's window current, runs the job and prints its result to out; what went wrong
// goes to err.
int RunWarpJob(
    Box& box, const WarpJob& job, const WarpRunUntil& runUntil, QTextStream& out, QTextStream& err);

} // namespace trivel
