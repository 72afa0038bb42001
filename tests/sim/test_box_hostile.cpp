// The simulated box's hostile modes, which let the tool be driven against a broken box: what
// each mode sends, the same bytes again for the same seed, in the model and over TCP.

#include "SimClients.h"
#include "protocol/SettingCodec.h"
#include "sim/BoxServer.h"

#include <QProcess>

#include <gtest/gtest.h>

#include <set>

using namespace trivel;
using namespace trivel::sim;
using trivel::test::Client;
using trivel::test::frameCode;

namespace {

using Frame = std::vector<std::uint8_t>;

Frame request(std::uint32_t code, std::string_view setting = {})
{
    Frame f(kTcpFrameSize, 0);
    FrameView v(f.data(), f.size());
    v.setCode(code);
    if (!setting.empty()) {
        const SettingCommand c = MakeSettingCommand(setting);
        v.copyIn(kSettingOffset, c.data(), c.size());
    }
    return f;
}

// The requests of a connect and a few adjustments, and a code the box does not know.
std::vector<Frame> session()
{
    return {request(Cmd::Identify), request(Cmd::Status), request(Cmd::ReadWindowSettings),
        request(Cmd::SettingQuery, "S00BRIR000"), request(Cmd::Setting, "s00BRI+061"),
        request(Cmd::ReadBlend), request(Cmd::UserMapSourceX), request(0x4242)};
}

// Every frame the box sends for the requests, its own extra ones included, in order.
std::vector<Frame> transcript(BoxModel& box, const std::vector<Frame>& requests)
{
    std::vector<Frame> out;
    for (const Frame& r : requests) {
        if (auto reply = box.handle(r.data(), r.size()))
            out.push_back(std::move(*reply));
        for (auto& extra : box.takeExtraReplies())
            out.push_back(std::move(extra));
    }
    return out;
}

std::vector<Frame> transcript(Hostile mode, std::uint64_t seed, const std::vector<Frame>& requests)
{
    BoxModel box;
    box.hostile = mode;
    box.seed = seed;
    return transcript(box, requests);
}

QByteArray joined(const std::vector<Frame>& frames)
{
    QByteArray out;
    for (const Frame& f : frames)
        out.append(reinterpret_cast<const char*>(f.data()), qsizetype(f.size()));
    return out;
}

FrameView view(Frame& f)
{
    return FrameView(f.data(), f.size());
}

constexpr Hostile kContentModes[] = {Hostile::Random, Hostile::Extreme, Hostile::Flood};

} // namespace

TEST(BoxHostile, ASeedRepeatsARunByteForByte)
{
    std::vector<Frame> requests;
    for (int i = 0; i < 20; ++i)
        for (Frame& f : session())
            requests.push_back(std::move(f));
    const auto plain = transcript(Hostile::None, 7, requests);
    for (const Hostile mode : kContentModes) {
        SCOPED_TRACE(int(mode));
        const auto run = transcript(mode, 7, requests);
        EXPECT_EQ(run, transcript(mode, 7, requests));
        EXPECT_NE(run, transcript(mode, 8, requests));
        EXPECT_NE(run, plain);
    }
}

TEST(BoxHostile, RandomRepliesAreWholeFramesOfNoise)
{
    BoxModel box;
    box.hostile = Hostile::Random;
    int codeKept = 0;
    std::set<std::uint8_t> bytesSeen;
    for (int i = 0; i < 200; ++i) {
        Frame r = request(Cmd::Status);
        auto reply = box.handle(r.data(), r.size());
        ASSERT_TRUE(reply);
        ASSERT_EQ(reply->size(), kTcpFrameSize);
        codeKept += view(*reply).code() == Cmd::Status;
        bytesSeen.insert(reply->begin(), reply->end());
    }
    EXPECT_LT(codeKept, 5);
    EXPECT_EQ(bytesSeen.size(), 256u);
    EXPECT_TRUE(box.takeExtraReplies().empty());
}

