// The whole procedure against random simulated rigs.

#include "align/Procedure.h"
#include "align/Patterns.h"
#include "link/Clock.h"
#include "sim/rig/RigHarness.h"
#include "sim/rig/RigTruth.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>

using namespace trivel;
using namespace trivel::align;
using namespace trivel::sim;

TEST(AlignTable, Try)
{
    const int seeds = qEnvironmentVariableIntValue("ALIGN_SEEDS") ? qEnvironmentVariableIntValue("ALIGN_SEEDS") : 4;
    const int cw = qEnvironmentVariableIntValue("ALIGN_CAM") ? qEnvironmentVariableIntValue("ALIGN_CAM") : 960;
    const WallLayout layouts[4] = {{1, 2}, {1, 3}, {2, 2}, {1, 4}};
    auto cache = std::make_shared<RigRenderCache>();
    for (int seed = 1; seed <= seeds; ++seed) {
        QElapsedTimer t;
        t.start();
        const WallLayout layout = layouts[(seed - 1) % 4];
        RandomRigRanges ranges;
        if (qEnvironmentVariableIsSet("ALIGN_NOISE"))
            ranges.cameraNoise = qEnvironmentVariable("ALIGN_NOISE").toDouble();
        if (qEnvironmentVariableIsSet("ALIGN_BLUR"))
            ranges.cameraBlur = qEnvironmentVariable("ALIGN_BLUR").toDouble();
        if (qEnvironmentVariableIsSet("ALIGN_DIST"))
            ranges.distortionMax = qEnvironmentVariable("ALIGN_DIST").toDouble();
        if (qEnvironmentVariableIsSet("ALIGN_SS"))
            ranges.supersample = qEnvironmentVariableIntValue("ALIGN_SS");
        RigScene scene(RandomRig(std::uint64_t(seed), layout, cw, cw * 9 / 16, ranges), cache);
        RigDisplay display(scene);
        RigSink sink(scene);
        RigCameraSource camera(scene);
        VirtualClock clock;
        AlignOptions o;
        o.layout = layout;
        o.framesAveraged = 1;
        o.reportPhotos = false;
        o.passes = qEnvironmentVariableIntValue("ALIGN_PASSES") ? qEnvironmentVariableIntValue("ALIGN_PASSES") : 2;
        o.framesAveraged = qEnvironmentVariableIntValue("ALIGN_FRAMES") ? qEnvironmentVariableIntValue("ALIGN_FRAMES") : 1;
        AlignProcedure proc(display, sink, camera, clock, o);
        const AlignReport r = proc.run();
        for (const QString& e : r.errors)
            printf("error: %s\n", qPrintable(e));
        if (!r.ok)
            continue;
        printf("seed %d %s photos %d renders %d time %lld ms\n", seed, qPrintable(layout.text()), r.photos,
            scene.renders(), t.elapsed());
        for (int w = 0; w < layout.windows(); ++w) {
            const auto& ws = r.solution.windows[std::size_t(w)];
            const auto truth = TableTruth(scene.rig(), w, ws.tables, ws.source);
            const auto raw = UncorrectedTruth(scene.rig(), w, r.solution.canvas);
            const auto& wr = r.windows[std::size_t(w)];
            printf("  w%d bits %d/%d fit %.3f/%.3f  truth rms %.3f worst %.3f  raw rms %.1f  measured:", w, wr.bitsX,
                wr.bitsY, wr.fitRmsX, wr.fitRmsY, truth.rms, truth.worst, raw.rms);
            for (const auto& s : wr.residual)
                printf(" [%.3f %.3f n%d]", s.rms, s.worst, s.points);
            printf("\n");
            double se = 0, me = 0, mx = 0, my = 0;
            int n = 0;
            const RigProjector& pr = scene.rig().projectors[std::size_t(w)];
            for (int y = 0; y < pr.height; y += 16)
                for (int x = 0; x < pr.width; x += 16) {
                    const double e = (proc.geometry()[std::size_t(w)].screenOf({double(x), double(y)}) - pr.screenOf({double(x), double(y)})).norm();
                    se += e * e, ++n;
                    if (e > me)
                        me = e, mx = x, my = y;
                }
            printf("     geometry rms %.3f max %.3f at %.0f,%.0f\n", std::sqrt(se / n), me, mx, my);
        }
        for (const auto& s : r.seams) {
            const auto te = TrueSeamEdges(scene.rig(), s.seam, r.solution.canvas);
            printf("  seam %d-%d edges %.2f/%.2f true %.2f/%.2f lean %.1f\n", s.seam.a, s.seam.b, s.seam.edgeInA,
                s.seam.edgeInB, te ? te->inA : -1, te ? te->inB : -1, s.seam.leanInA);
        }
    }
}

