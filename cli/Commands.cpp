#include "cli/Commands.h"

#include "cli/AlignCommand.h"
#include "cli/FileCommand.h"
#include "cli/FirmwareCommand.h"
#include "cli/FleetCommand.h"
#include "cli/IdentifyCommand.h"
#include "cli/InterchangeCommand.h"
#include "cli/MaskBoxCommand.h"
#include "cli/MaskCommand.h"
#include "cli/PreviewCommand.h"
#include "cli/RegisterCommand.h"
#include "cli/SettingsCommand.h"
#include "cli/TransferCommand.h"
#include "cli/WarpCommand.h"
#include "cli/WarpTableCommand.h"

#include <QTextStream>

#include <array>
#include <cstdio>
#include <cstring>

namespace trivel::cli {

namespace {

const char* const kGeneralHelp = R"(Usage: trivelctl [--tcp HOST[:PORT] | --usb] [--yes] COMMAND [--json]

Talks to a video processor box over TCP or USB, on the same reply chains as the Trivel window.

Link (one of):
  --tcp HOST[:PORT]   connect over Ethernet to HOST (dotted address), port 7 unless given
  --usb               connect over USB (HID device 0416:F002); this is the default

Commands:
%1
Windows are numbered 1..4 everywhere, as on the window buttons: every --window option and every
JSON field that names a window.

Options:
  --json              print the result as one JSON object instead of "Key: value" lines
  --yes               answer questions the box's chains ask with yes (default: no)
  --verbose           also log every frame (> sent, < received) and the core's diagnostic lines on
                      stderr; without it a failure is said once, in the command's words
  -h, --help          show this text
  --version           print the program's version

Messages go to stderr. Exit codes: 0 success, 2 usage error, 3 link failure (no box, connect
failed, link lost, no reply), 4 box rejected (controller firmware too old or main board error).
)";

int RunWarp(const QStringList& args, const BoxEnv& env)
{
    const qsizetype at = args.indexOf(QStringLiteral("warp"));
    if (args.value(at + 1) == QLatin1String("table")) {
        QTextStream out(stdout);
        QTextStream err(stderr);
        return RunWarpTableCommand(args.mid(at + 2), out, err);
    }
    const QString sub = args.value(at + 1);
    if (sub.isEmpty() || sub == QLatin1String("--help") || sub == QLatin1String("-h"))
        return RunWarpBoxCommand(
            {QStringLiteral("warp"), QStringLiteral("mode"), QStringLiteral("--help")}, env);
    if (const int code = RunWarpBoxCommand(args, env); code >= 0)
        return code;
    std::fprintf(stderr,
        "trivelctl: give 'warp table', 'warp mode', 'warp nudge', 'warp reset', 'warp save-map', "
        "'warp load-map' or 'warp push'\nTry 'trivelctl warp mode --help'.\n");
    return Usage;
}

int RunMask(const QStringList& args, const BoxEnv& env)
{
    if (IsMaskBoxCommand(args))
        return RunMaskBoxCommand(args, env);
    const QStringList rest = args.mid(args.indexOf(QStringLiteral("mask")) + 1);
    int code = 0;
    {
        QTextStream out(stdout);
        QTextStream err(stderr);
        code = RunMaskCommand(rest, out, err);
    }
    // The general help names the box operations too, with their window numbering.
    if (code == Success && (rest.value(0) == QLatin1String("--help") || rest.value(0) == QLatin1String("-h")))
        return RunMaskBoxCommand(
            {QStringLiteral("mask"), QStringLiteral("upload"), QStringLiteral("--help")}, env);
    return code;
}

int RunFile(const QStringList& args, const BoxEnv&)
{
    QTextStream out(stdout);
    QTextStream err(stderr);
    return RunFileCommand(args.mid(args.indexOf(QStringLiteral("file")) + 1), out, err);
}

int RunSettings(const QStringList& args, const BoxEnv& env)
{
    return RunSettingsCommand(args, env);
}

int RunFleet(const QStringList& args, const BoxEnv&)
{
    return RunFleetCommand(args);
}

int RunInterchange(const QStringList& args, const BoxEnv& env)
{
    return RunInterchangeCommand(args, env);
}

const std::array kCommands{
    Command{"identify",
        "  identify            connect, print the Identify result (firmware, controller number, board\n"
        "                      kind, windows, frame sizes, features) and the model number, disconnect;\n"
        "                      asks for nothing else and changes nothing on the box\n",
        RunIdentifyCommand},
    Command{"readback",
        "  readback            connect, run the whole connect read-back and print every cache it filled:\n"
        "                      WindowSettings (INP, OPM, ...), BlendSettings, EdgeMaskCorners,\n"
        "                      ControlOffsets, WallPoints, KeystoneCorners, ControlPattern, PointOffsets,\n"
        "                      PipSettings, DCM, HDO, Network, MaskAssignment, ChannelCount, BoardModel, "
        "...\n",
        RunIdentifyCommand},
    Command{"warp",
        "  warp table ...      offline warp table computation; see 'trivelctl warp table --help'\n"
        "  warp mode|nudge|reset|save-map|load-map\n"
        "                      the Warp Adjust page's chains on the box; see 'trivelctl warp mode --help'\n"
        "  warp push ...       a JSON grid's tables sent with the User Map transfer; same help\n",
        RunWarp},
    Command{"mask",
        "  mask encode|decode  offline mask conversion (BMP to mask stream, stream to PNG); see\n"
        "                      'trivelctl mask --help'\n"
        "  mask upload|read|delete|assign  the box's mask slots; see 'trivelctl mask upload --help'\n",
        RunMask},
    Command{"set",
        "  set|get             write or read settings by mnemonic (BRI=61); see 'trivelctl set --help'\n",
        RunSettings},
    Command{"get", "", RunSettings},
    Command{"settings",
        "  settings list       every setting mnemonic with its page, control, range and start value\n",
        RunSettings},
    Command{"firmware",
        "  firmware FILE.BIN   download a firmware image (exit 5 when the box does not confirm it);\n"
        "  firmware info FILE  see 'trivelctl firmware --help'\n",
        RunFirmwareCommand},
    Command{"reg", "  reg read|write      video-chip registers; see 'trivelctl reg --help'\n",
        RunRegisterCommand},
    Command{"file",
        "  file dump|diff|check\n"
        "                      setting files (.WBF / .SBF) read without a box; see\n"
        "                      'trivelctl file --help'\n",
        RunFile},
    Command{"save",
        "  save|load FILE      a setting file from the box, or into it with the transfer (a progress\n"
        "                      bar on stderr); see 'trivelctl save --help'\n",
        RunTransferCommand},
    Command{"load", "", RunTransferCommand},
    Command{"backup",
        "  backup|restore      every box of a hosts file at once; see 'trivelctl backup --help'\n", RunFleet},
    Command{"restore", "", RunFleet},
    Command{"preview",
        "  preview             what a window shows (warp, blend, mask) as a PNG, from the box's\n"
        "                      state; see 'trivelctl preview --help'\n",
        RunPreviewCommand},
    Command{"export",
        "  export|import       windows of a box or a setting file to MPCDI files (.mpcdi) and PFM warp\n"
        "                      grids, and an MPCDI region into a window of the box; see\n"
        "                      'trivelctl export --help' and 'trivelctl import --help'\n",
        RunInterchange},
    Command{"import", "", RunInterchange},
    Command{"align",
        "  align               camera alignment: patterns, photos, each window's tables and blend, the\n"
        "                      residual; tried in simulation only; see 'trivelctl align --help'\n",
        RunAlignCommand},
};

int UsageError(const QString& why)
{
    std::fprintf(stderr, "trivelctl: %s\nTry 'trivelctl --help'.\n", qPrintable(why));
    return Usage;
}

} // namespace

