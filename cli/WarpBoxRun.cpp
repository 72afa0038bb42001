#include "cli/WarpBoxRun.h"

#include "cli/ProgressLine.h"

#include "box/Box.h"
#include "protocol/SettingCodec.h"
#include "session/Session.h"
#include "warp/Controls.h"
#include "warp/WarpModel.h"

#include <QObject>

#include <algorithm>
#include <cstdlib>
#include <optional>

namespace trivel {

namespace {

Operation<void> WhenDone(Operation<bool> op)
{
    co_await op;
}

QString Reason(const Failure& f)
{
    return f.reason.isEmpty() ? QString() : QStringLiteral(": ") + f.reason;
}

// The reason goes to err, a silent or lost link through sayLinkFailure; a refusal the user was
// shown already is not said twice.
int ExitOf(const Failure& f, QTextStream& err, const WarpSay& sayLinkFailure)
{
    const auto say = [&](const QString& text) {
        if (sayLinkFailure)
            sayLinkFailure(text);
        else
            err << "trivelctl: " << text << "\n";
    };
    switch (f.kind) {
    case Failure::Kind::NoReply:
        // The operations' reason is the same news in other words.
        say(QStringLiteral("no reply from the box")
            + (f.reason.compare(QLatin1String("No reply from the box."), Qt::CaseInsensitive) ? Reason(f)
                                                                                              : QString()));
        return WarpLinkFailure;
    case Failure::Kind::LinkLost:
    case Failure::Kind::Cancelled:
        say(QStringLiteral("the link closed") + Reason(f));
        return WarpLinkFailure;
    case Failure::Kind::Refused:
        if (!f.reason.isEmpty() && !f.shown)
            err << "trivelctl: " << f.reason << "\n";
        return WarpRefused;
    case Failure::Kind::BoxFault:
    case Failure::Kind::Error:
        break;
    }
    err << "trivelctl: the box answered wrongly" << Reason(f) << "\n";
    return WarpBoxFault;
}

class Runner {
public:
    Runner(Session& s, const WarpRunUntil& runUntil, QTextStream& err, const WarpSay& sayLinkFailure)
        : m_s(s)
        , m_runUntil(runUntil)
        , m_err(err)
        , m_say(sayLinkFailure)
    {
    }

    // Runs op to its end and until every request it left behind has had its reply: -1 when all
    // went through, else the exit code. `stop` ends the run early with -1 when it says so.
    int finish(const Operation<void>& op, const std::function<bool()>& stop = {})
    {
        std::optional<Failure> posted;
        QObject context;
        QObject::connect(&m_s.exchange, &Exchange::stepFailed, &context, [&posted](const Failure& f) {
            if (!posted)
                posted = f;
        });
        int code = -2;
        m_runUntil([&] {
            // Asked again while the wait settles the last replies: decided once, said once.
            if (code != -2)
                return true;
            if (op.finished() && op.failure())
                code = ExitOf(*op.failure(), m_err, m_say);
            else if (posted)
                code = ExitOf(*posted, m_err, m_say);
            else if (m_s.flag(Flag::Rejected))
                code = WarpBoxFault;
            else if (!m_s.connected())
                code = ExitOf({Failure::Kind::LinkLost, QString()}, m_err, m_say);
            else if ((stop && stop()) || (op.finished() && m_s.exchange.idle()))
                code = -1;
            return code != -2;
        });
        // The loop gave up before anything settled the run.
        if (code == -2)
            code = ExitOf({Failure::Kind::NoReply, QString()}, m_err, m_say);
        m_err.flush();
        return code;
    }

