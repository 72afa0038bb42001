#include "warp/WarpModel.h"

#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <vector>

namespace trivel {
namespace {

struct Step {
    int dColumn, dRow;
    CursorPos expected;
};

struct Walk {
    const char* name;
    std::uint8_t pattern;
    CursorPos start;
    std::vector<Step> steps;
};

TEST(MoveGridCursor, StepsOverTheActivePointsOfEachPattern)
{
    const std::vector<Walk> walks{
        {"2x2", Pattern2x2, {0, 0},
            {{1, 0, {16, 0}}, {1, 0, {0, 0}}, {-1, 0, {16, 0}}, {0, 1, {16, 16}}, {0, 1, {16, 0}}}},
        {"3x3", Pattern3x3, {0, 0},
            {{1, 0, {8, 0}}, {1, 0, {16, 0}}, {0, 1, {16, 8}}, {-1, 0, {8, 8}}, {0, -1, {8, 0}}}},
        {"5x3", Pattern5x3, {0, 0},
            {{1, 0, {4, 0}}, {1, 0, {8, 0}}, {0, 1, {8, 8}}, {0, -1, {8, 0}}, {0, -1, {8, 16}}}},
        {"5x5", Pattern5x5, {16, 16}, {{-1, 0, {12, 16}}, {0, -1, {12, 12}}, {0, 1, {12, 16}}}},
        {"9x5", Pattern9x5, {0, 0}, {{1, 0, {2, 0}}, {0, 1, {2, 4}}, {-1, 0, {0, 4}}, {-1, 0, {16, 4}}}},
        {"9x9", Pattern9x9, {0, 0}, {{1, 1, {2, 2}}, {-1, -1, {0, 0}}}},
        {"17x17", Pattern17x17, {0, 0}, {{1, 0, {1, 0}}, {0, 1, {1, 1}}, {0, -1, {1, 0}}, {0, -1, {1, 16}}}},
        // WALL: the middle row and column use the corner-only masks, so the centre is skipped.
        {"wall", PatternWall, {0, 0},
            {{1, 0, {8, 0}}, {0, 1, {8, 16}}, {1, 0, {16, 16}}, {0, -1, {16, 8}}, {-1, 0, {0, 8}},
                {-1, 0, {16, 8}}, {0, 1, {16, 16}}, {1, 0, {0, 16}}}},
        {"zero step", Pattern3x3, {8, 8}, {{0, 0, {8, 8}}}},
        {"long step wraps", Pattern3x3, {8, 8}, {{20, 0, {0, 8}}, {0, -20, {0, 16}}}},
        {"unknown pattern byte", 200, {3, 3}, {{1, 0, {4, 3}}, {0, 1, {4, 4}}}},
    };
    for (const Walk& w : walks) {
        SCOPED_TRACE(w.name);
        auto s = std::make_unique<WarpState>();
        s->current().WarpPattern = w.pattern;
        s->current().GridCursor = w.start;
        for (std::size_t i = 0; i < w.steps.size(); ++i) {
            MoveGridCursor(*s, w.steps[i].dColumn, w.steps[i].dRow);
            EXPECT_EQ(s->current().GridCursor, w.steps[i].expected) << "step " << i;
        }
    }
}

TEST(MoveGridCursor, WallNeverReachesTheCentre)
{
    auto s = std::make_unique<WarpState>();
    s->current().WarpPattern = PatternWall;
    std::set<std::pair<int, int>> seen{{0, 0}};
    std::vector<CursorPos> todo{{0, 0}};
    while (!todo.empty()) {
        const CursorPos from = todo.back();
        todo.pop_back();
        for (auto [dc, dr] : {std::pair{1, 0}, {-1, 0}, {0, 1}, {0, -1}}) {
            s->current().GridCursor = from;
            MoveGridCursor(*s, dc, dr);
            const CursorPos to = s->current().GridCursor;
            if (seen.insert({to.column, to.row}).second)
                todo.push_back(to);
        }
    }
    const std::set<std::pair<int, int>> boundary{
        {0, 0}, {8, 0}, {16, 0}, {0, 8}, {16, 8}, {0, 16}, {8, 16}, {16, 16}};
    EXPECT_EQ(seen, boundary);
}

TEST(MoveControlCursor, StepsOverTheControlGridOfEachMode)
{
    const std::vector<Walk> walks{
        {"2x2", 1, {0, 0}, {{1, 0, {8, 0}}, {1, 0, {0, 0}}, {0, 1, {0, 4}}, {0, 1, {0, 0}}}},
        {"3x3", 2, {0, 0},
            {{1, 0, {4, 0}}, {1, 0, {8, 0}}, {0, 1, {8, 2}}, {0, 1, {8, 4}}, {-1, -1, {4, 2}}}},
        {"5x3", 3, {0, 0},
            {{1, 0, {2, 0}}, {-1, 0, {0, 0}}, {-1, 0, {8, 0}}, {0, -1, {8, 4}}, {0, -1, {8, 2}}}},
        {"9x5", 4, {0, 0}, {{1, 0, {1, 0}}, {0, 1, {1, 1}}, {0, -1, {1, 0}}, {0, -1, {1, 4}}}},
        {"wall", 16, {0, 0},
            {{1, 0, {4, 0}}, {0, 1, {4, 4}}, {1, 0, {8, 4}}, {0, -1, {8, 2}}, {-1, 0, {0, 2}}, {1, 0, {8, 2}},
                {1, 0, {0, 2}}, {0, -1, {0, 0}}}},
        {"off", 0, {2, 2}, {{1, 0, {2, 2}}, {0, 1, {2, 2}}}},
        {"17x17 point mode", 100, {0, 0}, {{1, 1, {0, 0}}}},
        {"user map", 6, {0, 0}, {{1, 0, {0, 0}}}},
        {"unused entry 5", 5, {0, 0}, {{1, 0, {0, 0}}}},
    };
    for (const Walk& w : walks) {
        SCOPED_TRACE(w.name);
        auto s = std::make_unique<WarpState>();
        s->current().ControlPattern = w.pattern;
        s->current().ControlCursor = w.start;
        for (std::size_t i = 0; i < w.steps.size(); ++i) {
            MoveControlCursor(*s, w.steps[i].dColumn, w.steps[i].dRow);
            EXPECT_EQ(s->current().ControlCursor, w.steps[i].expected) << "step " << i;
        }
    }
}

} // namespace
} // namespace trivel
