// trivel-boxsim under abuse, with its memory: many short connections (some reset in the middle
// of a pipelined burst), a client that sends and never reads, and a long run of distinct unknown
// codes, then the requests of a connect read-back, which must still be answered. Prints the
// simulator's resident and peak resident memory after each phase.
//
// usage: bench_boxsim_stress [--boxsim PATH] [--connections N] [--noread-seconds S] [--codes N]
//
// Measured on the 2-core build machine (Release, load average about 5 from parallel builds),
// defaults (50,000 connections, 3.5 s of a client that never reads, 2,000,000 codes):
//   connections 1.7 s; the non-reading client is blocked after 8.1 MiB; the codes take 10.5 s;
//   trivel-boxsim's peak RSS 13.0 MiB (11.8 at start); read-back 9 of 9.
// The simulator before its limits, same machine: the non-reading client pushed 713 MiB in 3.5 s
// and the simulator held 734 MiB; 2,000,000 codes alone left it at 107 MiB; a reset in the
// middle of a pipelined burst could crash it.

#include "BoxsimProcess.h"
#include "protocol/Frame.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>

#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <vector>

using namespace trivel;

namespace {

// An abortive close: no TIME_WAIT left behind, so tens of thousands of connections fit.
void resetClose(int fd)
{
    const linger l{1, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &l, sizeof l);
    ::close(fd);
}

QByteArray frames(std::uint32_t firstCode, int count, bool sameCode = false)
{
    QByteArray out(count * int(kTcpFrameSize), '\0');
    for (int i = 0; i < count; ++i)
        FrameView(reinterpret_cast<std::uint8_t*>(out.data()) + std::size_t(i) * kTcpFrameSize, kTcpFrameSize)
            .setCode(sameCode ? firstCode : firstCode + std::uint32_t(i));
    return out;
}

// VmRSS and VmHWM of a process, in MiB.
void printMemory(qint64 pid, const char* phase)
{
    QFile f(QStringLiteral("/proc/%1/status").arg(pid));
    double rss = -1, peak = -1;
    if (f.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : f.readAll().split('\n')) {
            if (line.startsWith("VmRSS:"))
                rss = line.mid(6).trimmed().split(' ').first().toDouble() / 1024;
            else if (line.startsWith("VmHWM:"))
                peak = line.mid(6).trimmed().split(' ').first().toDouble() / 1024;
        }
    }
    std::printf("  %-44s trivel-boxsim RSS %7.1f MiB, peak %7.1f MiB\n", phase, rss, peak);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QString boxsim = QStringLiteral(TRIVEL_BOXSIM);
    int connections = 50000;
    double noReadSeconds = 3.5;
    int codes = 2000000;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == "--boxsim")
            boxsim = args[++i];
        else if (args[i] == "--connections")
            connections = std::max(0, args[++i].toInt());
        else if (args[i] == "--noread-seconds")
            noReadSeconds = std::max(0.0, args[++i].toDouble());
        else if (args[i] == "--codes")
            codes = std::max(0, args[++i].toInt());
    }

    bench::BoxsimProcess sim(boxsim, {}, true); // a line per replaced client on stderr
    const quint16 port = sim.port();
    if (port == 0)
        return 1;
    const qint64 pid = sim.pid();
    std::printf("trivel-boxsim stress (%s)\n", qPrintable(boxsim));
    printMemory(pid, "started");

    // Short connections: closed at once, after one answered request, or reset after a pipelined
    // burst. Reading the answer keeps this client from outrunning the accepting box altogether.
    QElapsedTimer t;
    t.start();
    const QByteArray one = frames(Cmd::Identify, 1);
    const QByteArray burst = frames(Cmd::ReadWindowSettings, 50, true);
    int refused = 0, unanswered = 0;
    for (int i = 0; i < connections; ++i) {
        const int fd = bench::ConnectLoopback(port);
        if (fd < 0) {
            ++refused;
            continue;
        }
        QByteArray reply(int(kTcpFrameSize), '\0');
        if (i % 3 == 1) {
            if (!bench::WriteFull(fd, one.constData(), std::size_t(one.size()))
                || !bench::ReadFull(fd, reply.data(), kTcpFrameSize))
                ++unanswered;
        } else if (i % 3 == 2) {
            bench::WriteFull(fd, burst.constData(), std::size_t(burst.size()));
        }
        resetClose(fd);
    }
    std::printf("  %d connections in %.2f s (%d refused, %d requests unanswered)\n", connections,
        t.nsecsElapsed() / 1e9, refused, unanswered);
    printMemory(pid, "after the connections");

    // A client that sends Status requests and never reads a reply.
    {
        const int fd = bench::ConnectLoopback(port);
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
        const QByteArray requests = frames(Cmd::Status, 128, true);
        qint64 sent = 0;
        bool gone = false;
        QElapsedTimer idle;
        idle.start();
        t.restart();
        while (t.nsecsElapsed() < qint64(noReadSeconds * 1e9)) {
            const qint64 at = sent % requests.size();
            const ssize_t k
                = ::send(fd, requests.constData() + at, std::size_t(requests.size() - at), MSG_NOSIGNAL);
            if (k > 0) {
                sent += k;
                idle.restart();
            } else if (k < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
                gone = true;
                break;
            } else {
                pollfd p{fd, POLLOUT, 0};
                ::poll(&p, 1, 50);
            }
        }
        std::printf("  a client that never reads: %.1f MiB sent in %.1f s, %s\n", sent / 1048576.0,
            t.nsecsElapsed() / 1e9,
            gone ? "then dropped by the box"
                 : (idle.elapsed() > 500 ? "then blocked in send" : "still sending"));
        printMemory(pid, "with the non-reading client connected");
        resetClose(fd);
    }

    // Distinct codes the box does not know, pipelined in batches.
    if (codes > 0) {
        const int fd = bench::ConnectLoopback(port);
        constexpr int kBatch = 500;
        QByteArray replies(kBatch * int(kTcpFrameSize), '\0');
        t.restart();
        bool ok = fd >= 0;
        for (int done = 0; ok && done < codes; done += kBatch) {
            const int n = std::min(kBatch, codes - done);
            const QByteArray batch = frames(0x00400000u + std::uint32_t(done), n);
            ok = bench::WriteFull(fd, batch.constData(), std::size_t(batch.size()))
                && bench::ReadFull(fd, replies.data(), std::size_t(batch.size()));
        }
        std::printf("  %d distinct unknown codes in %.2f s%s\n", codes, t.nsecsElapsed() / 1e9,
            ok ? "" : " (the link failed)");
        printMemory(pid, "after the codes");
        if (fd >= 0)
            ::close(fd);
    }

    // The requests of a connect read-back, one at a time.
    int answered = 0;
    constexpr std::uint32_t kReadBack[] = {Cmd::Identify, Cmd::ReadNetwork, Cmd::MaskReadHeader,
        Cmd::ReadWindowSettings, Cmd::ReadWarpA, Cmd::ReadWarpB, Cmd::ReadWarpC, Cmd::ReadBlend, Cmd::Status};
    if (const int fd = bench::ConnectLoopback(port); fd >= 0) {
        for (const std::uint32_t code : kReadBack) {
            QByteArray request = frames(code, 1), reply(int(kTcpFrameSize), '\0');
            if (bench::WriteFull(fd, request.constData(), kTcpFrameSize)
                && bench::ReadFull(fd, reply.data(), kTcpFrameSize)
                && FrameView(reinterpret_cast<std::uint8_t*>(reply.data()), kTcpFrameSize).code() == code)
                ++answered;
        }
        ::close(fd);
    }
    std::printf("  read-back afterwards: %d of %d requests answered\n", answered, int(std::size(kReadBack)));
    printMemory(pid, "at the end");

    rusage self{};
    ::getrusage(RUSAGE_SELF, &self);
    std::printf("  this program's own peak RSS: %.1f MiB\n", self.ru_maxrss / 1024.0);
    return answered == int(std::size(kReadBack)) ? 0 : 1;
}
