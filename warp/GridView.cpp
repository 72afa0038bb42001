#include "warp/GridView.h"

#include "warp/WarpModel.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace trivel {

std::vector<GridSquare> GridViewSquares(const WarpState& state)
{
    const WarpModel& m = state.current();
    std::vector<GridSquare> squares;
    squares.reserve(kGridSize * kGridSize);
    for (int i = 0; i < kGridSize; ++i) {
        for (int j = 0; j < kGridSize; ++j) {
            const GridPoint& p = state.LiveGrid[j][i];
            // A point far outside any frame is still drawn (off the image), never wrapped.
            const int x = static_cast<int>(std::clamp(std::trunc(double(p.x)), -1e6, 1e6));
            const int y = static_cast<int>(std::clamp(std::trunc(double(p.y)), -1e6, 1e6));
            GridSquare sq;
            sq.active = ColumnMask(m.WarpPattern, j) && RowMask(m.WarpPattern, i);
            sq.cursor = m.GridCursor.column == j && m.GridCursor.row == i;
            const int half = sq.cursor ? 12 : 8;
            sq.rect = QRect(x - half, y - half, 2 * half, 2 * half);
            squares.push_back(sq);
        }
    }
    return squares;
}

void DrawGridView(QImage& image, const WarpState& state)
{
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setViewport(kGridViewOrigin, kGridViewOrigin, image.width(), image.height());
    painter.setWindow(0, 0, kGridViewLogicalWidth, kGridViewLogicalHeight);
    painter.setPen(QColor(Qt::blue));
    for (const GridSquare& sq : GridViewSquares(state)) {
        painter.setBrush(sq.active ? QColor(Qt::red) : QColor(Qt::blue));
        painter.drawRect(sq.rect);
    }
}

} // namespace trivel
