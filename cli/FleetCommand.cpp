#include "cli/FleetCommand.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>

#include <algorithm>
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

HostsList ReadHostsFile(const QString& text)
{
    HostsList list;
    std::vector<std::pair<QString, int>> seen; // the box (host:port, lower case) and its line
    const QStringList lines = text.split('\n');
    for (int n = 0; n < lines.size(); ++n) {
        QString line = lines[n];
        if (const qsizetype hash = line.indexOf('#'); hash >= 0)
            line.truncate(hash);
        line = line.trimmed();
        if (line.isEmpty())
            continue;
        const QString box = (line.contains(':') ? line : line + QStringLiteral(":7")).toLower();
        const auto first
            = std::find_if(seen.begin(), seen.end(), [&box](const auto& e) { return e.first == box; });
        if (first != seen.end()) {
            // Two runs on one box would race for its link and write one file.
            list.warnings << QStringLiteral("line %1 names the box of line %2 again (%3): it runs once")
                                 .arg(n + 1)
                                 .arg(first->second)
                                 .arg(line);
            continue;
        }
        seen.emplace_back(box, n + 1);
        list.hosts << line;
    }
    return list;
}

QStringList ParseHostsFile(const QString& text)
{
    return ReadHostsFile(text).hosts;
}

QString BackupStem(const QString& host)
{
    QString stem = host;
    for (QChar& c : stem)
        if (!c.isLetterOrNumber() && c != '.' && c != '-')
            c = '_';
    return stem;
}

namespace {

struct FleetOptions {
    bool restore = false;
    QString hostsFile;
    QString dirName;
    QStringList passOn; // options for the saves and loads (tests shorten the waits)
};

// -1: parsed; otherwise the exit code.
int ParseFleet(const QStringList& args, FleetOptions& o)
{
    o.restore = args.value(0) == QLatin1String("restore");
    for (int i = 1; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == "-h" || a == "--help") {
            std::fputs(kFleetHelp, stdout);
            return 0;
        }
        if (i + 1 >= args.size())
            return Fail(2, a + " needs a value");
        if (a == "--hosts")
            o.hostsFile = args[++i];
        else if (a == (o.restore ? "--from" : "--out"))
            o.dirName = args[++i];
        else if (a == "--test-wait-percent" && o.restore)
            o.passOn << a << args[++i];
        else
            return Fail(2, "unknown option " + a);
    }
    if (o.hostsFile.isEmpty() || o.dirName.isEmpty())
        return Fail(2, o.restore ? "give --hosts FILE and --from DIR" : "give --hosts FILE and --out DIR");
    return -1;
}

// Progress and messages of a box, prefixed with its address.
void ReadErr(Job& j)
{
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
}

// Runs the jobs, eight at a time; the report lists the boxes in the hosts file's order, each as
// soon as it and every box before it are done. Returns how many failed.
int RunJobs(std::vector<Job>& jobs, const FleetOptions& o)
{
    int running = 0;
    std::size_t next = 0;
    std::size_t reported = 0;
    int failed = 0;
    auto finish = [&](Job& j) {
        j.done = true;
        if (j.exitCode != 0)
            ++failed;
        for (; reported < jobs.size() && jobs[reported].done; ++reported)
            std::printf(
                "%s: %s\n", qPrintable(jobs[reported].host), qPrintable(Outcome(jobs[reported], o.restore)));
        std::fflush(stdout);
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
            QObject::connect(p, &QProcess::readyReadStandardError, p, [&j] { ReadErr(j); });
            QObject::connect(p, &QProcess::finished, p, [&, pj = &j](int code, QProcess::ExitStatus status) {
                ReadErr(*pj);
                pj->exitCode = status == QProcess::NormalExit ? code : -1;
                --running;
                finish(*pj);
                startNext();
                if (running == 0 && next >= jobs.size())
                    QCoreApplication::exit(0);
            });
            QStringList childArgs{"--tcp", j.host, "--announce-connect", o.restore ? "load" : "save", j.file};
            p->start(QCoreApplication::applicationFilePath(), childArgs + o.passOn);
            ++running;
        }
    };
    startNext();
    if (running > 0)
        QCoreApplication::exec();
    return failed;
}

} // namespace

int RunFleetCommand(const QStringList& args)
{
    FleetOptions o;
    if (const int code = ParseFleet(args, o); code >= 0)
        return code;
    QFile f(o.hostsFile);
    if (!f.open(QIODevice::ReadOnly))
        return Fail(2, "cannot read " + o.hostsFile + ": " + f.errorString());
    const HostsList list = ReadHostsFile(QString::fromUtf8(f.readAll()));
    for (const QString& warning : list.warnings)
        std::fprintf(stderr, "trivelctl: warning: %s: %s\n", qPrintable(o.hostsFile), qPrintable(warning));
    if (list.hosts.isEmpty())
        return Fail(2, "no hosts in " + o.hostsFile);
    QDir dir(o.dirName);
    if (!o.restore && !dir.mkpath(QStringLiteral(".")))
        return Fail(2, "cannot create " + o.dirName);
    if (o.restore && !dir.exists())
        return Fail(2, "no folder " + o.dirName);

    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    std::vector<Job> jobs(std::size_t(list.hosts.size()));
    for (std::size_t k = 0; k < jobs.size(); ++k) {
        jobs[k].host = list.hosts[qsizetype(k)];
        jobs[k].file = o.restore ? LatestBackup(dir, jobs[k].host)
                                 : dir.filePath(BackupStem(jobs[k].host) + "-" + stamp + ".WBF");
    }
    return RunJobs(jobs, o) == 0 ? 0 : 1;
}

} // namespace trivel
