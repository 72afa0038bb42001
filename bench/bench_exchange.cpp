// The tool's own time per round trip, without a socket: the reply is handed to the exchange as
// the transport would, and the next request is taken off the fake link. What is left is the
// dispatch of the reply, the operation's next step, the request's build and lay-over, and the
// watchdog armed per request. The socket benchmarks (bench_roundtrip, bench_mask_upload) swing
// with the machine's load; this one holds still, so a change to the per-request path shows here.
//
// CPU per round trip on the 2-core build machine (Release): a setting request 0.39 us (0.87 us
// before the request's fields were marked a word at a time), a mask upload piece 0.52..0.54 us
// (2.2 us before that and the mirror keyed by index). Allocation-free callbacks for the watchdog
// and the resume were tried: 0.02 us less, not kept.

#include "box/Box.h"
#include "link/Clock.h"
#include "link/Transport.h"
#include "mask/MaskCodec.h"
#include "mask/Masks.h"
#include "protocol/SettingCodec.h"
#include "session/Session.h"
#include "session/UiPort.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QLoggingCategory>

#include <cstring>

using namespace trivel;

namespace {

class QuietUi final : public UiPort {
public:
    MsgResult message(MsgIcon, const QString&, const QString&, MsgButtons) override { return MsgResult::Ok; }
};

// Answers every request with an acknowledge of its code, handed over when the loop asks.
class LoopTransport final : public Transport {
public:
    bool isUsb() const override { return false; }
    bool isOpen() const override { return true; }
    void sendFrame(const FrameBuffer& request) override
    {
        std::memcpy(reply.data(), request.data() + 1, 8);
        ++sent;
    }
    void close() override { }

    std::array<std::uint8_t, kTcpFrameSize> reply{};
    long sent = 0;
};

struct Rig {
    RealClock clock;
    QuietUi ui;
    Box tool{clock, ui};
    Session& s = tool.session;
    LoopTransport link;

    Rig()
    {
        s.TmrStatus->setEnabled(false);
        s.setTransport(&link);
        s.TcpSelected = true;
        s.setFlag(Flag::Connected, true);
    }
    ~Rig() { s.setTransport(nullptr); }
    void answer() { DeliverReply(s, link.reply.data(), link.reply.size(), false); }
};

Operation<void> Brightness(Exchange& ex)
{
    const Request brightness = Request(Cmd::Setting).setting(MakeSettingCommand("s00BRI+050"));
    for (;;)
        co_await ex.send(brightness);
}

// One setting request and its reply, over and over.
void BM_SettingRoundTrip(benchmark::State& state)
{
    Rig rig;
    const Operation<void> op = Brightness(rig.s.exchange);
    for (auto _ : state)
        rig.answer();
    state.SetItemsProcessed(rig.link.sent);
    rig.s.exchange.abandonAll();
}
BENCHMARK(BM_SettingRoundTrip);

// The 2 MiB colour mask preview, one 480-byte piece per round trip.
void BM_MaskUploadRoundTrip(benchmark::State& state)
{
    Rig rig;
    MaskBytes& stream = rig.s.masks->state().Stream.bytes;
    stream.assign(kColourMaskLimit, 0);
    const std::uint8_t head[] = {0xFF, 'C', 'E', 'X', 0, 0, 0, 0, 0x60, 0x09, 0, 0, 0x69, 0x03, 0, 0};
    std::memcpy(stream.data(), head, sizeof head);
    for (std::size_t i = kColourPixelsOffset; i < stream.size(); ++i)
        stream[i] = std::uint8_t(i * 131 + (i >> 9));
    rig.s.masks->state().MaskKind = 2;
    Operation<void> op = rig.s.masks->preview();
    for (auto _ : state) {
        rig.answer();
        if (op.finished())
            op = rig.s.masks->preview();
    }
    state.SetItemsProcessed(rig.link.sent);
    rig.s.exchange.abandonAll();
}
BENCHMARK(BM_MaskUploadRoundTrip);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("trivel.*.info=false\ntrivel.*.debug=false"));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
