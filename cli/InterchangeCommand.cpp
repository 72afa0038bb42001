#include "cli/InterchangeCommand.h"
#include "box/Box.h"

#include "cli/CliUi.h"
#include "cli/Commands.h"
#include "cli/FileCommand.h"
#include "cli/InterchangeShared.h"
#include "files/SettingFile.h"
#include "files/SettingFileIo.h"
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

namespace interchange_cli {

namespace {

const char* const kExportHelp = R"(Usage: trivelctl export (--file FILE | --tcp HOST[:PORT] | --usb)
                        (--mpcdi OUT.mpcdi | --pfm DIR | --tables DIR)... [--window N] [--frame WxH]

Writes what each window of a setting file or of a box does in the formats other tools read: an
MPCDI archive (2d profile; one buffer and one region "windowN" per window, with the warp grid as
a PFM file, the blend as an alpha map and the black level as a beta map), the warp grids alone as
PFM files (DIR/window-N.pfm), or the box's own 16-bit source tables (DIR/window-N.bin, the layout
of 'trivelctl warp table --format bin').

  --file FILE     a whole-box (.WBF, four windows) or single-window setting file
  --tcp, --usb    a box instead: connect, read it back whole, export every window it has
  --window N      only window 1..4 (for a single-window file: the window it is written as,
                  default 1)
  --frame WxH     the windows' output frame for a setting file (default 1920x1080: a file holds
                  none); a box reports its own

Windows that use the User Map tables are written exactly; the box-side warp modes through the
tool's warp model, and the region's notes say so. Colour gain and offset, blend and mask corners
and masks are not carried by the format.

Exit codes: 0 written, 1 failure (unreadable setting file, a window the box does not have, a file
not written), 2 usage error, 3 link failure, 4 box rejected.
)";

const char* const kImportHelp
    = R"(Usage: trivelctl import --mpcdi IN.mpcdi --window N [--region ID] [--points]
                        [--tcp HOST[:PORT] | --usb] [--undo FILE.WBF] [--tables OUT.bin]
       trivelctl import --mpcdi IN.mpcdi --window N [--region ID] [--points] --dry-run
                        [--frame WxH] [--tables OUT.bin]

Reads one region of an MPCDI file (2d profile) into window N of the box: the region's warp grid
resampled to the User Map tables (or, with --points, the nearest 17x17 point offsets), the alpha
map's ramps as blend widths where they are ramps along an edge, and the beta map as black levels.
The plan is printed first: the worst difference in pixels between the file's grid and what the
box will show, and whatever the box cannot show. Then the box's whole setting file is saved (the
undo: 'trivelctl load FILE' puts the box back) and the plan is sent: the User Map table transfer
(or the point mode and its offsets), then the blend values as the blend pages send them.

  --window N      window 1..4
  --region ID     the region to read; may be left out when the file has only one
  --points        the 17x17 point offsets of the box's point mode instead of the tables
  --undo FILE     where the box's setting file goes before anything is sent (default:
                  trivel-undo-YYYYMMDD-HHMMSS.WBF in the current folder)
  --tables FILE   also write the planned source tables (the 'warp table --format bin' layout)
  --dry-run       compute and print the plan without a box; nothing is sent
  --frame WxH     with --dry-run, the window's output frame (default: the region's pixel size);
                  a box reports its own

Exit codes: 0 planned (--dry-run) or sent and every reply in, 1 the file is refused (the message
says why), the undo file not written or a window the box does not have, 2 usage error, 3 link
failure (no box, link lost, no reply), 4 box rejected or a box that answered wrongly.
)";

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

