#pragma once
// What importing one region of an .mpcdi file into one window would do, computed without a box:
// the tables (or 17x17 point offsets) and blend values the box would receive, how far what it
// would show is from the file, and what it cannot show.
//
// The box side then calls ApplyImportPlan on the session's warp state and blend record of the
// window, and sends them with the existing chains (see docs/interchange.md).

#include "interchange/BlendMaps.h"
#include "interchange/Mpcdi.h"
#include "interchange/WarpGrid.h"

#include "warp/WarpState.h"

#include <optional>

namespace trivel {

struct ImportOptions {
    int window = 0; // 0..3
    // The window's output frame; 0: the region's pixel size.
    int frameWidth = 0;
    int frameHeight = 0;
    // The nearest 17x17 point offsets (the box's point mode) instead of the User Map tables.
    bool pointOffsets = false;
    // The window's blend record now: what the file does not carry is kept.
    BlendRecord currentBlend;
};

struct ImportPlan {
    int window = 0;
    QString regionId;
    int width = 0;
    int height = 0;
    bool pointOffsets = false;
    // The tables the box will use: sent as they are, or (point offsets) the tool's model of the
    // box's own interpolation of the offsets.
    SourceTable sourceX{};
    SourceTable sourceY{};
    GridArray<OffsetPair> offsets{}; // point offsets only
    GridDifference worst; // between the file's grid and what the box will show
    BlendPlan blend;
    QStringList report; // for the user, one line each
};

// On a refusal (a frame the tables cannot hold, positions beyond them, a grid the point mode
// cannot follow) returns nothing and says why in *error.
std::optional<ImportPlan> PlanImport(
    const MpcdiRegionData& region, const ImportOptions& options, QString* error);

// Puts the plan into the tool's state of its window: warp.WarpWindow = plan.window and either
// the source tables (User Map) or the window's 17x17 PointOffsets and UserGrid; the blend
// record's widths, shifts, curve, gains, gamma offset and black levels. Sends nothing.
void ApplyImportPlan(const ImportPlan& plan, WarpState& warp, BlendRecord& blend);

} // namespace trivel
