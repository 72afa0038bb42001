#include "align/Procedure.h"

#include "link/Clock.h"

#include <algorithm>
#include <cmath>

Q_LOGGING_CATEGORY(lcAlign, "trivel.align")

namespace trivel::align {

AlignProcedure::AlignProcedure(
    PatternDisplay& display, ResultSink& sink, CameraSource& camera, Clock& clock, AlignOptions options)
    : m_display(display)
    , m_sink(sink)
    , m_camera(camera)
    , m_clock(clock)
    , m_options(std::move(options))
{
}

void AlignProcedure::say(const QString& text)
{
    qCInfo(lcAlign).noquote() << text;
    if (m_progress)
        m_progress->step(text);
}

bool AlignProcedure::fail(const QString& message)
{
    m_report.errors << message;
    return false;
}

AlignReport AlignProcedure::run()
{
    m_report = {};
    m_geometry.clear();
    m_view.reset();
    const int windows = m_options.layout.windows();
    m_report.windows.resize(std::size_t(windows));
    QString error;
    say(QStringLiteral("Opening the camera: %1").arg(m_camera.describe()));
    if (!m_camera.open(error)) {
        fail(QStringLiteral("The camera cannot be opened: %1").arg(error));
        return m_report;
    }
    if (m_options.reportPhotos && !wallPhoto(m_report.before))
        return m_report;
    for (int w = 0; w < windows; ++w)
        if (!blank(w))
            return m_report;
    say(QStringLiteral("Photographing the dark wall"));
    if (!capture(m_dark) || !measureWindows() || !solve())
        return m_report;
    if (m_options.dryRun) {
        say(QStringLiteral("Dry run: nothing sent"));
        m_report.ok = true;
        return m_report;
    }
    say(QStringLiteral("Saving the box's setting file"));
    if (!m_sink.saveUndoFile(m_report.undoFile, error)) {
        fail(QStringLiteral("The box's setting file could not be saved, so nothing was sent: %1").arg(error));
        return m_report;
    }
    if (!send(true))
        return m_report;
    m_report.sent = true;
    for (int pass = 1; pass <= std::max(1, m_options.passes); ++pass) {
        if (!verify(pass))
            return m_report;
        if (pass == std::max(1, m_options.passes))
            break;
        const Correction c = correct();
        if (c == Correction::Failed)
            return m_report;
        if (c == Correction::None)
            break;
    }
    if (!send(false))
        return m_report;
    if (m_options.reportPhotos && !wallPhoto(m_report.after))
        return m_report;
    for (int w = 0; w < windows; ++w)
        if (!m_display.release(w, error))
            m_report.warnings
                << QStringLiteral("%1 could not be set back to its input: %2").arg(WindowTitle(w), error);
    m_report.ok = true;
    return m_report;
}

// The last verification turned into a correction of each window's mapping, solved again on the
// same canvas and sent.
AlignProcedure::Correction AlignProcedure::correct()
{
    const int windows = m_options.layout.windows();
    say(QStringLiteral("Correcting from the verification"));
    bool corrected = false;
    for (int w = 0; w < windows; ++w) {
        std::vector<GridCrossing> own;
        for (const GridCrossing& c : m_report.crossings)
            if (c.window == w)
                own.push_back(c);
        double largest = 0.0;
        WindowReport& wr = m_report.windows[std::size_t(w)];
        wr.corrected = CorrectFromCrossings(m_geometry[std::size_t(w)], own, &largest);
        wr.correction = std::max(wr.correction, largest);
        corrected = corrected || wr.corrected;
    }
    if (!corrected) { // the verification agrees with the patterns: nothing to send again
        say(QStringLiteral("The verification shows no correction beyond its own scatter"));
        return Correction::None;
    }
    SolveOptions keep = m_options.solve;
    keep.canvas = m_report.solution.canvas;
    const Solution next = Solve(m_geometry, m_options.layout, keep);
    if (!next.problems.isEmpty()) {
        m_report.warnings
            << QStringLiteral("The correction was not sent: %1").arg(next.problems.join(QLatin1Char(' ')));
        return Correction::None;
    }
    const std::vector<Seam> seams = m_report.solution.seams;
    m_report.solution = next;
    m_report.solution.seams = seams; // the blend follows the overlaps measured by the patterns
    return send(true) ? Correction::Sent : Correction::Failed;
}

bool AlignProcedure::capture(Photo& out)
{
    m_clock.sleepMs(m_options.settleMs);
    m_report.settleMs += m_options.settleMs;
    const int frames = m_camera.stillCamera() ? 1 : std::max(1, m_options.framesAveraged);
    QString error;
    for (int i = 0; i < frames; ++i) {
        const auto photo = m_camera.grab(error);
        if (!photo || photo->empty())
            return fail(QStringLiteral("The camera gave no picture: %1").arg(error));
        if (i == 0) {
            out = *photo;
        } else if (photo->width != out.width || photo->height != out.height) {
            return fail(QStringLiteral("The camera changed its picture size while the patterns ran."));
        } else {
            for (std::size_t p = 0; p < out.pixels.size(); ++p)
                out.pixels[p] += photo->pixels[p];
        }
    }
    if (frames > 1)
        for (float& v : out.pixels)
            v /= float(frames);
    if (!m_dark.empty() && (out.width != m_dark.width || out.height != m_dark.height))
        return fail(QStringLiteral("The camera changed its picture size while the patterns ran."));
    ++m_report.photos;
    return true;
}

bool AlignProcedure::show(int window, const MaskBytes& stream)
{
    QString error;
    if (!m_display.showMask(window, stream, error))
        return fail(QStringLiteral("%1 did not show the pattern: %2").arg(WindowTitle(window), error));
    const PatternCost cost = CostOfStream(stream.size());
    m_report.windows[std::size_t(window)].patterns += cost;
    m_report.roundTrips += cost.roundTrips;
    return true;
}

bool AlignProcedure::showGrid(int window, const GridSpec& grid)
{
    QString error;
    if (!m_display.showGrid(window, grid, error))
        return fail(QStringLiteral("%1 did not show the test grid: %2").arg(WindowTitle(window), error));
    m_report.roundTrips += kRoundTripsGrid;
    return true;
}

bool AlignProcedure::blank(int window)
{
    QString error;
    if (!m_display.blank(window, error))
        return fail(QStringLiteral("%1 could not be made black: %2").arg(WindowTitle(window), error));
    m_report.roundTrips += kRoundTripsBlank;
    return true;
}

bool AlignProcedure::measureWindows()
{
    std::vector<WindowMapping> mappings;
    bool all = true;
    m_outputPerCamera.clear();
    for (int w = 0; w < m_options.layout.windows(); ++w) {
        say(QStringLiteral("%1: finding it in the picture").arg(WindowTitle(w)));
        Photo white;
        if (!show(w, WhiteFrameStream()) || !capture(white))
            return false;
        const Outcome outcome = measureWindow(w, white, mappings);
        if (outcome == Outcome::Abort)
            return false; // the camera or the box failed; the other windows would fail the same way
        all = all && outcome == Outcome::Done;
        if (!blank(w))
            return false;
    }
    if (!all)
        return false;
    for (std::size_t w = 0; w < mappings.size(); ++w)
        m_geometry.emplace_back(mappings[w], CameraView::Square({}, 1.0)); // the view comes in solve()
    return true;
}

namespace {

// The brightness-weighted centre of a window in the photo: it moves when the camera does.
Vec2 LightCentre(const Photo& white, const Photo& dark, const LitRegion& r, double& total)
{
    Vec2 sum;
    total = 0.0;
    for (int y = std::max(0, r.top - 3); y <= std::min(white.height - 1, r.bottom + 3); ++y)
        for (int x = std::max(0, r.left - 3); x <= std::min(white.width - 1, r.right + 3); ++x) {
            const double c = std::max(0.0f, white.at(x, y) - dark.at(x, y));
            sum = sum + Vec2{double(x), double(y)} * c;
            total += c;
        }
    return total > 0.0 ? sum * (1.0 / total) : Vec2{};
}

} // namespace

AlignProcedure::Outcome AlignProcedure::measureWindow(
    int w, const Photo& white, std::vector<WindowMapping>& mappings)
{
    const auto problem = [this](const QString& message) {
        fail(message);
        return Outcome::WindowProblem;
    };
    const QSize frame = m_options.frames[std::size_t(w)];
    WindowDecoder decoder(w, m_dark, white, m_options.light);
    if (!decoder.problem().isEmpty())
        return problem(decoder.problem());
    m_report.warnings << decoder.warnings();
    const double opc = decoder.outputPerCamera(frame.width(), frame.height());
    m_outputPerCamera.push_back(opc);
    const double minStripe = m_options.minStripeCameraPixels * opc;
    WindowReport& wr = m_report.windows[std::size_t(w)];
    wr.bitsX = BitsFor(Axis::X, frame.width(), frame.height(), minStripe, m_options.monoMaskLimit);
    wr.bitsY = BitsFor(Axis::Y, frame.width(), frame.height(), minStripe, m_options.monoMaskLimit);
    const PatternSet set = MakePatternSet(frame.width(), frame.height(), wr.bitsX, wr.bitsY);
    decoder.setPatterns(set);
    for (std::size_t i = 1; i < set.frames.size(); ++i) {
        say(QStringLiteral("%1: pattern %2 of %3").arg(WindowTitle(w)).arg(i + 1).arg(set.frames.size()));
        Photo photo;
        if (!show(w, PatternStream(set, set.frames[i])) || !capture(photo))
            return Outcome::Abort;
        decoder.add(set.frames[i], photo);
    }
    // The first picture again: a camera that moved meanwhile has spoilt the patterns.
    Photo again;
    if (!show(w, WhiteFrameStream()) || !capture(again))
        return Outcome::Abort;
    double before = 0.0, after = 0.0;
    const Vec2 moved = LightCentre(again, m_dark, decoder.region(), after)
        - LightCentre(white, m_dark, decoder.region(), before);
    if (moved.norm() > 0.2 || after < 0.8 * before || after > 1.25 * before)
        return problem(QStringLiteral(
            "%1: the picture changed while its patterns ran (the camera or the projector moved "
            "by %2 camera pixels, or the light changed). Keep both still and run again.")
                           .arg(WindowTitle(w))
                           .arg(moved.norm(), 0, 'f', 1));
    const Correspondences c = decoder.decode();
    if (!decoder.problem().isEmpty())
        return problem(decoder.problem());
    QString error;
    auto mapping
        = WindowMapping::Fit(c, frame.width(), frame.height(), set.x.stripes(), set.y.stripes(), error);
    if (!mapping)
        return problem(QStringLiteral("%1: %2.").arg(WindowTitle(w), error));
    wr.fitRmsX = mapping->rmsX();
    wr.fitRmsY = mapping->rmsY();
    wr.boundarySamples = mapping->samplesUsed();
    if (std::max(wr.fitRmsX, wr.fitRmsY) > 1.5)
        return problem(
            QStringLiteral("%1: its stripes do not fit one smooth picture (%2 pixels off): the camera or the "
                           "projector moved, or the screen is not flat.")
                .arg(WindowTitle(w))
                .arg(std::max(wr.fitRmsX, wr.fitRmsY), 0, 'f', 1));
    mappings.push_back(std::move(*mapping));
    return Outcome::Done;
}

bool AlignProcedure::solve()
{
    say(QStringLiteral("Solving"));
    LensModel lens = m_options.lens ? *m_options.lens
        : m_camera.lens()           ? *m_camera.lens()
                          : LensModel{double(m_dark.width), double(m_dark.width), (m_dark.width - 1) / 2.0,
                              (m_dark.height - 1) / 2.0};
    SolveOptions solveOptions = m_options.solve;
    if (!placeCamera(lens, solveOptions))
        return false;
    std::vector<WindowGeometry> placed;
    for (const WindowGeometry& g : m_geometry)
        placed.emplace_back(g.mapping(), *m_view);
    m_geometry = std::move(placed);
    m_report.solution = Solve(m_geometry, m_options.layout, solveOptions);
    if (m_options.canvasCorners)
        warnOutsideLight();
    m_report.errors << m_report.solution.problems;
    m_report.warnings << m_report.solution.warnings;
    if (m_options.pointMode)
        for (std::size_t w = 0; w < m_report.solution.windows.size(); ++w)
            if (m_report.solution.windows[w].pointsClamped > 0)
                fail(QStringLiteral(
                    "%1 cannot be placed with 17x17 point offsets (%2 points would pass the mode's "
                    "600 pixels); use the User Map tables or tiled inputs.")
                         .arg(WindowTitle(int(w)))
                         .arg(m_report.solution.windows[w].pointsClamped));
    for (const Seam& s : m_report.solution.seams)
        m_report.seams.push_back({s, {}});
    return m_report.errors.isEmpty();
}

namespace {

// A projector pixel's mean size along the screen's x and y, over the middle rows and columns of
// every window, in the view's screen units.
Vec2 ProjectorPixel(const std::vector<WindowGeometry>& windows, const CameraView& view)
{
    Vec2 sum;
    for (const WindowGeometry& g : windows) {
        const WindowGeometry placed(g.mapping(), view);
        const double w = g.frameWidth() - 1.0, h = g.frameHeight() - 1.0;
        const Vec2 across = placed.screenOf({w, h / 2}) - placed.screenOf({0, h / 2});
        const Vec2 down = placed.screenOf({w / 2, h}) - placed.screenOf({w / 2, 0});
        sum = sum + Vec2{across.norm() / w, down.norm() / h};
    }
    return windows.empty() ? Vec2{1, 1} : sum * (1.0 / double(windows.size()));
}

} // namespace

// The screen frame from the marks (the canvas's corners, else screen points), else the camera
// taken to face the screen squarely.
bool AlignProcedure::placeCamera(const LensModel& lens, SolveOptions& solve)
{
    double scale = 0.0;
    for (double v : m_outputPerCamera)
        scale += v / double(m_outputPerCamera.size());
    if (m_options.canvasCorners) {
        auto marks = CanvasMarks(*m_options.canvasCorners, lens, 1.0);
        m_view = marks ? CameraView::FromMarks(lens, *marks) : std::nullopt;
        if (!m_view)
            return fail(QStringLiteral("The four marked corners do not enclose an area: mark them top left, "
                                       "top right, bottom right, bottom left."));
        // The camera's own aspect is not the screen's (a camera off the screen's axis, pixels that
        // are not square): the projectors' pixels are, near enough. So each screen axis is
        // stretched until a projector pixel spans about one screen pixel along it.
        const Vec2 pixel = ProjectorPixel(m_geometry, *m_view);
        for (Vec2& p : marks->screen)
            p = {p.x / pixel.x, p.y / pixel.y};
        m_view = CameraView::FromMarks(lens, *marks);
        if (!m_view)
            return fail(QStringLiteral("The four marked corners do not enclose an area."));
        solve.canvas = Rect{0.0, 0.0, marks->screen[2].x, marks->screen[2].y};
        return true;
    }
    const auto marks = m_options.marks ? m_options.marks : m_camera.marks();
    if (marks) {
        m_view = CameraView::FromMarks(lens, *marks);
        if (!m_view)
            return fail(QStringLiteral("The four marked points do not form a quadrilateral."));
    } else {
        m_view = CameraView::Square(lens, scale);
    }
    return true;
}

// A marked canvas beyond the projectors' light stays dark there: said, not refused.
void AlignProcedure::warnOutsideLight()
{
    std::vector<std::vector<Vec2>> footprints;
    for (const WindowGeometry& g : m_geometry)
        footprints.push_back(g.footprint());
    const Rect& c = m_report.solution.canvas;
    int outside = 0;
    for (int i = 0; i <= 8; ++i)
        for (const Vec2 p :
            {Vec2{c.left + c.width() * i / 8, c.top}, Vec2{c.left + c.width() * i / 8, c.bottom},
                Vec2{c.left, c.top + c.height() * i / 8}, Vec2{c.right, c.top + c.height() * i / 8}}) {
            const bool lit = std::any_of(
                footprints.begin(), footprints.end(), [p](const auto& f) { return InsidePolygon(f, p); });
            outside += lit ? 0 : 1;
        }
    if (outside > 0)
        m_report.warnings << QStringLiteral(
            "The marked corners reach beyond what the projectors light: the canvas stays dark there.");
}

bool AlignProcedure::send(bool tablesOnly)
{
    QString error;
    for (std::size_t w = 0; w < m_report.solution.windows.size(); ++w) {
        const WindowSolution& ws = m_report.solution.windows[w];
        const int window = int(w);
        if (tablesOnly) {
            say(QStringLiteral("%1: sending its warp").arg(WindowTitle(window)));
            const bool ok = m_options.pointMode ? m_sink.sendPointOffsets(window, ws.pointOffsets, error)
                                                : m_sink.sendTables(window, ws.tables, error);
            if (!ok)
                return fail(QStringLiteral("%1: the warp was not taken: %2").arg(WindowTitle(window), error));
            m_report.roundTrips += m_options.pointMode ? kRoundTripsPoints : kRoundTripsTables;
        } else {
            say(QStringLiteral("%1: sending its blend").arg(WindowTitle(window)));
            if (!m_sink.sendBlend(window, ws.blend, error))
                return fail(
                    QStringLiteral("%1: the blend was not taken: %2").arg(WindowTitle(window), error));
            m_report.roundTrips += kRoundTripsBlend;
        }
    }
    return true;
}

bool AlignProcedure::verify(int pass)
{
    // One grid for all windows: the densest any window needs.
    m_grid = GridSpec{120, 1};
    for (const WindowSolution& ws : m_report.solution.windows) {
        const GridSpec g = GridFor(ws.source, *m_view, m_options.gridCameraPixels);
        m_grid.spacing = std::min(m_grid.spacing, g.spacing);
        m_grid.lineWidth = std::max(m_grid.lineWidth, g.lineWidth);
    }
    m_grid.lineWidth = std::min(m_grid.lineWidth, std::max(1, m_grid.spacing / 5));
    m_report.crossings.clear();
    for (int w = 0; w < m_options.layout.windows(); ++w) {
        say(QStringLiteral("%1: verifying with the grid (pass %2)").arg(WindowTitle(w)).arg(pass));
        Photo photo;
        if (!showGrid(w, m_grid) || !capture(photo) || !blank(w))
            return false;
        const auto crossings = MeasureGrid(w, photo, m_dark, m_geometry[std::size_t(w)],
            m_report.solution.windows[std::size_t(w)].source, *m_view, m_grid);
        const ResidualStats stats = StatsOf(crossings);
        if (stats.points < kMinVerifiedPoints)
            m_report.warnings
                << QStringLiteral("%1: the verification grid was not seen.").arg(WindowTitle(w));
        m_report.windows[std::size_t(w)].residual.push_back(stats);
        m_report.crossings.insert(m_report.crossings.end(), crossings.begin(), crossings.end());
    }
    for (SeamReport& s : m_report.seams)
        s.residual.push_back(SeamStats(m_report.crossings, s.seam, m_geometry));
    return true;
}

bool AlignProcedure::wallPhoto(QImage& out)
{
    const int windows = m_options.layout.windows();
    for (int w = 0; w < windows; ++w)
        if (!showGrid(w, m_grid))
            return false;
    Photo photo;
    if (!capture(photo))
        return false;
    out = PhotoImage(photo);
    if (!m_report.crossings.empty())
        m_report.heatMap = HeatMap(photo, m_report.crossings);
    for (int w = 0; w < windows; ++w)
        if (!blank(w))
            return false;
    return true;
}

} // namespace trivel::align
