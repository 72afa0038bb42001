#pragma once
// Shared pieces of the link tests: a session on a virtual clock, waiting for the receive
// threads, and a TCP peer that runs a script on raw sockets (split and coalesced replies).

#include "FakeHid.h"
#include "box/Box.h"
#include "link/Clock.h"
#include "link/Transport.h"
#include "box/Connection.h"
#include "session/Session.h"
#include "session/Session.h"
#include "sim/BoxModel.h"
#include "sim/BoxServer.h"
#include "support/Controls.h"
#include "support/RecordingUi.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTemporaryDir>
#include <QThread>

#include <atomic>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

namespace trivel::test {

// Receive threads deliver through the event loop; wait (real time, bounded) until pred holds.
inline bool waitUntil(const std::function<bool()>& pred, int ms = 5000)
{
    QDeadlineTimer deadline(ms);
    while (!pred()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
    return true;
}

// Real replies with virtual waits: runs the event loop, and the virtual clock's pending waits and
// pauses whenever nothing else is due, until pred holds (bounded in real time).
inline bool settle(VirtualClock& clock, const std::function<bool()>& pred, int ms = 5000)
{
    QDeadlineTimer deadline(ms);
    while (!pred()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        if (!pred() && !clock.runNextDelay())
            QThread::msleep(1);
    }
    return true;
}

struct LinkSession {
    VirtualClock clock;
    RecordingUi ui;
    Box tool{clock, ui};
    Session& s = tool.session;
    LinkSession() { ui.watch(s.events); }
    // Until no operation or chain runs any more.
    bool settleIdle(int ms = 5000)
    {
        return settle(clock, [this] { return !s.busy(); }, ms);
    }
};

// Wraps a transport's sink so a test sees every reply frame exactly as dispatched.
struct ReplyLog {
    std::vector<std::vector<std::uint8_t>> frames; // the reply frame (after the report id)
    void attach(Session& s, Transport& t)
    {
        t.setReplySink([this, &s](const std::uint8_t* b, std::size_t n, bool withReportId) {
            DeliverReplyLogged(s, b, n, withReportId);
        });
    }
    void DeliverReplyLogged(Session& s, const std::uint8_t* b, std::size_t n, bool withReportId)
    {
        const std::uint8_t* f = withReportId ? b + 1 : b;
        const std::size_t k = withReportId ? (n ? n - 1 : 0) : n;
        frames.emplace_back(f, f + k);
        DeliverReply(s, b, n, withReportId);
    }
};

// A TCP peer on 127.0.0.1 that accepts one client and runs a script on its socket.
class ScriptedPeer {
public:
    using Script = std::function<void(int fd)>;
    explicit ScriptedPeer(Script script);
    ~ScriptedPeer();
    quint16 port() const { return m_port; }

    // Blocking helpers for scripts.
    static bool readFrame(int fd, std::uint8_t* frame512);
    static void writeAll(int fd, const std::uint8_t* p, std::size_t n);
    // A port on which nothing listens (bound once, then closed).
    static quint16 deadPort();

private:
    int m_listen = -1;
    std::atomic<int> m_client{-1};
    quint16 m_port = 0;
    std::thread m_thread;
};

// The simulated box on a loopback port and a Connection with "IP Address" selected and the
// address typed, as the user leaves the group before pressing "Connect".
class TcpLinkFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
        conn = std::make_unique<Connection>(ls.s, std::make_unique<FakeHidBackend>(hid), lockDir.path());
        conn->startUp();
        ls.ui.setChecked(ctl::RBUSB, false);
        ls.ui.setChecked(ctl::RBTCP, true);
        conn->RBTCPClick();
        ls.s.ConnectAddressText = QStringLiteral("127.0.0.1");
        conn->setTcpPort(server.port());
    }

    // Connect and let the read-back run to its end.
    void connectAndSettle()
    {
        conn->BtnCnt2Click();
        ASSERT_TRUE(ls.s.connected());
        ASSERT_TRUE(ls.settleIdle());
    }

    LinkSession ls;
    sim::BoxModel box;
    sim::BoxServer server{box};
    std::shared_ptr<FakeHidState> hid = std::make_shared<FakeHidState>(box);
    QTemporaryDir lockDir;
    std::unique_ptr<Connection> conn;
};

} // namespace trivel::test
