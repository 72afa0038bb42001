// What the procedure says when the wall or the camera is not as it should be: each case names the
// window and what to fix, and nothing reaches the box.

#include "align/Procedure.h"
#include "link/Clock.h"
#include "sim/rig/RigHarness.h"

#include <gtest/gtest.h>

#include <functional>

using namespace trivel;
using namespace trivel::align;
using namespace trivel::sim;

namespace {

// A camera that loses one photo: the window it shows has gone black in that one picture.
class LosingCamera : public RigCameraSource {
public:
    LosingCamera(RigScene& scene, int lose)
        : RigCameraSource(scene)
        , m_scene(scene)
        , m_lose(lose)
    {
    }
    std::optional<Photo> grab(QString& error) override
    {
        if (++m_grabs != m_lose)
            return RigCameraSource::grab(error);
        const std::vector<WindowContent> shown = m_scene.content;
        for (WindowContent& c : m_scene.content)
            c.mask.clear();
        Photo p = m_scene.photo();
        m_scene.content = shown;
        return p;
    }

private:
    RigScene& m_scene;
    int m_lose;
    int m_grabs = 0;
};

Rig TestRig(const std::function<void(Rig&)>& change)
{
    Rig rig = RandomRig(5, {1, 2}, 640, 360);
    if (change)
        change(rig);
    return rig;
}

struct Wall {
    explicit Wall(const std::function<void(Rig&)>& change = {})
        : scene(TestRig(change))
        , display(scene)
        , sink(scene)
    {
        options.layout = {1, 2};
        options.framesAveraged = 1;
        options.passes = 1;
        options.reportPhotos = false;
    }
    AlignReport run(CameraSource* camera = nullptr)
    {
        RigCameraSource own(scene);
        AlignProcedure p(display, sink, camera ? *camera : own, clock, options);
        return p.run();
    }
    RigScene scene;
    RigDisplay display;
    RigSink sink;
    VirtualClock clock;
    AlignOptions options;
};

struct Trouble {
    const char* name;
    std::function<void(Rig&)> rig; // how the wall differs
    std::function<AlignReport(Wall&)> run; // what happens while it runs
    QStringList expected; // fragments of the one message
};

void PrintTo(const Trouble& t, std::ostream* os)
{
    *os << t.name;
}

Homography Zoom(double by, double cx, double cy)
{
    Homography h;
    h.m = {by, 0, cx * (1 - by), 0, by, cy * (1 - by), 0, 0, 1};
    return h;
}

const Trouble kTroubles[] = {
    {"CameraSeesPartOfAWindow",
        [](Rig& rig) { rig.camera.fromScreen = Zoom(1.25, 320, 180) * rig.camera.fromScreen; },
        [](Wall& w) { return w.run(); }, {"The camera sees only part of window 1", "left", "zoom out"}},
    {"WindowOff", {},
        [](Wall& w) {
            w.scene.setProjectorOn(1, false);
            return w.run();
        },
        {"window 2 shows nothing to the camera", "projector is on"}},
    {"CameraBumpedDuringThePatterns", {},
        [](Wall& w) {
            w.display.beforeChange = [&w](int shows) {
                if (shows == 8) // window 1, a few patterns in
                    w.scene.moveCamera({1.5, -1.0});
            };
            return w.run();
        },
        {"window 1", "Keep both still and run again"}},
    {"PhotoLost", {},
        [](Wall& w) {
            LosingCamera camera(w.scene, 6); // dark, white, then the fourth pattern of window 1
            return w.run(&camera);
        },
        {"Window 1: the photos of patterns 4 and 5 do not decode"}},
    {"OverExposed", [](Rig& rig) { rig.camera.exposure *= 3.0; }, [](Wall& w) { return w.run(); },
        {"window 1 is over-exposed", "shorten the exposure"}},
    {"UnderExposed", [](Rig& rig) { rig.camera.exposure /= 15.0; }, [](Wall& w) { return w.run(); },
        {"window 1 is under-exposed", "lengthen the exposure"}},
    {"LayoutDoesNotMatchTheWall", {},
        [](Wall& w) {
            w.options.layout = {2, 1}; // the rig stands side by side
            return w.run();
        },
        {"window 1 and window 2 do not overlap", "layout 2x1", "check the layout"}},
    {"UndoFileCannotBeSaved", {},
        [](Wall& w) {
            w.sink.refuseUndo = true;
            return w.run();
        },
        {"setting file could not be saved, so nothing was sent"}},
};

class AlignTrouble : public testing::TestWithParam<Trouble> { };

} // namespace

