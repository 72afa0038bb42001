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
    const QCommandLineOption host(QStringLiteral("host"),
        QStringLiteral("Address to listen on (default 127.0.0.1)."), QStringLiteral("HOST"),
        QStringLiteral("127.0.0.1"));
    const QCommandLineOption port(QStringLiteral("port"),
        QStringLiteral("TCP port (default 7; 0 picks a free port)."), QStringLiteral("PORT"),
        QStringLiteral("7"));
    const QCommandLineOption boardKind(QStringLiteral("board-kind"),
        QStringLiteral("Identify byte 14: 0x80 + windows for a PIP board, else windows / 2 (default 0x84)."),
        QStringLiteral("BYTE"));
    const QCommandLineOption key(
        QStringLiteral("key"), QStringLiteral("Identify byte 15, KEY (default 0)."), QStringLiteral("BYTE"));
    const QCommandLineOption userMask(QStringLiteral("user-mask"),
        QStringLiteral("Identify byte 37: 0 no user masks, 0x5B small masks, other: large (default 0x5B)."),
        QStringLiteral("BYTE"));
    const QCommandLineOption model(QStringLiteral("model"),
        QStringLiteral("Model number answered to MDN (default 800)."), QStringLiteral("N"));
    const QCommandLineOption mcu(QStringLiteral("mcu"),
        QStringLiteral("Controller firmware number, Identify bytes 11-13 (default 93224)."),
        QStringLiteral("N"));
    const QCommandLineOption version(QStringLiteral("firmware-version"),
        QStringLiteral("Firmware version, Identify bytes 8-10 (default 3.0.5); '--version A.B.C' still "
                       "works."),
        QStringLiteral("A.B.C"));
    const QCommandLineOption mainBoardError(QStringLiteral("main-board-error"),
        QStringLiteral("Set the main-board-error bit (Identify byte 34 bit 3)."));
    const QCommandLineOption frame(QStringLiteral("frame"),
        QStringLiteral("Frame size of all windows, e.g. 1920x1080 (default)."), QStringLiteral("WxH"));
    const QCommandLineOption frame23(QStringLiteral("frame23"),
        QStringLiteral("Frame size of windows 2 and 3 (after --frame)."), QStringLiteral("WxH"));
    const QCommandLineOption boardMask(QStringLiteral("board-mask"),
        QStringLiteral("Boards present, answer to the board query 0x0090 (default 0x0F)."),
        QStringLiteral("MASK"));
    const QCommandLineOption caps(QStringLiteral("caps"),
        QStringLiteral("Capability byte of a window's settings record, e.g. 1=0x80 (default 0x01: hue and "
                       "saturation adjustable). Repeatable."),
        QStringLiteral("W=BYTE"));
    const QCommandLineOption input(QStringLiteral("input"),
        QStringLiteral("Input signal of a window, e.g. 1=1280x720; 0x0 for none (default: 0=1920x1080). "
                       "Repeatable."),
        QStringLiteral("W=WxH"));
    const QCommandLineOption pip(QStringLiteral("pip-source"),
        QStringLiteral("PIP source signal of a window, e.g. 0=720x576. Repeatable."),
        QStringLiteral("W=WxH"));
    const QCommandLineOption inputMask(QStringLiteral("input-mask"),
        QStringLiteral("Input mask of the status reply (default: windows with an input signal)."),
        QStringLiteral("MASK"));
    const QCommandLineOption outputMask(QStringLiteral("output-mask"),
        QStringLiteral("Output mask of the status reply (default: one bit per window)."),
        QStringLiteral("MASK"));
    const QCommandLineOption log(QStringLiteral("log"),
        QStringLiteral("Append one line per received frame (code and setting text) to FILE."),
        QStringLiteral("FILE"));
    const QCommandLineOption silentAfter(QStringLiteral("silent-after"),
        QStringLiteral("Answer only the first N requests, then stay silent."), QStringLiteral("N"));
    const QCommandLineOption wrongCode(QStringLiteral("wrong-code"),
        QStringLiteral("Answer request CODE with a wrong code (REPLY, default 0xFFFF), e.g. 0x1006 or "
                       "0x2010=0x2011."),
        QStringLiteral("CODE[=REPLY]"));
    const QCommandLineOption splitReplies(QStringLiteral("split"),
        QStringLiteral("Send each reply as two TCP segments, the second a few ms after the first."));
    const QCommandLineOption splitDelay(QStringLiteral("split-delay"),
        QStringLiteral("Milliseconds between the two segments of --split (default 5), or between the bytes "
                       "of --hostile segments (default 0: one per event-loop turn)."),
        QStringLiteral("MS"));
    const QCommandLineOption closeAfter(QStringLiteral("close-after"),
        QStringLiteral("Close each connection after N replies (with --hostile shortclose: N whole replies "
                       "before the short one)."),
        QStringLiteral("N"));
    const QCommandLineOption hostile(QStringLiteral("hostile"),
        QStringLiteral("Answer like a broken box: random (512 random bytes), extreme (right codes, extreme "
                       "field values), flood (duplicate and unsolicited frames after each reply), segments "
                       "(replies one byte at a time), shortclose (a reply cut short, then the connection "
                       "closed), noread (requests never read), silent (never answer; same as "
                       "--silent-after 0), masksize (mask slot headers claim a stream of almost 4 GiB)."),
        QStringLiteral("MODE"));
    const QCommandLineOption seed(QStringLiteral("seed"),
        QStringLiteral("Seed of the random choices of --hostile (default 1); the same seed and requests give "
                       "the same bytes."),
        QStringLiteral("N"));
    p.addOptions({host, port, boardKind, key, userMask, model, mcu, version, mainBoardError, frame, frame23,
        boardMask, caps, input, pip, inputMask, outputMask, log, silentAfter, wrongCode, splitReplies,
        splitDelay, closeAfter, hostile, seed});
    // Firmware downloads: the box reports a checksum one off from the image's.
    const QCommandLineOption wrongChecksum(QStringLiteral("wrong-checksum"),
        QStringLiteral("Report a wrong checksum at the end of every firmware download."));
    p.addOption(wrongChecksum);
    // The User Map tables of each apply, for comparing with 'trivelctl warp table'.
    const QCommandLineOption saveTables(QStringLiteral("save-tables"),
        QStringLiteral("After each User Map apply (0x2012) write the window's tables to DIR/window-N.bin: "
                       "the x table then the y table, 20592 bytes each, as 'trivelctl warp table' writes "
                       "them."),
        QStringLiteral("DIR"));
    p.addOption(saveTables);
    // A slot that holds a mask from the start, so a read or delete needs no upload first.
    const QCommandLineOption maskSlot(QStringLiteral("mask-slot"),
        QStringLiteral("Slot S (1-10) holds the mask stream in FILE, as the box keeps it. Repeatable."),
        QStringLiteral("S=FILE"));
    p.addOption(maskSlot);
    trivel::sim::AddRigOptions(p);
    p.process(FirmwareVersionAlias(app.arguments()));

    BoxIdentity id;
    long long v = 0;
    auto number = [&](const QCommandLineOption& o, long long min, long long max) -> bool {
        if (!p.isSet(o))
            return false;
        if (!parseNumber(p.value(o), min, max, v))
            fail(QStringLiteral("bad value for --%1: %2").arg(o.names().first(), p.value(o)));
        return true;
    };
    if (number(boardKind, 0, 255))
        id.boardKind = std::uint8_t(v);
    if (number(key, 0, 255))
        id.key = std::uint8_t(v);
    if (number(userMask, 0, 255))
        id.userMask = std::uint8_t(v);
    if (number(model, 0, 999))
        id.model = int(v);
    if (number(mcu, 0, 0xFFFFFF))
        id.controllerFirmware = std::uint32_t(v);
    if (number(boardMask, 0, 255))
        id.boardMask = std::uint8_t(v);
    id.mainBoardError = p.isSet(mainBoardError);
    if (p.isSet(version)) {
        const auto parts = p.value(version).split(QLatin1Char('.'));
        if (parts.size() != 3)
            fail(QStringLiteral("bad value for --firmware-version: %1").arg(p.value(version)));
        for (int i = 0; i < 3; ++i) {
            if (!parseNumber(parts[i], 0, 255, v))
                fail(QStringLiteral("bad value for --firmware-version: %1").arg(p.value(version)));
            id.firmwareVersion[std::size_t(i)] = std::uint8_t(v);
        }
    }
    std::int32_t w = 0, h = 0;
    if (p.isSet(frame)) {
        if (!parseSize(p.value(frame), w, h) || w > 65535 || h > 65535)
            fail(QStringLiteral("bad value for --frame: %1").arg(p.value(frame)));
        id.frameWidth01 = id.frameWidth23 = std::uint16_t(w);
        id.frameHeight01 = id.frameHeight23 = std::uint16_t(h);
    }
    if (p.isSet(frame23)) {
        if (!parseSize(p.value(frame23), w, h) || w > 65535 || h > 65535)
            fail(QStringLiteral("bad value for --frame23: %1").arg(p.value(frame23)));
        id.frameWidth23 = std::uint16_t(w);
        id.frameHeight23 = std::uint16_t(h);
    }

    for (const QString& c : p.values(caps)) {
        const auto parts = c.split(QLatin1Char('='));
        long long win = 0;
        if (parts.size() != 2 || !parseNumber(parts[0], 0, 3, win) || !parseNumber(parts[1], 0, 255, v))
            fail(QStringLiteral("bad value for --caps: %1").arg(c));
        id.windowCaps[std::size_t(win)] = std::uint8_t(v);
    }

    BoxModel box(id);
    box.receivedLogLimit = 1000; // a long-running server keeps only recent frames in memory
    box.corruptFirmwareChecksum = p.isSet(wrongChecksum);
    for (const QString& s : p.values(input)) {
        int win = 0;
        if (!parseWindowSize(s, win, w, h))
            fail(QStringLiteral("bad value for --input: %1").arg(s));
        box.inputSignals.input[std::size_t(win)] = {w, h};
    }
    for (const QString& s : p.values(pip)) {
        int win = 0;
        if (!parseWindowSize(s, win, w, h))
            fail(QStringLiteral("bad value for --pip-source: %1").arg(s));
        box.inputSignals.pipSource[std::size_t(win)] = {w, h};
    }
    if (number(inputMask, 0, 255))
        box.inputSignals.inputMask = int(v);
    if (number(outputMask, 0, 255))
        box.inputSignals.outputMask = int(v);
    if (number(silentAfter, 0, 1LL << 30))
        box.silentAfter = int(v);
    if (p.isSet(wrongCode)) {
        const auto parts = p.value(wrongCode).split(QLatin1Char('='));
        if (parts.size() > 2 || !parseNumber(parts[0], 0, 0xFFFFFFFFLL, v))
            fail(QStringLiteral("bad value for --wrong-code: %1").arg(p.value(wrongCode)));
        box.wrongCodeFor = std::uint32_t(v);
        if (parts.size() == 2) {
            if (!parseNumber(parts[1], 0, 0xFFFFFFFFLL, v))
                fail(QStringLiteral("bad value for --wrong-code: %1").arg(p.value(wrongCode)));
            box.wrongCode = std::uint32_t(v);
        }
    }

    if (p.isSet(hostile)) {
        const QString mode = p.value(hostile);
        if (mode == QLatin1String("silent")) {
            box.silentAfter = 0;
        } else if (const auto m = trivel::sim::parseHostile(mode.toStdString())) {
            box.hostile = *m;
        } else {
            fail(QStringLiteral("bad value for --hostile: %1").arg(mode));
        }
    }
    if (p.isSet(seed)) {
        bool ok = false;
        box.seed = p.value(seed).toULongLong(&ok, 0);
        if (!ok)
            fail(QStringLiteral("bad value for --seed: %1").arg(p.value(seed)));
    }

    for (const QString& m : p.values(maskSlot)) {
        const qsizetype eq = m.indexOf(QLatin1Char('='));
        QFile f(m.mid(eq + 1));
        if (eq < 0 || !parseNumber(m.left(eq), 1, trivel::sim::kMaskSlots, v) || !f.open(QIODevice::ReadOnly))
            fail(QStringLiteral("bad value for --mask-slot: %1").arg(m));
        const QByteArray bytes = f.read(qint64(trivel::sim::kColourSlotLimit));
        box.maskSlot(int(v) - 1).assign(bytes.begin(), bytes.end());
    }
    if (p.isSet(saveTables)) {
        const QString dir = p.value(saveTables);
        if (!QDir(dir).exists())
            fail(QStringLiteral("bad value for --save-tables: %1 is not a directory").arg(dir));
        box.onUserMapApplied = [&box, dir](int window) {
            const auto& t = box.userMapTables(window);
            QSaveFile f(QDir(dir).filePath(QStringLiteral("window-%1.bin").arg(window)));
            if (!t || !f.open(QIODevice::WriteOnly)
                || f.write(reinterpret_cast<const char*>(t->x.data()), qint64(t->x.size()))
                    != qint64(t->x.size())
                || f.write(reinterpret_cast<const char*>(t->y.data()), qint64(t->y.size()))
                    != qint64(t->y.size())
                || !f.commit())
                std::fprintf(stderr, "trivel-boxsim: cannot write the tables of window %d\n", window);
        };
    }

    BoxServer server(box);
    server.split = p.isSet(splitReplies);
    if (number(splitDelay, 0, 10000))
        server.splitDelayMs = server.segmentDelayMs = int(v);
    if (number(closeAfter, 0, 1LL << 30))
        server.closeAfter = int(v);
    if (p.isSet(log) && !server.setLogFile(p.value(log)))
        fail(QStringLiteral("cannot open log file %1").arg(p.value(log)));

    const QHostAddress address(p.value(host));
    if (address.isNull())
        fail(QStringLiteral("bad value for --host: %1").arg(p.value(host)));
    if (!parseNumber(p.value(port), 0, 65535, v))
        fail(QStringLiteral("bad value for --port: %1").arg(p.value(port)));
    if (!server.listen(address, quint16(v)))
        fail(
            QStringLiteral("cannot listen on %1:%2: %3").arg(p.value(host)).arg(v).arg(server.errorString()));

    std::printf("listening on %s:%u\n", qPrintable(server.address().toString()), unsigned(server.port()));
    std::fflush(stdout);
    QString rigError;
    const auto photos = trivel::sim::StartRigService(p, box, address, rigError);
    if (!photos && !rigError.isEmpty())
        fail(rigError);
    return app.exec();
}
