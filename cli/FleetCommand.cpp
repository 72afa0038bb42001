#include "cli/FleetCommand.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>

#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

namespace trivel {

namespace {

const char* const kFleetHelp = R"(Usage: trivelctl backup --hosts FILE --out DIR
       trivelctl restore --hosts FILE --from DIR

backup   read back every box listed in FILE (one HOST[:PORT] a line, '#' starts a comment) and
         save each as a whole-box file DIR/HOST_PORT-YYYYMMDD-HHMMSS.WBF, up to eight boxes at
         a time; one line per box: saved, rejected (controller firmware too old or main board
         error), unreachable, or failed
restore  load each box's latest file from DIR and transfer it, up to eight boxes at a time,
         with the progress of every box on stderr

A box that fails never stops the others. Exit codes: 0 every box done, 1 some box failed, 2 usage
error.
)";

constexpr int kMaxParallel = 8;

int Fail(int code, const QString& why)
{
    std::fprintf(stderr, "trivelctl: %s\n", qPrintable(why));
    return code;
}

} // namespace

// The newest backup of a box in dir: names sort by their time stamp. Only the name the backup
// writes counts: host "10.0.0.1" must not take the files of "10.0.0.1_8000" or a copy renamed
// by hand.
QString LatestBackup(const QDir& dir, const QString& host)
{
    const QRegularExpression exact(
        '^' + QRegularExpression::escape(BackupStem(host)) + QStringLiteral(R"(-\d{8}-\d{6}\.WBF$)"));
    QStringList names = dir.entryList({BackupStem(host) + "-*.WBF"}, QDir::Files, QDir::Name);
    names.removeIf([&exact](const QString& n) { return !exact.match(n).hasMatch(); });
    return names.isEmpty() ? QString() : dir.filePath(names.last());
}

namespace {

struct Job {
    QString host;
    QString file;
    std::unique_ptr<QProcess> process;
    QByteArray errTail; // stderr not yet ended by a line break
    QString lastMessage;
    bool done = false;
    int exitCode = -1;
    bool connected = false; // the box answered at least once: a later silence is not "unreachable"
};

QString Outcome(const Job& j, bool restore)
{
    if (j.file.isEmpty())
        return QStringLiteral("no backup in the folder");
    switch (j.exitCode) {
    case 0:
        return (restore ? QStringLiteral("restored from ") : QStringLiteral("saved ")) + j.file;
    case 3:
        if (j.connected)
            return QStringLiteral("link lost") + (j.lastMessage.isEmpty() ? QString() : ": " + j.lastMessage);
        return QStringLiteral("unreachable");
    case 4:
        return QStringLiteral("rejected");
    default:
        return QStringLiteral("failed") + (j.lastMessage.isEmpty() ? QString() : ": " + j.lastMessage);
    }
}

} // namespace

bool IsFleetCommand(const QStringList& args)
{
    return !args.isEmpty() && (args[0] == QLatin1String("backup") || args[0] == QLatin1String("restore"));
}

QStringList ParseHostsFile(const QString& text)
{
    QStringList hosts;
    for (QString line : text.split('\n')) {
        if (const qsizetype hash = line.indexOf('#'); hash >= 0)
            line.truncate(hash);
        line = line.trimmed();
        // A box named twice is saved or restored once (two runs would race for one link).
        if (!line.isEmpty() && !hosts.contains(line))
            hosts << line;
    }
    return hosts;
}

QString BackupStem(const QString& host)
{
    QString stem = host;
    for (QChar& c : stem)
        if (!c.isLetterOrNumber() && c != '.' && c != '-')
            c = '_';
    return stem;
}