TEST_P(AlignTrouble, SaysWhatToFixAndSendsNothing)
{
    Wall wall(GetParam().rig);
    const AlignReport r = GetParam().run(wall);
    EXPECT_FALSE(r.ok);
    EXPECT_FALSE(r.sent);
    EXPECT_EQ(wall.sink.sends, 0);
    ASSERT_FALSE(r.errors.isEmpty());
    const QString all = r.errors.join(QLatin1Char('\n'));
    for (const QString& fragment : GetParam().expected)
        EXPECT_TRUE(all.contains(fragment, Qt::CaseInsensitive))
            << qPrintable(all) << "\n  missing: " << qPrintable(fragment);
}

INSTANTIATE_TEST_SUITE_P(Align, AlignTrouble, testing::ValuesIn(kTroubles),
    [](const testing::TestParamInfo<Trouble>& i) { return std::string(i.param.name); });

// A dry run solves and reports but leaves the box alone; the waits go through the clock.
TEST(AlignProcedureRun, DryRunSendsNothingAndNeverSleeps)
{
    Wall wall;
    wall.options.dryRun = true;
    wall.options.settleMs = 400;
    const AlignReport r = wall.run();
    ASSERT_TRUE(r.ok) << qPrintable(r.errors.join(QLatin1Char(' ')));
    EXPECT_FALSE(r.sent);
    EXPECT_EQ(wall.sink.undoFiles, 0);
    EXPECT_EQ(wall.sink.sends, 0);
    EXPECT_EQ(r.solution.windows.size(), 2u);
    ASSERT_EQ(int(wall.clock.waits().size()), r.photos);
    for (const auto& wait : wall.clock.waits())
        EXPECT_EQ(wait.ms, 400);
    EXPECT_EQ(r.settleMs, 400 * r.photos);
}

// A full run: undo file first, then tables, verification, blends, and the windows back to normal;
// the report has its pictures and counts what the box was asked.
TEST(AlignProcedureRun, SavesTheUndoFileFirstAndReportsEverything)
{
    Wall wall;
    wall.options.reportPhotos = true;
    std::vector<std::string> order;
    wall.display.beforeChange = [&](int) {
        if (wall.sink.undoFiles && order.empty())
            order.push_back("display after undo");
    };
    const AlignReport r = wall.run();
    ASSERT_TRUE(r.ok) << qPrintable(r.errors.join(QLatin1Char(' ')));
    EXPECT_TRUE(r.sent);
    EXPECT_EQ(wall.sink.undoFiles, 1);
    EXPECT_EQ(r.undoFile, QStringLiteral("rig-before-align.WBF"));
    EXPECT_EQ(wall.sink.sends, 2 + 2); // tables and blend for each window
    EXPECT_FALSE(r.before.isNull());
    EXPECT_FALSE(r.after.isNull());
    EXPECT_FALSE(r.heatMap.isNull());
    ASSERT_EQ(r.windows.size(), 2u);
    for (const WindowReport& w : r.windows) {
        EXPECT_EQ(w.residual.size(), 1u);
        EXPECT_GT(w.residual[0].points, 10);
        EXPECT_EQ(w.patterns.frames, 2 + 2 * (w.bitsX + w.bitsY)); // white, stripes, white again
    }
    ASSERT_EQ(r.seams.size(), 1u);
    EXPECT_GT(r.seams[0].residual[0].points, 0);
    EXPECT_GT(r.roundTrips, r.windows[0].patterns.roundTrips + r.windows[1].patterns.roundTrips);
    for (const WindowContent& c : wall.scene.content) { // released: no pattern, no grid
        EXPECT_TRUE(c.mask.empty());
        EXPECT_FALSE(c.grid.has_value());
    }
}

namespace {

// A window whose verification grid was not seen has no residual to show: a figure of 0 would read
// as a perfect alignment.
TEST(ResidualText, NoFigureWithoutEnoughCrossings)
{
    struct Case {
        std::vector<double> residuals;
        const char* text;
    };
    const Case cases[] = {
        {{}, "not verified, the grid was not seen"},
        {{0.1, 0.2, 0.3}, "not verified, the grid was not seen"},
        {{0.3, 0.4, 0.0, 0.0}, "RMS 0.25, worst 0.40"},
    };
    for (const Case& c : cases) {
        ResidualStats r;
        for (double v : c.residuals)
            r.add(v);
        r.finish();
        EXPECT_EQ(ResidualText(r, 2).toStdString(), c.text) << r.points;
    }
}

} // namespace
