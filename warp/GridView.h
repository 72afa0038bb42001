#pragma once
// Drawing of the grid view: the live grid as squares on a white image, active points of the
// window's pattern in red, the cursor point larger. No widgets, so tests and tools can use it.

#include "warp/WarpState.h"

#include <QColor>
#include <QImage>
#include <QRect>

#include <vector>

namespace trivel {

inline constexpr int kGridViewWidth = 960;
inline constexpr int kGridViewHeight = 540;
// Logical extent mapped onto the image; frame pixels are drawn as logical units.
inline constexpr int kGridViewLogicalWidth = 1960;
inline constexpr int kGridViewLogicalHeight = 1120;
inline constexpr int kGridViewOrigin = 10; // image pixel of logical (0, 0)

struct GridSquare {
    QRect rect; // logical units: (x - 8, y - 8) to (x + 8, y + 8), 12 for the cursor
    bool active = false; // red: column and row both in the pattern's masks
    bool cursor = false;
};

// One square per grid point, row by row (row 0 columns 0..16 first).
std::vector<GridSquare> GridViewSquares(const WarpState& state);

// Fills image white and draws the squares with the scaled mapping.
void DrawGridView(QImage& image, const WarpState& state);

} // namespace trivel
