#include "cli/AlignCommand.h"

#include "align/BoxPorts.h"
#include "align/SimPhotoProtocol.h"
#include "align/screen/PatternScreen.h"
#include "box/StatusPoll.h"
#include "files/SettingFile.h"
#include "files/SettingFileIo.h"
#include "files/SettingFiles.h"
#include "session/Session.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>

namespace trivel {

namespace {

using namespace align;

const char* const kAlignHelp
    = R"(Usage: trivelctl [--tcp HOST[:PORT] | --usb] align --camera DEVICE|DIR|sim://HOST:PORT
           --layout RxC [--overlap auto] [--dry-run] [--report DIR] [--passes 1|2] [--points]
           [--settle MS] [--frames N] [--patterns box|screen:N] [--marks X1,Y1,...,X4,Y4]
       trivelctl [--tcp HOST[:PORT] | --usb] align --revert FILE

Aligns the box's windows with a camera: shows Gray-code patterns on each window through its mask
preview, photographs them, finds where every output pixel lands on the screen, and computes each
window's User Map tables and edge blend so that the projectors form one straight, seamless
canvas. Before anything is sent, the box's setting file is saved (its name is printed; go back
with 'trivelctl align --revert FILE'). Then the tables and blends are sent, and the box's test
grid is photographed to measure the residual, in screen pixels, per window and per seam.
Tried only with the simulated box and camera (trivel-boxsim --rig), never with a real camera.

  --camera SPEC   a capture device (a number such as 0, or a path such as /dev/video0), a folder
                  of photos taken by hand (one per pattern, in name order; camera.json there gives
                  the lens and four marked screen corners), or sim://HOST:PORT, the photo service
                  of trivel-boxsim --rig
  --layout RxC    rows x columns of projectors, window 1 top left, in rows: 1x2, 1x3, 1x4, 2x2
  --overlap auto  the overlaps are measured from the photos (the only choice)
  --dry-run       measure and solve, print the result, send nothing and save no file
  --report DIR    write before.png, after.png, heatmap.png and residuals.json there (and
                  marks.json with --marks), and the setting file saved before sending (default: the setting file in the current
                  folder, no pictures)
  --passes N      2 (default): correct from the first verification when it shows a correction
  --points        send 17x17 point offsets instead of User Map tables (less exact)
  --settle MS     wait after each change on the wall before a photo (default 250)
  --frames N      frames averaged per photo (default 3; a folder gives one photo each)
  --patterns SRC  where the patterns come from: box (default), the box's mask preview on each
                  window; or screen:N, a full-screen window on screen N of this PC (0 the first),
                  for a PC that feeds the box's input: each window shows that picture whole
                  through its warp, the window being measured gets its pattern, the box holds the
                  others black. The windows' warps must be neutral when it starts.
  --marks X1,Y1,X2,Y2,X3,Y3,X4,Y4
                  the canvas's corners on the camera picture, in camera pixels: top left, top
                  right, bottom right, bottom left. The canvas fills that area (else the largest
                  rectangle the projectors cover)
  --revert FILE   load the setting file saved before an alignment (as 'trivelctl load' does),
                  then put every window back on its own warp mode so that the alignment's User
                  Map tables no longer show

Windows are numbered 1 to 4 in every message. Progress goes to stderr, the residuals to stdout.
Exit codes: 0 aligned (or solved, with --dry-run), 1 refused (camera, a window not seen, a photo
that does not decode: the message names the window and what to fix, and nothing was sent), 2
usage error, 3 link failure, 4 box rejected.
)";

int Fail(int code, const QString& why)
{
    std::fprintf(stderr, "trivelctl: align: %s\n", qPrintable(why));
    return code;
}

struct AlignArgs {
    CliLinkOptions link;
    QString revert; // the setting file to go back to
    int waitPercent = 100;
    QString camera;
    WallLayout layout;
    bool layoutGiven = false;
    QString reportDir;
    AlignOptions options;
    int screen = -1; // the patterns on this screen of the PC; -1: through the box
};

// "screen:N" as a screen number, "box" as -1; nothing for anything else.
std::optional<int> ParsePatterns(const QString& text)
{
    if (text == QLatin1String("box"))
        return -1;
    bool ok = false;
    const int n = text.startsWith(QLatin1String("screen:")) ? text.mid(7).toInt(&ok) : -1;
    return ok && n >= 0 && n < 64 ? std::optional<int>(n) : std::nullopt;
}

