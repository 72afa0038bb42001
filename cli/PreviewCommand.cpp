#include "cli/PreviewCommand.h"
#include "box/Box.h"

#include "cli/Bootstrap.h"
#include "cli/CliLink.h"
#include "cli/CliUi.h"
#include "cli/FileCommand.h"
#include "files/SettingFile.h"
#include "link/Clock.h"
#include "preview/OutputPreview.h"
#include "preview/PreviewSession.h"
#include "preview/PreviewSource.h"
#include "box/Connection.h"
#include "session/Session.h"

#include <QCoreApplication>
#include <QDir>
#include <QImageWriter>
#include <QLoggingCategory>
#include <QSaveFile>
#include <QTextStream>

#include <cstdio>

namespace trivel {

namespace {

enum Exit { Success = 0, Failed = 1, Usage = 2 };

constexpr int kWholeBoxWindows = 4;

const char* const kPreviewHelp
    = R"(Usage: trivelctl preview (--tcp HOST[:PORT] | --usb | --file FILE)
                 (--window N --out OUT.png | --all --out DIR) [--source IMAGE|grid|ramp]

Renders what a window of the box shows: the source through the window's geometry warp, edge
blend, colour and black level, and its mask, from the box's state after a full read-back, or
offline from a setting file as the Trivel window shows it after loading the file.

