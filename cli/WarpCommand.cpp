#include "cli/WarpCommand.h"
#include "box/Box.h"

#include "cli/Bootstrap.h"
#include "cli/CliLink.h"
#include "cli/CliUi.h"
#include "cli/WarpTableCommand.h"
#include "link/Clock.h"
#include "protocol/SettingCodec.h"
#include "box/Connection.h"
#include "session/Controls.h"
#include "session/PendingOps.h"
#include "session/Session.h"
#include "warp/Controls.h"
#include "warp/UserMap.h"
#include "warp/WarpAdjust.h"
#include "warp/WarpAdjustState.h"
#include "warp/WarpModel.h"
#include "warp/WarpPointMode.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
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

class Runner {
public:
    Runner(Session& s, cli::CliUi& ui, cli::BoxRun& run)
        : m_s(s)
        , m_ui(ui)
        , m_run(run)
    {
    }

    // Waits until done(), the link fails, a warning is shown or the box stays silent for too
    // long. Returns -1 when done, else the exit code.
    int await(const std::function<bool()>& done, int timeoutMs = 15000)
    {
        const int warnings = m_ui.warnings;
        const int code = m_run.waitUntil(
            [&] {
                if (m_s.flag(Flag::Rejected))
                    return int(Rejected);
                if (!m_s.connected())
                    return int(LinkFailure);
                if (m_ui.warnings > warnings)
                    return int(Refused);
                return done() ? 0 : -1;
            },
            timeoutMs);
        return code == 0 ? -1 : code;
    }

    bool idle() const { return !m_s.busy() && !m_s.warpAdjust.WarpBusy; }

private:
    Session& m_s;
    cli::CliUi& m_ui;
    cli::BoxRun& m_run;
};

// Makes window w the current one, here and on the box.
void SelectWindow(Session& s, int w)
{
    s.CurrentWindow = w;
    s.warp.WarpWindow = w;
    s.PostSendDelay = 50; // their echoes are handled before a chain sets PendingOp
    SettingCommand cmd = MakeSettingCommand("s00VKY+060");
    EncodeSettingValue(60 + w, cmd);
    PutSettingFrame(s.RequestBuffer, Cmd::Setting, cmd);
    SendFrame(s);
    s.clearRequest(512);
    s.request().setCode(Cmd::CurrentWindowChanged);
    s.request().put8(8, std::uint8_t(w));
    SendFrame(s);
    s.PostSendDelay = 0;
}

// The User Map table transfer of a grid computed here; the progress line counts acknowledged
// chunks, and a wrong reply code (the chain's "X CMD ERROR:" memo line) ends the run at once.
int Push(Session& s, Runner& run, const WarpArgs& o)
{
    const WarpModel& m = s.warp.model[std::size_t(o.window)];
    try {
        ApplyWarpGrid(s.warp, *o.pattern, o.grid);
    } catch (const WarpMathError& e) {
        std::fprintf(stderr, "trivelctl: the grid cannot be computed: %s\n", e.what());
        return Refused;
    }
    const qsizetype memoLines = s.ui.memo().size();
    auto wrongReply = [&]() -> QString {
        for (qsizetype i = memoLines; i < s.ui.memo().size(); ++i)
            if (s.ui.memo()[i].startsWith(QLatin1String("X CMD ERROR:")))
                return s.ui.memo()[i];
        return {};
    };
    constexpr int kChunks = 2 * kUserMapChunksPerTable;
    int shown = -1;
    auto progress = [&](int n) {
        if (n == shown)
            return;
        shown = n;
        std::fprintf(stderr, "\rtrivelctl: warp push: window %d, %d/%d chunks", o.window + 1, n, kChunks);
    };
    progress(0);
    TransferUserMapTables(s);
    const int code = run.await([&] {
        progress(UserMapChunksAcknowledged(s));
        return run.idle() || !wrongReply().isEmpty();
    });
    if (code < 0 && wrongReply().isEmpty())
        progress(kChunks);
    std::fputs(code < 0 && wrongReply().isEmpty() ? ", applied\n" : "\n", stderr);
    if (const QString line = wrongReply(); !line.isEmpty()) {
        std::fprintf(stderr, "trivelctl: the box answered a table chunk wrongly (%s)\n", qPrintable(line));
        return Refused;
    }
    if (code >= 0)
        return code;
    std::printf("Window: %d\nFrame: %dx%d\nPattern: %d\nTables: sent\n", o.window + 1, int(m.frameWidth),
        int(m.frameHeight), *o.pattern);
    return Success;
}