// Eight camera pixel positions, "x1,y1,...,x4,y4".
std::optional<std::array<Vec2, 4>> ParseMarks(const QString& text)
{
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() != 8)
        return std::nullopt;
    std::array<Vec2, 4> corners;
    for (int i = 0; i < 8; ++i) {
        bool ok = false;
        const double v = parts[i].trimmed().toDouble(&ok);
        if (!ok || !(v >= -100000.0 && v <= 100000.0))
            return std::nullopt;
        (i % 2 ? corners[std::size_t(i / 2)].y : corners[std::size_t(i / 2)].x) = v;
    }
    return corners;
}

bool TakeNumber(const QStringList& args, int& i, int lowest, int highest, int& out)
{
    bool ok = false;
    const int v = i + 1 < args.size() ? args[i + 1].toInt(&ok) : 0;
    if (!ok || v < lowest || v > highest)
        return false;
    out = v;
    ++i;
    return true;
}

// -1 when the command is to run, else its exit code.
int ParseAlignArgs(const QStringList& args, AlignArgs& o)
{
    bool seenWord = false;
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        QString error;
        if (a == "-h" || a == "--help") {
            std::fputs(kAlignHelp, stdout);
            return 0;
        }
        if (TakeLinkOption(args, i, o.link, error)) {
            if (!error.isEmpty())
                return Fail(2, error);
        } else if (a == "--camera" && i + 1 < args.size()) {
            o.camera = args[++i];
        } else if (a == "--layout" && i + 1 < args.size()) {
            const auto layout = ParseWallLayout(args[++i]);
            if (!layout)
                return Fail(
                    2, "bad layout " + args[i] + ": give rows x columns, such as 2x2, for 4 windows at most");
            o.layout = *layout;
            o.layoutGiven = true;
        } else if (a == "--overlap" && i + 1 < args.size()) {
            if (args[++i] != "auto")
                return Fail(2, "--overlap takes only 'auto': the overlaps are measured from the photos");
        } else if (a == "--revert" && i + 1 < args.size()) {
            o.revert = args[++i];
        } else if (a == "--test-wait-percent") {
            // For tests against trivel-boxsim only, which needs none of the transfer's pauses.
            if (!TakeNumber(args, i, 0, 100, o.waitPercent))
                return Fail(2, "bad value for --test-wait-percent");
        } else if (a == "--report" && i + 1 < args.size()) {
            o.reportDir = args[++i];
        } else if (a == "--patterns" && i + 1 < args.size()) {
            const auto screen = ParsePatterns(args[++i]);
            if (!screen)
                return Fail(2, "bad value for --patterns: box or screen:N (N the screen, 0 the first)");
            o.screen = *screen;
        } else if (a == "--marks" && i + 1 < args.size()) {
            o.options.canvasCorners = ParseMarks(args[++i]);
            if (!o.options.canvasCorners)
                return Fail(
                    2, "bad value for --marks: eight numbers x1,y1,x2,y2,x3,y3,x4,y4 (camera pixels)");
        } else if (a == "--dry-run") {
            o.options.dryRun = true;
        } else if (a == "--points") {
            o.options.pointMode = true;
            o.options.solve.input = InputMode::Tiled; // only tiled inputs stay in the points' range
        } else if (a == "--passes") {
            if (!TakeNumber(args, i, 1, 2, o.options.passes))
                return Fail(2, "bad value for --passes (1 or 2)");
        } else if (a == "--settle") {
            if (!TakeNumber(args, i, 0, 60000, o.options.settleMs))
                return Fail(2, "bad value for --settle (0 to 60000 ms)");
        } else if (a == "--frames") {
            if (!TakeNumber(args, i, 1, 30, o.options.framesAveraged))
                return Fail(2, "bad value for --frames (1 to 30)");
        } else if (a.startsWith('-')) {
            return Fail(2, "unknown option " + a + "; try 'trivelctl align --help'");
        } else if (a == "align" && !seenWord) {
            seenWord = true;
        } else {
            return Fail(2, "unexpected " + a + "; try 'trivelctl align --help'");
        }
    }
    if (!o.revert.isEmpty())
        return -1;
    if (o.camera.isEmpty() || !o.layoutGiven)
        return Fail(
            2, "give --camera DEVICE|DIR|sim://HOST:PORT and --layout RxC; try 'trivelctl align --help'");
    o.options.layout = o.layout;
    if (!o.reportDir.isEmpty() && !QDir().mkpath(o.reportDir))
        return Fail(1, "the report folder " + o.reportDir + " cannot be made");
    return -1;
}

