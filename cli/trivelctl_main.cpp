// trivelctl: the headless companion. It drives the very chains the main window uses (the same
// Session, Connection and DispatchResponse) with a terminal UI port.

#include "TrivelVersion.h"
#include "box/Box.h"
#include "cli/BoxRun.h"
#include "cli/CliLink.h"
#include "cli/CliUi.h"
#include "cli/FileCommand.h"
#include "cli/FirmwareCommand.h"
#include "cli/FleetCommand.h"
#include "cli/InterchangeCommand.h"
#include "cli/MaskBoxCommand.h"
#include "cli/MaskCommand.h"
#include "cli/PreviewCommand.h"
#include "cli/ReadbackReport.h"
#include "cli/RegisterCommand.h"
#include "cli/SettingsCommand.h"
#include "cli/TransferCommand.h"
#include "cli/WarpCommand.h"
#include "cli/WarpTableCommand.h"
#include "link/Clock.h"
#include "box/Connection.h"
#include "session/Controls.h"
#include "session/PendingOps.h"
#include "session/Session.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QLoggingCategory>
#include <QTextStream>

#include <csignal>
#include <cstdio>

namespace {

using namespace trivel;

using cli::LinkFailure;
using cli::Rejected;
using cli::Success;
using cli::Usage;

const char* const kHelp = R"(Usage: trivelctl [--tcp HOST[:PORT] | --usb] [--yes] COMMAND [--json]

Talks to a video processor box over TCP or USB, on the same reply chains as the Trivel window.

Link (one of):
  --tcp HOST[:PORT]   connect over Ethernet to HOST (dotted address), port 7 unless given
  --usb               connect over USB (HID device 0416:F002); this is the default

Commands:
  identify            connect, print the Identify result (firmware, controller number, board
                      kind, windows, frame sizes, features) and the model number, disconnect;
                      asks for nothing else and changes nothing on the box
  readback            connect, run the whole connect read-back and print every cache it filled:
                      WindowSettings (INP, OPM, ...), BlendSettings, EdgeMaskCorners,
                      ControlOffsets, WallPoints, KeystoneCorners, ControlPattern, PointOffsets,
                      PipSettings, DCM, HDO, Network, MaskAssignment, ChannelCount, BoardModel, ...

  warp table ...      offline warp table computation; see 'trivelctl warp table --help'
  warp mode|nudge|reset|save-map|load-map
                      the Warp Adjust page's chains on the box; see 'trivelctl warp mode --help'
  warp push ...       a JSON grid's tables sent with the User Map transfer; same help
  mask encode|decode  offline mask conversion (BMP to mask stream, stream to PNG); see
                      'trivelctl mask --help'
  mask upload|read|delete|assign  the box's mask slots; see 'trivelctl mask upload --help'
  set|get             write or read settings by mnemonic (BRI=61); see 'trivelctl set --help'
  settings list       every setting mnemonic with its page, control, range and start value
  firmware FILE.BIN   download a firmware image (exit 5 when the box does not confirm it);
  firmware info FILE  see 'trivelctl firmware --help'
  reg read|write      video-chip registers; see 'trivelctl reg --help'
  file dump|diff|check
                      setting files (.WBF / .SBF) read without a box; see
                      'trivelctl file --help'
  save|load FILE      a setting file from the box, or into it with the transfer (a progress
                      bar on stderr); see 'trivelctl save --help'
  backup|restore      every box of a hosts file at once; see 'trivelctl backup --help'
  preview             what a window shows (warp, blend, mask) as a PNG, from the box's
                      state; see 'trivelctl preview --help'
  export|import       windows to and from MPCDI files (.mpcdi) and PFM warp grids, offline;
                      see 'trivelctl export --help' and 'trivelctl import --help'

Options:
  --json              print the result as one JSON object instead of "Key: value" lines
  --yes               answer questions the box's chains ask with yes (default: no)
  --verbose           also log the link's diagnostic lines (the memo) on stderr
  -h, --help          show this text
  --version           print the program's version

Messages go to stderr. Exit codes: 0 success, 2 usage error, 3 link failure (no box, connect
failed, link lost, no reply), 4 box rejected (controller firmware too old or main board error).
)";

struct Options {
    CliLinkOptions link;
    bool json = false;
    QString command;
};

