#include "cli/CliLink.h"

#include "cli/BoxRun.h"
#include "box/Connection.h"
#include "session/Controls.h"
#include "session/PendingOps.h"
#include "session/Session.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QTimer>

#include <cstdio>

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
    if (a == "--yes") {
        o.yes = true;
        return true;
    }
    return false;
}

int RunOnBox(const CliLinkOptions& o, Session& s, Connection& connection, cli::CliUi& ui,
    const std::function<void()>& work, const std::function<int()>& done)
{
    if (!o.verbose)
        QLoggingCategory::setFilterRules(QStringLiteral("trivel.*.info=false\ntrivel.*.debug=false"));
    QCoreApplication& app = *QCoreApplication::instance();
    const int connected
        = cli::ConnectAndRead(app, s, connection, ui, cli::LinkChoice{o.tcp, o.host, o.port}, false);
    if (connected != cli::Success)
        return connected;

    // The command's own work, with its messages, watched until it says how it ended.
    ui.quiet = false;
    work();
    int exitCode = done();
    if (exitCode >= 0)
        return exitCode;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (exitCode < 0)
            exitCode = done();
        if (exitCode >= 0)
            QCoreApplication::exit(exitCode);
    });
    watch.start(5);
    QCoreApplication::exec();
    watch.stop();
    return exitCode;
}

} // namespace trivel