QString StatsText(const ResidualStats& r)
{
    return QStringLiteral("%1 (%2 points)").arg(ResidualText(r, 3)).arg(r.points);
}

QJsonObject StatsJson(const ResidualStats& r)
{
    return {{"rms", r.rms}, {"worst", r.worst}, {"points", r.points}};
}

QString SeamName(const Seam& s)
{
    return QStringLiteral("windows %1 and %2").arg(s.a + 1).arg(s.b + 1);
}

ResidualStats AllCrossings(const AlignReport& r)
{
    ResidualStats all;
    for (const GridCrossing& c : r.crossings)
        if (c.measured)
            all.add(c.residual());
    all.finish();
    return all;
}

void PrintReport(const AlignReport& r, bool dryRun)
{
    if (dryRun) {
        std::printf("Dry run: solved, nothing sent. Canvas %.1f x %.1f screen pixels at (%.1f, %.1f)\n",
            r.solution.canvas.width(), r.solution.canvas.height(), r.solution.canvas.left,
            r.solution.canvas.top);
        for (std::size_t w = 0; w < r.windows.size(); ++w)
            std::printf("  window %d: pattern fit RMS %.3f x, %.3f y output pixels (%d samples)\n",
                int(w) + 1, r.windows[w].fitRmsX, r.windows[w].fitRmsY, r.windows[w].boundarySamples);
        return;
    }
    std::printf("Residual, screen pixels (between where each grid point lands and where it should):\n");
    for (std::size_t w = 0; w < r.windows.size(); ++w)
        if (!r.windows[w].residual.empty())
            std::printf("  window %d: %s\n", int(w) + 1, qPrintable(StatsText(r.windows[w].residual.back())));
    for (const SeamReport& s : r.seams)
        if (!s.residual.empty())
            std::printf(
                "  seam of %s: %s\n", qPrintable(SeamName(s.seam)), qPrintable(StatsText(s.residual.back())));
    std::printf("  all: %s\n", qPrintable(StatsText(AllCrossings(r))));
}

// The report folder: pictures and residuals.
bool WriteReport(const QString& dir, const AlignReport& r, QString& error)
{
    const QDir d(dir);
    const std::pair<const QImage*, const char*> pictures[]
        = {{&r.before, "before.png"}, {&r.after, "after.png"}, {&r.heatMap, "heatmap.png"}};
    for (const auto& [image, name] : pictures)
        if (!image->isNull() && !image->save(d.filePath(QLatin1String(name)))) {
            error = d.filePath(QLatin1String(name)) + " cannot be written";
            return false;
        }
    QJsonArray windows;
    for (std::size_t w = 0; w < r.windows.size(); ++w) {
        QJsonArray passes;
        for (const ResidualStats& s : r.windows[w].residual)
            passes.append(StatsJson(s));
        windows.append(QJsonObject{{"window", int(w) + 1}, {"passes", passes},
            {"fitRmsX", r.windows[w].fitRmsX}, {"fitRmsY", r.windows[w].fitRmsY}});
    }
    QJsonArray seams;
    for (const SeamReport& s : r.seams) {
        QJsonArray passes;
        for (const ResidualStats& st : s.residual)
            passes.append(StatsJson(st));
        seams.append(QJsonObject{{"windows", QJsonArray{s.seam.a + 1, s.seam.b + 1}}, {"passes", passes}});
    }
    QJsonArray crossings;
    for (const GridCrossing& c : r.crossings)
        if (c.measured)
            crossings.append(QJsonObject{{"window", c.window + 1}, {"sourceX", c.source.x},
                {"sourceY", c.source.y}, {"residual", c.residual()}});
    const QJsonObject root{{"windows", windows}, {"seams", seams}, {"all", StatsJson(AllCrossings(r))},
        {"undoFile", r.undoFile}, {"photos", r.photos}, {"roundTrips", r.roundTrips},
        {"crossings", crossings}};
    QFile f(d.filePath(QStringLiteral("residuals.json")));
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(QJsonDocument(root).toJson()) < 0) {
        error = f.fileName() + " cannot be written";
        return false;
    }
    return true;
}

