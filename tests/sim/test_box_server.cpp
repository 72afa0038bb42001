#include "SimClients.h"
#include "protocol/SettingCodec.h"
#include "sim/BoxServer.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

using namespace trivel;
using namespace trivel::sim;
using trivel::test::Client;

namespace {

constexpr int kWaitMs = 5000; // generous bound for loopback I/O; passing runs never reach it

QByteArray frame(std::uint32_t code, std::string_view setting = {})
{
    QByteArray f(int(kTcpFrameSize), '\0');
    FrameView v(reinterpret_cast<std::uint8_t*>(f.data()), kTcpFrameSize);
    v.setCode(code);
    if (!setting.empty()) {
        const SettingCommand c = MakeSettingCommand(setting);
        v.copyIn(kSettingOffset, c.data(), c.size());
    }
    return f;
}

std::uint32_t codeOf(const QByteArray& reply, int index = 0)
{
    QByteArray copy = reply.mid(index * int(kTcpFrameSize), int(kTcpFrameSize));
    return FrameView(reinterpret_cast<std::uint8_t*>(copy.data()), std::size_t(copy.size())).code();
}

class BoxServerTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0)); }

    BoxModel box;
    BoxServer server{box};
};

} // namespace

TEST_F(BoxServerTest, RequestsAreReassembledIntoWholeFrames)
{
    Client c(server.port());
    QSignalSpy handled(&server, &BoxServer::frameHandled);

    // One request in two writes is handled once.
    const QByteArray identify = frame(Cmd::Identify);
    c.send(identify.left(100));
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.bufferedRequestBytes() == 100; }, kWaitMs));
    EXPECT_EQ(box.totalRequests(), 0);
    c.send(identify.mid(100));
    ASSERT_TRUE(c.waitFor(512));
    EXPECT_EQ(box.requests(Cmd::Identify), 1);
    EXPECT_EQ(codeOf(c.received), Cmd::Identify);

    // Two requests in one write are two frames with two replies, in order.
    c.send(frame(Cmd::Status) + frame(Cmd::ReadWindowSettings));
    ASSERT_TRUE(c.waitFor(3 * 512));
    EXPECT_EQ(codeOf(c.received, 1), Cmd::Status);
    EXPECT_EQ(codeOf(c.received, 2), Cmd::ReadWindowSettings);
    EXPECT_EQ(handled.size(), 3);
}

TEST_F(BoxServerTest, SplitRepliesArriveInTwoSegments)
{
    server.split = true;
    server.splitDelayMs = 100; // wide enough that the client reads the first half alone
    Client c(server.port());
    c.send(frame(Cmd::Identify) + frame(Cmd::Status));
    ASSERT_TRUE(c.waitFor(1024));
    ASSERT_GE(c.readSizes.size(), 2u);
    EXPECT_LT(c.readSizes.front(), 512); // the first read held only part of a reply
    EXPECT_EQ(codeOf(c.received, 0), Cmd::Identify);
    EXPECT_EQ(codeOf(c.received, 1), Cmd::Status);
    EXPECT_EQ(c.received.size(), 1024);
}

TEST_F(BoxServerTest, CloseAfterEndsTheConnectionAfterNReplies)
{
    server.closeAfter = 2;
    Client c(server.port());
    c.send(frame(Cmd::Identify) + frame(Cmd::Status) + frame(Cmd::ReadNetwork));
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return c.socket.state() == QAbstractSocket::UnconnectedState; }, kWaitMs));
    EXPECT_EQ(c.received.size(), 2 * 512);
    EXPECT_EQ(box.totalRequests(), 2);
}

