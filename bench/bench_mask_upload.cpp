// A 2 MiB colour mask preview upload (4370 chunks of 480 bytes and the show frame) against
// trivel-boxsim on TCP loopback, beside as many raw 512-byte round trips to the same simulator
// measured in the same run. The target is at most 1.3x the raw figure.
//
// Measured on the 2-core build machine (Release), best of 5, four times each, interleaved with
// the build before the request and mirror changes: load average 2, upload 53.2..54.9 ms against
// 37.7..38.0 ms raw, 1.41x to 1.45x (before 1.62x to 1.65x); load average 8, 1.38x to 1.51x (before
// 1.59x to 1.66x). CPU per round trip: tool 6.3..6.7 us + simulator 6.2..6.3 us, against client
// 3.2..3.3 us + simulator 5.4..5.5 us for the raw loop.
// The client and the simulator mostly share a core, so the time follows the sum of the two. The
// tool's extra over a blocking client is the event loop's poll and dispatch (about 1.5 us of
// kernel and 1 us of Qt and glib) and the step's own 0.5 us (bench_exchange); the simulator's is
// that it goes to sleep between requests, which the raw loop's prompt next request spares it.
// The target of 1.3x is not reached. On the idle machine (load average 0.3) every wake-up costs tens
// of microseconds (raw 316 ms, 72 us a round trip), which swamps both sides: 1.04x to 1.08x for
// this build and the one before alike, so figures from a busy machine say more.
//
// usage: bench_mask_upload [--boxsim PATH] [--reps R]

#include "BoxsimProcess.h"
#include "box/Box.h"
#include "link/Clock.h"
#include "link/TcpTransport.h"
#include "mask/MaskCodec.h"
#include "mask/Masks.h"
#include "session/Session.h"
#include "session/Session.h"
#include "session/UiPort.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLoggingCategory>
#include <QTimer>

#include <cstdio>
#include <cstring>

using namespace trivel;

namespace {

constexpr std::size_t kStreamBytes = kColourMaskLimit; // 2 MiB
constexpr int kRoundTrips = int((kStreamBytes + 479) / 480) + 1; // chunks and the show frame

class QuietUi final : public UiPort {
public:
    MsgResult message(MsgIcon, const QString&, const QString& text, MsgButtons) override
    {
        last = text;
        return MsgResult::Ok;
    }
    QString last;
};

// Seconds from "preview" to the end of the upload, or 0.
double upload(quint16 port)
{
    RealClock clock;
    QuietUi ui;
    Box tool(clock, ui);
    Session& s = tool.session;
    s.TmrStatus->setEnabled(false);
    TcpTransport tcp;
    if (!tcp.open("127.0.0.1", port, 3000))
        return 0;
    tcp.setReplySink([&](const std::uint8_t* b, std::size_t n, bool id) { DeliverReply(s, b, n, id); });
    s.setTransport(&tcp);
    s.TcpSelected = true;
    s.setFlag(Flag::Connected, true);
    tcp.startReceiving();

    MaskBytes& stream = s.masks->state().Stream.bytes;
    stream.assign(kStreamBytes, 0);
    const std::uint8_t head[] = {0xFF, 'C', 'E', 'X', 0, 0, 0, 0, 0x60, 0x09, 0, 0, 0x69, 0x03, 0, 0};
    std::memcpy(stream.data(), head, sizeof head);
    for (std::size_t i = kColourPixelsOffset; i < stream.size(); ++i)
        stream[i] = std::uint8_t(i * 131 + (i >> 9));
    s.masks->state().MaskKind = 2;

    QEventLoop loop;
    QElapsedTimer t;
    t.start();
    const Operation<void> upload = s.masks->preview();
    upload.onFinished([&] { QTimer::singleShot(0, &loop, &QEventLoop::quit); });
    if (!upload.finished())
        loop.exec();
    const double secs = double(t.nsecsElapsed()) / 1e9;
    const bool ok = ui.last == QLatin1String("User Mask data Upload finished ");
    if (!ok)
        std::fprintf(stderr, "upload failed: %s\n", qPrintable(ui.last));
    s.setTransport(nullptr);
    tcp.close();
    return ok ? secs : 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("trivel.*.info=false\ntrivel.*.debug=false"));
    QString boxsim = QStringLiteral(TRIVEL_BOXSIM);
    int reps = 5;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == "--boxsim")
            boxsim = args[++i];
        else if (args[i] == "--reps")
            reps = std::max(1, args[++i].toInt());
    }

    const bench::BoxsimProcess sim(boxsim);
    const quint16 port = sim.port();
    if (port == 0)
        return 1;

    // Interleaved, best of each: other load on the machine only ever slows a run down. CPU time
    // per round trip of this thread and of the simulator, least of each: on two busy cores the
    // client and the simulator often share one, and the time then follows their sum.
    double raw = 1e9, up = 1e9;
    double rawCpu = 1e9, rawSim = 1e9, upCpu = 1e9, upSim = 1e9;
    auto perTrip = [](long long ns) { return double(ns) / 1e3 / kRoundTrips; };
    for (int rep = 0; rep < reps; ++rep) {
        const long long c0 = bench::ThreadCpuNs(), s0 = bench::ProcessCpuNs(sim.pid());
        if (const double r = bench::RawRoundTripSeconds(port, kRoundTrips); r > 0)
            raw = std::min(raw, r);
        const long long c1 = bench::ThreadCpuNs(), s1 = bench::ProcessCpuNs(sim.pid());
        if (const double u = upload(port); u > 0)
            up = std::min(up, u);
        const long long c2 = bench::ThreadCpuNs(), s2 = bench::ProcessCpuNs(sim.pid());
        rawCpu = std::min(rawCpu, perTrip(c1 - c0));
        rawSim = std::min(rawSim, perTrip(s1 - s0));
        upCpu = std::min(upCpu, perTrip(c2 - c1));
        upSim = std::min(upSim, perTrip(s2 - s1));
    }

    std::printf("2 MiB colour mask preview, %d round trips (best of %d runs)\n", kRoundTrips, reps);
    std::printf(
        "  raw: %d blocking 512-byte round trips to trivel-boxsim: %8.1f ms\n", kRoundTrips, raw * 1000);
    std::printf("  preview upload over TCP to trivel-boxsim:             %8.1f ms\n", up * 1000);
    std::printf("  CPU per round trip, raw: client %.2f us + simulator %.2f us\n", rawCpu, rawSim);
    std::printf("  CPU per round trip, upload: tool %.2f us (with the tool's set-up) + simulator %.2f us\n",
        upCpu, upSim);
    const double ratio = up / raw;
    std::printf("  upload time / raw round trips: %.2fx (target at most 1.3x)\n", ratio);
    return up < 1e9 && ratio <= 1.3 ? 0 : 1;
}
