// trivel-boxsim: the simulated box as a TCP server, for the demo, trivelctl and end-to-end tests.

#include "TrivelVersion.h"
#include "sim/BoxServer.h"
#include "sim/rig/RigService.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSaveFile>

#include <cstdio>

using trivel::sim::BoxIdentity;
using trivel::sim::BoxModel;
using trivel::sim::BoxServer;

namespace {

bool parseNumber(const QString& text, long long min, long long max, long long& out)
{
    bool ok = false;
    const long long v = text.toLongLong(&ok, 0); // accepts 0x.. hex
    if (!ok || v < min || v > max)
        return false;
    out = v;
    return true;
}

bool parseSize(const QString& text, std::int32_t& w, std::int32_t& h)
{
    static const QRegularExpression re(QStringLiteral("^(\\d{1,5})x(\\d{1,5})$"));
    const auto m = re.match(text);
    if (!m.hasMatch())
        return false;
    w = m.captured(1).toInt();
    h = m.captured(2).toInt();
    return true;
}

// "W=WxH" (window 0..3 and a size).
// --version alone prints the program's version; with a value it is the older spelling of
// --firmware-version, which scripts may still use.
QStringList FirmwareVersionAlias(QStringList args)
{
    for (int i = 1; i < args.size(); ++i) {
        if (args[i].startsWith(QLatin1String("--version=")))
            args[i].replace(0, 9, QStringLiteral("--firmware-version"));
        else if (args[i] == QLatin1String("--version") && i + 1 < args.size() && !args[i + 1].startsWith('-'))
            args[i] = QStringLiteral("--firmware-version");
    }
    return args;
}

bool parseWindowSize(const QString& text, int& window, std::int32_t& w, std::int32_t& h)
{
    const auto parts = text.split(QLatin1Char('='));
    if (parts.size() != 2)
        return false;
    bool ok = false;
    window = parts[0].toInt(&ok);
    return ok && window >= 0 && window < 4 && parseSize(parts[1], w, h);
}

[[noreturn]] void fail(const QString& message)
{
    std::fprintf(stderr, "trivel-boxsim: %s\n", qPrintable(message));
    std::exit(2);
}

struct OptionRow {
    const char* name;
    const char* help;
    const char* valueName; // empty: a flag
    const char* defaultValue;
};

// Every option, in the order --help lists them.
const OptionRow kOptions[] = {
    {"host", "Address to listen on (default 127.0.0.1).", "HOST", "127.0.0.1"},
    {"port", "TCP port (default 7; 0 picks a free port).", "PORT", "7"},
    {"board-kind", "Identify byte 14: 0x80 + windows for a PIP board, else windows / 2 (default 0x84).",
        "BYTE", ""},
    {"key", "Identify byte 15, KEY (default 0).", "BYTE", ""},
    {"user-mask", "Identify byte 37: 0 no user masks, 0x5B small masks, other: large (default 0x5B).", "BYTE",
        ""},
    {"model", "Model number answered to MDN (default 800).", "N", ""},
    {"mcu", "Controller firmware number, Identify bytes 11-13 (default 93224).", "N", ""},
    {"firmware-version",
        "Firmware version, Identify bytes 8-10 (default 3.0.5); '--version A.B.C' still works.", "A.B.C", ""},
    {"main-board-error", "Set the main-board-error bit (Identify byte 34 bit 3).", "", ""},
    {"frame", "Frame size of all windows, e.g. 1920x1080 (default).", "WxH", ""},
    {"frame23", "Frame size of windows 2 and 3 (after --frame).", "WxH", ""},
    {"board-mask", "Boards present, answer to the board query 0x0090 (default 0x0F).", "MASK", ""},
    {"caps",
        "Capability byte of a window's settings record, e.g. 1=0x80 (default 0x01: hue and saturation "
        "adjustable). Repeatable.",
        "W=BYTE", ""},
    {"input", "Input signal of a window, e.g. 1=1280x720; 0x0 for none (default: 0=1920x1080). Repeatable.",
        "W=WxH", ""},
    {"pip-source", "PIP source signal of a window, e.g. 0=720x576. Repeatable.", "W=WxH", ""},
    {"input-mask", "Input mask of the status reply (default: windows with an input signal).", "MASK", ""},
    {"output-mask", "Output mask of the status reply (default: one bit per window).", "MASK", ""},
    {"log", "Append one line per received frame (code and setting text) to FILE.", "FILE", ""},
    {"silent-after", "Answer only the first N requests, then stay silent.", "N", ""},
    {"wrong-code",
        "Answer request CODE with a wrong code (REPLY, default 0xFFFF), e.g. 0x1006 or 0x2010=0x2011.",
        "CODE[=REPLY]", ""},
    {"split", "Send each reply as two TCP segments, the second a few ms after the first.", "", ""},
    {"split-delay",
        "Milliseconds between the two segments of --split (default 5), or between the bytes of --hostile "
        "segments (default 0: one per event-loop turn).",
        "MS", ""},
    {"close-after",
        "Close each connection after N replies (with --hostile shortclose: N whole replies before the short "
        "one).",
        "N", ""},
    {"hostile",
        "Answer like a broken box: random (512 random bytes), extreme (right codes, extreme field values), "
        "flood (duplicate and unsolicited frames after each reply), segments (replies one byte at a time), "
        "shortclose (a reply cut short, then the connection closed), noread (requests never read), silent "
        "(never answer; same as --silent-after 0), masksize (mask slot headers claim a stream of almost 4 "
        "GiB).",
        "MODE", ""},
    {"seed",
        "Seed of the random choices of --hostile (default 1); the same seed and requests give the same "
        "bytes.",
        "N", ""},
    // Firmware downloads: the box reports a checksum one off from the image's.
    {"wrong-checksum", "Report a wrong checksum at the end of every firmware download.", "", ""},
    // The User Map tables of each apply, for comparing with 'trivelctl warp table'.
    {"save-tables",
        "After each User Map apply (0x2012) write the window's tables to DIR/window-N.bin: the x table then "
        "the y table, 20592 bytes each, as 'trivelctl warp table' writes them.",
        "DIR", ""},
    // A slot that holds a mask from the start, so a read or delete needs no upload first.
    {"mask-slot", "Slot S (1-10) holds the mask stream in FILE, as the box keeps it. Repeatable.", "S=FILE",
        ""},
};

void AddOptions(QCommandLineParser& p)
{
    for (const OptionRow& row : kOptions) {
        const QString name = QString::fromLatin1(row.name);
        const QString help = QString::fromLatin1(row.help);
        if (*row.valueName)
            p.addOption(QCommandLineOption(
                name, help, QString::fromLatin1(row.valueName), QString::fromLatin1(row.defaultValue)));
        else
            p.addOption(QCommandLineOption(name, help));
    }
}

// A numeric option: false when it is not given; a value outside min..max ends the program.
bool Number(const QCommandLineParser& p, const char* name, long long min, long long max, long long& v)
{
    const QString option = QString::fromLatin1(name);
    if (!p.isSet(option))
        return false;
    if (!parseNumber(p.value(option), min, max, v))
        fail(QStringLiteral("bad value for --%1: %2").arg(option, p.value(option)));
    return true;
}

void ParseFrames(const QCommandLineParser& p, BoxIdentity& id)
{
    std::int32_t w = 0, h = 0;
    if (p.isSet("frame")) {
        if (!parseSize(p.value("frame"), w, h) || w > 65535 || h > 65535)
            fail(QStringLiteral("bad value for --frame: %1").arg(p.value("frame")));
        id.frameWidth01 = id.frameWidth23 = std::uint16_t(w);
        id.frameHeight01 = id.frameHeight23 = std::uint16_t(h);
    }
    if (p.isSet("frame23")) {
        if (!parseSize(p.value("frame23"), w, h) || w > 65535 || h > 65535)
            fail(QStringLiteral("bad value for --frame23: %1").arg(p.value("frame23")));
        id.frameWidth23 = std::uint16_t(w);
        id.frameHeight23 = std::uint16_t(h);
    }
}

BoxIdentity IdentityOf(const QCommandLineParser& p)
{
    BoxIdentity id;
    long long v = 0;
    if (Number(p, "board-kind", 0, 255, v))
        id.boardKind = std::uint8_t(v);
    if (Number(p, "key", 0, 255, v))
        id.key = std::uint8_t(v);
    if (Number(p, "user-mask", 0, 255, v))
        id.userMask = std::uint8_t(v);
    if (Number(p, "model", 0, 999, v))
        id.model = int(v);
    if (Number(p, "mcu", 0, 0xFFFFFF, v))
        id.controllerFirmware = std::uint32_t(v);
    if (Number(p, "board-mask", 0, 255, v))
        id.boardMask = std::uint8_t(v);
    id.mainBoardError = p.isSet("main-board-error");
    if (p.isSet("firmware-version")) {
        const QString text = p.value("firmware-version");
        const auto parts = text.split(QLatin1Char('.'));
        if (parts.size() != 3)
            fail(QStringLiteral("bad value for --firmware-version: %1").arg(text));
        for (int i = 0; i < 3; ++i) {
            if (!parseNumber(parts[i], 0, 255, v))
                fail(QStringLiteral("bad value for --firmware-version: %1").arg(text));
            id.firmwareVersion[std::size_t(i)] = std::uint8_t(v);
        }
    }
    ParseFrames(p, id);
    for (const QString& c : p.values("caps")) {
        const auto parts = c.split(QLatin1Char('='));
        long long win = 0;
        if (parts.size() != 2 || !parseNumber(parts[0], 0, 3, win) || !parseNumber(parts[1], 0, 255, v))
            fail(QStringLiteral("bad value for --caps: %1").arg(c));
        id.windowCaps[std::size_t(win)] = std::uint8_t(v);
    }
    return id;
}

// Input signals, the status masks and the ways the box fails to answer.
void ConfigureSignals(const QCommandLineParser& p, BoxModel& box)
{
    long long v = 0;
    std::int32_t w = 0, h = 0;
    for (const QString& s : p.values("input")) {
        int win = 0;
        if (!parseWindowSize(s, win, w, h))
            fail(QStringLiteral("bad value for --input: %1").arg(s));
        box.inputSignals.input[std::size_t(win)] = {w, h};
    }
    for (const QString& s : p.values("pip-source")) {
        int win = 0;
        if (!parseWindowSize(s, win, w, h))
            fail(QStringLiteral("bad value for --pip-source: %1").arg(s));
        box.inputSignals.pipSource[std::size_t(win)] = {w, h};
    }
    if (Number(p, "input-mask", 0, 255, v))
        box.inputSignals.inputMask = int(v);
    if (Number(p, "output-mask", 0, 255, v))
        box.inputSignals.outputMask = int(v);
    if (Number(p, "silent-after", 0, 1LL << 30, v))
        box.silentAfter = int(v);
    if (p.isSet("wrong-code")) {
        const QString text = p.value("wrong-code");
        const auto parts = text.split(QLatin1Char('='));
        if (parts.size() > 2 || !parseNumber(parts[0], 0, 0xFFFFFFFFLL, v))
            fail(QStringLiteral("bad value for --wrong-code: %1").arg(text));
        box.wrongCodeFor = std::uint32_t(v);
        if (parts.size() == 2) {
            if (!parseNumber(parts[1], 0, 0xFFFFFFFFLL, v))
                fail(QStringLiteral("bad value for --wrong-code: %1").arg(text));
            box.wrongCode = std::uint32_t(v);
        }
    }
}

void ConfigureHostile(const QCommandLineParser& p, BoxModel& box)
{
    if (p.isSet("hostile")) {
        const QString mode = p.value("hostile");
        if (mode == QLatin1String("silent")) {
            box.silentAfter = 0;
        } else if (const auto m = trivel::sim::parseHostile(mode.toStdString())) {
            box.hostile = *m;
        } else {
            fail(QStringLiteral("bad value for --hostile: %1").arg(mode));
        }
    }
    if (p.isSet("seed")) {
        bool ok = false;
        box.seed = p.value("seed").toULongLong(&ok, 0);
        if (!ok)
            fail(QStringLiteral("bad value for --seed: %1").arg(p.value("seed")));
    }
}

// Mask slots filled from files, and the User Map tables written out after each apply.
void ConfigureStores(const QCommandLineParser& p, BoxModel& box)
{
    long long v = 0;
    for (const QString& m : p.values("mask-slot")) {
        const qsizetype eq = m.indexOf(QLatin1Char('='));
        QFile f(m.mid(eq + 1));
        if (eq < 0 || !parseNumber(m.left(eq), 1, trivel::sim::kMaskSlots, v) || !f.open(QIODevice::ReadOnly))
            fail(QStringLiteral("bad value for --mask-slot: %1").arg(m));
        const QByteArray bytes = f.read(qint64(trivel::sim::kColourSlotLimit));
        box.maskSlot(int(v) - 1).assign(bytes.begin(), bytes.end());
    }
    if (!p.isSet("save-tables"))
        return;
    const QString dir = p.value("save-tables");
    if (!QDir(dir).exists())
        fail(QStringLiteral("bad value for --save-tables: %1 is not a directory").arg(dir));
    box.onUserMapApplied = [&box, dir](int window) {
        const auto& t = box.userMapTables(window);
        QSaveFile f(QDir(dir).filePath(QStringLiteral("window-%1.bin").arg(window)));
        if (!t || !f.open(QIODevice::WriteOnly)
            || f.write(reinterpret_cast<const char*>(t->x.data()), qint64(t->x.size())) != qint64(t->x.size())
            || f.write(reinterpret_cast<const char*>(t->y.data()), qint64(t->y.size())) != qint64(t->y.size())
            || !f.commit())
            std::fprintf(stderr, "trivel-boxsim: cannot write the tables of window %d\n", window);
    };
}

// The server's pacing and log, then listening; "listening on HOST:PORT" once it accepts.
QHostAddress Listen(const QCommandLineParser& p, BoxServer& server)
{
    long long v = 0;
    server.split = p.isSet("split");
    if (Number(p, "split-delay", 0, 10000, v))
        server.splitDelayMs = server.segmentDelayMs = int(v);
    if (Number(p, "close-after", 0, 1LL << 30, v))
        server.closeAfter = int(v);
    if (p.isSet("log") && !server.setLogFile(p.value("log")))
        fail(QStringLiteral("cannot open log file %1").arg(p.value("log")));

    const QHostAddress address(p.value("host"));
    if (address.isNull())
        fail(QStringLiteral("bad value for --host: %1").arg(p.value("host")));
    if (!parseNumber(p.value("port"), 0, 65535, v))
        fail(QStringLiteral("bad value for --port: %1").arg(p.value("port")));
    if (!server.listen(address, quint16(v)))
        fail(QStringLiteral("cannot listen on %1:%2: %3")
                 .arg(p.value("host"))
                 .arg(v)
                 .arg(server.errorString()));
    std::printf("listening on %s:%u\n", qPrintable(server.address().toString()), unsigned(server.port()));
    std::fflush(stdout);
    return address;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("trivel-boxsim"));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(trivel::kVersion));

    QCommandLineParser p;
    p.setApplicationDescription(QStringLiteral(
        "A simulated video processor box on TCP. It answers every request frame of the Trivel tool with "
        "one 512-byte reply, keeps settings, warp tables, masks, maps, profiles and registers, and "
        "prints \"listening on HOST:PORT\" once it accepts connections.\n"
        "One client at a time, as a real box: a new connection replaces the connected one (run one "
        "trivel-boxsim per box, e.g. one per line of a backup hosts file).\n"
        "Numbers may be given in decimal or as 0x.. hex."));
    p.addHelpOption();
    p.addVersionOption();
    AddOptions(p);
    trivel::sim::AddRigOptions(p);
    p.process(FirmwareVersionAlias(app.arguments()));

    BoxModel box(IdentityOf(p));
    box.receivedLogLimit = 1000; // a long-running server keeps only recent frames in memory
    box.corruptFirmwareChecksum = p.isSet("wrong-checksum");
    ConfigureSignals(p, box);
    ConfigureHostile(p, box);
    ConfigureStores(p, box);

    BoxServer server(box);
    const QHostAddress address = Listen(p, server);
    QString rigError;
    const auto photos = trivel::sim::StartRigService(p, box, address, rigError);
    if (!photos && !rigError.isEmpty())
        fail(rigError);
    return app.exec();
}
