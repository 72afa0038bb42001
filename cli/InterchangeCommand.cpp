#include "cli/InterchangeCommand.h"
#include "box/Box.h"

#include "files/SettingFileIo.h"

#include "cli/CliUi.h"
#include "cli/FileCommand.h"
#include "files/SettingFile.h"
#include "interchange/ImportPlan.h"
#include "interchange/Mpcdi.h"
#include "interchange/WindowExport.h"
#include "link/Clock.h"
#include "session/Session.h"
#include "warp/WarpModel.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QLoggingCategory>
#include <QRegularExpression>
#include <QSaveFile>
#include <QTextStream>

#include <cstdio>

namespace trivel {

namespace {

enum Exit { Success = 0, Failed = 1, Usage = 2 };

const char* const kExportHelp
    = R"(Usage: trivelctl export --file FILE (--mpcdi OUT.mpcdi | --pfm DIR | --tables DIR)...
                        [--window N] [--frame WxH]

Writes what each window of a setting file does in the formats other tools read: an MPCDI archive
(2d profile; one buffer and one region "windowN" per window, with the warp grid as a PFM file,
the blend as an alpha map and the black level as a beta map), the warp grids alone as PFM files
(DIR/window-N.pfm), or the box's own 16-bit source tables (DIR/window-N.bin, the layout of
'trivelctl warp table --format bin').

  --file FILE     a whole-box (.WBF, four windows) or single-window setting file
  --window N      only window 1..4 (for a single-window file: the window it is written as,
                  default 1)
  --frame WxH     the windows' output frame (default 1920x1080: a setting file holds none)

Windows that use the User Map tables are written exactly; the box-side warp modes through the
tool's warp model, and the region's notes say so. Colour gain and offset, blend and mask corners
and masks are not carried by the format.

Exit codes: 0 written, 1 failure (unreadable setting file, a file not written), 2 usage error.
)";

const char* const kImportHelp = R"(Usage: trivelctl import --mpcdi IN.mpcdi --window N [--region ID] --dry-run
                        [--frame WxH] [--points] [--tables OUT.bin]

Reads one region of an MPCDI file (2d profile) and shows what window N of the box would receive:
the region's warp grid resampled to the User Map tables (or, with --points, the nearest 17x17
point offsets), the worst difference in pixels between the file's grid and what the box will
show, the alpha map's ramps as blend widths where they are ramps along an edge, and the beta map
as black levels; whatever the box cannot show is said.

  --window N      window 1..4
  --region ID     the region to read; may be left out when the file has only one
  --dry-run       compute and print the plan; nothing is sent (sending is not available yet)
  --frame WxH     the window's output frame (default: the region's pixel size)
  --points        the 17x17 point offsets of the box's point mode instead of the tables
  --tables FILE   also write the planned source tables (the 'warp table --format bin' layout)

Exit codes: 0 planned, 1 the file is refused (the message says why), 2 usage error.
)";

struct Args {
    QString command;
    QString file;
    QString mpcdi;
    QString pfmDir;
    QString tables;
    QString region;
    int window = -1;
    int frameWidth = 0;
    int frameHeight = 0;
    bool dryRun = false;
    bool points = false;
    bool box = false;
};

int UsageError(const Args& o, const QString& why)
{
    std::fprintf(
        stderr, "trivelctl: %s\nTry 'trivelctl %s --help'.\n", qPrintable(why), qPrintable(o.command));
    return Usage;
}

bool ParseFrame(const QString& text, int& w, int& h)
{
    const auto m = QRegularExpression(QStringLiteral("^(\\d{1,5})x(\\d{1,5})$")).match(text);
    if (!m.hasMatch())
        return false;
    w = m.captured(1).toInt();
    h = m.captured(2).toInt();
    return WarpFrameSizeFits(w, h);
}

