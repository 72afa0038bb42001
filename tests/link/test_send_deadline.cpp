// Sends never block for ever: a box that stops reading ends the link within the send deadline,
// on TCP (a full socket) and on USB (a write that fails or overruns).

#include "FakeHid.h"
#include "LinkTestSupport.h"
#include "link/TcpTransport.h"
#include "box/Watchdog.h"

#include <QElapsedTimer>
#include <QSignalSpy>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace trivel::test {
namespace {

constexpr int kDeadlineMs = 100;
// A broken fix would block until the peer gives up; short enough not to hang the suite.
constexpr int kRescueMs = 4000;

// A loopback box that never reads what it is sent: a listener with a tiny receive buffer.
// Without an accept the kernel still completes the connection and queues the client's bytes.
// With flood set, it accepts and writes that reply over and over instead, still never reading.
class DeafBox {
public:
    explicit DeafBox(std::vector<std::uint8_t> flood = {})
    {
        m_listen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const int small = 2048; // inherited by the accepted socket; the kernel doubles it
        ::setsockopt(m_listen, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(m_listen, reinterpret_cast<sockaddr*>(&a), sizeof a);
        ::listen(m_listen, 1);
        socklen_t len = sizeof a;
        ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&a), &len);
        m_port = ntohs(a.sin_port);
        m_thread = std::thread([this, flood = std::move(flood)] { run(flood); });
    }
    ~DeafBox()
    {
        m_stop = true;
        m_thread.join();
    }
    quint16 port() const { return m_port; }

private:
    void run(const std::vector<std::uint8_t>& flood)
    {
        const auto until = clock::now() + kRescue;
        int client = -1;
        while (!m_stop && clock::now() < until) {
            if (flood.empty() || (client < 0 && !acceptWithin(5, &client))) {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
                continue;
            }
            if (::send(client, flood.data(), flood.size(), MSG_NOSIGNAL | MSG_DONTWAIT) < 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        // Closing with unread data resets the connection, which frees a blocked sender.
        if (client >= 0)
            ::close(client);
        ::close(m_listen);
    }

    bool acceptWithin(int ms, int* client)
    {
        pollfd p{m_listen, POLLIN, 0};
        if (::poll(&p, 1, ms) <= 0)
            return false;
        *client = ::accept(m_listen, nullptr, nullptr);
        return *client >= 0;
    }

    using clock = std::chrono::steady_clock;
    static constexpr auto kRescue = std::chrono::milliseconds(kRescueMs);
    int m_listen = -1;
    quint16 m_port = 0;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

TEST(SendDeadline, TcpSendIntoAFullSocketGivesUpAtTheDeadlineAndReportsTheLinkLost)
{
    DeafBox box;
    TcpTransport tcp;
    ASSERT_TRUE(tcp.open("127.0.0.1", box.port(), 1000));
    tcp.setSendBufferSize(4096);
    tcp.setSendTimeoutMs(kDeadlineMs);
    QSignalSpy lost(&tcp, &Transport::linkLost);

    FrameBuffer request{};
    QElapsedTimer total;
    total.start();
    qint64 longest = 0;
    int sent = 0;
    while (!tcp.sendFailed() && total.elapsed() < 2 * kRescueMs) {
        QElapsedTimer one;
        one.start();
        tcp.sendFrame(request);
        longest = std::max(longest, one.elapsed());
        ++sent;
    }
    ASSERT_TRUE(tcp.sendFailed()) << sent << " frames went out";
    EXPECT_GE(longest, kDeadlineMs - 5) << "the last send waited for room";
    EXPECT_LT(longest, kDeadlineMs + 500);
    EXPECT_LT(total.elapsed(), kRescueMs / 2) << "ended by the deadline, not by the box closing";

    // Reported on the main thread's next turn, once; the dead link sends nothing more.
    EXPECT_EQ(lost.count(), 0);
    ASSERT_TRUE(waitUntil([&] { return lost.count() > 0; }));
    EXPECT_TRUE(lost.at(0).at(0).toString().contains("timed out"))
        << lost.at(0).at(0).toString().toStdString();
    QElapsedTimer after;
    after.start();
    tcp.sendFrame(request);
    EXPECT_LT(after.elapsed(), 20);
    QCoreApplication::processEvents();
    EXPECT_EQ(lost.count(), 1);
}

// The read-back against a box that floods replies and never reads: replies nobody asked for
// do not drive the tool to send, so the socket never fills; the step whose reply never comes
// ends after its allowance with a message naming what the box answered, and the link stays up.
TEST(SendDeadline, ABoxThatFloodsRepliesAndStopsReadingCannotDriveTheTool)
{
    sim::BoxModel model;
    std::vector<std::uint8_t> identify(kTcpFrameSize, 0);
    FrameView(identify.data(), identify.size()).setCode(Cmd::Identify);
    DeafBox box(*model.handle(identify.data(), identify.size()));

    LinkSession ls;
    sim::BoxModel unused;
    QTemporaryDir lockDir;
    Connection conn(
        ls.s, std::make_unique<FakeHidBackend>(std::make_shared<FakeHidState>(unused)), lockDir.path());
    conn.startUp();
    conn.RBTCPClick();
    ls.s.ConnectAddressText = QStringLiteral("127.0.0.1");
    conn.setTcpPort(box.port());
    conn.setSendTimeoutMs(kDeadlineMs);

    conn.BtnCnt2Click();
    ASSERT_TRUE(ls.s.connected());
    qobject_cast<TcpTransport*>(conn.link().transport())->setSendBufferSize(4096);
    // Real time for the flood to arrive: nothing it does may end the link.
    EXPECT_FALSE(waitUntil([&] { return !ls.s.connected(); }, kRescueMs / 4));
    EXPECT_TRUE(ls.ui.messages.empty());
    ASSERT_TRUE(ls.s.readback.valid());
    EXPECT_FALSE(ls.s.readback.finished()) << "the model query waits for its own reply";

    ls.clock.advance(kReplyAllowanceMs);
    ASSERT_TRUE(ls.s.readback.finished());
    EXPECT_EQ(ls.s.readback.failure()->kind, Failure::Kind::BoxFault);
    ASSERT_EQ(ls.ui.messages.size(), 1u);
    EXPECT_TRUE(ls.ui.messages[0].text.startsWith("The box answered request 100c with another code"))
        << ls.ui.messages[0].text.toStdString();
    EXPECT_FALSE(ls.ui.waitWindowOpen());
    EXPECT_TRUE(ls.s.connected());
    conn.BtnCnt2Click();
}

TEST(SendDeadline, ConnectionSendsWithTheReplyWatchdogsLimit)
{
    LinkSession ls;
    sim::BoxModel box;
    sim::BoxServer server(box);
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
    QTemporaryDir lockDir;
    Connection conn(
        ls.s, std::make_unique<FakeHidBackend>(std::make_shared<FakeHidState>(box)), lockDir.path());
    conn.RBTCPClick();
    ls.s.ConnectAddressText = QStringLiteral("127.0.0.1");
    conn.setTcpPort(server.port());
    conn.BtnCnt2Click();
    ASSERT_NE(ls.s.transport, nullptr);
    EXPECT_EQ(ls.s.transport->sendTimeoutMs(), kReplyWatchdogMs);
}

// hidapi has no write time-out; a write the backend gives up on, or one that returns only after
// the deadline, ends the link like a full socket, with the message since the box is still there.
struct UsbStall {
    const char* name;
    bool fails;
    int delayMs;
};
void PrintTo(const UsbStall& c, std::ostream* os)
{
    *os << c.name;
}

class UsbSendDeadline : public ::testing::TestWithParam<UsbStall> { };

TEST_P(UsbSendDeadline, AStalledWriteEndsTheLinkWithTheMessage)
{
    LinkSession ls;
    sim::BoxModel box;
    auto hid = std::make_shared<FakeHidState>(box);
    hid->inputLength = hid->outputLength = 513;
    QTemporaryDir lockDir;
    Connection conn(ls.s, std::make_unique<FakeHidBackend>(hid), lockDir.path());
    conn.startUp();
    conn.setSendTimeoutMs(20);
    conn.BtnCnt2Click();
    ASSERT_TRUE(settle(ls.clock, [&] { return ls.s.connected() && !ls.s.busy(); }));

    hid->writeFails = GetParam().fails;
    hid->writeDelayMs = GetParam().delayMs;
    ls.clock.advance(2000); // the status poll sends
    ASSERT_TRUE(waitUntil([&] { return !ls.s.connected(); }, 2000));
    ASSERT_EQ(ls.ui.messages.size(), 1u);
    EXPECT_EQ(ls.ui.messages[0].text, "Connection to the box lost.");
    EXPECT_EQ(ls.s.transport, nullptr);
    EXPECT_EQ(hid->liveDevices, 0);
    EXPECT_TRUE(ls.ui.isEnabled(ctl::BtnCnt2)) << "the box is still plugged in: connect again";
}

INSTANTIATE_TEST_SUITE_P(Stalls, UsbSendDeadline,
    ::testing::Values(UsbStall{"WriteFails", true, 0}, UsbStall{"WriteOverruns", false, 60}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace trivel::test
