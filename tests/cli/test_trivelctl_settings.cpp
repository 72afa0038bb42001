// trivelctl set / get / settings list against trivel-boxsim on loopback.

#include "RunTrivelctl.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>

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

TEST(TrivelctlSettings, ListComesFromTheTable)
{
    CliRun r = Trivelctl({"settings", "list"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains(QRegularExpression(R"(\nBRI +Image +SBBri +0\.\.100 +50\n)")))
        << r.out.toStdString();
    EXPECT_TRUE(r.out.contains(QRegularExpression(R"(\nOTE +Video Wall +SBOte +-1800\.\.1800 +0\n)")));
    r = Trivelctl({"settings", "list", "--json"});
    ASSERT_EQ(r.exitCode, 0);
    const QJsonArray rows = QJsonDocument::fromJson(r.out.toUtf8()).array();
    QJsonObject hzm;
    for (const auto& v : rows)
        if (v.toObject()["name"] == "HZM")
            hzm = v.toObject();
    EXPECT_EQ(hzm["page"], "Video Wall");
    EXPECT_EQ(hzm["minimum"].toInt(), 1);
    EXPECT_EQ(hzm["maximum"].toInt(), 15);
    EXPECT_GT(rows.size(), 80);
}

} // namespace