// -1 to go on, or an exit code.
int Parse(const QStringList& given, Args& o)
{
    QStringList args;
    for (const QString& a : given) {
        if (a.startsWith(QLatin1String("--")) && a.contains('='))
            args << a.section('=', 0, 0) << a.section('=', 1);
        else
            args << a;
    }
    o.command = args.value(0);
    const bool exporting = o.command == QLatin1String("export");
    const QStringList valued = exporting
        ? QStringList{"--file", "--mpcdi", "--pfm", "--tables", "--window", "--frame", "--tcp"}
        : QStringList{"--mpcdi", "--region", "--window", "--frame", "--tables", "--tcp"};
    for (int i = 1; i < args.size(); ++i) {
        const QString a = args[i];
        if (a == "-h" || a == "--help") {
            std::fputs(exporting ? kExportHelp : kImportHelp, stdout);
            return Success;
        }
        QString value;
        if (valued.contains(a)) {
            if (++i >= args.size())
                return UsageError(o, a + " needs a value");
            value = args[i];
        }
        if (a == "--tcp" || a == "--usb") {
            o.box = true;
        } else if (a == "--file" && exporting) {
            o.file = value;
        } else if (a == "--mpcdi") {
            o.mpcdi = value;
        } else if (a == "--pfm" && exporting) {
            o.pfmDir = value;
        } else if (a == "--tables") {
            o.tables = value;
        } else if (a == "--region" && !exporting) {
            o.region = value;
        } else if (a == "--window") {
            bool ok = false;
            o.window = value.toInt(&ok) - 1;
            if (!ok || o.window < 0 || o.window > 3)
                return UsageError(o, "--window wants 1..4");
        } else if (a == "--frame") {
            if (!ParseFrame(value, o.frameWidth, o.frameHeight))
                return UsageError(o,
                    QStringLiteral("--frame wants WxH within 16x16 and %1x%2, not \"%3\"")
                        .arg(kMaxWarpFrameWidth)
                        .arg(kMaxWarpFrameHeight)
                        .arg(value));
        } else if (a == "--dry-run" && !exporting) {
            o.dryRun = true;
        } else if (a == "--points" && !exporting) {
            o.points = true;
        } else {
            return UsageError(o, "unexpected argument " + a);
        }
    }
    if (o.box)
        return UsageError(o,
            QStringLiteral("%1 with a box (--tcp, --usb) is not available yet; %2")
                .arg(o.command,
                    exporting ? QStringLiteral("save the box's setting file and export from it with --file")
                              : QStringLiteral("use --dry-run")));
    if (exporting) {
        if (o.file.isEmpty())
            return UsageError(o, "--file is required");
        if (o.mpcdi.isEmpty() && o.pfmDir.isEmpty() && o.tables.isEmpty())
            return UsageError(o, "give at least one of --mpcdi, --pfm and --tables");
        return -1;
    }
    if (o.mpcdi.isEmpty())
        return UsageError(o, "--mpcdi is required");
    if (o.window < 0)
        return UsageError(o, "--window is required");
    if (!o.dryRun)
        return UsageError(o, "sending to a box is not available yet; add --dry-run to see the plan");
    return -1;
}

bool WriteFile(const QString& path, const QByteArray& data)
{
    QSaveFile f(path);
    if (f.open(QIODevice::WriteOnly) && f.write(data) == data.size() && f.commit())
        return true;
    std::fprintf(stderr, "trivelctl: cannot write %s\n", qPrintable(path));
    return false;
}

QByteArray TableBytes(const std::vector<std::uint16_t>& x, const std::vector<std::uint16_t>& y)
{
    SourceTable tx, ty;
    for (int i = 0; i < kSourceTableEntries; ++i) {
        // No warp: the identity the box starts from.
        const int l = i / kSourceTableRows, n = i % kSourceTableRows;
        tx[std::size_t(i)] = x.empty() ? std::uint16_t(256 * l) : x[std::size_t(i)];
        ty[std::size_t(i)] = y.empty() ? std::uint16_t(256 * n) : y[std::size_t(i)];
    }
    const auto bx = SourceTableBytes(tx);
    const auto by = SourceTableBytes(ty);
    return QByteArray(reinterpret_cast<const char*>(bx.data()), qsizetype(bx.size()))
        + QByteArray(reinterpret_cast<const char*>(by.data()), qsizetype(by.size()));
}

