// trivelctl set / get / settings list against trivel-boxsim on loopback.

#include "RunTrivelctl.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

TEST(TrivelctlSettings, SetThenGetReadsTheBoxBack)
{
    BoxSim sim;
    ASSERT_FALSE(sim.address.isEmpty());
    CliRun r = Trivelctl({"--tcp", sim.address, "set", "BRI=61", "XHA=70"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    r = Trivelctl({"--tcp", sim.address, "get", "BRI", "XHA"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, "BRI: 61\nXHA: 70\n") << "sharpness in the tens the page shows";

    // Another window, selected first; overscans read back as the box holds them.
    r = Trivelctl({"--tcp", sim.address, "set", "--window", "2", "OLE=-1200", "HZM=3", "HPN=3"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    r = Trivelctl({"--tcp", sim.address, "get", "--window", "2", "--json", "OLE", "HZM", "HPN", "BRI"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QJsonObject o = QJsonDocument::fromJson(r.out.toUtf8()).object();
    EXPECT_EQ(o["window"].toInt(), 2);
    EXPECT_EQ(o["OLE"].toInt(), -1200);
    EXPECT_EQ(o["HZM"].toInt(), 3);
    EXPECT_EQ(o["HPN"].toInt(), 3);
    EXPECT_EQ(o["BRI"].toInt(), 50) << "window 1's brightness stayed with window 1";
}

TEST(TrivelctlSettings, RefusesValuesOutsideTheRangeBeforeSending)
{
    BoxSim sim;
    ASSERT_FALSE(sim.address.isEmpty());
    const struct {
        QStringList args;
        const char* message;
    } cases[] = {
        {{"set", "BRI=999"}, "BRI takes 0..100"},
        {{"set", "OLE=-1801"}, "OLE takes -1800..1800"},
        {{"set", "XHA=75"}, "XHA takes 0..100 in steps of 10"},
        {{"set", "HPN=2"}, "HPN takes 1..1"}, // the zoom is 1
        {{"set", "NOPE=1"}, "unknown setting NOPE"},
        {{"set", "BRI"}, "expected NAME=VALUE"},
        {{"set", "--window", "5", "BRI=1"}, "--window needs a window number 1..4"},
        {{"get", "RXT"}, "unknown setting RXT"},
        {{"set", "MDN=3"}, "MDN is read-only"},
        {{"set", "LEB=30"}, "LEB takes 0, 49..1920"}, // 0 and 49 are no blend
        {{"set", "VGE=1"}, "VGE takes 0, 2..16"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        const CliRun r = Trivelctl(QStringList{"--tcp", sim.address} + c.args);
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_TRUE(r.err.contains(QLatin1String(c.message))) << r.err.toStdString();
    }
    const CliRun r = Trivelctl({"--tcp", sim.address, "get", "BRI"});
    EXPECT_EQ(r.out, "BRI: 50\n") << "nothing was written";
}

// Everything get prints for a window goes back through set unchanged.
TEST(TrivelctlSettings, SetTakesWhatGetPrints)
{
    BoxSim sim;
    ASSERT_FALSE(sim.address.isEmpty());
    CliRun r = Trivelctl({"--tcp", sim.address, "get", "--json"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QJsonObject before = QJsonDocument::fromJson(r.out.toUtf8()).object();
    ASSERT_EQ(before["BEB"].toInt(), 0) << "no blend on a fresh box";
    QStringList assignments;
    for (auto it = before.begin(); it != before.end(); ++it)
        if (it.key() != "window")
            assignments << it.key() + "=" + QString::number(it.value().toInt());
    ASSERT_GT(assignments.size(), 60);
    r = Trivelctl(QStringList{"--tcp", sim.address, "set"} + assignments);
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    r = Trivelctl({"--tcp", sim.address, "get", "--json"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(QJsonDocument::fromJson(r.out.toUtf8()).object(), before);
}

// The exit code comes from the box's answer: a link that closes before the setting's reply is a
// link failure, not a success.
TEST(TrivelctlSettings, SetFailsWhenTheLinkClosesBeforeTheReply)
{
    QTemporaryDir dir;
    const QString log = dir.filePath("requests.log");
    int before = -1;
    {
        BoxSim sim({"--log", log});
        ASSERT_FALSE(sim.address.isEmpty());
        const CliRun r = Trivelctl({"--tcp", sim.address, "set", "BRI=61"});
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    }
    QFile f(log);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(f.readAll()).split('\n');
    for (int i = 0; i < lines.size() && before < 0; ++i)
        if (lines[i].contains("s00BRI+061"))
            before = i;
    ASSERT_GT(before, 0);

    BoxSim sim({"--close-after", QString::number(before)});
    ASSERT_FALSE(sim.address.isEmpty());
    const CliRun r = Trivelctl({"--tcp", sim.address, "set", "BRI=61"});
    EXPECT_EQ(r.exitCode, 3) << r.err.toStdString();
}

TEST(TrivelctlSettings, ListComesFromTheTable)
{
    CliRun r = Trivelctl({"settings", "list"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains(QRegularExpression(R"(\nBRI +Image +SBBri +0\.\.100 +50\n)")))
        << r.out.toStdString();
    EXPECT_TRUE(r.out.contains(QRegularExpression(R"(\nOTE +Video Wall +SBOte +-1800\.\.1800 +0\n)")));
    EXPECT_TRUE(r.out.contains(QRegularExpression(R"(\nMDN +- +- +read-only +-\n)"))) << r.out.toStdString();
    r = Trivelctl({"settings", "list", "--json"});
    ASSERT_EQ(r.exitCode, 0);
    const QJsonArray rows = QJsonDocument::fromJson(r.out.toUtf8()).array();
    QJsonObject hzm, mdn;
    for (const auto& v : rows) {
        if (v.toObject()["name"] == "HZM")
            hzm = v.toObject();
        if (v.toObject()["name"] == "MDN")
            mdn = v.toObject();
    }
    EXPECT_TRUE(mdn["readOnly"].toBool());
    EXPECT_FALSE(hzm["readOnly"].toBool());
    EXPECT_EQ(hzm["page"], "Video Wall");
    EXPECT_EQ(hzm["minimum"].toInt(), 1);
    EXPECT_EQ(hzm["maximum"].toInt(), 15);
    EXPECT_GT(rows.size(), 80);
}

} // namespace