// Extreme replies keep their codes, so they reach the tool's decoders, and over a run they carry
// what those decoders must survive: no window and far too many, sizes at both ends of their
// range, masks and setting values that are no numbers or at the ends of their fields.
TEST(BoxHostile, ExtremeRepliesKeepTheirCodesAndCarryOutOfRangeFields)
{
    BoxModel box;
    box.hostile = Hostile::Extreme;
    std::set<int> windows;
    std::set<std::uint16_t> frameWidths;
    std::set<std::int32_t> inputWidths;
    std::set<int> settingValues;
    bool maskNotDigits = false;
    for (int i = 0; i < 100; ++i) {
        for (Frame& r : session()) {
            const std::uint32_t code = view(r).code();
            auto reply = box.handle(r.data(), r.size());
            ASSERT_TRUE(reply);
            FrameView v = view(*reply);
            ASSERT_EQ(v.code(), code);
            if (code == Cmd::Identify) {
                const std::uint8_t kind = v.u8(14);
                windows.insert(kind & 0x80 ? kind & 0x7F : 2 * kind);
                frameWidths.insert(v.u16(16));
            } else if (code == Cmd::Status) {
                inputWidths.insert(v.i32(16));
                maskNotDigits |= v.u8(8) < '0' || v.u8(8) > '9';
            } else if (code == Cmd::SettingQuery) {
                EXPECT_EQ(std::string(reinterpret_cast<const char*>(reply->data()) + 8, 6), "S00BRI");
                settingValues.insert(DecodeSettingReply(v));
            }
        }
    }
    EXPECT_TRUE(windows.count(0));
    EXPECT_GT(*windows.rbegin(), 4);
    EXPECT_TRUE(frameWidths.count(0) && frameWidths.count(0xFFFF));
    EXPECT_LT(*inputWidths.begin(), 0);
    EXPECT_EQ(*inputWidths.rbegin(), 0x7FFFFFFF);
    EXPECT_TRUE(maskNotDigits);
    EXPECT_TRUE(settingValues.count(999) && settingValues.count(-999));
}

// Flood: after each reply one to three more frames, copies of it or data replies nobody asked for.
TEST(BoxHostile, FloodFollowsEveryReplyWithCopiesAndUnrequestedFrames)
{
    BoxModel box;
    box.hostile = Hostile::Flood;
    int copies = 0, unrequested = 0;
    for (int i = 0; i < 200; ++i) {
        Frame r = request(Cmd::ReadWarpA);
        const auto reply = box.handle(r.data(), r.size());
        ASSERT_TRUE(reply);
        const auto extras = box.takeExtraReplies();
        ASSERT_GE(extras.size(), 1u);
        ASSERT_LE(extras.size(), 3u);
        for (Frame e : extras) {
            ASSERT_EQ(e.size(), kTcpFrameSize);
            if (e == *reply)
                ++copies;
            else if (view(e).code() != Cmd::ReadWarpA)
                ++unrequested;
        }
        EXPECT_TRUE(box.takeExtraReplies().empty());
    }
    EXPECT_GT(copies, 50);
    EXPECT_GT(unrequested, 50);
    EXPECT_EQ(box.repliesSent(), 200);

    // A box that stays silent floods nothing.
    box.silentAfter = 0;
    Frame r = request(Cmd::Status);
    EXPECT_FALSE(box.handle(r.data(), r.size()));
    EXPECT_TRUE(box.takeExtraReplies().empty());
}

namespace {

class BoxHostileServer : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0)); }

    BoxModel box;
    BoxServer server{box};
};

} // namespace

// Over TCP the content modes send exactly what the model makes, extra frames included.
TEST(BoxHostileOverTcp, ContentModesReachTheClientAsTheModelMakesThem)
{
    const auto requests = session();
    for (const Hostile mode : kContentModes) {
        SCOPED_TRACE(int(mode));
        BoxModel box;
        box.hostile = mode;
        box.seed = 42;
        BoxServer server(box);
        ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
        const QByteArray expected = joined(transcript(mode, 42, requests));
        Client c(server.port());
        c.send(joined(requests));
        ASSERT_TRUE(c.waitFor(int(expected.size())));
        EXPECT_EQ(c.received, expected);
    }
}