// Which options go together; -1 to go on, or the exit code.
int CheckCombination(Args& o)
{
    const bool exporting = o.command == QLatin1String("export");
    if (exporting) {
        if (o.link.given && !o.file.isEmpty())
            return UsageError(o, "give one of --file, --tcp and --usb");
        if (o.file.isEmpty() && !o.link.given)
            return UsageError(o, "--file is required, or --tcp/--usb to export from a box");
        if (o.link.given && o.frameWidth > 0)
            return UsageError(o, "--frame is for a setting file; a box reports its frames");
        if (o.mpcdi.isEmpty() && o.pfmDir.isEmpty() && o.tables.isEmpty())
            return UsageError(o, "give at least one of --mpcdi, --pfm and --tables");
        return -1;
    }
    if (o.mpcdi.isEmpty())
        return UsageError(o, "--mpcdi is required");
    if (o.window < 0)
        return UsageError(o, "--window is required");
    if (o.dryRun && (o.link.given || !o.undo.isEmpty()))
        return UsageError(o, "--dry-run plans without a box; drop --tcp, --usb and --undo");
    if (!o.dryRun && o.frameWidth > 0)
        return UsageError(o, "--frame is for --dry-run; a box reports its frames");
    return -1;
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
    o.command = cli::CommandWord(args);
    const bool exporting = o.command == QLatin1String("export");
    const QStringList valued = exporting
        ? QStringList{"--file", "--mpcdi", "--pfm", "--tables", "--window", "--frame"}
        : QStringList{"--mpcdi", "--region", "--window", "--frame", "--tables", "--undo"};
    bool commandSeen = false;
    for (int i = 0; i < args.size(); ++i) {
        const QString a = args[i];
        if (a == "-h" || a == "--help") {
            std::fputs(exporting ? kExportHelp : kImportHelp, stdout);
            return Success;
        }
        QString error;
        if (TakeLinkOption(args, i, o.link, error)) {
            if (!error.isEmpty())
                return UsageError(o, error);
            continue;
        }
        if (a == o.command && !commandSeen) {
            commandSeen = true;
            continue;
        }
        QString value;
        if (valued.contains(a)) {
            if (++i >= args.size())
                return UsageError(o, a + " needs a value");
            value = args[i];
        }
        if (a == "--file" && exporting) {
            o.file = value;
        } else if (a == "--mpcdi") {
            o.mpcdi = value;
        } else if (a == "--pfm" && exporting) {
            o.pfmDir = value;
        } else if (a == "--tables") {
            o.tables = value;
        } else if (a == "--region" && !exporting) {
            o.region = value;
        } else if (a == "--undo" && !exporting) {
            o.undo = value;
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
    return CheckCombination(o);
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

int ExportFromFile(const Args& o)
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
    return WriteExports(windows, o);
}

int ImportDryRun(const Args& o, const MpcdiRegionData& data)
{
    ImportOptions options;
    options.window = o.window;
    options.frameWidth = o.frameWidth;
    options.frameHeight = o.frameHeight;
    options.pointOffsets = o.points;
    QString why;
    const std::optional<ImportPlan> plan = PlanImport(data, options, &why);
    if (!plan) {
        std::fprintf(stderr, "trivelctl: %s: %s\n", qPrintable(o.mpcdi), qPrintable(why));
        return Failed;
    }
    PrintPlan(*plan);
    if (!WritePlannedTables(*plan, o))
        return Failed;
    std::printf("Dry run: nothing was sent.\n");
    return Success;
}

} // namespace

int WriteExports(const std::vector<WindowExport>& windows, const Args& o)
{
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

std::optional<MpcdiRegionData> ReadImportRegion(const Args& o, int& exitCode)
{
    exitCode = Failed;
    QFile f(o.mpcdi);
    if (!f.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "trivelctl: cannot read %s\n", qPrintable(o.mpcdi));
        return std::nullopt;
    }
    // An archive larger than everything it may inflate to is refused before it is read.
    if (f.size() > qint64(ZipLimits{}.maxTotalBytes)) {
        std::fprintf(stderr, "trivelctl: %s is larger than 256 MiB; that is refused.\n", qPrintable(o.mpcdi));
        return std::nullopt;
    }
    QString why;
    const std::optional<MpcdiContents> contents = ReadMpcdiArchive(f.readAll(), &why);
    QString region = o.region;
    if (contents && region.isEmpty()) {
        const QStringList ids = contents->doc.regionIds();
        if (ids.size() != 1) {
            std::fprintf(stderr, "trivelctl: the file has %d regions (%s); choose one with --region\n",
                int(ids.size()), qPrintable(ids.join(QStringLiteral(", "))));
            exitCode = Usage;
            return std::nullopt;
        }
        region = ids.first();
    }
    std::optional<MpcdiRegionData> data = contents ? ReadMpcdiRegion(*contents, region, &why) : std::nullopt;
    if (!data)
        std::fprintf(stderr, "trivelctl: %s: %s\n", qPrintable(o.mpcdi), qPrintable(why));
    return data;
}

void PrintPlan(const ImportPlan& plan)
{
    std::printf("Window: %d\nRegion: %s\nFrame: %dx%d\nTarget: %s\nWorst difference: %.3f px\n",
        plan.window + 1, qPrintable(plan.regionId), plan.width, plan.height,
        plan.pointOffsets ? "17x17 point offsets" : "User Map tables", plan.worst.pixels);
    for (const QString& line : plan.report)
        std::printf("  %s\n", qPrintable(line));
}

bool WritePlannedTables(const ImportPlan& plan, const Args& o)
{
    if (o.tables.isEmpty())
        return true;
    const std::vector<std::uint16_t> x(plan.sourceX.begin(), plan.sourceX.end());
    const std::vector<std::uint16_t> y(plan.sourceY.begin(), plan.sourceY.end());
    if (!WriteFile(o.tables, TableBytes(x, y)))
        return false;
    std::printf("Tables: %s\n", qPrintable(o.tables));
    return true;
}

} // namespace interchange_cli

int RunInterchangeCommand(const QStringList& args, const cli::BoxEnv& env)
{
    using namespace interchange_cli;
    const QString word = cli::CommandWord(args);
    if (word != QLatin1String("export") && word != QLatin1String("import"))
        return -1;
    Args o;
    if (const int code = Parse(args, o); code >= 0)
        return code;
    if (!o.link.verbose)
        QLoggingCategory::setFilterRules(QStringLiteral("trivel.*.info=false\ntrivel.*.debug=false"));
    if (o.command == QLatin1String("export"))
        return o.link.given ? ExportFromBox(o, env) : ExportFromFile(o);
    int code = Failed;
    const std::optional<MpcdiRegionData> region = ReadImportRegion(o, code);
    if (!region)
        return code;
    return o.dryRun ? ImportDryRun(o, *region) : ImportIntoBox(o, *region, env);
}

} // namespace trivel