std::span<const Command> Commands()
{
    return kCommands;
}

QString CommandWord(const QStringList& args)
{
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--tcp")) {
            ++i;
            continue;
        }
        if (!args[i].startsWith('-'))
            return args[i];
    }
    return {};
}

namespace {

// The core's diagnostic lines (trivel.files, trivel.link, ...) are for --verbose: without it a
// failure is said once, in the command's own words.
bool gVerbose = false;
QtMessageHandler gPrevious = nullptr;

void FilterInternalLines(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (!gVerbose && context.category && std::strncmp(context.category, "trivel.", 7) == 0)
        return;
    if (gPrevious)
        gPrevious(type, context, text);
}

class InternalLines {
public:
    explicit InternalLines(bool verbose)
        : m_wasVerbose(gVerbose)
    {
        gVerbose = verbose;
        const QtMessageHandler before = qInstallMessageHandler(FilterInternalLines);
        m_installed = before != FilterInternalLines;
        if (m_installed)
            gPrevious = before;
    }
    ~InternalLines()
    {
        gVerbose = m_wasVerbose;
        if (m_installed)
            qInstallMessageHandler(gPrevious);
    }

private:
    bool m_wasVerbose;
    bool m_installed;
};

} // namespace

int RunCommandLine(const QStringList& args, const BoxEnv& env)
{
    const InternalLines lines(args.contains(QStringLiteral("--verbose")));
    const QString word = CommandWord(args);
    if (word.isEmpty()) {
        if (args.contains(QStringLiteral("-h")) || args.contains(QStringLiteral("--help"))) {
            QString commands;
            for (const Command& c : kCommands)
                commands += QLatin1String(c.summary);
            std::fputs(qPrintable(QString::fromLatin1(kGeneralHelp).arg(commands)), stdout);
            return Success;
        }
        return UsageError(args.isEmpty()
                ? QStringLiteral("no command given")
                : QStringLiteral("no command given (options alone: ") + args.join(' ') + ')');
    }
    for (const Command& c : kCommands)
        if (word == QLatin1String(c.name))
            return c.run(args, env);
    return UsageError("unknown command " + word);
}

} // namespace trivel::cli
