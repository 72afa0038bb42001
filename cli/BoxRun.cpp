#include "cli/BoxRun.h"

#include "cli/CliUi.h"
#include "session/Connection.h"
#include "session/Controls.h"
#include "session/Session.h"

#include <QCoreApplication>

#include <cstdio>

namespace trivel::cli {

int ConnectAndRead(QCoreApplication& app, Session& s, Connection& connection, CliUi& ui,
    const LinkChoice& link, bool identifyOnly)
{
    // identify asks for the Identify and model replies and nothing that reads or selects a window.
    s.IdentifyOnly = identifyOnly;

    int exitCode = -1;
    auto decide = [&](int code) {
        if (exitCode >= 0)
            return;
        exitCode = code;
        ui.quiet = code == Success;
        app.exit(code);
    };
    QMetaObject::Connection finished
        = QObject::connect(&s.events, &SessionEvents::readbackFinished, [&] { decide(Success); });
    QMetaObject::Connection rejected
        = QObject::connect(&s.events, &SessionEvents::boxRejected, [&] { decide(Rejected); });
    // A lost link (its message first), no reply, any other failure the chains report.
    QMetaObject::Connection lost
        = QObject::connect(&connection.link(), &Link::linkLost, [&] { decide(LinkFailure); });
    ui.onWarning = [&] { decide(LinkFailure); };
    auto settled = [&](int code) {
        QObject::disconnect(finished);
        QObject::disconnect(rejected);
        QObject::disconnect(lost);
        ui.onWarning = nullptr;
        return code;
    };

    if (link.tcp) {
        connection.RBTCPClick();
        s.ConnectAddressText = link.host;
        connection.setTcpPort(link.port);
    } else {
        connection.RBUSBClick();
        if (s.TcpSelected)
            return settled(LinkFailure); // another instance holds the USB transport; the message said so
        if (!ui.isEnabled(ctl::BtnCnt2)) {
            std::fprintf(stderr, "trivelctl: no USB box found\n");
            return settled(LinkFailure);
        }
    }

    connection.BtnCnt2Click();
    if (!s.connected())
        return settled(LinkFailure);
    if (exitCode < 0)
        app.exec();
    return settled(exitCode);
}

} // namespace trivel::cli
