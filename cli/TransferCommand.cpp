#include "cli/TransferCommand.h"
#include "box/Box.h"

#include "files/SettingFiles.h"
#include "box/BoxCommands.h"
#include "box/Connection.h"
#include "box/StatusPoll.h"
#include "cli/Bootstrap.h"
#include "cli/ProgressLine.h"
#include "files/SettingFileActions.h"
#include "files/SettingFileIo.h"
#include "files/SettingTransfer.h"
#include "session/Controls.h"
#include "session/Session.h"
#include "session/SessionEvents.h"

#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <string_view>
#include <unistd.h>

namespace trivel {

namespace {

const char* const kTransferHelp = R"(Usage: trivelctl [--tcp HOST[:PORT] | --usb] save [--window N] FILE
       trivelctl [--tcp HOST[:PORT] | --usb] load [--window N] FILE

Windows are numbered 1 to 4, as on the window buttons.

save    connect, read the box back, take one status poll (the file records the windows' input
        sizes) and write FILE as the Save Setting button does. A name ending in .wbf (any case)
        is a whole-box file: every window and the mask slots. A name ending in .sbf (any case)
        is a single-window file of window N (default 1). Any other name gets .WBF added, or
        .SBF with --window. The file is replaced only once the new one is complete
load    read FILE, connect, read the box back, load FILE as the Load Setting button does and
        transfer it to the box. The kind comes from the file's first bytes, whatever its name: a
        whole-box file sends the mask slots and every window and ends with a fresh read-back
        (--window is refused for it); a single-window file goes to window N (default 1). The
        box needs its fixed pauses between requests: a four-window transfer takes well over a
        minute, and a progress bar on stderr shows where it is

Exit codes: 0 done, 1 file refused or not written, 2 usage error, 3 link failure (no box, link
lost, no reply), 4 box rejected.
)";

// How long a save waits for the status poll's replies (a box answers within milliseconds).
constexpr qint64 kPollWaitMs = 3000;

int Fail(int code, const QString& why)
{
    std::fprintf(stderr, "trivelctl: %s\n", qPrintable(why));
    return code;
}

// Shows ProgressBar2 on stderr in the progress style of every long command, with the step the
// transfer itself announces (the event the window's panel shows).
class TransferUi : public cli::CliUi {
public:
    TransferUi(Session*& session)
        : cli::CliUi(false)
        , m_session(session)
    {
    }

    bool started = false;
    void finish() { m_line.finish(); }
    void follow(Session& s)
    {
        QObject::connect(&s.events, &SessionEvents::settingTransferStep, &m_context,
            [this](int phase, int window, int windows) {
                using Phase = cli::TransferPoint::Phase;
                switch (TransferPhase(phase)) {
                case TransferPhase::MaskSlots:
                    m_point = {Phase::MaskSlots};
                    break;
                case TransferPhase::Readback:
                    m_point = {Phase::ReadBack};
                    break;
                default:
                    // Windows go out in order, so a window's place among those sent is its own,
                    // unless the transfer sends just one.
                    m_point = {Phase::Window, window, windows <= 1 ? 1 : window + 1, std::max(windows, 1)};
                    break;
                }
            });
    }

protected:
    void controlChanged(const Control& c, Prop p, const QVariant& v) override
    {
        if (!started || !m_session || p != Prop::Position
            || std::string_view(c.name) != ctl::ProgressBar2.name)
            return;
        const int max = std::max(m_session->ProgressMaximum, 1);
        const int pos = std::clamp(v.toInt(), 0, max);
        cli::TransferPoint point = m_point;
        if (pos >= max)
            point = {cli::TransferPoint::Phase::Done};
        m_line.setTotal(max);
        m_line.update(pos, cli::TransferStepText(point));
    }

private:
    Session*& m_session;
    QObject m_context;
    cli::TransferPoint m_point;
    cli::ProgressLine m_line{QStringLiteral("load"), 1, QStringLiteral("steps")};
};

QString WindowsText(const char* what, int first, int last)
{
    return first == last
        ? QStringLiteral("%1 window %2").arg(QLatin1String(what)).arg(first)
        : QStringLiteral("%1 windows %2 to %3").arg(QLatin1String(what)).arg(first).arg(last);
}

// The name and kind a save writes, checked before the box is asked anything.
int ResolveSave(QString& path, bool windowGiven, bool& wholeBox)
{
    const SaveTarget t = ResolveSaveName(path, !windowGiven);
    if (t.wholeBox && windowGiven)
        return Fail(2,
            path
                + " is a whole-box name (.wbf): it saves every window. Drop --window, or name the file "
                  ".SBF to save one window");
    path = t.path;
    wholeBox = t.wholeBox;
    return 0;
}

// The kind of the file to load, from its first bytes, before the box is touched.
int CheckLoad(const QString& path, bool windowGiven, bool& wholeBox)
{
    QByteArray bytes;
    QString why;
    if (!ReadRegularFile(path, kLargestSettingFile, bytes, why))
        return Fail(1, path + ": " + why + " Nothing was loaded.");
    const SettingFileKind kind = SettingFileKindOf(bytes);
    if (kind == SettingFileKind::Unknown)
        return Fail(1,
            path + ": File is not correct!! [ "
                + QString::number(bytes.size() > 5 ? std::uint8_t(bytes[5]) : 0) + "]");
    wholeBox = kind == SettingFileKind::WholeBox;
    if (wholeBox && windowGiven)
        return Fail(2,
            path
                + " is a whole-box file: it loads every window of the box. Drop --window to load it, "
                  "or load a single-window file (.SBF) into one window");
    return 0;
}

} // namespace

