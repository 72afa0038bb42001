// trivelctl against a box that answers like a broken one: every run ends in time, with the exit
// code the box deserves, and prints valid JSON whenever it claims success.

#include "RunTrivelctl.h"

#include <QElapsedTimer>
#include <QJsonDocument>

#include <gtest/gtest.h>

namespace {

class HostileBox : public ::testing::TestWithParam<const char*> { };

TEST_P(HostileBox, EveryRunEndsInTimeWithAnHonestExitCode)
{
    BoxSim sim({"--hostile", QString::fromLatin1(GetParam()), "--seed", "7"});
    ASSERT_FALSE(sim.address.isEmpty());
    for (const QStringList& command :
        {QStringList{"identify", "--json"}, QStringList{"readback", "--json"}}) {
        SCOPED_TRACE(command.join(' ').toStdString());
        QElapsedTimer t;
        t.start();
        const CliRun r = Trivelctl(QStringList{"--tcp", sim.address} + command);
        EXPECT_LT(t.elapsed(), 15000);
        EXPECT_TRUE(r.exitCode == 0 || r.exitCode == 3 || r.exitCode == 4)
            << r.exitCode << " " << r.err.toStdString();
        if (r.exitCode == 0) {
            QJsonParseError error{};
            QJsonDocument::fromJson(r.out.toUtf8(), &error);
            EXPECT_EQ(error.error, QJsonParseError::NoError) << r.out.toStdString();
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Modes, HostileBox,
    ::testing::Values("random", "extreme", "flood", "segments", "shortclose", "noread", "silent"),
    [](const ::testing::TestParamInfo<const char*>& info) { return std::string(info.param); });

} // namespace
