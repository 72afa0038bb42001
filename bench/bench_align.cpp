// The alignment procedure over 50 random simulated rigs at full camera resolution (1920 x 1080):
// accuracy after one and two passes against the rig's own model, the blend ramps against the true
// overlaps, the uncorrected wall beside them, the 17x17 point mode on a few rigs, and what the
// patterns cost the box (frames, bytes, round trips at 1 ms each) and the whole procedure.
//
//   build-release/bench/bench_align [RIGS] [FIRST_SEED]

#include "align/Procedure.h"
#include "link/Clock.h"
#include "sim/rig/RigHarness.h"
#include "sim/rig/RigTruth.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

using namespace trivel;
using namespace trivel::align;
using namespace trivel::sim;

namespace {

const WallLayout kLayouts[4] = {{1, 2}, {1, 3}, {2, 2}, {1, 4}};

struct Row {
    int seed = 0;
    WallLayout layout;
    bool ok = false;
    QString errors;
    ResidualStats uncorrected, first, second;
    double seamEdge = 0.0; // worst ramp end against the true overlap edge
    int corrected = 0; // windows a verification corrected
    PatternCost patterns; // all windows
    int roundTrips = 0;
    int photos = 0;
    qint64 settleMs = 0;
    double seconds = 0.0; // the whole run in process, the simulation's rendering included
};

void Merge(ResidualStats& into, const ResidualStats& s)
{
    into.rms = std::sqrt(
        (into.rms * into.rms * into.points + s.rms * s.rms * s.points) / std::max(1, into.points + s.points));
    into.points += s.points;
    into.worst = std::max(into.worst, s.worst);
}

Row Run(int seed, bool pointMode, const std::shared_ptr<RigRenderCache>& cache)
{
    Row row;
    row.seed = seed;
    row.layout = kLayouts[(seed - 1) % 4];
    RigScene scene(RandomRig(std::uint64_t(seed), row.layout), cache);
    RigDisplay display(scene);
    RigSink sink(scene);
    RigCameraSource camera(scene);
    VirtualClock clock;
    AlignOptions o;
    o.layout = row.layout;
    o.reportPhotos = false;
    if (pointMode) {
        o.pointMode = true;
        o.solve.input = InputMode::Tiled;
        o.passes = 1;
    }
    AlignProcedure procedure(display, sink, camera, clock, o);
    QElapsedTimer t;
    t.start();
    const AlignReport r = procedure.run();
    row.seconds = t.nsecsElapsed() / 1e9;
    row.ok = r.ok && r.sent;
    row.errors = r.errors.join(QLatin1Char(' '));
    if (!row.ok)
        return row;
    const Rig& rig = scene.rig();
    for (int w = 0; w < row.layout.windows(); ++w) {
        const auto& sent = sink.tablesSent[std::size_t(w)];
        const SourcePlacement& source = r.solution.windows[std::size_t(w)].source;
        Merge(row.first, TableTruth(rig, w, sent.front(), source));
        Merge(row.second, TableTruth(rig, w, sent.back(), source));
        Merge(row.uncorrected, UncorrectedTruth(rig, w, r.solution.canvas));
        row.patterns += r.windows[std::size_t(w)].patterns;
        row.corrected += r.windows[std::size_t(w)].corrected;
    }
    for (const Seam& s : r.solution.seams) {
        const auto truth = TrueSeamEdges(rig, s, r.solution.canvas);
        const BlendPlan& a = r.solution.windows[std::size_t(s.a)].blend;
        const BlendPlan& b = r.solution.windows[std::size_t(s.b)].blend;
        const double size
            = s.sideBySide ? rig.projectors[std::size_t(s.a)].width : rig.projectors[std::size_t(s.a)].height;
        row.seamEdge = std::max(
            {row.seamEdge, truth ? std::abs(size - 0.5 - a.width[s.sideBySide ? 1 : 3] - truth->inA) : 1e9,
                truth ? std::abs(b.width[s.sideBySide ? 0 : 2] - 0.5 - truth->inB) : 1e9});
    }
    row.roundTrips = r.roundTrips;
    row.photos = r.photos;
    row.settleMs = r.settleMs;
    return row;
}

double Median(std::vector<double> v)
{
    if (v.empty())
        return 0.0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int rigs = argc > 1 ? std::max(1, QString::fromLocal8Bit(argv[1]).toInt()) : 50;
    const int first = argc > 2 ? QString::fromLocal8Bit(argv[2]).toInt() : 1;
    auto cache = std::make_shared<RigRenderCache>();
    std::printf("camera 1920 x 1080, three frames a photo, two passes; screen pixels\n");
    std::printf("seed layout | uncorrected rms worst | pass 1 rms worst | pass 2 rms worst | seam | frames "
                "round trips | s\n");
    std::vector<Row> rows;
    for (int seed = first; seed < first + rigs; ++seed) {
        const Row r = Run(seed, false, cache);
        rows.push_back(r);
        if (!r.ok) {
            std::printf("%4d %s   FAILED: %s\n", seed, qPrintable(r.layout.text()), qPrintable(r.errors));
            continue;
        }
        std::printf("%4d %s    | %8.1f %7.1f | %7.3f %6.3f | %7.3f %6.3f%s | %4.2f | %4d %6d | %5.1f\n", seed,
            qPrintable(r.layout.text()), r.uncorrected.rms, r.uncorrected.worst, r.first.rms, r.first.worst,
            r.second.rms, r.second.worst, r.corrected ? "*" : " ", r.seamEdge, r.patterns.frames,
            r.roundTrips, r.seconds);
        std::fflush(stdout);
    }
    int ran = 0, firstGood = 0, secondGood = 0, seamsGood = 0;
    double worstSecond = 0.0, worstSeam = 0.0;
    std::vector<double> rms1, rms2, raw;
    PatternCost fourWindows;
    int fourRigs = 0, fourRoundTrips = 0, fourPhotos = 0;
    qint64 fourSettle = 0;
    for (const Row& r : rows) {
        if (!r.ok)
            continue;
        ++ran;
        firstGood += r.first.rms <= 0.5 && r.first.worst <= 1.5;
        secondGood += r.second.worst < 1.0;
        seamsGood += r.seamEdge <= 2.0;
        worstSecond = std::max(worstSecond, r.second.worst);
        worstSeam = std::max(worstSeam, r.seamEdge);
        rms1.push_back(r.first.rms);
        rms2.push_back(r.second.rms);
        raw.push_back(r.uncorrected.rms);
        if (r.layout.windows() == 4) {
            ++fourRigs;
            fourWindows += r.patterns;
            fourRoundTrips += r.roundTrips;
            fourPhotos += r.photos;
            fourSettle += r.settleMs;
        }
    }
    std::printf(
        "\n%d of %d rigs ran; pass 1 within 0.5 RMS and 1.5 worst: %d (%.0f %%); pass 2 worst under 1: %d "
        "(worst %.3f); blend ramps within 2 px of the true overlaps: %d (worst %.2f)\n",
        ran, rigs, firstGood, 100.0 * firstGood / std::max(1, rigs), secondGood, worstSecond, seamsGood,
        worstSeam);
    std::printf(
        "median RMS: uncorrected %.1f, pass 1 %.3f, pass 2 %.3f\n", Median(raw), Median(rms1), Median(rms2));
    if (fourRigs) {
        const double perWindowFrames = double(fourWindows.frames) / (4.0 * fourRigs);
        const double perWindowBytes = double(fourWindows.bytes) / (4.0 * fourRigs);
        const double trips = double(fourRoundTrips) / fourRigs, photos = double(fourPhotos) / fourRigs;
        std::printf(
            "four windows, per rig: %.1f pattern frames and %.0f KiB a window; %.0f box round trips in all "
            "(%.1f s at 1 ms each); %.0f photos, %.1f s of settling at 250 ms, %.1f s of camera frames at "
            "30 fps (3 a photo): about %.0f s for a real box\n",
            perWindowFrames, perWindowBytes / 1024.0, trips, trips / 1000.0, photos,
            fourSettle / 1000.0 / fourRigs, photos * 3 / 30.0,
            trips / 1000.0 + fourSettle / 1000.0 / fourRigs + photos * 3 / 30.0);
    }
    // The 17x17 point mode instead of the tables, with tiled inputs: whole-pixel offsets and the
    // box's own splines between the points.
    std::printf("\n17x17 point mode, tiled inputs, one pass:\n");
    for (int seed = first; seed < first + std::min(rigs, 8); ++seed) {
        const Row r = Run(seed, true, cache);
        if (r.ok)
            std::printf("%4d %s    | pass 1 %7.3f %6.3f\n", seed, qPrintable(r.layout.text()), r.first.rms,
                r.first.worst);
        else
            std::printf("%4d %s    | %s\n", seed, qPrintable(r.layout.text()), qPrintable(r.errors));
    }
    return ran == rigs ? 0 : 1;
}