int RunFleetCommand(const QStringList& args)
{
    const bool restore = args.value(0) == QLatin1String("restore");
    QString hostsFile;
    QString dirName;
    QStringList passOn; // options for the saves and loads (tests shorten the waits)
    for (int i = 1; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == "-h" || a == "--help") {
            std::fputs(kFleetHelp, stdout);
            return 0;
        }
        if (i + 1 >= args.size())
            return Fail(2, a + " needs a value");
        if (a == "--hosts")
            hostsFile = args[++i];
        else if (a == (restore ? "--from" : "--out"))
            dirName = args[++i];
        else if (a == "--test-wait-percent" && restore)
            passOn << a << args[++i];
        else
            return Fail(2, "unknown option " + a);
    }
    if (hostsFile.isEmpty() || dirName.isEmpty())
        return Fail(2, restore ? "give --hosts FILE and --from DIR" : "give --hosts FILE and --out DIR");
    QFile f(hostsFile);
    if (!f.open(QIODevice::ReadOnly))
        return Fail(2, "cannot read " + hostsFile + ": " + f.errorString());
    const QStringList hosts = ParseHostsFile(QString::fromUtf8(f.readAll()));
    if (hosts.isEmpty())
        return Fail(2, "no hosts in " + hostsFile);
    QDir dir(dirName);
    if (!restore && !dir.mkpath(QStringLiteral(".")))
        return Fail(2, "cannot create " + dirName);
    if (restore && !dir.exists())
        return Fail(2, "no folder " + dirName);

    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    std::vector<Job> jobs(std::size_t(hosts.size()));
    for (std::size_t k = 0; k < jobs.size(); ++k) {
        jobs[k].host = hosts[qsizetype(k)];
        jobs[k].file = restore ? LatestBackup(dir, jobs[k].host)
                               : dir.filePath(BackupStem(jobs[k].host) + "-" + stamp + ".WBF");
    }

    int running = 0;
    std::size_t next = 0;
    int failed = 0;
    auto finish = [&](Job& j) {
        j.done = true;
        if (j.exitCode != 0)
            ++failed;
        std::printf("%s: %s\n", qPrintable(j.host), qPrintable(Outcome(j, restore)));
        std::fflush(stdout);
    };
    // Progress and messages of each box, prefixed with its address.
    auto readErr = [](Job& j) {
        j.errTail += j.process->readAllStandardError();
        qsizetype nl;
        while ((nl = j.errTail.indexOf('\n')) >= 0) {
            QString line = QString::fromUtf8(j.errTail.left(nl)).trimmed();
            j.errTail.remove(0, nl + 1);
            if (line.isEmpty())
                continue;
            if (line.startsWith(QLatin1String("trivelctl: ")))
                j.lastMessage = line.mid(11);
            if (line == QLatin1String("trivelctl: connected")) {
                j.connected = true;
                continue;
            }
            std::fprintf(stderr, "%s: %s\n", qPrintable(j.host), qPrintable(line));
        }
    };
    std::function<void()> startNext;
    startNext = [&]() {
        while (running < kMaxParallel && next < jobs.size()) {
            Job& j = jobs[next++];
            if (j.file.isEmpty()) {
                finish(j);
                continue;
            }
            j.process = std::make_unique<QProcess>();
            QProcess* p = j.process.get();
            QObject::connect(p, &QProcess::readyReadStandardError, p, [&j, readErr] { readErr(j); });
            QObject::connect(p, &QProcess::finished, p, [&, pj = &j](int code, QProcess::ExitStatus status) {
                readErr(*pj);
                pj->exitCode = status == QProcess::NormalExit ? code : -1;
                --running;
                finish(*pj);
                startNext();
                if (running == 0 && next >= jobs.size())
                    QCoreApplication::exit(0);
            });
            QStringList childArgs{"--tcp", j.host, "--announce-connect", restore ? "load" : "save", j.file};
            p->start(QCoreApplication::applicationFilePath(), childArgs + passOn);
            ++running;
        }
    };
    startNext();
    if (running > 0)
        QCoreApplication::exec();
    return failed == 0 ? 0 : 1;
}

} // namespace trivel
