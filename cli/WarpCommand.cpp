#include "cli/WarpCommand.h"
#include "box/Box.h"

#include "cli/Bootstrap.h"
#include "cli/CliLink.h"
#include "cli/CliUi.h"
#include "cli/WarpBoxRun.h"
#include "cli/WarpTableCommand.h"
#include "link/Clock.h"
#include "protocol/SettingCodec.h"
#include "session/Controls.h"
#include "session/Session.h"
#include "warp/Controls.h"
#include "warp/WarpModel.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLoggingCategory>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <optional>

namespace trivel {

namespace {

enum Exit { Success = 0, Refused = 1, Usage = 2, LinkFailure = 3, Rejected = 4 };

const char* const kWarpHelp
    = R"(Usage: trivelctl [--tcp HOST[:PORT] | --usb] [--yes] warp COMMAND --window N ...

Commands (on the same chains as the Warp Adjust page; the box's tables are read first):
  warp mode --window N MODE          MODE: 2x2, 3x3, 5x3, 9x5, wall, 17x17, user1 .. user10
  warp nudge --window N --point C,R [--dx X] [--dy Y]
                                     moves a point of the window's current mode: C 0..8 and
                                     R 0..4 on the 9 x 5 grid, 0..16 in 17x17; offsets stay
                                     within -600..600. The box's live 17x17 points cannot be
                                     read back: in 17x17 a nudge starts from the offsets this
                                     run knows (none, unless it entered the mode itself)
  warp reset --window N              resets the warp of the current mode (asks: give --yes)
  warp save-map --window N SLOT      stores the window's 17x17 map in slot 1..10 of the box and
                                     selects it
  warp load-map --window N SLOT      selects the map of slot 1..10 and reads its points back
  warp push --window N --grid FILE.json [--pattern P]
                                     computes the window's source tables from the grid file at
                                     the box's frame size, exactly as 'warp table' does, and
                                     sends them as the User Map page does (44 x-chunks, 44
                                     y-chunks, apply); progress on stderr. See
                                     'trivelctl warp table --help' and docs/warp-table.md

Windows are numbered 1..4, as on the window buttons: --window 1 is the first window.

Exit codes: 0 done, 1 refused (nothing to move, reset not confirmed, a grid the splines cannot
pass, an unreadable or invalid grid file, a transfer the box answered wrongly), 2 usage error,
3 link failure, 4 box rejected.
)";

struct WarpArgs {
    CliLinkOptions link;
    QString command;
    int window = -1; // 0-based here; numbered 1..4 on the command line and in the output
    QString mode;
    bool havePoint = false;
    int column = 0;
    int row = 0;
    int dx = 0;
    int dy = 0;
    int slot = -1; // 0..9
    QString gridFile;
    std::optional<int> pattern;
    WarpGridDescription grid;
};

int ModeOf(const QString& name);

int UsageError(const QString& why)
{
    std::fprintf(stderr, "trivelctl: %s\nTry 'trivelctl warp --help'.\n", qPrintable(why));
    return Usage;
}

bool ToInt(const QString& text, int& out)
{
    bool ok = false;
    out = text.toInt(&ok);
    return ok;
}

// The grid file of warp push, read before anything reaches the box.
int ReadGrid(WarpArgs& o)
{
    if (o.gridFile.isEmpty())
        return UsageError("warp push needs --grid FILE.json");
    QFile file(o.gridFile);
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "trivelctl: cannot read %s: %s\n", qPrintable(o.gridFile),
            qPrintable(file.errorString()));
        return Refused;
    }
    QString problem;
    const auto grid = ParseWarpGrid(file.readAll(), &problem);
    if (!grid) {
        std::fprintf(stderr, "trivelctl: %s: %s\n", qPrintable(o.gridFile), qPrintable(problem));
        return Refused;
    }
    o.grid = *grid;
    const int pattern = WarpGridPattern(o.grid, o.pattern);
    if (pattern < 0 || pattern > Pattern17x17) {
        std::fprintf(stderr, "trivelctl: %s: pattern %d has no source tables (0..6)\n",
            qPrintable(o.gridFile), pattern);
        return Refused;
    }
    o.pattern = pattern;
    return -1;
}