// Corners marked with --marks, as camera.json holds marks: each on the photo and on the run's
// screen frame.
bool WriteMarks(const AlignArgs& o, const AlignReport& r, QString& error)
{
    if (!o.options.canvasCorners)
        return true;
    const Rect& c = r.solution.canvas;
    ScreenMarks marks;
    marks.camera = *o.options.canvasCorners;
    marks.screen
        = {Vec2{c.left, c.top}, Vec2{c.right, c.top}, Vec2{c.right, c.bottom}, Vec2{c.left, c.bottom}};
    QFile f(QDir(o.reportDir).filePath(QStringLiteral("marks.json")));
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(MarksJson(marks)) > 0)
        return true;
    error = f.fileName() + " cannot be written";
    return false;
}

// Where the setting file goes: the report folder, else the current one.
QString UndoPath(const QString& reportDir)
{
    const QString name = QStringLiteral("before-align-%1.WBF")
                             .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")));
    return QDir(reportDir.isEmpty() ? QStringLiteral(".") : reportDir).filePath(name);
}

// The procedure on its own thread while this one serves the box: the link's exit code
// (negated) when the link failed under it, else 0 with the report filled.
int RunProcedure(cli::BoxRun& run, const AlignArgs& o, AlignReport& report, DisplayFactory display)
{
    Session& s = run.session();
    Box& box = run.box();
    bool finished = false;
    QObject context; // after what its callbacks touch: destroyed first, with anything still posted
    const QString reportDir = o.reportDir;
    AlignRunner runner(
        context, {s, box.settings, box.warp, box.masks}, [&s, reportDir](QString& savedAs, QString& error) {
            savedAs = UndoPath(reportDir);
            const SettingFileOutcome saved = SaveSettingFile(s, savedAs, true);
            error = saved.message;
            return saved.ok;
        });
    AlignCallbacks callbacks;
    callbacks.step = [](const QString& text) { std::fprintf(stderr, "align: %s\n", qPrintable(text)); };
    callbacks.finished = [&](const AlignReport& r) {
        report = r;
        finished = true;
    };
    runner.start(o.camera, o.options, callbacks, std::move(display));
    const int code = run.waitUntil([&] { return finished ? int(cli::Success) : -1; });
    if (finished)
        return 0;
    runner.stop(QStringLiteral("the link to the box was lost"));
    runner.join();
    return -(code > 0 ? code : int(cli::LinkFailure));
}

// The setting file loaded and transferred as the Load Setting button does, then every window
// back on its own warp mode.
int RunRevert(const AlignArgs& o, const cli::BoxEnv& env)
{
    QByteArray bytes;
    QString why;
    if (!ReadRegularFile(o.revert, kLargestSettingFile, bytes, why))
        return Fail(1, o.revert + ": " + why + " Nothing was loaded.");
    if (SettingFileKindOf(bytes) != SettingFileKind::WholeBox)
        return Fail(
            1, o.revert + " is not a whole-box setting file (the alignment saves one). Nothing was loaded.");
    cli::CliUi ui(o.link.yes);
    cli::BoxRun run(env, o.link, ui);
    Session& s = run.session();
    Box& box = run.box();
    s.transfer.WaitPercent = o.waitPercent;
    int code = run.connect(cli::ConnectMode::Readback);
    if (code != cli::Success)
        return code;
    std::fprintf(stderr, "align: loading %s into the box\n", qPrintable(o.revert));
    SettingFiles files(box);
    const SettingFileOutcome loaded = files.loadAndTransfer(o.revert);
    if (!loaded.ok)
        return run.decide(Fail(1, o.revert + ": " + loaded.message));
    code = run.waitUntil([&] {
        if (s.busy() || (s.readback.valid() && !s.readback.finished()))
            return -1;
        if (s.readback.valid() && s.readback.failure())
            return cli::ExitCodeOf(*s.readback.failure());
        return int(s.connected() ? cli::Success : cli::LinkFailure);
    });
    if (code != cli::Success)
        return run.decide(code);
    std::fprintf(stderr, "align: every window back on its own warp mode\n");
    code = run.await(LeaveUserMaps({s, box.settings, box.warp, box.masks}, s.ChannelCount));
    if (code == cli::Success)
        std::printf("reverted to %s: windows 1 to %d\n", qPrintable(o.revert), s.ChannelCount);
    return run.decide(code);
}

} // namespace

