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

// The warp mode of a ControlPattern as the Warp Adjust page's buttons name it: "9x5", "WALL",
// "17x17", "user map 3", "off"; "mode N" for a number no button selects.
QString WarpModeName(int controlPattern);
// "4 (9x5)": the number the box uses and its name.
QString WarpModeText(int controlPattern);

// Runs the event loop until the predicate says the run is decided.
using WarpRunUntil = std::function<void(const std::function<bool()>& decided)>;

// Says a silent or lost link once, whoever else noticed it.
using WarpSay = std::function<void(const QString& text)>;

// Makes the job's window current, runs the job and prints its result to out; what went wrong
// goes to err (a silent or lost link to sayLinkFailure when given).
int RunWarpJob(Box& box, const WarpJob& job, const WarpRunUntil& runUntil, QTextStream& out, QTextStream& err,
    const WarpSay& sayLinkFailure = {});

} // namespace trivel