TEST(AlignTable, DebugGrid)
{
    const int seed = qEnvironmentVariableIntValue("ALIGN_SEED") ? qEnvironmentVariableIntValue("ALIGN_SEED") : 1;
    const WallLayout layouts[4] = {{1, 2}, {1, 3}, {2, 2}, {1, 4}};
    const WallLayout layout = layouts[(seed - 1) % 4];
    RigScene scene(RandomRig(std::uint64_t(seed), layout, 960, 540));
    RigDisplay display(scene);
    RigSink sink(scene);
    RigCameraSource camera(scene);
    VirtualClock clock;
    AlignOptions o;
    o.layout = layout;
    o.framesAveraged = 1;
    o.reportPhotos = false;
    o.passes = 1;
    AlignProcedure proc(display, sink, camera, clock, o);
    const AlignReport r = proc.run();
    ASSERT_TRUE(r.ok);
    for (int w = 0; w < layout.windows(); ++w) {
        const auto& ws = r.solution.windows[std::size_t(w)];
        const RigProjector& pr = scene.rig().projectors[std::size_t(w)];
        Vec2 mean;
        double se = 0;
        int n = 0;
        for (const GridCrossing& c : r.crossings) {
            if (c.window != w)
                continue;
            Vec2 x = c.output;
            for (int it = 0; it < 20; ++it) {
                const Vec2 f = SourceThroughTables(ws.tables, x) - c.source;
                const Vec2 fx = (SourceThroughTables(ws.tables, x + Vec2{0.5, 0}) - SourceThroughTables(ws.tables, x - Vec2{0.5, 0}));
                const Vec2 fy = (SourceThroughTables(ws.tables, x + Vec2{0, 0.5}) - SourceThroughTables(ws.tables, x - Vec2{0, 0.5}));
                const double det = fx.x * fy.y - fy.x * fx.y;
                x = x - Vec2{(fy.y * f.x - fy.x * f.y) / det, (-fx.y * f.x + fx.x * f.y) / det};
            }
            const Vec2 truth = pr.screenOf(x);
            const Vec2 e = c.landed - truth;
            mean = mean + e;
            se += e.x * e.x + e.y * e.y;
            ++n;
        }
        printf("w%d crossings %d measurement error mean %.3f %.3f rms %.3f\n", w, n, mean.x / n, mean.y / n, std::sqrt(se / n));
    }
}

TEST(AlignTable, DebugEdges)
{
    const int seed = qEnvironmentVariableIntValue("ALIGN_SEED") ? qEnvironmentVariableIntValue("ALIGN_SEED") : 4;
    const WallLayout layouts[4] = {{1, 2}, {1, 3}, {2, 2}, {1, 4}};
    const WallLayout layout = layouts[(seed - 1) % 4];
    RandomRigRanges ranges;
    ranges.supersample = 1;
    RigScene scene(RandomRig(std::uint64_t(seed), layout, 960, 540, ranges));
    const Photo dark = scene.photo();
    scene.content[0].mask = WhiteFrameStream();
    const Photo white = scene.photo();
    WindowDecoder dec(0, dark, white);
    const double opc = dec.outputPerCamera(1920, 1080);
    const PatternSet set = MakePatternSet(1920, 1080, BitsFor(Axis::X, 1920, 1080, 6 * opc, 32768), BitsFor(Axis::Y, 1920, 1080, 6 * opc, 32768));
    dec.setPatterns(set);
    for (std::size_t i = 1; i < set.frames.size(); ++i) {
        scene.content[0].mask = PatternStream(set, set.frames[i]);
        dec.add(set.frames[i], scene.photo());
    }
    const Correspondences c = dec.decode();
    const RigProjector& p = scene.rig().projectors[0];
    for (int axis = 0; axis < 2; ++axis) {
        const auto& edges = axis == 0 ? c.xEdges : c.yEdges;
        double s[3] = {0, 0, 0}, ss[3] = {0, 0, 0};
        int n[3] = {0, 0, 0};
        for (const EdgeSample& e : edges) {
            const auto o = p.outputOf(*scene.rig().camera.screenOf({e.camX, e.camY}));
            const double err = (axis == 0 ? o->x : o->y) - e.value;
            const int kind = e.value < 0 ? 0 : e.value > (axis == 0 ? 1900 : 1070) ? 2 : 1;
            s[kind] += err, ss[kind] += err * err, ++n[kind];
        }
        for (int k = 0; k < 3; ++k)
            printf("axis %d kind %d n %d mean %.3f rms %.3f\n", axis, k, n[k], n[k] ? s[k] / n[k] : 0, n[k] ? std::sqrt(ss[k] / n[k]) : 0);
    }
}
