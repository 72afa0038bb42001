// trivelctl backup of one simulated box against eight at once: the eight run side by side, so
// they should take little more than one.
//
// usage: bench_fleet [--reps R]

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

// Wall time of one backup of the boxes listed; -1 when it did not succeed.
double BackupMs(const QStringList& addresses, const QTemporaryDir& dir)
{
    QFile hosts(dir.filePath("hosts.txt"));
    if (!hosts.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return -1;
    hosts.write(addresses.join('\n').toUtf8());
    hosts.close();
    QProcess p;
    QElapsedTimer t;
    t.start();
    p.start(QStringLiteral(TRIVELCTL), {"backup", "--hosts", hosts.fileName(), "--out", dir.filePath("out")});
    if (!p.waitForFinished(120000) || p.exitCode() != 0)
        return -1;
    return double(t.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    int reps = 3;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); ++i)
        if (args[i] == "--reps")
            reps = std::max(1, args[++i].toInt());

    std::vector<std::unique_ptr<QProcess>> sims;
    QStringList addresses;
    for (int k = 0; k < 8; ++k) {
        auto sim = std::make_unique<QProcess>();
        sim->start(QStringLiteral(TRIVEL_BOXSIM), {"--host", "127.0.0.1", "--port", "0"});
        if (!sim->waitForStarted(5000) || !sim->waitForReadyRead(5000)) {
            std::fprintf(stderr, "cannot start trivel-boxsim\n");
            return 1;
        }
        const auto m = QRegularExpression(QStringLiteral("listening on (\\S+)"))
                           .match(QString::fromLatin1(sim->readLine()));
        if (!m.hasMatch())
            return 1;
        addresses << m.captured(1);
        sims.push_back(std::move(sim));
    }

    QTemporaryDir dir;
    double one = 0, eight = 0;
    for (int rep = 0; rep < reps; ++rep) {
        const double a = BackupMs(addresses.mid(0, 1), dir);
        const double b = BackupMs(addresses, dir);
        if (a < 0 || b < 0) {
            std::fprintf(stderr, "a backup failed\n");
            return 1;
        }
        one = one == 0 ? a : std::min(one, a);
        eight = eight == 0 ? b : std::min(eight, b);
    }
    for (auto& s : sims) {
        s->kill();
        s->waitForFinished(3000);
    }
    std::printf("trivelctl backup against trivel-boxsim on loopback (best of %d)\n", reps);
    std::printf("  one box:             %8.0f ms\n", one);
    std::printf("  eight boxes at once: %8.0f ms\n", eight);
    std::printf("  ratio:               %8.2f\n", eight / one);
    return 0;
}