namespace {

int NoSuchScreen(int screen)
{
    const QStringList screens = DescribeScreens();
    return Fail(2,
        QStringLiteral("there is no screen %1 for --patterns%2")
            .arg(screen)
            .arg(screens.isEmpty() ? QStringLiteral(" (no display)")
                                   : QStringLiteral("; the screens: ") + screens.join(QStringLiteral("; "))));
}

} // namespace

bool AlignWantsScreen(const QStringList& args)
{
    const qsizetype at = args.indexOf(QStringLiteral("--patterns"));
    return args.contains(QStringLiteral("align")) && at >= 0 && at + 1 < args.size()
        && args[at + 1].startsWith(QLatin1String("screen:"));
}

int RunAlignCommand(const QStringList& args, const cli::BoxEnv& env)
{
    AlignArgs o;
    if (const int done = ParseAlignArgs(args, o); done >= 0)
        return done;
    if (!o.revert.isEmpty())
        return RunRevert(o, env);
    // The screen and the camera first: either missing leaves the box untouched.
    if (o.screen >= 0 && !ScreenNumber(o.screen))
        return NoSuchScreen(o.screen);
    QString why;
    if (!ProbeCamera(o.camera, why))
        return Fail(1,
            "the camera cannot be opened: " + why
                + ". Check --camera (a device, a folder of photos or sim://HOST:PORT). Nothing was sent to "
                  "the box.");

    cli::CliUi ui(o.link.yes);
    cli::BoxRun run(env, o.link, ui);
    Session& s = run.session();
    Box& box = run.box();
    int code = run.connect(cli::ConnectMode::Readback);
    if (code != cli::Success)
        return code;
    if (o.layout.windows() > s.ChannelCount)
        return run.decide(Fail(1,
            QStringLiteral("the box has %1 windows; the layout %2 needs %3. Nothing was sent.")
                .arg(s.ChannelCount)
                .arg(o.layout.text())
                .arg(o.layout.windows())));
    // The setting file records the input sizes, as the Save button's does: one status poll first.
    StatusPollTick(s);
    if (s.statusPoll.valid() && !s.statusPoll.finished())
        code = run.await(s.statusPoll);
    if (code != cli::Success)
        return run.decide(code);
    for (int w = 0; w < 4; ++w)
        o.options.frames[std::size_t(w)] = QSize(box.warp.model(w).frameWidth, box.warp.model(w).frameHeight);
    o.options.monoMaskLimit = std::size_t(std::max(1, box.masks.state().MonoMaskLimit));

    // The pattern window lives as long as the run; the box holds the windows it does not show.
    std::unique_ptr<PatternScreen> screen;
    DisplayFactory display;
    if (o.screen >= 0) {
        screen = std::make_unique<PatternScreen>();
        screen->showOn(ScreenNumber(o.screen));
        display = ScreenDisplayFactory(*screen, o.options.frames);
    }
    AlignReport report;
    code = RunProcedure(run, o, report, std::move(display));
    if (code < 0)
        return run.decide(-code);
    for (const QString& w : report.warnings)
        std::fprintf(stderr, "trivelctl: align: warning: %s\n", qPrintable(w));
    if (!report.undoFile.isEmpty())
        std::printf("Setting file saved before sending: %s (go back with 'trivelctl align --revert %s')\n",
            qPrintable(report.undoFile), qPrintable(report.undoFile));
    if (!report.ok) {
        for (const QString& e : report.errors)
            Fail(1, e);
        if (report.undoFile.isEmpty())
            Fail(1, QStringLiteral("nothing was sent to the box."));
        else
            Fail(1,
                QStringLiteral("the box may have been changed part of the way: load %1 to go back.")
                    .arg(report.undoFile));
        return run.decide(s.connected() ? cli::Failed : cli::LinkFailure);
    }
    PrintReport(report, o.options.dryRun);
    if (!o.reportDir.isEmpty()) {
        QString error;
        if (!WriteReport(o.reportDir, report, error) || !WriteMarks(o, report, error))
            return run.decide(Fail(1, error));
        std::printf("Report: %s\n", qPrintable(QDir(o.reportDir).absolutePath()));
    }
    return run.decide(code);
}

} // namespace trivel