TEST_F(BoxServerTest, WrongCodeAndSilenceComeFromTheModel)
{
    box.wrongCodeFor = Cmd::Status;
    box.silentAfter = 2;
    Client c(server.port());
    c.send(frame(Cmd::Status) + frame(Cmd::Identify) + frame(Cmd::ReadNetwork));
    ASSERT_TRUE(QTest::qWaitFor([&] { return box.totalRequests() == 3; }, kWaitMs));
    box.silentAfter = -1;
    c.send(frame(Cmd::ReadWarpA));
    ASSERT_TRUE(c.waitFor(3 * 512));
    EXPECT_EQ(codeOf(c.received, 0), 0xFFFFu);
    EXPECT_EQ(codeOf(c.received, 1), Cmd::Identify);
    EXPECT_EQ(codeOf(c.received, 2), Cmd::ReadWarpA); // the network read went unanswered
}

TEST_F(BoxServerTest, RestartDropsTheLinkAndANewClientReplacesTheOld)
{
    Client first(server.port());
    first.send(frame(Cmd::Restart));
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return first.socket.state() == QAbstractSocket::UnconnectedState; }, kWaitMs));
    EXPECT_TRUE(first.received.isEmpty());

    Client second(server.port());
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.hasClient(); }, kWaitMs));
    Client third(server.port());
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return second.socket.state() == QAbstractSocket::UnconnectedState; }, kWaitMs));
    third.send(frame(Cmd::Identify));
    ASSERT_TRUE(third.waitFor(512));
    EXPECT_EQ(codeOf(third.received), Cmd::Identify);
}

TEST_F(BoxServerTest, LogHasOneLinePerReceivedFrame)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("box.log"));
    ASSERT_TRUE(server.setLogFile(path));
    Client c(server.port());
    c.send(frame(Cmd::Setting, "s00BRI+060") + frame(Cmd::Status) + frame(Cmd::TestRequest));
    ASSERT_TRUE(QTest::qWaitFor([&] { return box.totalRequests() == 3; }, kWaitMs));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("0x1002 s00BRI+060\n0x1006\n0xf123\n"));
}

// The executable: options reach the Identify reply, "listening on" tells the port.
TEST(BoxSimExecutable, PrintsItsPortAndAnswersWithTheConfiguredIdentity)
{
    QTemporaryDir dir;
    const QString logPath = dir.filePath(QStringLiteral("sim.log"));
    QProcess sim;
    sim.start(QStringLiteral(TRIVEL_BOXSIM_PATH),
        {QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--board-kind"),
            QStringLiteral("0x02"), QStringLiteral("--key"), QStringLiteral("1"),
            QStringLiteral("--user-mask"), QStringLiteral("0"), QStringLiteral("--model"),
            QStringLiteral("116"), QStringLiteral("--mcu"), QStringLiteral("93223"),
            QStringLiteral("--main-board-error"), QStringLiteral("--frame"), QStringLiteral("1280x800"),
            QStringLiteral("--input"), QStringLiteral("2=1024x768"), QStringLiteral("--caps"),
            QStringLiteral("1=0x80"), QStringLiteral("--log"), logPath});
    ASSERT_TRUE(sim.waitForStarted(kWaitMs));
    ASSERT_TRUE(QTest::qWaitFor([&] { return sim.canReadLine(); }, kWaitMs));
    const QString line = QString::fromLatin1(sim.readLine()).trimmed();
    ASSERT_TRUE(line.startsWith(QStringLiteral("listening on 127.0.0.1:"))) << line.toStdString();
    const quint16 port = quint16(line.section(QLatin1Char(':'), -1).toUInt());

    {
        Client c(port);
        c.send(frame(Cmd::Identify) + frame(Cmd::SettingQuery, "S00MDNR000") + frame(Cmd::Status)
            + frame(Cmd::ReadWindowSettings));
        ASSERT_TRUE(c.waitFor(4 * 512));
        QByteArray r = c.received;
        FrameView id(reinterpret_cast<std::uint8_t*>(r.data()), 512);
        EXPECT_EQ(id.u8(14), 0x02);
        EXPECT_EQ(id.u8(15), 1);
        EXPECT_EQ(id.u8(37), 0);
        EXPECT_EQ(id.u8(34) & 0x08, 0x08);
        EXPECT_EQ((id.u8(11) << 16) | (id.u8(12) << 8) | id.u8(13), 93223);
        EXPECT_EQ(id.u16(16), 1280);
        EXPECT_EQ(id.u16(22), 800);
        FrameView q(reinterpret_cast<std::uint8_t*>(r.data()) + 512, 512);
        EXPECT_EQ(DecodeSettingDigits(q), 116);
        FrameView st(reinterpret_cast<std::uint8_t*>(r.data()) + 1024, 512);
        EXPECT_EQ(st.u32(32), 1024u);
        EXPECT_EQ(st.u8(10), '5'); // windows 0 and 2
        FrameView ws(reinterpret_cast<std::uint8_t*>(r.data()) + 1536, 512);
        EXPECT_EQ(ws.u8(8 + 80 + 5), 0x80);
    }
    sim.kill();
    sim.waitForFinished(kWaitMs);
    QFile log(logPath);
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_EQ(log.readAll(), QByteArray("0x0001\n0x100c S00MDNR000\n0x1006\n0x1001\n"));
}