int Export(const Args& o)
{
    VirtualClock clock;
    cli::CliUi ui(false);
    Box tool(clock, ui);
    Session& s = tool.session;
    if (o.frameWidth > 0)
        for (int w = 0; w < 4; ++w) {
            s.box->warp.state().WarpWindow = w;
            SetWarpFrameSize(s.box->warp.state(), o.frameWidth, o.frameHeight);
        }
    s.box->warp.state().WarpWindow = 0;
    // The kind comes from the file's own first bytes, as every load decides it.
    QByteArray bytes;
    QString readError;
    if (!ReadRegularFile(o.file, 64 << 20, bytes, readError)) {
        std::fprintf(stderr, "trivelctl: %s: %s\n", qPrintable(o.file), qPrintable(readError));
        return Failed;
    }
    const bool wholeBox = SettingFileKindOf(bytes.left(16)) == SettingFileKind::WholeBox;
    if (!wholeBox)
        s.CurrentWindow = s.box->warp.state().WarpWindow = std::max(o.window, 0);
    QTextStream err(stderr);
    if (!LoadSettingFileOffline(s, o.file, err))
        return Failed;
    std::vector<WindowExport> windows;
    for (int w = 0; w < 4; ++w)
        if (wholeBox ? (o.window < 0 || o.window == w) : w == s.CurrentWindow)
            windows.push_back(WindowExportOf(s, w));

    for (const WindowExport& w : windows) {
        std::printf("Window %d: %d x %d\n", w.window + 1, w.width, w.height);
        for (const QString& note : ExportNotes(w))
            std::printf("  %s\n", qPrintable(note));
    }
    if (!o.mpcdi.isEmpty()) {
        QString why;
        const std::optional<QByteArray> archive
            = BuildMpcdiArchive(windows, QDateTime::currentDateTime(), &why);
        if (!archive) {
            std::fprintf(stderr, "trivelctl: %s\n", qPrintable(why));
            return Failed;
        }
        if (!WriteFile(o.mpcdi, *archive))
            return Failed;
        std::printf("MPCDI: %s\n", qPrintable(o.mpcdi));
    }
    for (const auto& [dir, pfm] : {std::pair{o.pfmDir, true}, std::pair{o.tables, false}}) {
        if (dir.isEmpty())
            continue;
        if (!QDir().mkpath(dir)) {
            std::fprintf(stderr, "trivelctl: cannot create %s\n", qPrintable(dir));
            return Failed;
        }
        for (const WindowExport& w : windows) {
            const QString path = QDir(dir).filePath(
                QStringLiteral("window-%1.%2").arg(w.window + 1).arg(pfm ? "pfm" : "bin"));
            if (!WriteFile(path, pfm ? WarpPfmOf(w) : TableBytes(w.sourceX, w.sourceY)))
                return Failed;
            std::printf("%s: %s\n", pfm ? "PFM" : "Tables", qPrintable(path));
        }
    }
    return Success;
}

int Import(const Args& o)
{
    QFile f(o.mpcdi);
    if (!f.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "trivelctl: cannot read %s\n", qPrintable(o.mpcdi));
        return Failed;
    }
    // An archive larger than everything it may inflate to is refused before it is read.
    if (f.size() > qint64(ZipLimits{}.maxTotalBytes)) {
        std::fprintf(stderr, "trivelctl: %s is larger than 256 MiB; that is refused.\n", qPrintable(o.mpcdi));
        return Failed;
    }
    QString why;
    const std::optional<MpcdiContents> contents = ReadMpcdiArchive(f.readAll(), &why);
    QString region = o.region;
    if (contents && region.isEmpty()) {
        const QStringList ids = contents->doc.regionIds();
        if (ids.size() != 1) {
            std::fprintf(stderr, "trivelctl: the file has %d regions (%s); choose one with --region\n",
                int(ids.size()), qPrintable(ids.join(QStringLiteral(", "))));
            return Usage;
        }
        region = ids.first();
    }
    const std::optional<MpcdiRegionData> data
        = contents ? ReadMpcdiRegion(*contents, region, &why) : std::nullopt;
    ImportOptions options;
    options.window = o.window;
    options.frameWidth = o.frameWidth;
    options.frameHeight = o.frameHeight;
    options.pointOffsets = o.points;
    const std::optional<ImportPlan> plan = data ? PlanImport(*data, options, &why) : std::nullopt;
    if (!plan) {
        std::fprintf(stderr, "trivelctl: %s: %s\n", qPrintable(o.mpcdi), qPrintable(why));
        return Failed;
    }
    std::printf("Window: %d\nRegion: %s\nFrame: %dx%d\nTarget: %s\nWorst difference: %.3f px\n",
        plan->window + 1, qPrintable(plan->regionId), plan->width, plan->height,
        plan->pointOffsets ? "17x17 point offsets" : "User Map tables", plan->worst.pixels);
    for (const QString& line : plan->report)
        std::printf("  %s\n", qPrintable(line));
    if (!o.tables.isEmpty()) {
        const std::vector<std::uint16_t> x(plan->sourceX.begin(), plan->sourceX.end());
        const std::vector<std::uint16_t> y(plan->sourceY.begin(), plan->sourceY.end());
        if (!WriteFile(o.tables, TableBytes(x, y)))
            return Failed;
        std::printf("Tables: %s\n", qPrintable(o.tables));
    }
    std::printf("Dry run: nothing was sent.\n");
    return Success;
}

} // namespace

int RunInterchangeCommand(const QStringList& args)
{
    if (args.isEmpty() || (args[0] != QLatin1String("export") && args[0] != QLatin1String("import")))
        return -1;
    Args o;
    if (const int code = Parse(args, o); code >= 0)
        return code;
    QLoggingCategory::setFilterRules(QStringLiteral("trivel.*.info=false\ntrivel.*.debug=false"));
    return o.command == QLatin1String("export") ? Export(o) : Import(o);
}

} // namespace trivel
