// The simulated box's server under clients that pipeline and vanish, never read, or send codes
// nobody knows: it neither crashes nor grows, and the next well-behaved client is served.

#include "SimClients.h"
#include "protocol/SettingCodec.h"
#include "sim/BoxServer.h"

#include <QLoggingCategory>

#include <gtest/gtest.h>

#include <limits>

using namespace trivel;
using namespace trivel::sim;
using trivel::test::frameCode;
using trivel::test::RawClient;
using trivel::test::requestFrame;
using trivel::test::spinUntil;

namespace {

constexpr int kWaitMs = 5000; // bound for loopback I/O; passing runs never reach it

QByteArray frames(std::uint32_t code, int count)
{
    return requestFrame(code).repeated(count);
}

QByteArray settingFrame(std::string_view text)
{
    QByteArray f = requestFrame(Cmd::Setting);
    const SettingCommand c = MakeSettingCommand(text);
    FrameView(reinterpret_cast<std::uint8_t*>(f.data()), kTcpFrameSize)
        .copyIn(kSettingOffset, c.data(), c.size());
    return f;
}

struct Flood {
    qint64 sent = 0;
    bool peerGone = false;
};

// Sends Status requests without reading a byte until the kernel takes no more for a while,
// the server drops the connection, or cap bytes are out.
Flood sendWithoutReading(RawClient& c, qint64 cap)
{
    const QByteArray burst = frames(Cmd::Status, 128);
    Flood f;
    int idleTurns = 0;
    while (f.sent < cap && idleTurns < 100) {
        const qint64 at = f.sent % burst.size();
        const qint64 k = c.trySend(burst.constData() + at, burst.size() - at);
        if (k < 0) {
            f.peerGone = true;
            break;
        }
        f.sent += k;
        idleTurns = k > 0 ? 0 : idleTurns + 1;
        spinUntil([] { return true; }, 0);
        pollfd p{c.fd(), POLLOUT, 0};
        ::poll(&p, 1, 1);
    }
    return f;
}

// A well-behaved client asks and reads one request at a time.
QByteArray ask(RawClient& c, const QByteArray& request)
{
    if (!c.sendAll(request))
        return {};
    return c.receive(qint64(kTcpFrameSize));
}

class BoxServerLimits : public ::testing::Test {
protected:
    void SetUp() override
    {
        // Thousands of replaced and dropped clients would each leave a line.
        QLoggingCategory::setFilterRules(QStringLiteral("trivel.sim.info=false\ntrivel.sim.warning=false"));
        box.receivedLogLimit = 100; // as trivel-boxsim keeps only recent frames
        ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
    }
    void TearDown() override { QLoggingCategory::setFilterRules({}); }

    // The next client gets its answers: the server survived and forgot the last one.
    void expectServed()
    {
        RawClient c(server.port());
        ASSERT_TRUE(c.connected());
        const QByteArray reply = ask(c, requestFrame(Cmd::ReadWindowSettings));
        ASSERT_EQ(reply.size(), qsizetype(kTcpFrameSize));
        EXPECT_EQ(frameCode(reply), Cmd::ReadWindowSettings);
    }

    BoxModel box;
    BoxServer server{box};
};

} // namespace

// Replies written to a client that already closed make the write fail and the socket drop in
// the middle of sending; the server must not touch what that drop released.
TEST_F(BoxServerLimits, PipelinedRequestsThenCloseWithoutReading)
{
    for (const bool reset : {false, true}) {
        SCOPED_TRACE(reset ? "reset" : "orderly close");
        for (int round = 0; round < 20; ++round) {
            RawClient c(server.port());
            ASSERT_TRUE(c.connected());
            ASSERT_TRUE(c.sendAll(frames(Cmd::ReadWindowSettings, 50)));
            c.close(reset);
            ASSERT_TRUE(spinUntil([&] { return server.hasClient(); }, kWaitMs));
            ASSERT_TRUE(spinUntil([&] { return !server.hasClient(); }, kWaitMs));
        }
        expectServed();
    }
}