    // Until the requests posted so far have had their replies.
    int settle() { return finish(Finished()); }

private:
    Session& m_s;
    const WarpRunUntil& m_runUntil;
    QTextStream& m_err;
    const WarpSay& m_say;
};

} // namespace

QString WarpModeName(int p)
{
    switch (p) {
    case WarpMode::Off:
        return QStringLiteral("off");
    case WarpMode::Keystone:
        return QStringLiteral("2x2");
    case WarpMode::Grid3x3:
        return QStringLiteral("3x3");
    case WarpMode::Grid5x3:
        return QStringLiteral("5x3");
    case WarpMode::Grid9x5:
        return QStringLiteral("9x5");
    case WarpMode::Wall:
        return QStringLiteral("WALL");
    case WarpMode::Points:
        return QStringLiteral("17x17");
    default:
        break;
    }
    if (p >= WarpMode::FirstUserMap && p <= WarpMode::LastUserMap)
        return QStringLiteral("user map %1").arg(p - WarpMode::FirstUserMap + 1);
    return QStringLiteral("mode %1").arg(p);
}

QString WarpModeText(int p)
{
    return QStringLiteral("%1 (%2)").arg(p).arg(WarpModeName(p));
}

namespace {

struct Run {
    Box& box;
    Runner& runner;
    const WarpJob& job;
    QTextStream& out;
    QTextStream& err;
};

// Makes window w the current one, here and on the box.
void SelectWindow(Session& s, int w)
{
    s.CurrentWindow = w;
    s.box->warp.state().WarpWindow = w;
    SettingCommand cmd = MakeSettingCommand("s00VKY+060");
    EncodeSettingValue(60 + w, cmd);
    s.exchange.post(Request(Cmd::Setting, Clear::All).setting(cmd), {.pauseMs = 50});
    s.exchange.post(Request(Cmd::CurrentWindowChanged, Clear::Frame).u8(8, std::uint8_t(w)), {.pauseMs = 50});
}

// The User Map table transfer of a grid computed here; the progress line counts acknowledged
// chunks, and a wrong reply code (the transfer's "X CMD ERROR:" memo line) ends the run at once.
int Push(const Run& r)
{
    Session& s = r.box.session;
    Warp& warp = r.box.warp;
    const WarpModel& m = warp.model(r.job.window);
    try {
        ApplyWarpGrid(warp.state(), r.job.pattern, r.job.grid);
    } catch (const WarpMathError& e) {
        r.err << "trivelctl: the grid cannot be computed: " << e.what() << "\n";
        return WarpRefused;
    }
    const qsizetype memoLines = s.ui.memo().size();
    auto wrongReply = [&]() -> QString {
        for (qsizetype i = memoLines; i < s.ui.memo().size(); ++i)
            if (s.ui.memo()[i].startsWith(QLatin1String("X CMD ERROR:")))
                return s.ui.memo()[i];
        return {};
    };
    constexpr int kChunks = 2 * kUserMapChunksPerTable;
    cli::ProgressLine::Output toErr = cli::ProgressLine::StandardError();
    toErr.write = [&r](const QByteArray& bytes) {
        r.err << QString::fromLocal8Bit(bytes);
        r.err.flush();
    };
    cli::ProgressLine progress("warp push", kChunks, "chunks", toErr);
    const QString where = QStringLiteral("window %1").arg(r.job.window + 1);
    progress.update(0, where);
    const int code = r.runner.finish(warp.transferTables(), [&] {
        progress.update(warp.chunksAcknowledged(), where);
        return !wrongReply().isEmpty();
    });
    const bool applied = code < 0 && wrongReply().isEmpty();
    if (applied)
        progress.update(kChunks, where + QStringLiteral(", applied"));
    progress.finish();
    if (code >= 0)
        return code;
    if (const QString line = wrongReply(); !line.isEmpty()) {
        r.err << "trivelctl: the box answered a table chunk wrongly (" << line << ")\n";
        return WarpRefused;
    }
    r.out << "Window: " << r.job.window + 1 << "\nFrame: " << int(m.frameWidth) << "x" << int(m.frameHeight)
          << "\nPattern: " << r.job.pattern << "\nTables: sent\n";
    return WarpDone;
}

int Mode(const Run& r)
{
    Warp& warp = r.box.warp;
    const int mode = r.job.mode;
    Operation<void> op = Finished();
    if (mode == WarpMode::Points)
        warp.enterPointMode();
    else if (mode >= WarpMode::FirstUserMap && mode <= WarpMode::LastUserMap)
        warp.selectUserMap(mode - WarpMode::FirstUserMap);
    else
        op = warp.selectMode(mode);
    if (const int code = r.runner.finish(op); code >= 0)
        return code;
    const WarpModel& m = warp.model(r.job.window);
    if (m.ControlPattern != mode)
        return WarpRefused;
    r.out << "Window: " << r.job.window + 1 << "\nControlPattern: " << WarpModeText(m.ControlPattern) << "\n";
    return WarpDone;
}

int Nudge(const Run& r)
{
    Session& s = r.box.session;
    Warp& warp = r.box.warp;
    const WarpJob& job = r.job;
    if (!warp.selectPoint(job.column, job.row)) {
        r.err << "trivelctl: point " << job.column << "," << job.row << " is not a point of mode "
              << WarpModeText(warp.model(job.window).ControlPattern) << "\n";
        return WarpRefused;
    }
    int& moveStep = warp.adjust().MoveStep[std::size_t(job.window)];
    const int step = moveStep;
    const struct {
        int amount;
        WarpDir minus, plus;
        const Control& shown;
        const char* option;
    } axes[] = {{job.dx, WarpDir::Left, WarpDir::Right, ctl::WPLRVal, "--dx"},
        {job.dy, WarpDir::Up, WarpDir::Down, ctl::WPUDVal, "--dy"}};
    for (const auto& axis : axes) {
        if (axis.amount == 0)
            continue;
        const int target = s.ui.caption(axis.shown).toInt() + axis.amount;
        if (target != ClampOffset(target))
            r.err << "trivelctl: " << axis.option << " " << axis.amount << " takes the offset to " << target
                  << ": clamped to " << ClampOffset(target) << "\n";
        // One move of the whole amount, as a key press with that step would make.
        moveStep = std::min(std::abs(axis.amount), 2 * kOffsetLimit);
        const Operation<void> op = warp.movePoint(axis.amount < 0 ? axis.minus : axis.plus);
        moveStep = step;
        if (const int code = r.runner.finish(op); code >= 0)
            return code;
    }
    r.out << "Window: " << job.window + 1 << "\nPoint: " << job.column << "," << job.row
          << "\nOffset: " << s.ui.caption(ctl::WPLRVal) << "," << s.ui.caption(ctl::WPUDVal) << "\n";
    return WarpDone;
}

// The slot is asked first: an empty one is never selected, so the box keeps its mode.
int LoadMap(const Run& r)
{
    Warp& warp = r.box.warp;
    const Operation<bool> held = warp.slotHoldsMap(r.job.slot);
    if (const int code = r.runner.finish(WhenDone(held)); code >= 0)
        return code;
    if (!held.value()) {
        r.box.session.ui.message(
            MsgIcon::Information, QString(), QStringLiteral("No 17x17 warp information!!"), MsgButtons::Ok);
        r.err << "trivelctl: slot " << r.job.slot + 1 << " holds no map; the box keeps its warp mode\n";
        return WarpRefused;
    }
    warp.selectUserMap(r.job.slot);
    if (const int code = r.runner.finish(warp.loadUserMap()); code >= 0)
        return code;
    const WarpModel& m = warp.model(r.job.window);
    if (m.ControlPattern != WarpMode::Points)
        return WarpRefused;
    r.out << "Window: " << r.job.window + 1 << "\nControlPattern: " << WarpModeText(m.ControlPattern) << "\n";
    return WarpDone;
}

int SaveMap(const Run& r)
{
    Warp& warp = r.box.warp;
    if (const int code = r.runner.finish(warp.saveUserMap(r.job.slot)); code >= 0)
        return code;
    r.out << "Window: " << r.job.window + 1
          << "\nControlPattern: " << WarpModeText(warp.model(r.job.window).ControlPattern) << "\n";
    return WarpDone;
}

int Reset(const Run& r)
{
    const Operation<void> op = r.box.warp.reset();
    // Not confirmed: the operation ends before anything went out.
    if (op.succeeded()) {
        r.err << "trivelctl: reset not confirmed (give --yes)\n";
        return WarpRefused;
    }
    if (const int code = r.runner.finish(op); code >= 0)
        return code;
    r.out << "Window: " << r.job.window + 1 << "\nReset: done\n";
    return WarpDone;
}

} // namespace

int RunWarpJob(Box& box, const WarpJob& job, const WarpRunUntil& runUntil, QTextStream& out, QTextStream& err,
    const WarpSay& sayLinkFailure)
{
    Session& s = box.session;
    // The status poll stays out of the way of the job's exchanges.
    if (s.TmrStatus)
        s.TmrStatus->setEnabled(false);
    if (job.window < 0 || job.window >= s.ChannelCount) {
        err << "trivelctl: the box has windows 1.." << s.ChannelCount << "\n";
        return WarpRefused;
    }
    Runner runner(s, runUntil, err, sayLinkFailure);
    SelectWindow(s, job.window);
    if (const int code = runner.settle(); code >= 0)
        return code;
    const Run r{box, runner, job, out, err};
    const struct {
        const char* command;
        int (*run)(const Run&);
    } kCommands[] = {{"mode", Mode}, {"nudge", Nudge}, {"reset", Reset}, {"save-map", SaveMap},
        {"load-map", LoadMap}, {"push", Push}};
    for (const auto& c : kCommands)
        if (job.command == QLatin1String(c.command))
            return c.run(r);
    err << "trivelctl: unknown warp command " << job.command << "\n";
    return WarpRefused;
}

} // namespace trivel
