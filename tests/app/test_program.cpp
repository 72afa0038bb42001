// What trivel does before it has a window: options, help, and a missing display.

#include <QProcess>
#include <QProcessEnvironment>

#include <gtest/gtest.h>

namespace {

struct ProgramRun {
    int exitCode = -1;
    QString out, err;
};

// Runs trivel with no display at all.
ProgramRun RunTrivel(const QStringList& args)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* v : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QString::fromLatin1(v));
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(TRIVEL_PATH), args);
    ProgramRun r;
    if (!p.waitForFinished(20000)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
    r.out = QString::fromLocal8Bit(p.readAllStandardOutput());
    r.err = QString::fromLocal8Bit(p.readAllStandardError());
    return r;
}

} // namespace

TEST(Program, OptionsAreCheckedWithoutADisplay)
{
    const struct {
        QStringList args;
        int exitCode;
        const char* says;
    } cases[] = {
        {{QStringLiteral("--help")}, 0, "Usage: trivel"},
        {{QStringLiteral("--page"), QStringLiteral("12")}, 2, "--page wants a number from 0 to 10"},
        {{QStringLiteral("--page"), QStringLiteral("x")}, 2, "--page wants a number from 0 to 10"},
        {{QStringLiteral("--port"), QStringLiteral("0")}, 2, "--port wants a number from 1 to 65535"},
        {{QStringLiteral("--bogus")}, 2, "Unknown option"},
        {{}, 1, "no display"},
        {{QStringLiteral("--help")}, 0, "Usage: trivel [options] [FILE]"},
        {{QStringLiteral("/no/such/rig.WBF")}, 2, "cannot read /no/such/rig.WBF"},
        {{QStringLiteral("a.WBF"), QStringLiteral("b.WBF")}, 2, "give one setting file"},
    };
    for (const auto& c : cases) {
        const ProgramRun r = RunTrivel(c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << qPrintable(c.args.join(' ')) << qPrintable(r.err);
        EXPECT_TRUE((r.out + r.err).contains(QString::fromLatin1(c.says))) << qPrintable(r.out + r.err);
    }
}