// A client that sends and never reads: the server stops taking its requests once its replies
// pile up (so the client ends up blocked in send), or drops it when that pile passes the hard
// limit; either way the pile stays bounded and the next client is served.
TEST_F(BoxServerLimits, ClientThatNeverReadsIsPausedOrDropped)
{
    struct Case {
        const char* name;
        qint64 pauseBytes;
        qint64 hardLimitBytes;
        bool dropped;
    };
    const Case cases[] = {
        {"paused", 64 * 1024, 4 * 1024 * 1024, false},
        {"dropped", std::numeric_limits<qint64>::max(), 1024 * 1024, true},
    };
    constexpr qint64 kCap = 96 * 1024 * 1024; // far more than loopback buffers hold
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        server.outputPauseBytes = c.pauseBytes;
        server.outputHardLimitBytes = c.hardLimitBytes;
        RawClient hog(server.port(), 4096);
        ASSERT_TRUE(hog.connected());
        ASSERT_TRUE(spinUntil([&] { return server.hasClient(); }, kWaitMs));
        const Flood f = sendWithoutReading(hog, kCap);
        EXPECT_LT(f.sent, kCap) << "the server kept reading";
        if (c.dropped) {
            EXPECT_TRUE(spinUntil([&] { return !server.hasClient(); }, kWaitMs));
            EXPECT_TRUE(hog.waitForPeerClose());
            EXPECT_LE(server.peakPendingOutputBytes(), c.hardLimitBytes + qint64(kTcpFrameSize));
        } else {
            EXPECT_FALSE(f.peerGone);
            EXPECT_TRUE(server.hasClient());
            EXPECT_TRUE(server.readingPaused());
            EXPECT_LE(server.peakPendingOutputBytes(), c.pauseBytes + qint64(kTcpFrameSize));
            EXPECT_LE(server.pendingOutputBytes(), c.pauseBytes + qint64(kTcpFrameSize));
        }
        expectServed();
        box.clearCounters();
    }
}

// A paused client that starts reading gets every reply, in order, and nothing twice.
TEST_F(BoxServerLimits, PausedClientThatReadsAgainGetsEveryReply)
{
    server.outputPauseBytes = 4 * 1024;
    RawClient c(server.port(), 4096);
    ASSERT_TRUE(c.connected());
    constexpr int kRequests = 4000; // 2 MB each way: well past the pause and the input buffer
    QByteArray requests;
    for (int i = 0; i < kRequests; ++i)
        requests += settingFrame(i % 2 ? "s00BRI+061" : "s00CON+042");
    qint64 sent = 0;
    QByteArray received;
    const bool done = spinUntil(
        [&] {
            const qint64 k = c.trySend(requests.constData() + sent, requests.size() - sent);
            sent += k > 0 ? k : 0;
            char buf[65536];
            const ssize_t r = ::recv(c.fd(), buf, sizeof buf, 0);
            if (r > 0)
                received.append(buf, r);
            return received.size() >= requests.size();
        },
        kWaitMs, c.fd());
    ASSERT_TRUE(done) << "received " << received.size() << " of " << requests.size();
    EXPECT_EQ(received.size(), requests.size());
    EXPECT_EQ(box.totalRequests(), kRequests);
    for (int i = 0; i < kRequests; i += 997)
        EXPECT_EQ(received.mid(i * 512 + 8, 10), requests.mid(i * 512 + 8, 10)) << i;
    EXPECT_LE(server.peakPendingOutputBytes(), 4 * 1024 + qint64(kTcpFrameSize));
}

// Every request code the protocol does not know shares one counter.
TEST(BoxModelCounters, DistinctUnknownCodesDoNotGrowTheModel)
{
    BoxModel box;
    box.receivedLogLimit = 16;
    const std::size_t counters = box.counterSlots();
    std::vector<std::uint8_t> f(kTcpFrameSize, 0);
    constexpr std::uint32_t kFirst = 0x00400000; // no protocol code lies at or above it but the restart
    for (std::uint32_t i = 0; i < 200000; ++i) {
        FrameView(f.data(), f.size()).setCode(kFirst + i);
        const auto reply = box.handle(f.data(), f.size());
        ASSERT_TRUE(reply);
        ASSERT_EQ(FrameView(const_cast<std::uint8_t*>(reply->data()), reply->size()).code(), kFirst + i);
    }
    EXPECT_EQ(box.counterSlots(), counters);
    EXPECT_EQ(box.unknownRequests(), 200000);
    EXPECT_EQ(box.requests(kFirst), 0);
    EXPECT_EQ(box.received().size(), 16u);

    FrameView(f.data(), f.size()).setCode(Cmd::Identify);
    box.handle(f.data(), f.size());
    EXPECT_EQ(box.requests(Cmd::Identify), 1);
    EXPECT_EQ(box.totalRequests(), 200001);
    box.clearCounters();
    EXPECT_EQ(box.unknownRequests(), 0);
    EXPECT_EQ(box.requests(Cmd::Identify), 0);
}

