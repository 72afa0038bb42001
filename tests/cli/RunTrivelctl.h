#pragma once
// Runs the built trivelctl and collects its exit code and output.

#include <QProcess>
#include <QRegularExpression>
#include <QStringList>

struct CliRun {
    int exitCode = -1;
    QString out;
    QString err;
};

inline CliRun Trivelctl(const QStringList& args, int timeoutMs = 20000)
{
    QProcess p;
    p.start(QStringLiteral(TRIVELCTL), args);
    CliRun r;
    if (!p.waitForFinished(timeoutMs)) {
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
