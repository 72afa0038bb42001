// The JSON grid description of `trivelctl warp table --grid`: the reader, then the table
// computation on what it accepted, as the command runs them (on a 1920 x 1080 frame).

#include "cli/WarpTableCommand.h"
#include "warp/WarpModel.h"

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>

using namespace trivel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    QString error;
    const auto grid = ParseWarpGrid(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)), &error);
    if (!grid)
        return 0;
    const int pattern = grid->pattern.value_or(Pattern17x17);
    if (pattern > Pattern17x17)
        return 0; // the command refuses it before any computation
    WarpState state;
    SetWarpFrameSize(state, 1920, 1080);
    SelectWarpPattern(state, std::uint8_t(pattern));
    WarpModel& model = state.current();
    for (const auto& [point, offset] : grid->points)
        SetPointOffset(model, point.first, point.second, offset);
    for (int c = 0; c < 4; ++c)
        SetCornerOffset(model, c, grid->corners[std::size_t(c)]);
    try {
        RebuildWarpTables(state);
    } catch (const WarpMathError&) {
        // Reported to the user as "the grid cannot be computed".
    }
    return 0;
}
