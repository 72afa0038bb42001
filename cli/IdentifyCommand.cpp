#include "cli/IdentifyCommand.h"

#include "cli/ReadbackReport.h"
#include "session/Session.h"

#include <QJsonDocument>

#include <cstdio>

namespace trivel::cli {

namespace {

const char* const kHelp = R"(Usage: trivelctl [--tcp HOST[:PORT] | --usb] [--verbose] identify [--json]
       trivelctl [--tcp HOST[:PORT] | --usb] [--verbose] readback [--json]

identify  connects, prints the Identify result (firmware, controller number, board kind, windows,
          frame sizes, features) and the model number, and disconnects; it asks for nothing else
          and changes nothing on the box.
readback  connects, runs the whole connect read-back and prints every cache it filled. Per-window
          arrays hold windows 1..4 in order; CurrentWindow is numbered 1..4, as on the window
          buttons.

Exit codes: 0 success, 2 usage error, 3 link failure (no box, connect failed, link lost, no
reply), 4 box rejected (firmware too old, main board error, implausible Identify reply).
)";

int UsageError(const QString& why)
{
    std::fprintf(stderr, "trivelctl: %s\nTry 'trivelctl identify --help'.\n", qPrintable(why));
    return Usage;
}

void Print(const QJsonObject& report, bool json)
{
    if (json) {
        std::fputs(QJsonDocument(report).toJson(QJsonDocument::Indented).constData(), stdout);
        return;
    }
    for (const QString& line : ReportLines(report))
        std::printf("%s\n", qPrintable(line));
}

} // namespace

int RunIdentifyCommand(const QStringList& args, const BoxEnv& env)
{
    CliLinkOptions link;
    bool json = false;
    QString command;
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == "-h" || a == "--help") {
            std::fputs(kHelp, stdout);
            return Success;
        }
        QString error;
        if (TakeLinkOption(args, i, link, error)) {
            if (!error.isEmpty())
                return UsageError(error);
        } else if (a == "--json") {
            json = true;
        } else if (a.startsWith('-')) {
            return UsageError("unknown option " + a);
        } else if (command.isEmpty()) {
            command = a;
        } else {
            return UsageError("unexpected argument " + a);
        }
    }

    CliUi ui(link.yes);
    BoxRun run(env, link, ui);
    Session& s = run.session();
    const bool identifyOnly = command == "identify";
    const int exitCode = run.connect(identifyOnly ? ConnectMode::IdentifyOnly : ConnectMode::Readback);
    const QString memoLine = ui.memo().isEmpty() ? QString() : ui.memo().first();
    if (exitCode == Success || exitCode == Rejected)
        Print(
            identifyOnly || exitCode == Rejected ? IdentifyReport(s, memoLine) : ReadbackReport(s, memoLine),
            json);
    run.decide(exitCode);
    return exitCode;
}

} // namespace trivel::cli
