#pragma once
// A trivel-boxsim process on a free port, for trivelctl runs against it.

#include <QProcess>
#include <QRegularExpression>
#include <QStringList>

class BoxSimProcess {
public:
    explicit BoxSimProcess(const QStringList& identity = {})
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
    ~BoxSimProcess()
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