bool IsTransferCommand(const QStringList& args)
{
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--tcp")) {
            ++i;
            continue;
        }
        if (!args[i].startsWith('-'))
            return args[i] == QLatin1String("save") || args[i] == QLatin1String("load");
    }
    return false;
}

namespace {

struct TransferArgs {
    CliLinkOptions link;
    int window = 1;
    bool windowGiven = false;
    int waitPercent = 100;
    bool load = false;
    QString path;
    bool wholeBox = false;
};

// -1 when the command is to run, otherwise its exit code (help, usage error, file refused).
int ParseTransferArgs(const QStringList& args, TransferArgs& o)
{
    QStringList words;
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        QString error;
        if (a == "-h" || a == "--help") {
            std::fputs(kTransferHelp, stdout);
            return 0;
        }
        if (TakeLinkOption(args, i, o.link, error)) {
            if (!error.isEmpty())
                return Fail(2, error);
        } else if (a == "--window" || a == "--test-wait-percent") {
            // --test-wait-percent: for tests against trivel-boxsim only, which needs no pauses;
            // a real box needs every one of them.
            bool ok = false;
            const int v = i + 1 < args.size() ? args[i + 1].toInt(&ok) : 0;
            if (!ok || (a == "--window" ? (v < 1 || v > 4) : (v < 0 || v > 100)))
                return Fail(2, "bad value for " + a);
            (a == "--window" ? o.window : o.waitPercent) = v;
            o.windowGiven = o.windowGiven || a == "--window";
            ++i;
        } else if (a.startsWith('-')) {
            return Fail(2, "unknown option " + a);
        } else {
            words << a;
        }
    }
    if (words.size() != 2)
        return Fail(2, "give 'save FILE' or 'load FILE'; try 'trivelctl save --help'");
    o.load = words[0] == "load";
    o.path = words[1];
    const int refused = o.load ? CheckLoad(o.path, o.windowGiven, o.wholeBox)
                               : ResolveSave(o.path, o.windowGiven, o.wholeBox);
    return refused != 0 ? refused : -1;
}

} // namespace

int RunTransferCommand(const QStringList& args, const cli::BoxEnv& env)
{
    TransferArgs o;
    if (const int done = ParseTransferArgs(args, o); done >= 0)
        return done;
    const CliLinkOptions& link = o.link;
    const int window = o.window;
    const bool load = o.load;
    const QString& path = o.path;
    const bool wholeBox = o.wholeBox;

    Session* session = nullptr;
    TransferUi ui(session);
    cli::BoxRun run(env, link, ui);
    Session& s = run.session();
    session = &s;
    ui.follow(s);
    SettingFiles files(run.box());
    s.transfer.WaitPercent = o.waitPercent;
    SettingFileOutcome outcome;
    bool ran = false;
    int exitCode = run.connect(cli::ConnectMode::Readback);
    if (exitCode == cli::Success && !load) {
        // One status poll first, as the Save button comes long after the window's first: the file
        // records the input sizes its overscans belong to. A box that stops answering here
        // leaves no file (and an older one of the name as it was).
        StatusPollTick(s);
        if (s.statusPoll.valid() && !s.statusPoll.finished())
            exitCode = run.await(s.statusPoll);
        if (exitCode == cli::Success && !s.connected())
            exitCode = cli::LinkFailure;
        if (exitCode == cli::Success) {
            ran = true;
            if (s.LastInputMask == kSignalMaskUnknown)
                std::fprintf(stderr,
                    "trivelctl: the box did not report its input signals; the file keeps "
                    "the input sizes it would have had without them\n");
            s.CurrentWindow = window - 1;
            outcome = SaveSettingFile(s, path, wholeBox);
            exitCode = outcome.ok ? cli::Success : cli::Failed;
        }
    } else if (exitCode == cli::Success) {
        // As the button does: the load, then with the box connected the transfer. A whole-box
        // transfer ends with a fresh read-back, which selects window 1 as the window does.
        s.CurrentWindow = window - 1;
        ui.started = true;
        ran = true;
        outcome = files.loadAndTransfer(path);
        exitCode = !outcome.ok ? cli::Failed : run.await(files.transferring());
        if (exitCode == cli::Success && !s.connected())
            exitCode = cli::LinkFailure;
    }
    run.decide(exitCode);
    ui.finish();
    // A refused load has said why through its message.
    if (ran && !outcome.ok && !load && !outcome.message.isEmpty())
        std::fprintf(stderr, "trivelctl: %s: %s\n", qPrintable(path), qPrintable(outcome.message));
    else if (exitCode == 0 && load)
        std::printf("loaded %s: %s\n", qPrintable(path),
            qPrintable(wholeBox ? WindowsText("whole-box file into", 1, s.ChannelCount)
                                : WindowsText("single-window file into", window, window)));
    else if (exitCode == 0)
        std::printf("saved %s: %s\n", qPrintable(path), qPrintable(outcome.contents));
    return exitCode;
}

} // namespace trivel
