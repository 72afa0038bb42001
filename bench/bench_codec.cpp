#include "protocol/SettingCodec.h"

#include <benchmark/benchmark.h>

static void BM_EncodeSettingValue(benchmark::State& state)
{
    trivel::SettingCommand cmd = trivel::MakeSettingCommand("s00BRI+022");
    int v = -1999;
    for (auto _ : state) {
        trivel::EncodeSettingValue(v, cmd);
        benchmark::DoNotOptimize(cmd);
        v = v == 9999 ? -1999 : v + 1;
    }
}
BENCHMARK(BM_EncodeSettingValue);
