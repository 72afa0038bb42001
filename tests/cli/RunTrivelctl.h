#pragma once
// Runs the built trivelctl and collects its exit code and output.

#include <QProcess>
#include <QStringList>

struct CliRun {
    int exitCode = -1;
    QString out;
    QString err;
};

inline CliRun Trivelctl(const QStringList& args)
{
    QProcess p;
    p.start(QStringLiteral(TRIVELCTL), args);
    CliRun r;
    if (!p.waitForFinished(20000)) {
        p.kill();
        p.waitForFinished();
        r.err = "trivelctl did not finish";
        return r;
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}
