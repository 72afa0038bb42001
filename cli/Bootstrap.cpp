#include "cli/Bootstrap.h"

#include "session/Controls.h"
#include "session/Session.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEventLoop>
#include <QLoggingCategory>

#include <cstdio>

namespace trivel::cli {

int ExitCodeOf(const Failure& failure)
{
    switch (failure.kind) {
    case Failure::Kind::NoReply:
    case Failure::Kind::LinkLost:
        return LinkFailure;
    case Failure::Kind::BoxFault:
    case Failure::Kind::Refused:
        return Rejected;
    case Failure::Kind::Cancelled:
    case Failure::Kind::Error:
        break;
    }
    return Failed;
}

BoxRun::BoxRun(const BoxEnv& env, const CliLinkOptions& link, CliUi& ui)
    : m_env(env)
    , m_realClock(env.clock ? nullptr : std::make_unique<RealClock>())
    , m_ui(ui)
    , m_box(env.clock ? *env.clock : *m_realClock, ui)
    , m_connection(m_box.session)
    , m_link(link)
{
    if (!link.verbose)
        QLoggingCategory::setFilterRules(QStringLiteral("trivel.*.info=false\ntrivel.*.debug=false"));
    if (m_env.opener)
        m_connection.link().setTcpOpener(m_env.opener);
    // The watchdog's and the operations' word for silence: a chain that ended by it did not succeed.
    m_ui.onWarning = [this] {
        if (m_ui.lastMessage == QLatin1String("No reply from the box."))
            m_noReply = true;
    };
}

BoxRun::~BoxRun()
{
    if (m_box.session.connected())
        disconnect();
}

int BoxRun::connect(ConnectMode mode)
{
    Session& s = m_box.session;
    m_mode = mode;
    // An identify-only connect asks for Identify and model and nothing that reads or selects a window.
    s.IdentifyOnly = mode != ConnectMode::Readback;
    if (m_link.tcp || m_env.opener) {
        m_connection.RBTCPClick();
        s.ConnectAddressText = m_link.tcp ? m_link.host : QStringLiteral("in-process");
        m_connection.setTcpPort(m_link.port);
    } else {
        m_connection.RBUSBClick();
        if (s.TcpSelected)
            return decide(LinkFailure); // another instance holds the USB transport; the message said so
        if (!m_ui.isEnabled(ctl::BtnCnt2)) {
            std::fprintf(stderr, "trivelctl: no USB box found\n");
            return decide(LinkFailure);
        }
    }
    m_connection.BtnCnt2Click();
    if (!s.connected() || !s.readback.valid())
        return decide(LinkFailure);
    // The read-back's own end decides: a box that hangs up after its last reply has answered
    // everything, one that hangs up before has not.
    int code = await(s.readback);
    if (code == Failed)
        code = LinkFailure;
    if (code != Success)
        return decide(code);
    m_ui.quiet = true;
    if (m_link.announceConnect)
        std::fprintf(stderr, "trivelctl: connected\n");
    return code;
}

int BoxRun::wait(const std::function<void(const std::function<void(int)>& finish)>& start)
{
    auto result = std::make_shared<int>(-1);
    const auto finish = [result](int code) {
        if (*result < 0)
            *result = code;
    };
    // A lost link ends the wait unless the work's own end came first (its reply was handled
    // before the close was noticed).
    const QMetaObject::Connection lost = QObject::connect(&m_connection.link(), &Link::linkLost,
        &m_connection, [finish](const QString&) { finish(LinkFailure); });
    m_ui.quiet = false;
    start(finish);
    const int code = drive(*result, {});
    QObject::disconnect(lost);
    return code;
}

int BoxRun::waitUntil(const std::function<int()>& done, int timeoutMs)
{
    int result = -1;
    const QMetaObject::Connection lost
        = QObject::connect(&m_connection.link(), &Link::linkLost, &m_connection, [&result](const QString&) {
              if (result < 0)
                  result = LinkFailure;
          });
    m_ui.quiet = false;
    m_noReply = false;
    std::unique_ptr<ClockTimer> deadline;
    if (timeoutMs > 0)
        deadline = m_box.session.clock.singleShot(timeoutMs, DelayKind::Deadline, [&result] {
            if (result < 0) {
                std::fprintf(stderr, "trivelctl: no reply from the box\n");
                result = LinkFailure;
            }
        });
    const int code = drive(result, [&] { return m_noReply ? LinkFailure : done(); });
    QObject::disconnect(lost);
    return code;
}

int BoxRun::drive(int& result, const std::function<int()>& poll)
{
    const auto settled = [&] {
        if (result < 0 && poll)
            if (const int code = poll(); code >= 0)
                result = code;
        return result >= 0;
    };
    if (settled())
        return result;
    auto* virtualClock = dynamic_cast<VirtualClock*>(&m_box.session.clock);
    if (!virtualClock) {
        QEventLoop loop;
        // Checked whenever the loop has handled everything that was pending, so an outcome
        // learnt from a chain's state is seen right after the reply that set it.
        QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance();
        const auto check = [&] {
            if (settled())
                loop.exit(result);
        };
        const QMetaObject::Connection c
            = QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, &loop, check);
        loop.exec();
        QObject::disconnect(c);
        return result;
    }
    // Tests: events first, then the earliest fixed wait, then time itself moves on (watchdogs).
    const qint64 until = virtualClock->tickMs() + m_env.hangAfterMs;
    while (!settled()) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
        if (settled())
            break;
        if (virtualClock->runNextDelay())
            continue;
        if (virtualClock->tickMs() >= until)
            return result = kHung;
        virtualClock->advance(50);
    }
    return result;
}

int BoxRun::decide(int exitCode)
{
    if (!m_decided) {
        m_decided = true;
        m_ui.quiet = exitCode == Success;
        if (m_env.decided)
            m_env.decided(exitCode);
    }
    return exitCode;
}

void BoxRun::disconnect()
{
    Session& s = m_box.session;
    if (!s.connected())
        return;
    // After an identify-only connect the tool never learnt the box's current window, so the
    // disconnect's neutral state would only write over the box's own state.
    if (m_mode == ConnectMode::IdentifyOnly) {
        m_connection.DisconnectWithoutNeutralState();
        return;
    }
    if (!m_connection.disconnecting())
        m_connection.BtnCnt2Click();
    // The neutral state goes out before the command ends; a lost link ends it at once.
    if (m_connection.disconnecting())
        await(m_connection.disconnection());
}

} // namespace trivel::cli
