#include "cli/RegisterCommand.h"

#include "cli/Bootstrap.h"
#include "registers/Registers.h"
#include "session/Operations.h"
#include "box/Connection.h"
#include "session/Session.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>

namespace trivel {

namespace {

const char* const kRegisterHelp
    = R"(Usage: trivelctl [--tcp HOST[:PORT] | --usb] reg read [--window N] [--bank B] [--json]
       trivelctl [--tcp HOST[:PORT] | --usb] reg write [--window N] ADDR VALUE

read    read the 128 registers of bank B (hex, default 0) of the video chip of window N
        and print them as a 16 x 8 hex table (rows by high nibble), or JSON
write   write VALUE (hex, 00-FF) to register ADDR (hex, 01-7F; 00 selects the bank) as the
        register page does

Windows are numbered 1..4 as on the window buttons (default 1); one the box does not have is
refused.

Exit codes: 0 done, 2 usage error, 3 link failure (no box, link lost, no reply), 4 box rejected.
)";

int Fail(int code, const QString& why)
{
    std::fprintf(stderr, "trivelctl: %s\n", qPrintable(why));
    return code;
}

QString Hex2(unsigned v)
{
    return QStringLiteral("%1").arg(v & 0xFFu, 2, 16, QLatin1Char('0')).toUpper();
}

} // namespace

bool IsRegisterCommand(const QStringList& args)
{
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--tcp")) {
            ++i;
            continue;
        }
        if (!args[i].startsWith('-'))
            return args[i] == QLatin1String("reg");
    }
    return false;
}

namespace {

struct RegisterArgs {
    CliLinkOptions link;
    bool json = false;
    int window = 1;
    unsigned bank = 0;
    bool write = false;
    int address = 0;
    unsigned value = 0;
};

// -1: parsed; otherwise the exit code (help shown, or a usage error said).
int ParseOptions(const QStringList& args, RegisterArgs& o, QStringList& words)
{
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        QString error;
        if (a == "-h" || a == "--help") {
            std::fputs(kRegisterHelp, stdout);
            return 0;
        }
        if (TakeLinkOption(args, i, o.link, error)) {
            if (!error.isEmpty())
                return Fail(2, error);
        } else if (a == "--json") {
            o.json = true;
        } else if (a == "--window" || a == "--bank") {
            bool ok = false;
            const unsigned v = i + 1 < args.size() ? args[i + 1].toUInt(&ok, a == "--bank" ? 16 : 10) : 0;
            if (!ok || (a == "--window" ? (v < 1 || v > 4) : v > 0xFF))
                return Fail(2,
                    a == "--window" ? "--window takes 1..4, as on the window buttons"
                                    : "--bank takes a hex byte, 00 to FF");
            if (a == "--window")
                o.window = int(v);
            else
                o.bank = v;
            ++i;
        } else if (a.startsWith('-')) {
            return Fail(2, "unknown option " + a);
        } else {
            words << a;
        }
    }
    return -1;
}

int Parse(const QStringList& args, RegisterArgs& o)
{
    QStringList words;
    if (const int code = ParseOptions(args, o, words); code >= 0)
        return code;
    if (words.size() < 2 || words[0] != "reg" || (words[1] != "read" && words[1] != "write"))
        return Fail(2, "give 'reg read' or 'reg write ADDR VALUE'; try 'trivelctl reg --help'");
    o.write = words[1] == "write";
    if (o.write) {
        bool ok = false;
        o.address = int(words.value(2).toUInt(&ok, 16));
        if (words.size() != 4 || !ok || o.address >= kRegisterCount)
            return Fail(2, "reg write needs ADDR (hex, 00-7F) and VALUE (hex, 00-FF)");
        bool valueOk = false;
        o.value = words[3].toUInt(&valueOk, 16);
        if (!valueOk || o.value > 0xFF)
            return Fail(2,
                "reg write: VALUE '" + words[3]
                    + "' is not a hex byte; give 00 to FF, as in 'reg write 12 5A'");
    } else if (words.size() != 2) {
        return Fail(2, "unexpected argument " + words[2]);
    }
    return -1;
}

void PrintBank(const Registers& registers, const RegisterArgs& o)
{
    if (o.json) {
        QJsonArray values;
        for (const QString& c : registers.grid().Cells)
            values.append(int(c.toUInt(nullptr, 16)));
        const QJsonObject j{{"window", o.window}, {"bank", int(o.bank)}, {"registers", values}};
        std::fputs(QJsonDocument(j).toJson(QJsonDocument::Indented).constData(), stdout);
        return;
    }
    std::printf("   ");
    for (int c = 0; c < 16; ++c)
        std::printf(" %s", qPrintable(Hex2(unsigned(c))));
    std::printf("\n");
    for (int r = 0; r < 8; ++r) {
        std::printf("%s:", qPrintable(Hex2(unsigned(r))));
        for (int c = 0; c < 16; ++c)
            std::printf(" %s", qPrintable(registers.grid().Cells[std::size_t(r * 16 + c)]));
        std::printf("\n");
    }
}

} // namespace

int RunRegisterCommand(const QStringList& args, const cli::BoxEnv& env)
{
    RegisterArgs o;
    if (const int code = Parse(args, o); code >= 0)
        return code;
    cli::CliUi ui(false);
    cli::BoxRun run(env, o.link, ui);
    Session& s = run.session();
    Registers& registers = run.box().registers;
    int exitCode = run.connect(cli::ConnectMode::Readback);
    if (exitCode == cli::Success && o.window > s.ChannelCount)
        exitCode = Fail(cli::Usage,
            QStringLiteral("--window %1: the box has windows 1..%2").arg(o.window).arg(s.ChannelCount));
    if (exitCode == cli::Success) {
        s.CurrentWindow = o.window - 1;
        if (o.write) {
            // What an edit of the selected cell sends, awaited to the box's echo.
            registers.selectCell(o.address % 16 + 1, o.address / 16 + 1);
            exitCode = run.await(registers.write(o.address, int(o.value)));
        } else {
            registers.grid().Cells[0] = Hex2(o.bank);
            exitCode = run.await(registers.readBank());
        }
        run.decide(exitCode);
    }
    if (exitCode == 0 && o.write)
        std::printf("window %d register %s = %s\n", o.window, qPrintable(Hex2(unsigned(o.address))),
            qPrintable(Hex2(o.value)));
    else if (exitCode == 0)
        PrintBank(registers, o);
    return exitCode;
}

} // namespace trivel
