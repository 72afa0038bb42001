// .mpcdi files at the box's common size: four 1920 x 1080 windows exported (target 200 ms), and
// one region read, resampled to the User Map tables and its blend recognised (target 100 ms).

#include "interchange/BlendMaps.h"
#include "interchange/ImportPlan.h"
#include "interchange/InterchangeFixtures.h" // tests/

#include <QGuiApplication>

#include <benchmark/benchmark.h>

namespace {

using namespace trivel;

// Four strongly warped windows. A rig's blend curve and black levels are usually alike in red,
// green and blue (grey maps); colour-matched rigs differ per channel (colour maps, three times
// the samples).
std::vector<WindowExport> FourWindows(bool colourMaps = true)
{
    std::vector<WindowExport> windows;
    for (int w = 0; w < 4; ++w) {
        windows.push_back(test::RandomWarpedWindow(std::uint32_t(100 + w), 1920, 1080, w));
        BlendRecord& b = windows.back().blend;
        for (int c = 1; c < 3 && !colourMaps; ++c) {
            b.setTransitionGamma(c, b.transitionGamma(0));
            b.gammaGain(c) = b.gammaGain(0);
            for (int slot = 0; slot < 9; ++slot)
                b.blackLevel(slot, c) = b.blackLevel(slot, 0);
        }
    }
    return windows;
}

void BM_ExportFourWindows(benchmark::State& state)
{
    const std::vector<WindowExport> windows = FourWindows(false);
    const QDateTime date = QDateTime::currentDateTime();
    for (auto _ : state) {
        const std::optional<QByteArray> archive = BuildMpcdiArchive(windows, date, nullptr);
        benchmark::DoNotOptimize(archive->constData());
    }
}
BENCHMARK(BM_ExportFourWindows)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

void BM_ExportFourWindowsColourMaps(benchmark::State& state)
{
    const std::vector<WindowExport> windows = FourWindows(true);
    const QDateTime date = QDateTime::currentDateTime();
    for (auto _ : state) {
        const std::optional<QByteArray> archive = BuildMpcdiArchive(windows, date, nullptr);
        benchmark::DoNotOptimize(archive->constData());
    }
}
BENCHMARK(BM_ExportFourWindowsColourMaps)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

// The parts of one window's export, to see where the time goes.
void BM_ExportOneWindowsMaps(benchmark::State& state)
{
    const WindowExport w = FourWindows()[1];
    for (auto _ : state) {
        const QImage a = AlphaMapImage(w.blend, w.width, w.height);
        const QImage b = BetaMapImage(w.blend, w.width, w.height);
        benchmark::DoNotOptimize(a.constBits());
        benchmark::DoNotOptimize(b.constBits());
    }
}
BENCHMARK(BM_ExportOneWindowsMaps)->Unit(benchmark::kMillisecond);

void BM_ExportOneWindowsGrid(benchmark::State& state)
{
    const WindowExport w = FourWindows()[1];
    for (auto _ : state) {
        const QByteArray pfm = WarpPfmOf(w);
        benchmark::DoNotOptimize(pfm.constData());
    }
}
BENCHMARK(BM_ExportOneWindowsGrid)->Unit(benchmark::kMillisecond);

void ImportRegion(benchmark::State& state, bool points)
{
    const std::vector<WindowExport> windows = FourWindows();
    const QByteArray archive = *BuildMpcdiArchive(windows, QDateTime::currentDateTime(), nullptr);
    ImportOptions options;
    options.window = 1;
    options.pointOffsets = points;
    for (auto _ : state) {
        const std::optional<MpcdiContents> c = ReadMpcdiArchive(archive, nullptr);
        const std::optional<MpcdiRegionData> r = ReadMpcdiRegion(*c, QStringLiteral("window2"), nullptr);
        const std::optional<ImportPlan> plan = PlanImport(*r, options, nullptr);
        benchmark::DoNotOptimize(plan->sourceX.data());
    }
}

void BM_ImportAndResampleToTables(benchmark::State& state)
{
    ImportRegion(state, false);
}
BENCHMARK(BM_ImportAndResampleToTables)->Unit(benchmark::kMillisecond);

void BM_ImportToPointOffsets(benchmark::State& state)
{
    ImportRegion(state, true);
}
BENCHMARK(BM_ImportToPointOffsets)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    // QImage's PNG plugin needs an application object.
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
