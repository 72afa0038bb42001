#include "cli/Bootstrap.h"

#include "link/Exchange.h"
#include "protocol/Frame.h"
#include "session/Controls.h"
#include "session/Session.h"
#include "session/SessionEvents.h"
#include "session/Operations.h"
#include "protocol/SettingCodec.h"

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

QString ImplausibleIdentify(const FrameView& r)
{
    const std::uint8_t kind = r.u8(14);
    const int windows = kind & 0x80 ? kind & 0x7F : 2 * kind;
    if (windows < 1 || windows > 4)
        return QStringLiteral("window count %1 (byte 14 = 0x%2; a box has 1..4 windows)")
            .arg(windows)
            .arg(kind, 2, 16, QLatin1Char('0'));
    // Windows 1 and 2 share the frame size at 16, windows 3 and 4 the one at 20.
    constexpr int kMaxFrameSide = 8192;
    for (int pair = 0; pair < (windows + 1) / 2; ++pair) {
        const std::size_t at = pair == 0 ? 16 : 20;
        const int width = r.u16(at);
        const int height = r.u16(at + 2);
        if (width < 1 || height < 1 || width > kMaxFrameSide || height > kMaxFrameSide)
            return QStringLiteral("frame size of windows %1 and %2: %3 x %4 (1..%5 each way)")
                .arg(2 * pair + 1)
                .arg(2 * pair + 2)
                .arg(width)
                .arg(height)
                .arg(kMaxFrameSide);
    }
    return {};
}

std::string FrameLogLine(const FrameView& f)
{
    const std::uint32_t code = f.code();
    char line[64];
    int n = std::snprintf(line, sizeof line, "%04x", unsigned(code));
    if (code == Cmd::Setting || code == Cmd::SettingAlt || code == Cmd::SettingQuery) {
        char text[kSettingLength - 1] = {}; // the command without CR LF, and a terminator
        f.copyOut(kSettingOffset, text, kSettingLength - 2);
        std::snprintf(line + n, sizeof line - std::size_t(n), " %s", text);
    } else {
        // The first bytes after the code, where most frames carry their window or slot.
        for (std::size_t at = 8; at < 16 && n < int(sizeof line) - 4; ++at)
            n += std::snprintf(line + n, sizeof line - std::size_t(n), " %02x", unsigned(f.u8(at)));
    }
    return line;
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
    else
        QLoggingCategory::setFilterRules(QStringLiteral("trivel.*.info=true"));
    if (m_env.opener)
        m_connection.link().setTcpOpener(m_env.opener);
    // Every request is matched with its reply, so a fire-and-forget send of the old chains that
    // never got one is not taken for success.
    Exchange& exchange = m_box.session.exchange;
    exchange.onFrameSent = [this, &exchange, before = exchange.onFrameSent] {
        const std::uint32_t code = FrameView::ofBuffer(exchange.requestBuffer()).code();
        // What a disconnect sends on its way out is no part of the command's work.
        if (Cmd::AwaitsReply(code) && !m_closing)
            m_unanswered.push_back(code);
        if (m_link.verbose)
            std::fprintf(stderr, "trivelctl: > %s\n",
                FrameLogLine(FrameView::ofBuffer(exchange.requestBuffer())).c_str());
        if (before)
            before();
    };
    exchange.onReplyTaken = [this, &exchange, before = exchange.onReplyTaken] {
        // backup and restore learn from this line that the box answered before anything failed.
        if (m_link.announceConnect && !m_announced) {
            m_announced = true;
            std::fprintf(stderr, "trivelctl: connected\n");
        }
        const FrameView reply = FrameView::ofBuffer(exchange.replyBuffer());
        const std::uint32_t code = reply.code();
        if (m_link.verbose)
            std::fprintf(stderr, "trivelctl: < %s\n", FrameLogLine(reply).c_str());
        if (code == Cmd::Identify && !m_unanswered.empty() && m_unanswered.front() == code)
            m_implausible = ImplausibleIdentify(reply);
        if (!m_unanswered.empty()) {
            if (m_unanswered.front() == code)
                m_unanswered.pop_front();
            else
                m_wrongReply = true;
        }
        if (before)
            before();
    };
    // A click on a window button by code (the end of a whole-box transfer's read-back) selects
    // that window on the box, as the main window wires it: the tool's window and the box's agree
    // before the disconnect's neutral state.
    QObject::connect(&m_box.session.events, &SessionEvents::windowButtonClicked, &m_connection,
        [this](int tag) { Launch(m_box.session, m_box.settings.selectWindow(tag)); });
    QObject::connect(&m_box.session.events, &SessionEvents::linkClosing, &m_connection, [this] {
        m_closing = true;
        if (m_env.closing)
            m_env.closing();
    });
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
            m_ui.sayLinkFailure(QStringLiteral("no USB box found"));
            return decide(LinkFailure);
        }
    }
    m_closing = false;
    m_connection.BtnCnt2Click();
    if (!s.connected() && m_link.tcp && !m_connection.lastConnectError().isEmpty())
        // The window's message names the address only; a command line also needs the port.
        std::fprintf(stderr, "trivelctl: %s:%u: %s; check the address and port, and that the box is on\n",
            qPrintable(m_link.host), unsigned(m_link.port), qPrintable(m_connection.lastConnectError()));
    if (!s.connected() || !s.readback.valid())
        return decide(LinkFailure);
    // The read-back's own end decides: a box that hangs up after its last reply has answered
    // everything, one that hangs up before has not.
    int code = await(s.readback);
    if (code == Failed)
        code = LinkFailure;
    if (code == Success && !m_implausible.isEmpty()) {
        std::fprintf(
            stderr, "trivelctl: the box's Identify reply is implausible: %s\n", qPrintable(m_implausible));
        code = Rejected;
    }
    if (code != Success)
        return decide(code);
    m_ui.quiet = true;
    return code;
}