  --window N      window 1..4, as numbered on the window buttons (and by set/get)
  --all           every window of the box, as DIR/window-N.png
  --file FILE     a setting file instead of a box: a whole-box file has four windows;
                  a single-window file has one, drawn as window N (or as window 1 with --all)
  --out PATH      the PNG file, or with --all the folder (created when missing)
  --source S      grid (default: a numbered grid with circles), ramp (grey ramps, for blends)
                  or any image file; stretched to the window's frame

The geometry is exact for windows that use User Map tables; the box-side modes (2x2, 3x3, 5x3,
9x5, WALL, 17x17 points, stored user maps) are drawn through the tool's warp model, and the blend,
colour and black level through an approximating curve: each picture's notes say which.

Exit codes: 0 written, 1 failure (unreadable source or setting file, no such window, a file not
written), 2 usage error, 3 link failure, 4 box rejected.
)";

struct PreviewArgs {
    CliLinkOptions link;
    int window = -1;
    bool all = false;
    QString out;
    QString source = QStringLiteral("grid");
    QString file; // a setting file, read instead of a box
};

int UsageError(const QString& why)
{
    std::fprintf(stderr, "trivelctl: %s\nTry 'trivelctl preview --help'.\n", qPrintable(why));
    return Usage;
}

// -1 to go on, or an exit code.
int Parse(const QStringList& given, PreviewArgs& o)
{
    // --option=value is the same as --option value.
    QStringList args;
    for (const QString& a : given) {
        if (a.startsWith("--") && a.contains('='))
            args << a.section('=', 0, 0) << a.section('=', 1);
        else
            args << a;
    }
    const QString oneSource = QStringLiteral("give one of --tcp, --usb and --file");
    for (int i = 0; i < args.size(); ++i) {
        const QString a = args[i];
        if (a == "preview")
            continue;
        QString error;
        if ((a == "--tcp" || a == "--usb") && !o.file.isEmpty())
            return UsageError(oneSource);
        if (TakeLinkOption(args, i, o.link, error)) {
            if (!error.isEmpty())
                return UsageError(error);
            continue;
        }
        QString value;
        if (a == "--window" || a == "--out" || a == "--source" || a == "--file") {
            if (++i >= args.size())
                return UsageError(a + " needs a value");
            value = args[i];
        }
        if (a == "-h" || a == "--help") {
            std::fputs(kPreviewHelp, stdout);
            return Success;
        } else if (a == "--file") {
            if (o.link.given || !o.file.isEmpty())
                return UsageError(oneSource);
            o.file = value;
        } else if (a == "--window") {
            bool ok = false;
            const int n = value.toInt(&ok);
            if (!ok || n < 1 || n > 4)
                return UsageError("--window wants 1..4");
            o.window = n - 1; // numbered as on the window buttons
        } else if (a == "--all") {
            o.all = true;
        } else if (a == "--out") {
            o.out = value;
        } else if (a == "--source") {
            o.source = value;
        } else {
            return UsageError("unexpected argument " + a);
        }
    }
    if (o.all == (o.window >= 0))
        return UsageError("give one of --window N and --all");
    if (o.out.isEmpty())
        return UsageError("--out is required");
    return -1;
}

bool WritePng(const QImage& img, const QString& path)
{
    // Replaced only when complete.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QImageWriter writer(&file, "png");
    return writer.write(img) && file.commit();
}

// Renders and writes the pictures from a filled session: the read-back of a box now, a loaded
// setting file later.
int WritePreviews(const Session& s, const PreviewArgs& o, int windowCount)
{
    QList<int> windows;
    QStringList paths;
    if (o.all) {
        if (!QDir().mkpath(o.out)) {
            std::fprintf(stderr, "trivelctl: cannot create %s\n", qPrintable(o.out));
            return Failed;
        }
        for (int w = 0; w < windowCount; ++w) {
            windows << w;
            paths << QDir(o.out).filePath(QStringLiteral("window-%1.png").arg(w + 1));
        }
    } else {
        if (o.window >= windowCount) {
            std::fprintf(stderr, "trivelctl: the box has %d windows\n", windowCount);
            return Failed;
        }
        windows << o.window;
        paths << o.out;
    }
    QImage file;
    if (!IsPreviewTestPattern(o.source)) {
        QString message;
        file = LoadPreviewSource(o.source, 0, 0, &message);
        if (file.isNull()) {
            std::fprintf(stderr, "trivelctl: %s\n", qPrintable(message));
            return Failed;
        }
    }
    for (int i = 0; i < windows.size(); ++i) {
        const int w = windows[i];
        const WarpModel& m = s.box->warp.state().model[std::size_t(w)];
        const QImage source
            = file.isNull() ? PreviewTestPattern(o.source, m.frameWidth, m.frameHeight) : file;
        const PreviewInput in = BuildPreviewInput(s, w, source);
        const QImage picture = RenderOutputPreview(in);
        if (picture.isNull()) {
            std::fprintf(stderr, "trivelctl: window %d: %s\n", w + 1, qPrintable(in.notes.first()));
            return Failed;
        }
        if (!WritePng(picture, paths[i])) {
            std::fprintf(stderr, "trivelctl: cannot write %s\n", qPrintable(paths[i]));
            return Failed;
        }
        std::printf(
            "Window %d: %s (%d x %d)\n", w + 1, qPrintable(paths[i]), picture.width(), picture.height());
        for (const QString& note : in.notes)
            std::printf("  %s\n", qPrintable(note));
    }
    return Success;
}

// Offline: the file loaded into a session of its own, as the Load Setting button loads it.
int PreviewFile(const PreviewArgs& o)
{
    VirtualClock clock;
    cli::CliUi ui(false);
    Box tool(clock, ui);
    Session& s = tool.session;
    QByteArray bytes;
    QString why;
    const bool wholeBox = ReadRegularFile(o.file, kLargestSettingFile, bytes, why)
        && SettingFileKindOf(bytes) == SettingFileKind::WholeBox;
    // A single-window file lands in the current window.
    if (!wholeBox)
        s.CurrentWindow = o.all ? 0 : o.window;
    QTextStream err(stderr);
    if (!LoadSettingFileOffline(s, o.file, err))
        return Failed;
    if (wholeBox)
        return WritePreviews(s, o, kWholeBoxWindows);
    return WritePreviews(s, o, o.all ? 1 : o.window + 1);
}

} // namespace

int RunPreviewCommand(const QStringList& args, const cli::BoxEnv& env)
{
    if (!args.contains(QStringLiteral("preview")))
        return -1;
    // Only when "preview" is the command, not an option's value.
    const int at = int(args.indexOf(QStringLiteral("preview")));
    if (at > 0
        && (args[at - 1] == "--tcp" || args[at - 1] == "--out" || args[at - 1] == "--source"
            || args[at - 1] == "--file"))
        return -1;
    PreviewArgs o;
    if (const int code = Parse(args, o); code >= 0)
        return code;
    if (!o.link.verbose)
        QLoggingCategory::setFilterRules(QStringLiteral("trivel.*.info=false\ntrivel.*.debug=false"));

    if (!o.file.isEmpty())
        return PreviewFile(o);

    cli::CliUi ui(false);
    cli::BoxRun run(env, o.link, ui);
    Session& s = run.session();
    if (const int connected = run.connect(cli::ConnectMode::Readback); connected != cli::Success)
        return connected;
    return run.decide(WritePreviews(s, o, s.ChannelCount));
}

} // namespace trivel
