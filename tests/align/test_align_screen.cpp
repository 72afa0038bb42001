// The patterns on a screen of the PC: the full-screen window shows what the box's mask preview
// and test grid would show; a whole run with the PC feeding a simulated wall still sends its
// warp and blend to the box; and a canvas marked on the camera picture is where the wall ends up.

#include "align/PatternPicture.h"
#include "align/Procedure.h"
#include "align/Solve.h"
#include "align/screen/PatternScreen.h"
#include "link/Clock.h"
#include "sim/rig/RigHarness.h"
#include "sim/rig/RigTruth.h"

#include <QGuiApplication>
#include <QScreen>

#include <gtest/gtest.h>

#include <cstdio>

using namespace trivel;
using namespace trivel::align;
using namespace trivel::sim;

namespace {

// What the box shows on a window of that frame for this content, through no warp.
QImage BoxShows(const WindowContent& content, int width, int height)
{
    return RenderOutputPreview(PreviewInputOf(content, width, height)).convertToFormat(QImage::Format_RGB32);
}

QImage Grabbed(PatternScreen& screen)
{
    return screen.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// The differing pixels, for a message that says where.
QString Differences(const QImage& a, const QImage& b)
{
    if (a.size() != b.size())
        return QStringLiteral("sizes %1x%2 and %3x%4")
            .arg(a.width())
            .arg(a.height())
            .arg(b.width())
            .arg(b.height());
    int count = 0;
    QString first;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (a.pixel(x, y) != b.pixel(x, y) && count++ == 0)
                first = QStringLiteral("first at %1, %2: %3 against %4")
                            .arg(x)
                            .arg(y)
                            .arg(a.pixel(x, y), 8, 16)
                            .arg(b.pixel(x, y), 8, 16);
    return count ? QStringLiteral("%1 pixels differ, %2").arg(count).arg(first) : QString();
}

struct PatternCase {
    const char* name;
    std::function<WindowContent(const PatternSet&)> content;
};

} // namespace

// Each pattern the procedure shows, on a screen the frame's size and on one twice its size
// (each frame pixel then 2 x 2 screen pixels): pixel for pixel what the box's preview shows.
TEST(AlignScreen, TheScreenShowsWhatTheBoxWouldShow)
{
    QScreen* primary = ScreenNumber(0);
    ASSERT_NE(primary, nullptr);
    const QSize screenSize = primary->geometry().size();
    const auto mask = [](int frame) {
        return [frame](const PatternSet& set) {
            WindowContent c;
            c.mask = frame < 0 ? WhiteFrameStream() : PatternStream(set, set.frames[std::size_t(frame)]);
            return c;
        };
    };
    const PatternCase cases[] = {
        {"white frame", mask(-1)},
        {"coarsest columns", mask(1)},
        {"coarsest columns, inverse", mask(2)},
        {"finest columns, inverse", mask(10)},
        {"coarsest rows", mask(11)},
        {"finest rows", mask(17)},
        {"finest rows, inverse", mask(18)},
        {"test grid",
            [](const PatternSet&) {
                WindowContent c;
                c.grid = GridSpec{40, 3};
                return c;
            }},
        {"test grid, even lines",
            [](const PatternSet&) {
                WindowContent c;
                c.grid = GridSpec{24, 2};
                return c;
            }},
    };
    for (const int zoom : {1, 2}) {
        const QSize frame = screenSize / zoom;
        const PatternSet set = MakePatternSet(frame.width(), frame.height(), 5, 4);
        ASSERT_EQ(set.frames.size(), 19u);
        PatternScreen screen;
        screen.showOn(primary);
        ASSERT_EQ(screen.size(), screenSize);
        ScreenPatternDisplay display(screen, {frame, frame, frame, frame}, nullptr, nullptr);
        for (const PatternCase& pc : cases) {
            SCOPED_TRACE(std::string(pc.name) + (zoom == 2 ? ", zoomed" : ""));
            const WindowContent content = pc.content(set);
            QString error;
            ASSERT_TRUE(content.grid ? display.showGrid(1, *content.grid, error)
                                     : display.showMask(1, content.mask, error))
                << qPrintable(error);
            const QImage expected = BoxShows(content, frame.width(), frame.height())
                                        .scaled(screenSize, Qt::IgnoreAspectRatio, Qt::FastTransformation);
            const QString diff = Differences(Grabbed(screen), expected);
            EXPECT_TRUE(diff.isEmpty()) << qPrintable(diff);
        }
        QString error;
        ASSERT_TRUE(display.blank(1, error));
        EXPECT_TRUE(
            Differences(Grabbed(screen), BoxShows({}, screenSize.width(), screenSize.height())).isEmpty());
        ASSERT_TRUE(display.release(1, error));
        EXPECT_FALSE(screen.isVisible());
    }
}

namespace {

// The box's side of the screen source: which calls it got.
class RecordingDisplay final : public PatternDisplay {
public:
    QStringList calls;
    bool showMask(int w, const MaskBytes& stream, QString&) override
    {
        calls
            << QStringLiteral("mask %1 %2").arg(w + 1).arg(stream == BlackFrameStream() ? "black" : "other");
        return true;
    }
    bool showGrid(int w, const GridSpec&, QString&) override
    {
        calls << QStringLiteral("grid %1").arg(w + 1);
        return true;
    }
    bool blank(int w, QString&) override
    {
        calls << QStringLiteral("off %1").arg(w + 1);
        return true;
    }
    bool release(int w, QString&) override
    {
        calls << QStringLiteral("release %1").arg(w + 1);
        return true;
    }
};

} // namespace

// The box holds every window black but the one being measured, each change sent once; the black
// hold is dark on the box's preview too (its colour all zero would mean white there).
TEST(AlignScreen, TheBoxHoldsTheOtherWindowsBlack)
{
    PatternScreen screen;
    screen.resize(320, 180);
    RecordingDisplay box;
    const QSize f(320, 180);
    ScreenPatternDisplay display(screen, {f, f, f, f}, &box, nullptr);
    QString e;
    ASSERT_TRUE(display.blank(0, e) && display.blank(1, e) && display.blank(1, e));
    ASSERT_TRUE(display.showMask(0, WhiteFrameStream(), e) && display.showMask(0, WhiteFrameStream(), e));
    ASSERT_TRUE(
        display.blank(0, e) && display.showGrid(1, GridSpec{}, e) && display.showGrid(0, GridSpec{}, e));
    ASSERT_TRUE(display.release(0, e) && display.release(1, e));
    EXPECT_EQ(box.calls.join(QLatin1String(", ")),
        QStringLiteral(
            "mask 1 black, mask 2 black, off 1, mask 1 black, off 2, off 1, release 1, release 2"));
    // A run that ends early (a dry run, a refusal) leaves no window held.
    RecordingDisplay early;
    {
        ScreenPatternDisplay ended(screen, {f, f, f, f}, &early, nullptr);
        ASSERT_TRUE(ended.blank(0, e) && ended.blank(2, e) && ended.showMask(0, WhiteFrameStream(), e));
    }
    EXPECT_EQ(
        early.calls.join(QLatin1String(", ")), QStringLiteral("mask 1 black, mask 3 black, off 1, off 3"));
    WindowContent held;
    held.mask = BlackFrameStream();
    const QImage dark = BoxShows(held, 64, 32);
    for (int y = 0; y < dark.height(); ++y)
        for (int x = 0; x < dark.width(); ++x)
            ASSERT_LE(qRed(dark.pixel(x, y)) + qGreen(dark.pixel(x, y)) + qBlue(dark.pixel(x, y)), 1);
    EXPECT_EQ(MaskPatternPicture(BlackFrameStream(), 64, 32), dark);
}

namespace {

// The rig's camera with the PC feeding the box: every window's input is the pattern screen as
// it is when the photo is taken.
class FedCamera final : public CameraSource {
public:
    FedCamera(RigScene& scene, PatternScreen& screen)
        : m_rig(scene)
        , m_scene(scene)
        , m_screen(screen)
    {
    }
    bool open(QString& e) override { return m_rig.open(e); }
    std::optional<Photo> grab(QString& e) override
    {
        const QImage input = m_screen.isVisible() ? Grabbed(m_screen) : QImage();
        for (WindowContent& c : m_scene.content)
            c.input = input;
        return m_rig.grab(e);
    }
    std::optional<LensModel> lens() const override { return m_rig.lens(); }
    std::optional<ScreenMarks> marks() const override { return m_rig.marks(); }
    QString describe() const override { return m_rig.describe(); }

private:
    RigCameraSource m_rig;
    RigScene& m_scene;
    PatternScreen& m_screen;
};

AlignOptions QuickOptions(WallLayout layout)
{
    AlignOptions o;
    o.layout = layout;
    o.framesAveraged = 1;
    o.reportPhotos = false;
    return o;
}

void Merge(ResidualStats& into, const ResidualStats& s)
{
    into.rms = std::sqrt(
        (into.rms * into.rms * into.points + s.rms * s.rms * s.points) / std::max(1, into.points + s.points));
    into.points += s.points;
    into.worst = std::max(into.worst, s.worst);
}

} // namespace

// A 1x2 wall whose windows show the PC's screen: patterns and grids on the screen, every other
// window held black by the box, the tables and blends to the box's sink; judged by the rig's own
// model against the same targets as the box's patterns.
TEST(AlignScreen, APcFedWallIsAlignedThroughTheBoxsSink)
{
    RigScene scene(RandomRig(5, {1, 2}, 960, 540));
    RigDisplay box(scene);
    RigSink sink(scene);
    PatternScreen screen;
    screen.resize(1920, 1080); // the windows' frame: the box takes the PC's picture 1:1
    screen.show();
    const QSize f(1920, 1080);
    ScreenPatternDisplay display(screen, {f, f, f, f}, &box, nullptr);
    FedCamera camera(scene, screen);
    VirtualClock clock;
    AlignProcedure procedure(display, sink, camera, clock, QuickOptions({1, 2}));
    const AlignReport report = procedure.run();
    ASSERT_TRUE(report.ok && report.sent) << qPrintable(report.errors.join(QLatin1Char(' ')));
    ASSERT_EQ(sink.undoFiles, 1);
    ASSERT_EQ(sink.tablesSent.size(), 2u);
    ResidualStats all;
    for (int w = 0; w < 2; ++w) {
        ASSERT_FALSE(sink.tablesSent[std::size_t(w)].empty());
        Merge(all,
            TableTruth(scene.rig(), w, sink.tablesSent[std::size_t(w)].back(),
                report.solution.windows[std::size_t(w)].source));
        // The blend went to the box: its overlap side has a ramp.
        EXPECT_GT(report.solution.windows[std::size_t(w)].blend.width[w == 0 ? 1 : 0], 0);
    }
    const std::size_t tables = sink.tablesSent[0].size() + sink.tablesSent[1].size();
    EXPECT_EQ(std::size_t(sink.sends), tables + 2); // and a blend per window
    std::printf("PC-fed 1x2 wall: RMS %.3f, worst %.3f screen pixels over %d points\n", all.rms, all.worst,
        all.points);
    EXPECT_LE(all.rms, 0.5);
    EXPECT_LE(all.worst, 1.5);
    EXPECT_FALSE(screen.isVisible()); // released at the end
}

// The marks' screen rectangle keeps the quadrilateral's mean sides; corners out of order, in a
// line or too close together are no area.
TEST(AlignScreen, CanvasMarksNeedFourCornersRoundAnArea)
{
    const LensModel none{1000, 1000, 480, 270};
    const auto marks
        = CanvasMarks({Vec2{100, 100}, Vec2{300, 110}, Vec2{310, 210}, Vec2{90, 200}}, none, 2.0);
    ASSERT_TRUE(marks);
    EXPECT_NEAR(marks->screen[2].x, (std::hypot(200, 10) + std::hypot(220, 10)) * 0.5 * 2.0, 1e-9);
    EXPECT_NEAR(marks->screen[2].y, std::hypot(10, 100) * 2.0, 1e-9);
    EXPECT_EQ(marks->screen[0].x, 0.0);
    const std::array<Vec2, 4> bad[] = {
        {Vec2{100, 100}, Vec2{100, 200}, Vec2{300, 200}, Vec2{300, 100}}, // anticlockwise
        {Vec2{100, 100}, Vec2{300, 100}, Vec2{100, 200}, Vec2{300, 200}}, // crossed
        {Vec2{100, 100}, Vec2{200, 100}, Vec2{300, 100}, Vec2{150, 100}}, // a line
        {Vec2{100, 100}, Vec2{102, 100}, Vec2{102, 102}, Vec2{100, 102}}, // a dot
    };
    for (const auto& corners : bad)
        EXPECT_FALSE(CanvasMarks(corners, none, 1.0));
    EXPECT_FALSE(CanvasMarks({Vec2{100, 100}, Vec2{300, 110}, Vec2{310, 210}, Vec2{90, 200}}, none, 0.0));
}

// Corners marked on the camera picture inside the wall: the canvas fills exactly that area on the
// screen (the rig's own model, a margin in from the largest rectangle), within the targets.
TEST(AlignScreen, TheCanvasFillsTheMarkedArea)
{
    RigScene scene(RandomRig(9, {1, 2}, 960, 540));
    RigDisplay display(scene);
    RigSink sink(scene);
    RigCameraSource camera(scene);
    VirtualClock clock;
    AlignOptions dry = QuickOptions({1, 2});
    dry.dryRun = true;
    const AlignReport first = AlignProcedure(display, sink, camera, clock, dry).run();
    ASSERT_TRUE(first.ok) << qPrintable(first.errors.join(QLatin1Char(' ')));
    // The rig's marks make the first canvas the rig's screen frame; the marked area lies inside it.
    const Rect c = first.solution.canvas;
    const Rect marked{c.left + 0.1 * c.width(), c.top + 0.12 * c.height(), c.right - 0.07 * c.width(),
        c.bottom - 0.09 * c.height()};
    const RigCamera& cam = scene.rig().camera;
    AlignOptions options = QuickOptions({1, 2});
    options.canvasCorners
        = std::array<Vec2, 4>{cam.photoOf({marked.left, marked.top}), cam.photoOf({marked.right, marked.top}),
            cam.photoOf({marked.right, marked.bottom}), cam.photoOf({marked.left, marked.bottom})};
    const AlignReport report = AlignProcedure(display, sink, camera, clock, options).run();
    ASSERT_TRUE(report.ok && report.sent) << qPrintable(report.errors.join(QLatin1Char(' ')));
    EXPECT_TRUE(report.warnings.isEmpty()) << qPrintable(report.warnings.join(QLatin1Char('\n')));
    // The solution's screen frame is the marked rectangle scaled: back into the rig's frame.
    const Rect s = report.solution.canvas;
    EXPECT_NEAR(
        s.width() / s.height(), marked.width() / marked.height(), 0.03 * marked.width() / marked.height());
    ResidualStats all;
    for (int w = 0; w < 2; ++w) {
        const SourcePlacement& p = report.solution.windows[std::size_t(w)].source;
        const auto rigX = [&](double x) { return marked.left + (x - s.left) / s.width() * marked.width(); };
        const auto rigY = [&](double y) { return marked.top + (y - s.top) / s.height() * marked.height(); };
        const SourcePlacement inRig{
            Rect{rigX(p.screen.left), rigY(p.screen.top), rigX(p.screen.right), rigY(p.screen.bottom)},
            p.frameWidth, p.frameHeight};
        Merge(all, TableTruth(scene.rig(), w, sink.tablesSent[std::size_t(w)].back(), inRig));
    }
    EXPECT_GT(all.points, 1000);
    std::printf(
        "marked canvas: RMS %.3f, worst %.3f screen pixels over %d points\n", all.rms, all.worst, all.points);
    EXPECT_LE(all.rms, 0.5);
    EXPECT_LE(all.worst, 1.5);

    // Out of order: refused before anything is sent.
    std::swap((*options.canvasCorners)[1], (*options.canvasCorners)[3]);
    const int sends = sink.sends;
    const AlignReport refused = AlignProcedure(display, sink, camera, clock, options).run();
    EXPECT_FALSE(refused.ok);
    EXPECT_EQ(sink.sends, sends);
    EXPECT_TRUE(refused.errors.join(QLatin1Char(' ')).contains(QStringLiteral("top left, top right")));
}
