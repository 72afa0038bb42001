#include "warp/WarpModel.h"

#include <benchmark/benchmark.h>

#include <memory>

namespace {

// Window 0 at 1920 x 1080 in the given pattern. With everyPoint, each point of the 17 x 17
// grid gets its own offset (small enough to keep the grid untangled).
std::unique_ptr<trivel::WarpState> makeWindow(std::uint8_t pattern, bool everyPoint)
{
    auto state = std::make_unique<trivel::WarpState>();
    trivel::SelectWarpPattern(*state, pattern);
    for (int k = 0; k < trivel::kGridSize; ++k) {
        for (int j = 0; j < trivel::kGridSize; ++j) {
            const bool active = trivel::ColumnMask(pattern, k) && trivel::RowMask(pattern, j);
            if (!everyPoint && !active)
                continue;
            const auto dx = static_cast<std::int16_t>((k * 7 + j * 3) % 23 - 11);
            const auto dy = static_cast<std::int16_t>((k * 5 + j * 11) % 17 - 8);
            trivel::SetPointOffset(state->current(), k, j, {dx, dy});
        }
    }
    trivel::SetCornerOffset(state->current(), trivel::TopRight, {12, -6});
    return state;
}

void BM_RebuildWarpTables17x17(benchmark::State& bench)
{
    auto state = makeWindow(trivel::Pattern17x17, true);
    for (auto _ : bench) {
        trivel::RebuildWarpTables(*state);
        benchmark::DoNotOptimize(state->SourceXTable.data());
        benchmark::DoNotOptimize(state->SourceYTable.data());
    }
}
BENCHMARK(BM_RebuildWarpTables17x17)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

void BM_RebuildWarpTables3x3(benchmark::State& bench)
{
    auto state = makeWindow(trivel::Pattern3x3, false);
    for (auto _ : bench) {
        trivel::RebuildWarpTables(*state);
        benchmark::DoNotOptimize(state->SourceXTable.data());
        benchmark::DoNotOptimize(state->SourceYTable.data());
    }
}
BENCHMARK(BM_RebuildWarpTables3x3)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

} // namespace
