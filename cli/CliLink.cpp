#include "cli/CliLink.h"

#include "cli/Bootstrap.h"

namespace trivel {

bool TakeLinkOption(const QStringList& args, int& i, CliLinkOptions& o, QString& error)
{
    const QString& a = args[i];
    if (a == "--tcp") {
        if (o.given) {
            error = "give one of --tcp and --usb, once";
            return true;
        }
        if (i + 1 >= args.size()) {
            error = "--tcp needs HOST[:PORT]";
            return true;
        }
        o.given = o.tcp = true;
        const QStringList parts = args[++i].split(':');
        o.host = parts[0];
        bool ok = true;
        if (parts.size() == 2) {
            const uint p = parts[1].toUInt(&ok);
            ok = ok && p > 0 && p <= 65535;
            o.port = quint16(p);
        }
        if (o.host.isEmpty() || parts.size() > 2 || !ok)
            error = "bad address: " + args[i] + " (HOST[:PORT], PORT 1..65535)";
        return true;
    }
    if (a == "--usb") {
        if (o.given)
            error = "give one of --tcp and --usb, once";
        o.given = true;
        return true;
    }
    if (a == "--verbose") {
        o.verbose = true;
        return true;
    }
    if (a == "--announce-connect") {
        o.announceConnect = true;
        return true;
    }
    if (a == "--yes") {
        o.yes = true;
        return true;
    }
    return false;
}

int RunOnBox(cli::BoxRun& run, const std::function<void()>& work, const std::function<int()>& done)
{
    if (const int connected = run.connect(cli::ConnectMode::Readback); connected != cli::Success)
        return connected;
    bool started = false;
    return run.decide(run.waitUntil([&] {
        if (!started) {
            started = true;
            work();
        }
        return done();
    }));
}

} // namespace trivel