int UsageError(const QString& why)
{
    std::fprintf(stderr, "trivelctl: %s\nTry 'trivelctl --help'.\n", qPrintable(why));
    return Usage;
}

// Parses the arguments; returns -1 to go on, or an exit code.
int Parse(const QStringList& args, Options& o)
{
    for (int i = 1; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == "-h" || a == "--help") {
            std::fputs(kHelp, stdout);
            return Success;
        }
        if (a == "--version") {
            std::printf("trivelctl %s\n", kVersion);
            return Success;
        }
        QString error;
        if (TakeLinkOption(args, i, o.link, error)) {
            if (!error.isEmpty())
                return UsageError(error);
        } else if (a == "--json") {
            o.json = true;
        } else if (a.startsWith('-')) {
            return UsageError("unknown option " + a);
        } else if (o.command.isEmpty()) {
            o.command = a;
        } else {
            return UsageError("unexpected argument " + a);
        }
    }
    if (o.command.isEmpty())
        return UsageError("no command given");
    if (o.command != "identify" && o.command != "readback")
        return UsageError("unknown command " + o.command);
    return -1;
}

void Print(const QJsonObject& report, bool json)
{
    if (json) {
        std::fputs(QJsonDocument(report).toJson(QJsonDocument::Indented).constData(), stdout);
        return;
    }
    for (const QString& line : cli::ReportLines(report))
        std::printf("%s\n", qPrintable(line));
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    // Past a file-size limit a write then fails with "File too large", which the save reports and
    // survives, instead of the signal ending the program.
    std::signal(SIGXFSZ, SIG_IGN);
    const QStringList args = app.arguments().mid(1);
    if (args.size() >= 2 && args.at(0) == QLatin1String("warp") && args.at(1) == QLatin1String("table")) {
        QTextStream out(stdout);
        QTextStream err(stderr);
        return RunWarpTableCommand(args.mid(2), out, err);
    }
    if (IsFirmwareCommand(args))
        return RunFirmwareCommand(args);
    if (IsRegisterCommand(args))
        return RunRegisterCommand(args);
    if (IsMaskBoxCommand(args))
        return RunMaskBoxCommand(args);
    if (!args.isEmpty() && args.at(0) == QLatin1String("mask")) {
        QTextStream out(stdout);
        QTextStream err(stderr);
        return RunMaskCommand(args.mid(1), out, err);
    }

    if (!args.isEmpty() && args.at(0) == QLatin1String("file")) {
        QTextStream out(stdout);
        QTextStream err(stderr);
        return RunFileCommand(args.mid(1), out, err);
    }
    if (IsTransferCommand(args))
        return RunTransferCommand(args);
    if (IsFleetCommand(args))
        return RunFleetCommand(args);
    if (const int code = RunPreviewCommand(args); code >= 0)
        return code;
    if (const int code = RunInterchangeCommand(args); code >= 0)
        return code;
    if (const int code = cli::RunSettingsCommand(args); code >= 0)
        return code;
    if (const int code = RunWarpBoxCommand(args); code >= 0)
        return code;

    Options o;
    if (const int code = Parse(app.arguments(), o); code >= 0)
        return code;

    if (!o.link.verbose)
        QLoggingCategory::setFilterRules(QStringLiteral("trivel.*.info=false\ntrivel.*.debug=false"));

    RealClock clock;
    cli::CliUi ui(o.link.yes);
    Box tool(clock, ui);
    Session& s = tool.session;
    Connection connection(s);

    const bool identifyOnly = o.command == "identify";
    const int exitCode = cli::ConnectAndRead(
        app, s, connection, ui, cli::LinkChoice{o.link.tcp, o.link.host, o.link.port}, identifyOnly);

    const QString memoLine = ui.memo().isEmpty() ? QString() : ui.memo().first();
    if (exitCode == Success || exitCode == Rejected)
        Print(identifyOnly || exitCode == Rejected ? cli::IdentifyReport(s, memoLine)
                                                   : cli::ReadbackReport(s, memoLine),
            o.json);
    // identify showed nothing on the box and never learnt its current window, so the
    // disconnect's neutral state would only write over the box's own state.
    if (s.connected() && identifyOnly)
        connection.DisconnectWithoutNeutralState();
    else
        cli::Disconnect(s, connection);
    return exitCode;
}
