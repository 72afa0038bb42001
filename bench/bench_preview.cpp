// The output preview of a 1920 x 1080 window through warped tables: it has to keep up with a
// held arrow key (target: 16 ms median on one core). Prints the median of the repetitions.

#include "link/Clock.h"
#include "box/Box.h"
#include "preview/OutputPreview.h"
#include "preview/PreviewSession.h"
#include "preview/PreviewSource.h"
#include "session/Session.h"
#include "support/RecordingUi.h"
#include "warp/WarpAdjustState.h"
#include "warp/WarpModel.h"

#include <benchmark/benchmark.h>

#include <memory>

namespace {

trivel::PreviewInput WarpedInput(bool blendAndMask)
{
    auto state = std::make_unique<trivel::WarpState>();
    trivel::SelectWarpPattern(*state, trivel::Pattern17x17);
    for (int k = 0; k < trivel::kGridSize; ++k) {
        for (int j = 0; j < trivel::kGridSize; ++j) {
            const auto dx = static_cast<std::int16_t>((k * 7 + j * 3) % 23 - 11);
            const auto dy = static_cast<std::int16_t>((k * 5 + j * 11) % 17 - 8);
            trivel::SetPointOffset(state->current(), k, j, {dx, dy});
        }
    }
    trivel::SetCornerOffset(state->current(), trivel::TopRight, {12, -6});
    trivel::RebuildWarpTables(*state);

    trivel::PreviewInput in;
    in.width = 1920;
    in.height = 1080;
    in.source = trivel::PrepareSourceForFrame(
        trivel::PreviewTestPattern(QStringLiteral("grid"), 1920, 1080), 1920, 1080);
    in.sourceX.assign(state->SourceXTable.begin(), state->SourceXTable.end());
    in.sourceY.assign(state->SourceYTable.begin(), state->SourceYTable.end());
    for (int ch = 0; ch < 3; ++ch) {
        in.blend.setTransitionGamma(ch, 220);
        in.blend.gammaGain(ch) = 50;
        in.blend.colourGain(ch) = 50;
        in.blend.colourOffset(ch) = 50;
    }
    in.blend.gammaOffset() = 220;
    if (blendAndMask) {
        in.blend.setEdgeWidth(0, 300);
        in.blend.setEdgeWidth(1, 300);
        in.blend.blackLevel(0, 0) = 12;
        in.mask.kind = trivel::PreviewMask::Kind::Mono;
        in.mask.picture = trivel::MaskPicture(1920, 1080, 1);
        for (int y = 0; y < 1080; y += 3)
            in.mask.picture.setPixel(y, y, 1);
    }
    return in;
}

void BM_PreviewWarp1920x1080(benchmark::State& bench)
{
    const trivel::PreviewInput in = WarpedInput(false);
    for (auto _ : bench) {
        QImage out = trivel::RenderOutputPreview(in);
        benchmark::DoNotOptimize(out.constBits());
    }
}
BENCHMARK(BM_PreviewWarp1920x1080)->Unit(benchmark::kMillisecond)->Repetitions(7)->ReportAggregatesOnly(true);

void BM_PreviewWarpBlendMask1920x1080(benchmark::State& bench)
{
    const trivel::PreviewInput in = WarpedInput(true);
    for (auto _ : bench) {
        QImage out = trivel::RenderOutputPreview(in);
        benchmark::DoNotOptimize(out.constBits());
    }
}
BENCHMARK(BM_PreviewWarpBlendMask1920x1080)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(7)
    ->ReportAggregatesOnly(true);

void BM_PreviewWarpQuarter1920x1080(benchmark::State& bench)
{
    const trivel::PreviewInput in = WarpedInput(true);
    for (auto _ : bench) {
        QImage out = trivel::RenderOutputPreview(in, 2);
        benchmark::DoNotOptimize(out.constBits());
    }
}
BENCHMARK(BM_PreviewWarpQuarter1920x1080)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(7)
    ->ReportAggregatesOnly(true);

// What the preview window does after each nudge: the input from a session in 3x3 (the warp
// model run on the box-side offsets) and a half-size render.
void BM_PreviewNudgeRedraw(benchmark::State& bench)
{
    trivel::VirtualClock clock;
    trivel::test::RecordingUi ui;
    trivel::Box tool(clock, ui);
    trivel::Session& s = tool.session;
    s.box->warp.state().model[0].ControlPattern = trivel::WarpMode::Grid3x3;
    s.box->warp.adjust().ControlOffsets[0][22] = {36, -12};
    const QImage source = trivel::PreviewTestPattern(QStringLiteral("grid"), 1920, 1080);
    for (auto _ : bench) {
        s.box->warp.adjust().ControlOffsets[0][22].x ^= 1;
        const trivel::PreviewInput in = trivel::BuildPreviewInput(s, 0, source);
        QImage out = trivel::RenderOutputPreview(in, 2);
        benchmark::DoNotOptimize(out.constBits());
    }
}
BENCHMARK(BM_PreviewNudgeRedraw)->Unit(benchmark::kMillisecond)->Repetitions(7)->ReportAggregatesOnly(true);

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
}