// Many short connections, a client that never reads and 200,000 distinct codes in a row, then
// the requests of the tool's connect read-back, answered from the state set before.
TEST_F(BoxServerLimits, StressThenAWellBehavedReadBackSucceeds)
{
    {
        RawClient c(server.port());
        ASSERT_EQ(frameCode(ask(c, settingFrame("s00BRI+061"))), Cmd::Setting);
    }
    const std::size_t counters = box.counterSlots();

    // 5,000 connections: closed at once, after one request, reset after a pipelined burst, or
    // closed in the middle of a frame.
    for (int i = 0; i < 5000; ++i) {
        RawClient c(server.port());
        ASSERT_TRUE(c.connected());
        switch (i % 4) {
        case 1:
            c.trySend(requestFrame(Cmd::Identify).constData(), qint64(kTcpFrameSize));
            break;
        case 2:
            c.trySend(frames(Cmd::ReadWindowSettings, 8).constData(), 8 * qint64(kTcpFrameSize));
            c.close(true);
            break;
        case 3:
            c.trySend(requestFrame(Cmd::Status).constData(), 100);
            break;
        default:
            break;
        }
        c.close(i % 8 == 0);
        spinUntil([] { return true; }, 0);
    }

    {
        RawClient hog(server.port(), 4096);
        ASSERT_TRUE(spinUntil([&] { return server.hasClient(); }, kWaitMs));
        const Flood f = sendWithoutReading(hog, 96 * 1024 * 1024);
        EXPECT_FALSE(f.peerGone);
        EXPECT_LE(server.peakPendingOutputBytes(), server.outputPauseBytes + qint64(kTcpFrameSize));

        // Replaces the hog, which is never read again.
        RawClient codes(server.port());
        ASSERT_TRUE(codes.connected());
        constexpr int kBatch = 250;
        constexpr std::uint32_t kFirst = 0x00400000;
        const int unknownBefore = box.unknownRequests();
        for (int b = 0; b < 200000 / kBatch; ++b) {
            QByteArray batch(kBatch * int(kTcpFrameSize), '\0');
            for (int k = 0; k < kBatch; ++k)
                FrameView(reinterpret_cast<std::uint8_t*>(batch.data()) + k * kTcpFrameSize, kTcpFrameSize)
                    .setCode(kFirst + std::uint32_t(b * kBatch + k));
            ASSERT_TRUE(codes.sendAll(batch));
            const QByteArray replies = codes.receive(batch.size());
            ASSERT_EQ(replies.size(), batch.size());
            ASSERT_EQ(frameCode(replies, kBatch - 1), kFirst + std::uint32_t(b * kBatch + kBatch - 1));
        }
        EXPECT_EQ(box.unknownRequests() - unknownBefore, 200000);
    }
    EXPECT_EQ(box.counterSlots(), counters);

    RawClient tool(server.port());
    ASSERT_TRUE(tool.connected());
    for (const std::uint32_t code :
        {Cmd::Identify, Cmd::ReadNetwork, Cmd::MaskReadHeader, Cmd::ReadWindowSettings, Cmd::ReadWarpA,
            Cmd::ReadWarpB, Cmd::ReadWarpC, Cmd::ReadBlend, Cmd::Status}) {
        QByteArray reply = ask(tool, requestFrame(code));
        ASSERT_EQ(reply.size(), qsizetype(kTcpFrameSize)) << std::hex << code;
        FrameView v(reinterpret_cast<std::uint8_t*>(reply.data()), kTcpFrameSize);
        EXPECT_EQ(v.code(), code);
        if (code == Cmd::Identify) {
            EXPECT_EQ(v.u8(14), 0x84);
        } else if (code == Cmd::ReadWindowSettings) {
            EXPECT_EQ(v.u8(8 + 30), 61); // window 0's brightness
        }
    }
}