int BoxRun::waitUntil(const std::function<int()>& done, int timeoutMs)
{
    return waitFor(done, timeoutMs, true);
}

int BoxRun::waitFor(const std::function<int()>& done, int timeoutMs, bool endOnLinkLoss)
{
    int result = -1;
    // A lost link ends the wait unless the work's own end came first: the reply that ended it
    // is handled before the close of a box that hangs up right after.
    bool linkLost = false;
    QMetaObject::Connection lost;
    if (endOnLinkLoss)
        lost = QObject::connect(&m_connection.link(), &Link::linkLost, &m_connection,
            [&linkLost](const QString&) { linkLost = true; });
    m_ui.quiet = false;
    m_noReply = false;
    m_wrongReply = false;
    const auto noReply = [this, &result] {
        if (result < 0) {
            m_ui.sayLinkFailure(QStringLiteral("no reply from the box"));
            result = LinkFailure;
        }
    };
    std::unique_ptr<ClockTimer> deadline;
    std::unique_ptr<ClockTimer> lastReplies;
    if (timeoutMs > 0)
        deadline = m_box.session.clock.singleShot(timeoutMs, DelayKind::Deadline, noReply);
    const int code = drive(result, [&] {
        if (m_noReply)
            return int(LinkFailure);
        const int code = done();
        if (code > Success)
            return code; // the work's own failure, in its own words
        if (code < 0 && linkLost)
            return int(LinkFailure);
        if (code < 0)
            return -1;
        if (m_wrongReply) {
            std::fprintf(stderr, "trivelctl: the box answered with a wrong reply code\n");
            return int(Rejected);
        }
        if (m_unanswered.empty())
            return int(Success);
        // The work is done, but a request of it is still unanswered: its reply decides.
        if (linkLost || !m_box.session.connected())
            return int(LinkFailure);
        if (!lastReplies)
            lastReplies = m_box.session.clock.singleShot(kReplyAllowanceMs, DelayKind::Deadline, noReply);
        return -1;
    });
    if (endOnLinkLoss)
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
        if (virtualClock->tickMs() >= until) {
            if (m_env.hung)
                m_env.hung();
            return result = kHung;
        }
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
    if (!m_connection.disconnecting())
        return;
    // The neutral state goes out before the command ends; a lost link ends it at once. Bounded:
    // an operation of a failed command may still hold the link, and a silent box must not keep
    // the command from ending; the link is then closed without it.
    auto finished = std::make_shared<bool>(false);
    m_connection.disconnection().onFinished([finished] { *finished = true; });
    int result = -1;
    const auto bound
        = m_box.session.clock.singleShot(kReplyAllowanceMs, DelayKind::Deadline, [&result] { result = 0; });
    drive(result, [finished] { return *finished ? 0 : -1; });
    if (!*finished)
        m_connection.FormClose();
}

} // namespace trivel::cli
