#pragma once
// The 17x17 point offsets of the box's point mode nearest to a warp grid: where the grid shows
// each point of the base grid, corrected until the tool's model of the box's interpolation of
// the offsets shows the grid as closely as it can.

#include "interchange/WarpGrid.h"

#include <QString>

#include <optional>

namespace trivel {

struct PointOffsetResult {
    GridArray<OffsetPair> offsets{};
    // The tool's model of what the box makes of the offsets.
    SourceTable sourceX{};
    SourceTable sourceY{};
    // Points whose content the grid never shows (beyond its reach): placed as their neighbours.
    int followingNeighbours = 0;
};

// On a refusal (a grid that shows none of the points, offsets the model cannot compute) returns
// nothing and says why in *error.
std::optional<PointOffsetResult> NearestPointOffsets(
    const WarpGrid& grid, int window, int width, int height, QString* error);

} // namespace trivel
