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

// The pattern a description asks for: `override` first, then the file's, else 17x17.
int WarpGridPattern(const WarpGridDescription& grid, std::optional<int> override);

// Puts a grid description into the current window of `state`, starting from its unedited grid at
// its frame size, and rebuilds the source tables. `warp table` and `warp push` both come here,
// so a pushed grid is byte for byte the table `warp table` writes. pattern: 0..6. Throws
// WarpMathError when the grid cannot be computed.
void ApplyWarpGrid(WarpState& state, int pattern, const WarpGridDescription& grid);

// args: everything after "warp table". Returns 0 on success, 2 for a usage error, 1 for any
// other failure; messages go to err.
int RunWarpTableCommand(const QStringList& args, QTextStream& out, QTextStream& err);

} // namespace trivel