TEST_F(BoxHostileServer, SegmentsWriteEveryReplyByteByByte)
{
    box.hostile = Hostile::Segments;
    Client c(server.port());
    c.send(joined({request(Cmd::Identify), request(Cmd::Status)}));
    // Spun without qWaitFor's naps, so the byte-per-turn pacing is not slowed down.
    ASSERT_TRUE(trivel::test::spinUntil(
        [&] { return c.received.size() >= 2 * qsizetype(kTcpFrameSize); }, Client::kWaitMs));
    BoxModel plain;
    EXPECT_EQ(c.received, joined(transcript(plain, {request(Cmd::Identify), request(Cmd::Status)})));
    // One byte per event-loop turn: the client, on the same loop, never sees a whole reply at once.
    EXPECT_LT(*std::max_element(c.readSizes.begin(), c.readSizes.end()), int(kTcpFrameSize));
    EXPECT_GT(c.readSizes.size(), 16u);
}

// Short close: whole replies up to closeAfter, then a part of the next one, then the end.
TEST_F(BoxHostileServer, ShortCloseCutsAReplyAndEndsTheConnection)
{
    const std::vector<Frame> requests
        = {request(Cmd::Identify), request(Cmd::Status), request(Cmd::ReadNetwork)};
    BoxModel plain;
    const QByteArray whole = joined(transcript(plain, requests));
    box.hostile = Hostile::ShortClose;
    for (const int closeAfter : {-1, 0, 1, 2}) {
        SCOPED_TRACE(closeAfter);
        server.closeAfter = closeAfter;
        Client c(server.port());
        c.send(joined(requests));
        ASSERT_TRUE(c.waitForClose());
        const int full = std::max(closeAfter, 0) * int(kTcpFrameSize);
        EXPECT_GT(c.received.size(), full);
        EXPECT_LT(c.received.size(), full + int(kTcpFrameSize));
        EXPECT_EQ(c.received, whole.left(c.received.size()));
    }
}

// No read: requests sent before the box stops ignoring the client are never answered.
TEST_F(BoxHostileServer, NoReadNeverTakesARequest)
{
    box.hostile = Hostile::NoRead;
    Client ignored(server.port());
    ignored.send(joined({request(Cmd::Identify), request(Cmd::Status)}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return ignored.socket.bytesToWrite() == 0; }, Client::kWaitMs));

    // A second client replaces the first; with the box well again it is served, the first never.
    Client second(server.port());
    ASSERT_TRUE(ignored.waitForClose());
    box.hostile = Hostile::None;
    second.send(joined({request(Cmd::ReadWarpA)}));
    ASSERT_TRUE(second.waitFor(int(kTcpFrameSize)));
    EXPECT_EQ(frameCode(second.received), Cmd::ReadWarpA);
    EXPECT_EQ(box.totalRequests(), 1);
    EXPECT_TRUE(ignored.received.isEmpty());
}

// The executable: --hostile and --seed reach the box, so a broken box can be replayed exactly.
TEST(BoxSimExecutable, HostileRunsRepeatForTheSameSeed)
{
    auto run = [](const QStringList& args) -> QByteArray {
        QProcess sim;
        sim.start(QStringLiteral(TRIVEL_BOXSIM_PATH),
            QStringList{QStringLiteral("--port"), QStringLiteral("0")} + args);
        if (!sim.waitForStarted(Client::kWaitMs)
            || !QTest::qWaitFor([&] { return sim.canReadLine(); }, Client::kWaitMs))
            return {};
        const quint16 port
            = quint16(QString::fromLatin1(sim.readLine()).trimmed().section(QLatin1Char(':'), -1).toUInt());
        QByteArray got;
        {
            Client c(port);
            c.send(joined(session()));
            c.waitFor(8 * int(kTcpFrameSize));
            got = c.received;
        }
        sim.kill();
        sim.waitForFinished(Client::kWaitMs);
        return got;
    };
    const QStringList extreme = {QStringLiteral("--hostile"), QStringLiteral("extreme"),
        QStringLiteral("--seed"), QStringLiteral("5")};
    const QByteArray first = run(extreme);
    ASSERT_EQ(first.size(), 8 * qsizetype(kTcpFrameSize));
    EXPECT_EQ(first, joined(transcript(Hostile::Extreme, 5, session())));
    EXPECT_EQ(run(extreme), first);
    EXPECT_NE(run({QStringLiteral("--hostile"), QStringLiteral("extreme"), QStringLiteral("--seed"),
                  QStringLiteral("6")}),
        first);
}