TEST(BoxSimExecutable, RejectsBadOptions)
{
    const std::pair<const char*, const char*> cases[]
        = {{"board-kind", "300"}, {"hostile", "loud"}, {"seed", "x"}, {"split-delay", "-1"}};
    for (const auto& [option, value] : cases) {
        QProcess sim;
        sim.start(QStringLiteral(TRIVEL_BOXSIM_PATH),
            {QStringLiteral("--") + QLatin1String(option), QLatin1String(value)});
        ASSERT_TRUE(sim.waitForFinished(kWaitMs));
        EXPECT_NE(sim.exitCode(), 0) << option;
        EXPECT_TRUE(sim.readAllStandardError().contains(option)) << option;
    }
}

// --version alone is the program's version; with a value it still sets the box's firmware version.
TEST(BoxSimExecutable, FirmwareVersionUnderEitherNameAndVersionAlone)
{
    const QStringList spellings[]
        = {{"--firmware-version", "4.1.9"}, {"--version", "4.1.9"}, {"--version=4.1.9"}};
    for (const QStringList& spelling : spellings) {
        QProcess sim;
        sim.start(QStringLiteral(TRIVEL_BOXSIM_PATH), QStringList{"--port", "0"} + spelling);
        ASSERT_TRUE(sim.waitForStarted(kWaitMs));
        ASSERT_TRUE(QTest::qWaitFor([&] { return sim.canReadLine(); }, kWaitMs))
            << spelling.join(' ').toStdString();
        const QString line = QString::fromLatin1(sim.readLine()).trimmed();
        ASSERT_TRUE(line.startsWith(QStringLiteral("listening on "))) << line.toStdString();
        Client c(quint16(line.section(QLatin1Char(':'), -1).toUInt()));
        c.send(frame(Cmd::Identify));
        ASSERT_TRUE(c.waitFor(512));
        FrameView id(reinterpret_cast<std::uint8_t*>(c.received.data()), 512);
        EXPECT_EQ(id.u8(8), 4) << spelling.join(' ').toStdString();
        EXPECT_EQ(id.u8(9), 1);
        EXPECT_EQ(id.u8(10), 9);
        sim.kill();
        sim.waitForFinished(kWaitMs);
    }

    QProcess version;
    version.start(QStringLiteral(TRIVEL_BOXSIM_PATH), {QStringLiteral("--version")});
    ASSERT_TRUE(version.waitForFinished(kWaitMs));
    EXPECT_EQ(version.exitCode(), 0);
    EXPECT_TRUE(QString::fromLatin1(version.readAllStandardOutput())
                    .contains(QRegularExpression(QStringLiteral("^trivel-boxsim \\d+\\.\\d+\\.\\d+\\n$"))));
}
