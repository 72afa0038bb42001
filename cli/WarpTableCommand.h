#pragma once
// trivelctl warp table: one window's source lookup tables from a JSON description of its grid.

#include "warp/WarpState.h"

#include <QByteArray>
#include <QStringList>
#include <QTextStream>

#include <array>
#include <optional>
#include <utility>
#include <vector>

namespace trivel {

// The JSON grid description of --grid (docs/warp-table.md).
struct WarpGridDescription {
    std::optional<int> pattern;
    std::vector<std::pair<std::pair<int, int>, OffsetPair>> points; // (column, row) and its offset
    std::array<OffsetPair, 4> corners{};
};

// Reads a grid description; on a description error returns nothing and puts the message the
// user sees into *error.
std::optional<WarpGridDescription> ParseWarpGrid(const QByteArray& text, QString* error);

// args: everything after "warp table". Returns 0 on success, 2 for a usage error, 1 for any
// other failure; messages go to err.
int RunWarpTableCommand(const QStringList& args, QTextStream& out, QTextStream& err);

} // namespace trivel
