#include "cli/BoxRun.h"

#include "box/Connection.h"
#include "cli/CliUi.h"
#include "session/Controls.h"
#include "session/Session.h"

#include <QCoreApplication>
#include <QEventLoop>

#include <cstdio>

namespace trivel::cli {

int ConnectAndRead(QCoreApplication& app, Session& s, Connection& connection, CliUi& ui,
    const LinkChoice& link, bool identifyOnly)
{
    // identify asks for the Identify and model replies and nothing that reads or selects a window.
    s.IdentifyOnly = identifyOnly;

    if (link.tcp) {
        connection.RBTCPClick();
        s.ConnectAddressText = link.host;
        connection.setTcpPort(link.port);
    } else {
        connection.RBUSBClick();
        if (s.TcpSelected)
            return LinkFailure; // another instance holds the USB transport; the message said so
        if (!ui.isEnabled(ctl::BtnCnt2)) {
            std::fprintf(stderr, "trivelctl: no USB box found\n");
            return LinkFailure;
        }
    }

    connection.BtnCnt2Click();
    if (!s.connected() || !s.readback.valid())
        return LinkFailure;
    // The read-back's own end decides: a box that hangs up after its last reply has answered
    // everything, one that hangs up before has not.
    int exitCode = -1;
    s.readback.onFinished([&] {
        const auto& failure = s.readback.failure();
        if (!failure)
            exitCode = Success;
        else if (failure->kind == Failure::Kind::BoxFault)
            exitCode = Rejected;
        else
            exitCode = LinkFailure;
        ui.quiet = exitCode == Success;
        app.exit(exitCode);
    });
    if (exitCode < 0)
        app.exec();
    return exitCode;
}

void Disconnect(Session& s, Connection& connection)
{
    if (!connection.disconnecting() && s.connected())
        connection.BtnCnt2Click();
    // Bounded: each of its requests has a pause and nothing else to wait for, and a lost link
    // ends it at once.
    while (connection.disconnecting())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

} // namespace trivel::cli
