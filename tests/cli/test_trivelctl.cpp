// trivelctl end to end: the real executable against trivel-boxsim on loopback.

#include "RunTrivelctl.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>

#include <gtest/gtest.h>

namespace {

// A trivel-boxsim process on a free port.
class BoxSim {
public:
    explicit BoxSim(const QStringList& identity = {})
    {
        m_proc.start(QStringLiteral(BOXSIM), QStringList{"--port", "0"} + identity);
        QString line;
        while (m_proc.waitForReadyRead(5000)) {
            line += QString::fromUtf8(m_proc.readAllStandardOutput());
            if (line.contains('\n'))
                break;
        }
        const auto m = QRegularExpression(R"(listening on (\S+):(\d+))").match(line);
        if (m.hasMatch())
            address = m.captured(1) + ":" + m.captured(2);
    }
    ~BoxSim()
    {
        m_proc.terminate();
        if (!m_proc.waitForFinished(3000)) {
            m_proc.kill();
            m_proc.waitForFinished();
        }
    }
    QString address;

private:
    QProcess m_proc;
};

TEST(Trivelctl, ReadbackJsonCarriesEveryCache)
{
    BoxSim sim;
    ASSERT_FALSE(sim.address.isEmpty());
    const CliRun r = Trivelctl({"--tcp", sim.address, "readback", "--json"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    QJsonParseError error{};
    const QJsonObject o = QJsonDocument::fromJson(r.out.toUtf8(), &error).object();
    ASSERT_EQ(error.error, QJsonParseError::NoError) << r.out.toStdString();
    for (const char* key : {"WindowSettings", "BlendSettings", "EdgeMaskCorners", "ControlOffsets",
             "WallPoints", "KeystoneCorners", "ControlPattern", "PipSettings", "DCM", "HDO", "Network",
             "MaskAssignment", "ChannelCount", "BoardModel", "MCUVersion", "Identify"})
        EXPECT_TRUE(o.contains(key)) << key;
    EXPECT_EQ(o["ChannelCount"].toInt(), 4);
    EXPECT_EQ(o["BoardModel"].toInt(), 800);
    EXPECT_EQ(o["MCUVersion"].toString(), "M2A93224");
    const QJsonObject ws = o["WindowSettings"].toObject();
    EXPECT_EQ(ws.size(), 33);
    EXPECT_EQ(ws["BRI"].toArray().size(), 4);
    EXPECT_EQ(o["BlendSettings"].toArray()[0].toArray().size(), 94);
    EXPECT_EQ(o["ControlOffsets"].toArray()[3].toArray().size(), 45);
    EXPECT_EQ(o["PipSettings"].toArray()[0].toObject().size(), 11);
    EXPECT_EQ(o["Network"].toObject()["StaticAddress"].toString(), "192.168.0.100");
}

TEST(Trivelctl, IdentifyPrintsTheBoxKind)
{
    BoxSim sim({"--board-kind", "1", "--user-mask", "0"});
    ASSERT_FALSE(sim.address.isEmpty());
    const CliRun r = Trivelctl({"--tcp", sim.address, "identify"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("ChannelCount: 2\n")) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("PipCapable: false\n"));
    EXPECT_TRUE(r.out.contains("Identify: V:")) << "the memo line";
    EXPECT_FALSE(r.out.contains("WindowSettings")) << "identify stops after Identify";
}

TEST(Trivelctl, RejectedBoxExitsWithFourAndTheBoxMessage)
{
    BoxSim sim({"--mcu", "93223"});
    ASSERT_FALSE(sim.address.isEmpty());
    const CliRun r = Trivelctl({"--tcp", sim.address, "readback"});
    EXPECT_EQ(r.exitCode, 4);
    EXPECT_TRUE(r.err.contains("Sorry!The MCU F/W version is too old! [M2A93223]")) << r.err.toStdString();
}

TEST(Trivelctl, LinkFailureExitsWithThree)
{
    quint16 port = 0;
    {
        QTcpServer probe; // a port nobody listens on once it is closed
        ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
        port = probe.serverPort();
    }
    const CliRun r = Trivelctl({"--tcp", QStringLiteral("127.0.0.1:%1").arg(port), "identify"});
    EXPECT_EQ(r.exitCode, 3);
    EXPECT_TRUE(r.err.contains("Can' not link to 127.0.0.1")) << r.err.toStdString();
    EXPECT_TRUE(r.out.isEmpty());
}

TEST(Trivelctl, UsageErrorsAndHelp)
{
    const QList<QStringList> bad{{}, {"--tcp"}, {"--tcp", "1.2.3.4:99999", "identify"},
        {"--frobnicate", "identify"}, {"dance"}, {"--tcp", "1.2.3.4", "--usb", "identify"},
        {"identify", "readback"}};
    for (const QStringList& args : bad) {
        const CliRun r = Trivelctl(args);
        EXPECT_EQ(r.exitCode, 2) << args.join(' ').toStdString();
        EXPECT_TRUE(r.err.contains("--help")) << args.join(' ').toStdString();
    }
    const CliRun help = Trivelctl({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    for (const char* word :
        {"--tcp HOST[:PORT]", "--usb", "identify", "readback", "--json", "--yes", "Exit codes"})
        EXPECT_TRUE(help.out.contains(word)) << word;
}

} // namespace
