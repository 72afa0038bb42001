#pragma once
// Shared pieces of the link tests: a session on a virtual clock, waiting for the receive
// threads, and a TCP peer that runs a script on raw sockets (split and coalesced replies).

#include "link/Clock.h"
#include "link/Dispatch.h"
#include "link/Session.h"
#include "link/Transport.h"
#include "support/RecordingUi.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>

#include <atomic>
#include <functional>
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

struct LinkSession {
    VirtualClock clock;
    RecordingUi ui;
    Session s{clock, ui};
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

} // namespace trivel::test
