// The exchange's sends on both real transports, the pause after a send, the neutral state, TCP
// framing.

#include "box/Box.h"
#include "FakeHid.h"
#include "LinkTestSupport.h"
#include "link/HidBackend.h"
#include "protocol/SettingCodec.h"
#include "link/TcpTransport.h"
#include "link/UsbTransport.h"
#include "box/NeutralState.h"
#include "sim/BoxModel.h"
#include "support/Controls.h"
#include "support/FakeBoxTransport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <sys/socket.h>

namespace trivel::test {
namespace {

// Everything a peer received until the client closed, as one byte string.
struct Capture {
    std::mutex m;
    std::vector<std::uint8_t> bytes;
    std::atomic<bool> done{false};
    ScriptedPeer::Script script()
    {
        return [this](int fd) {
            std::uint8_t buf[4096];
            for (;;) {
                const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
                if (n <= 0)
                    break;
                std::lock_guard lock(m);
                bytes.insert(bytes.end(), buf, buf + n);
            }
            done = true;
        };
    }
};

// A request that takes no reply, so a test without a reply sink can send the next at once.
constexpr SendOptions kNoReply{.awaitReply = false};

Request BrightnessWrite(Clear clear = Clear::All)
{
    return Request(Cmd::Setting, clear).setting(MakeSettingCommand("s00BRI+022"));
}

TEST(ExchangeSend, TcpSendsExactly512BytesOfTheRequestFrame)
{
    LinkSession ls;
    Capture cap;
    ScriptedPeer peer(cap.script());
    TcpTransport tcp;
    ASSERT_TRUE(tcp.open("127.0.0.1", peer.port(), 1000));
    ls.s.setTransport(&tcp);
    ls.s.setFlag(Flag::Connected, true);

    ls.s.RequestBuffer[600] = 0xAB; // beyond the wire frame: must not go out
    ls.s.exchange.post(BrightnessWrite(Clear::Frame), kNoReply);
    tcp.close();
    ASSERT_TRUE(waitUntil([&] { return cap.done.load(); }));

    ASSERT_EQ(cap.bytes.size(), 512u);
    EXPECT_EQ(std::vector<std::uint8_t>(cap.bytes.begin(), cap.bytes.begin() + 8),
        (std::vector<std::uint8_t>{0, 0, 0, 0, 0x02, 0x10, 0, 0}));
    EXPECT_EQ(std::string(cap.bytes.begin() + 8, cap.bytes.begin() + 20), "s00BRI+022\r\n");
}

TEST(ExchangeSend, NothingGoesOutWithoutAnOpenLink)
{
    LinkSession ls;
    Capture cap;
    ScriptedPeer peer(cap.script());
    TcpTransport tcp;
    ASSERT_TRUE(tcp.open("127.0.0.1", peer.port(), 1000));
    ls.s.setTransport(&tcp);
    ls.s.setFlag(Flag::Connected, true);
    std::vector<Failure::Kind> failed;
    QObject::connect(&ls.s.exchange, &Exchange::stepFailed, [&](const Failure& f) { failed.push_back(f.kind); });
    ls.s.setTransport(nullptr);
    ls.s.exchange.post(Request(Cmd::Identify), {.pauseMs = 80});
    ls.s.setTransport(&tcp);
    tcp.close();
    ls.s.exchange.post(Request(Cmd::Identify), {.pauseMs = 80}); // the link has closed under it
    ASSERT_TRUE(waitUntil([&] { return cap.done.load(); }));
    EXPECT_TRUE(cap.bytes.empty());
    EXPECT_TRUE(ls.clock.waits().empty()); // no pause either
    EXPECT_EQ(failed, (std::vector<Failure::Kind>{Failure::Kind::LinkLost, Failure::Kind::LinkLost}));
    EXPECT_FALSE(ls.s.busy());
}

TEST(ExchangeSend, UsbWritesOneReportOfTheDeclaredLengthStartingWithReportIdZero)
{
    for (std::size_t declared : {65u, 513u, 1025u}) {
        SCOPED_TRACE(declared);
        LinkSession ls;
        sim::BoxModel box;
        auto st = std::make_shared<FakeHidState>(box);
        st->outputLength = declared;
        FakeHidBackend hid(st);
        UsbTransport usb(hid.open(kBoxVendorId, kBoxProductId));
        ls.s.setTransport(&usb);
        ls.s.setFlag(Flag::Connected, true);

        ls.s.clearRequest();
        ls.s.RequestBuffer[declared - 1] = 0x5A; // last byte of the report
        ls.s.exchange.post(Request(Cmd::Status, Clear::None), kNoReply);

        ASSERT_EQ(st->writtenCount(), 1u);
        const auto report = st->writtenAt(0);
        ASSERT_EQ(report.size(), declared);
        EXPECT_EQ(report[0], 0);
        EXPECT_EQ(FrameView(const_cast<std::uint8_t*>(report.data()) + 1, declared - 1).code(), Cmd::Status);
        EXPECT_EQ(report.back(), 0x5A);
    }
}

TEST(ExchangeSend, ARequestThatDoesNotClearCarriesThePreviousFrameBeyondItsFields)
{
    LinkSession ls;
    sim::BoxModel box;
    FakeBoxTransport fake(box);
    fake.delivery = Delivery::Synchronous;
    ls.s.setTransport(&fake);
    ls.s.setFlag(Flag::Connected, true);

    ls.s.exchange.post(BrightnessWrite(), kNoReply);
    // 0x2003: window at 8, colour at 9, nothing cleared.
    ls.s.exchange.post(Request(Cmd::TestPatternColour, Clear::None).u8(8, 1).u8(9, 7), kNoReply);

    ASSERT_EQ(fake.sent.size(), 2u);
    const auto& second = fake.sent[1];
    EXPECT_EQ(second[8], 1);
    EXPECT_EQ(second[9], 7);
    EXPECT_EQ(std::string(second.begin() + 10, second.begin() + 20), "0BRI+022\r\n");
}

// A pause is a timer: the reply is handled on the next event-loop turn whatever the pause, and
// the next request goes out only once the pause has passed.
TEST(ExchangeSend, APauseHoldsTheNextRequestBackWhileTheReplyIsHandledAtOnce)
{
    for (const int pause : {0, 80, 20}) {
        SCOPED_TRACE(pause);
        LinkSession ls;
        sim::BoxModel box;
        FakeBoxTransport fake(box); // replies arrive on the next event-loop turn
        ls.s.setTransport(&fake);
        int dispatched = 0;
        fake.setReplySink([&](const std::uint8_t* b, std::size_t n, bool id) {
            ++dispatched;
            DeliverReply(ls.s, b, n, id);
        });
        ls.s.setFlag(Flag::Connected, true);
        ls.s.exchange.post(BrightnessWrite(), {.pauseMs = pause});
        ls.s.exchange.post(Request(Cmd::Status));
        EXPECT_EQ(dispatched, 0) << "no event loop runs inside a send";
        QCoreApplication::processEvents();
        EXPECT_EQ(dispatched, 1);
        if (pause) {
            EXPECT_EQ(fake.sent.size(), 1u) << "the second request waits for the pause";
            ASSERT_EQ(ls.clock.waits().size(), 1u);
            EXPECT_EQ(ls.clock.waits()[0].ms, pause);
            ASSERT_TRUE(ls.clock.runNextDelay());
        } else {
            EXPECT_TRUE(ls.clock.waits().empty());
        }
        EXPECT_EQ(fake.sent.size(), 2u);
        QCoreApplication::processEvents();
        EXPECT_EQ(dispatched, 2);
        EXPECT_FALSE(ls.s.busy());
    }
}

TEST(NeutralState, SendsMarkerPatternOffAndHiddenCursorForTheCurrentWindow)
{
    struct Case {
        bool sendMarker;
        int markerValue;
        bool connected;
        std::vector<std::uint32_t> codes;
    };
    const Case cases[] = {
        {true, 0, true, {Cmd::BlendMarker, Cmd::TestPatternColour, Cmd::ControlCursor}},
        {true, 1, true, {Cmd::BlendMarker, Cmd::TestPatternColour, Cmd::ControlCursor}},
        {false, 0, true, {Cmd::TestPatternColour, Cmd::ControlCursor}},
        {true, 0, false, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.sendMarker << c.markerValue << c.connected);
        LinkSession ls;
        sim::BoxModel box;
        FakeBoxTransport fake(box);
        fake.delivery = Delivery::Synchronous;
        fake.attach(ls.s);
        ls.s.setFlag(Flag::Connected, c.connected);
        ls.s.CurrentWindow = 2;
        ls.s.box->warp.state().model[2].ControlCursor = {3, 4}; // row 4, column 3 -> 39
        ls.s.UserMapPatternIndex[2] = 5;
        ls.s.RequestBuffer[1 + 40] = 0xEE; // left over from an earlier request

        const Operation<void> op = SendNeutralState(ls.s, c.sendMarker, c.markerValue);
        ASSERT_TRUE(RunUntilIdle(ls.s));

        EXPECT_TRUE(op.succeeded());
        EXPECT_EQ(fake.sentCodes, c.codes);
        EXPECT_EQ(ls.ui.intValue(ctl::CBPatternSel, Prop::ItemIndex, -1), 5);
        if (!c.connected) {
            EXPECT_TRUE(ls.clock.waits().empty());
            continue;
        }
        EXPECT_EQ(ls.clock.waits().size(), c.codes.size()); // 20 ms after every frame
        for (const auto& w : ls.clock.waits())
            EXPECT_EQ(w.ms, 20);
        std::size_t i = 0;
        if (c.sendMarker) {
            const auto& m = fake.sent[i++];
            EXPECT_EQ(m[8], 2);
            EXPECT_EQ(m[9], c.markerValue);
            EXPECT_EQ(m[40], 0xEE); // not cleared
        }
        const auto& colour = fake.sent[i++];
        EXPECT_EQ(colour[8], 2);
        EXPECT_EQ(colour[9], 0);
        const auto& cursor = fake.sent[i++];
        EXPECT_EQ(cursor[8], 2);
        EXPECT_EQ(cursor[9], 39);
        EXPECT_EQ(cursor[10], 0);
        EXPECT_EQ(cursor[40], 0); // cleared
    }
}

// The box's side of the framing cases: how its bytes arrive must not change what is dispatched.
TEST(TcpTransport, ReassemblesSplitRepliesAndSeparatesCoalescedOnes)
{
    auto frame = [](std::uint32_t code, std::uint8_t fill) {
        std::vector<std::uint8_t> f(kTcpFrameSize, fill);
        std::fill_n(f.begin(), 4, 0);
        FrameView(f.data(), f.size()).setCode(code);
        return f;
    };
    struct Case {
        const char* name;
        std::vector<std::size_t> chunks; // segment sizes the peer writes, with a pause between
    };
    const Case cases[] = {
        {"split in two", {100, 412}},
        {"split in three across the code", {5, 300, 207}},
        {"two replies in one write", {1024}},
        {"one and a half, then the rest", {768, 256}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::uint8_t> stream;
        std::size_t total = 0;
        for (std::size_t k : c.chunks)
            total += k;
        const std::size_t frames = total / kTcpFrameSize;
        for (std::size_t i = 0; i < frames; ++i) {
            auto f = frame(0x1000 + std::uint32_t(i), std::uint8_t(0x30 + i));
            stream.insert(stream.end(), f.begin(), f.end());
        }
        ScriptedPeer peer([&](int fd) {
            std::size_t at = 0;
            for (std::size_t k : c.chunks) {
                ScriptedPeer::writeAll(fd, stream.data() + at, k);
                at += k;
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
            std::uint8_t sink[kTcpFrameSize];
            ScriptedPeer::readFrame(fd, sink); // stay open until the client goes
        });

        LinkSession ls;
        TcpTransport tcp;
        ASSERT_TRUE(tcp.open("127.0.0.1", peer.port(), 1000));
        ReplyLog log;
        log.attach(ls.s, tcp);
        tcp.startReceiving();
        ASSERT_TRUE(waitUntil([&] { return log.frames.size() >= frames; }));
        QCoreApplication::processEvents();
        ASSERT_EQ(log.frames.size(), frames);
        for (std::size_t i = 0; i < frames; ++i) {
            EXPECT_EQ(log.frames[i], frame(0x1000 + std::uint32_t(i), std::uint8_t(0x30 + i)));
        }
        tcp.close();
    }
}

TEST(TcpTransport, PeerCloseIsReportedAndCloseNeverHangs)
{
    ScriptedPeer closing([](int) {}); // accepts, then closes at once
    TcpTransport tcp;
    ASSERT_TRUE(tcp.open("127.0.0.1", closing.port(), 1000));
    QString reason;
    QObject::connect(&tcp, &Transport::linkLost, [&](const QString& r) { reason = r; });
    tcp.startReceiving();
    ASSERT_TRUE(waitUntil([&] { return !reason.isEmpty(); }));

    // A silent peer: the receive thread sits in recv until close wakes it.
    ScriptedPeer silent([](int fd) {
        std::uint8_t f[kTcpFrameSize];
        while (ScriptedPeer::readFrame(fd, f)) { }
    });
    TcpTransport quiet;
    ASSERT_TRUE(quiet.open("127.0.0.1", silent.port(), 1000));
    QString lost;
    QObject::connect(&quiet, &Transport::linkLost, [&](const QString& r) { lost = r; });
    quiet.startReceiving();
    quiet.close();
    QCoreApplication::processEvents();
    EXPECT_FALSE(quiet.isOpen());
    EXPECT_TRUE(lost.isEmpty()); // our own close is not a lost link
}

TEST(TcpTransport, RefusedConnectFailsAtOnce)
{
    TcpTransport tcp;
    QString why;
    EXPECT_FALSE(tcp.open("127.0.0.1", ScriptedPeer::deadPort(), 3000, &why));
    EXPECT_FALSE(why.isEmpty());
    EXPECT_FALSE(tcp.open("not an address", 7, 3000, &why));
    EXPECT_FALSE(tcp.isOpen());
}

TEST(HidapiBackend, EnumeratesOnlyTheBoxAndOpensNothingWhenItIsAbsent)
{
    auto hid = CreateHidapiBackend();
    const auto found = hid->enumerate(kBoxVendorId, kBoxProductId);
    for (const HidDeviceInfo& d : found) {
        EXPECT_EQ(d.vendorId, kBoxVendorId);
        EXPECT_EQ(d.productId, kBoxProductId);
    }
    if (found.empty()) {
        EXPECT_EQ(hid->open(kBoxVendorId, kBoxProductId), nullptr);
    }
}

TEST(HidReportLengths, LargestReportOfEachKindPlusTheReportIdByte)
{
    struct Case {
        const char* name;
        std::vector<std::uint8_t> descriptor;
        std::size_t input, output;
    };
    const Case cases[] = {
        // Vendor page, 64-byte input and output reports, no report ids.
        {"64/64 unnumbered",
            {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x15, 0x00, 0x26, 0xFF, 0x00, 0x75, 0x08, 0x95, 0x40,
                0x09, 0x01, 0x81, 0x02, 0x95, 0x40, 0x09, 0x01, 0x91, 0x02, 0xC0},
            65, 65},
        // 512-byte reports with a two-byte count.
        {"512/512", {0x75, 0x08, 0x96, 0x00, 0x02, 0x81, 0x02, 0x96, 0x00, 0x02, 0x91, 0x02}, 513, 513},
        // Two numbered input reports: the larger one counts.
        {"numbered", {0x85, 0x01, 0x75, 0x08, 0x95, 0x10, 0x81, 0x02, 0x85, 0x02, 0x95, 0x20, 0x81, 0x02}, 33,
            0},
        // Bits add up within one report: 8 x 1 bit + 7 bytes.
        {"bit fields", {0x75, 0x01, 0x95, 0x08, 0x91, 0x02, 0x75, 0x08, 0x95, 0x07, 0x91, 0x02}, 0, 9},
        // Truncated in the middle of an item: what was read so far.
        {"truncated", {0x75, 0x08, 0x95, 0x04, 0x81, 0x02, 0x96, 0x00}, 5, 0},
        {"long item skipped", {0xFE, 0x02, 0x10, 0xAA, 0xBB, 0x75, 0x08, 0x95, 0x02, 0x81, 0x02}, 3, 0},
        {"empty", {}, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const HidReportLengths l = ParseHidReportLengths(c.descriptor);
        EXPECT_EQ(l.input, c.input);
        EXPECT_EQ(l.output, c.output);
    }
}

} // namespace
} // namespace trivel::test