int RunOperation(Session& s, Runner& run, const WarpArgs& o)
{
    WarpModel& m = s.warp.model[std::size_t(o.window)];
    if (o.command == "push")
        return Push(s, run, o);
    if (o.command == "mode") {
        const int mode = ModeOf(o.mode);
        if (mode == WarpMode::Points)
            EnterPointMode(s);
        else if (mode >= WarpMode::FirstUserMap && mode <= WarpMode::LastUserMap)
            SelectUserMap(s, mode - WarpMode::FirstUserMap);
        else
            SelectWarpMode(s, mode);
        if (const int code = run.await([&] { return run.idle(); }); code >= 0)
            return code;
        if (m.ControlPattern != mode)
            return Refused;
        std::printf("Window: %d\nControlPattern: %d\n", o.window + 1, int(m.ControlPattern));
        return Success;
    }
    if (o.command == "nudge") {
        if (!SelectWarpPoint(s, o.column, o.row)) {
            std::fprintf(stderr, "trivelctl: point %d,%d is not a point of mode %d\n", o.column, o.row,
                int(m.ControlPattern));
            return Refused;
        }
        WarpAdjustState& a = s.warpAdjust;
        const int step = a.MoveStep[std::size_t(o.window)];
        const struct {
            int amount;
            WarpDir minus, plus;
        } axes[] = {{o.dx, WarpDir::Left, WarpDir::Right}, {o.dy, WarpDir::Up, WarpDir::Down}};
        for (const auto& axis : axes) {
            if (axis.amount == 0)
                continue;
            // One move of the whole amount, as a key press with that step would make.
            a.MoveStep[std::size_t(o.window)] = std::min(std::abs(axis.amount), 2 * 600);
            MoveWarpPoint(s, axis.amount < 0 ? axis.minus : axis.plus);
            a.MoveStep[std::size_t(o.window)] = step;
            if (const int code = run.await([&] { return run.idle(); }); code >= 0)
                return code;
        }
        std::printf("Window: %d\nPoint: %d,%d\nOffset: %s,%s\n", o.window + 1, o.column, o.row,
            qPrintable(s.ui.caption(ctl::WPLRVal)), qPrintable(s.ui.caption(ctl::WPUDVal)));
        return Success;
    }
    if (o.command == "save-map" || o.command == "load-map") {
        if (o.command == "save-map") {
            SaveUserMap(s, o.slot);
        } else {
            SelectUserMap(s, o.slot);
            if (const int code = run.await([&] { return run.idle(); }); code >= 0)
                return code;
            LoadUserMap(s);
        }
        if (const int code = run.await([&] { return run.idle(); }); code >= 0)
            return code;
        // The load of an empty slot ends with the box's "no map" message and no point mode.
        if (o.command == "load-map" && m.ControlPattern != WarpMode::Points)
            return Refused;
        std::printf("Window: %d\nControlPattern: %d\n", o.window + 1, int(m.ControlPattern));
        return Success;
    }
    BtnWPResetClick(s);
    if (!s.busy()) {
        std::fprintf(stderr, "trivelctl: reset not confirmed (give --yes)\n");
        return Refused;
    }
    if (const int code = run.await([&] { return run.idle(); }); code >= 0)
        return code;
    std::printf("Window: %d\nReset: done\n", o.window + 1);
    return Success;
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
    Session& s = boxRun.session();
    if (const int connected = boxRun.connect(cli::ConnectMode::Readback); connected != cli::Success)
        return connected;
    ui.quiet = false;

    Runner run(s, ui, boxRun);
    int code = -1;
    if (code < 0) {
        // The poll would hold PendingOp while the chains want it.
        s.TmrStatus->setEnabled(false);
        if (o.window >= s.ChannelCount) {
            std::fprintf(stderr, "trivelctl: the box has windows 1..%d\n", s.ChannelCount);
            code = Refused;
        } else {
            SelectWindow(s, o.window);
            code = RunOperation(s, run, o);
        }
    }
    return boxRun.decide(code);
}

} // namespace trivel