// -1 to go on, or an exit code.
int Parse(const QStringList& args, int at, WarpArgs& o)
{
    // Only the words before "warp" are link options; "--tcp warp" must not take the command.
    const QStringList link = args.mid(0, at);
    for (int i = 0; i < at; ++i) {
        QString error;
        if (!TakeLinkOption(link, i, o.link, error))
            return UsageError("unexpected argument " + link[i]);
        if (!error.isEmpty())
            return UsageError(error);
    }
    o.command = args[at + 1];
    for (int i = at + 2; i < args.size(); ++i) {
        QString a = args[i];
        QString value;
        if (a.startsWith("--") && a.contains('=')) {
            value = a.section('=', 1);
            a = a.section('=', 0, 0);
        } else if (a == "--window" || a == "--point" || a == "--dx" || a == "--dy" || a == "--grid"
            || a == "--pattern") {
            if (++i >= args.size())
                return UsageError(a + " needs a value");
            value = args[i];
        }
        if (a == "-h" || a == "--help") {
            std::fputs(kWarpHelp, stdout);
            return Success;
        } else if (a == "--yes") {
            o.link.yes = true;
        } else if (a == "--window") {
            if (!ToInt(value, o.window) || o.window < 1 || o.window > 4)
                return UsageError("--window takes 1..4, as on the window buttons (1 is the first)");
            o.window -= 1;
        } else if (a == "--point") {
            const QStringList cr = value.split(',');
            if (cr.size() != 2 || !ToInt(cr[0], o.column) || !ToInt(cr[1], o.row))
                return UsageError("--point wants COLUMN,ROW");
            o.havePoint = true;
        } else if (a == "--dx" || a == "--dy") {
            if (!ToInt(value, a == "--dx" ? o.dx : o.dy))
                return UsageError(a + " wants a whole number");
        } else if (a == "--grid" && o.command == "push") {
            o.gridFile = value;
        } else if (a == "--pattern" && o.command == "push") {
            int p = 0;
            if (!ToInt(value, p) || p < 0 || p > Pattern17x17)
                return UsageError("--pattern wants 0..6 (2x2, 3x3, 5x3, 5x5, 9x5, 9x9, 17x17)");
            o.pattern = p;
        } else if (!a.startsWith('-') && o.command == "mode" && o.mode.isEmpty()) {
            o.mode = a;
        } else if (!a.startsWith('-') && o.command.endsWith("-map") && o.slot < 0) {
            int slot = 0;
            if (!ToInt(a, slot) || slot < 1 || slot > 10)
                return UsageError("SLOT wants 1..10");
            o.slot = slot - 1;
        } else {
            return UsageError("unexpected argument " + a);
        }
    }
    if (o.window < 0)
        return UsageError("--window N is required");
    if (o.command == "mode" && ModeOf(o.mode) < 0)
        return UsageError(
            o.mode.isEmpty() ? QStringLiteral("warp mode needs a MODE") : "unknown mode " + o.mode);
    if (o.command.endsWith("-map") && o.slot < 0)
        return UsageError("warp " + o.command + " needs a SLOT");
    if (o.command == "nudge" && !o.havePoint)
        return UsageError("warp nudge needs --point C,R");
    if (o.command == "push")
        return ReadGrid(o);
    return -1;
}

// The ControlPattern of a mode name; -1 for none, user maps as 6..15.
int ModeOf(const QString& name)
{
    const struct {
        const char* name;
        int mode;
    } modes[] = {{"2x2", WarpMode::Keystone}, {"3x3", WarpMode::Grid3x3}, {"5x3", WarpMode::Grid5x3},
        {"9x5", WarpMode::Grid9x5}, {"wall", WarpMode::Wall}, {"17x17", WarpMode::Points}};
    for (const auto& m : modes)
        if (name.compare(QLatin1String(m.name), Qt::CaseInsensitive) == 0)
            return m.mode;
    int n = 0;
    if (name.startsWith("user", Qt::CaseInsensitive) && ToInt(name.mid(4), n) && n >= 1 && n <= 10)
        return WarpMode::FirstUserMap + n - 1;
    return -1;
}

WarpJob JobOf(const WarpArgs& o)
{
    WarpJob job;
    job.command = o.command;
    job.window = o.window;
    job.mode = ModeOf(o.mode);
    job.column = o.column;
    job.row = o.row;
    job.dx = o.dx;
    job.dy = o.dy;
    job.slot = o.slot;
    job.pattern = o.pattern.value_or(0);
    job.grid = o.grid;
    return job;
}

} // namespace

int RunWarpBoxCommand(const QStringList& args, const cli::BoxEnv& env)
{
    const int at = int(args.indexOf(QStringLiteral("warp")));
    if (at < 0 || at + 1 >= args.size())
        return -1;
    const QString sub = args[at + 1];
    if (sub != "mode" && sub != "nudge" && sub != "reset" && sub != "save-map" && sub != "load-map"
        && sub != "push")
        return -1;
    WarpArgs o;
    if (const int code = Parse(args, at, o); code >= 0)
        return code;
    if (!o.link.verbose)
        QLoggingCategory::setFilterRules(QStringLiteral("trivel.*.info=false\ntrivel.*.debug=false"));

    cli::CliUi ui(o.link.yes);
    cli::BoxRun boxRun(env, o.link, ui);
    if (const int connected = boxRun.connect(cli::ConnectMode::Readback); connected != cli::Success)
        return connected;
    ui.quiet = false;

    // Each reply or time-out wakes the wait, which asks the job whether it has settled.
    const WarpRunUntil runUntil = [&boxRun](const std::function<bool()>& decided) {
        boxRun.waitUntil([&decided] { return decided() ? 0 : -1; }, 2 * kReplyAllowanceMs);
    };
    QTextStream out(stdout);
    QTextStream err(stderr);
    return boxRun.decide(RunWarpJob(
        boxRun.box(), JobOf(o), runUntil, out, err, [&ui](const QString& text) { ui.sayLinkFailure(text); }));
}

} // namespace trivel
