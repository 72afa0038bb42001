// Setting files at their largest: a whole-box file with all ten slots full (nine 256 KiB mono
// streams and a 2 MiB colour stream, about 4.4 MiB), written, parsed, and saved and loaded
// through the file system.

#include "files/SettingFile.h"
#include "box/Box.h"
#include "link/Clock.h"
#include "session/Session.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdint>

namespace {

using namespace trivel;

class NullUi final : public UiPort {
public:
    MsgResult message(MsgIcon, const QString&, const QString&, MsgButtons) override { return MsgResult::Ok; }
};

void FillSlot(SlotCopy& slot, bool colour)
{
    const std::span<std::uint8_t> copy = slot.writable();
    const auto n = std::uint32_t(copy.size());
    for (std::size_t i = 0; i < copy.size(); ++i)
        copy[i] = std::uint8_t(i * 31 + 7);
    const std::uint8_t header[8] = {0, std::uint8_t(colour ? 'C' : 'M'), 'E', 'X', std::uint8_t(n),
        std::uint8_t(n >> 8), std::uint8_t(n >> 16), std::uint8_t(n >> 24)};
    std::copy(header, header + 8, copy.begin());
}

struct FullBox {
    VirtualClock clock;
    NullUi ui;
    Box tool{clock, ui};
    Session& s = tool.session;
    FullBox()
    {
        s.BoardModel = 115;
        s.setFlag(Flag::UserMask, true);
        for (auto& c : s.masks->state().MonoSlotCopy)
            FillSlot(c, false);
        FillSlot(s.masks->state().ColourSlotCopy, true);
        for (auto& m : s.box->warp.state().model)
            for (auto& col : m.PointOffsets)
                for (auto& p : col)
                    p = {12, -34};
        s.FileInputSize.fill({1920, 1080});
    }
};

void BM_WriteWholeBoxAllMasks(benchmark::State& state)
{
    FullBox box;
    QByteArray b;
    for (auto _ : state) {
        b = SettingFileBytes(box.s, true);
        benchmark::DoNotOptimize(b.constData());
    }
    state.counters["bytes"] = double(b.size());
}
BENCHMARK(BM_WriteWholeBoxAllMasks)->Unit(benchmark::kMillisecond);

void BM_ParseWholeBoxAllMasks(benchmark::State& state)
{
    FullBox box, target;
    const QByteArray b = SettingFileBytes(box.s, true);
    for (auto _ : state) {
        if (!LoadSettingBytes(target.s, b, true).ok)
            state.SkipWithError("refused");
    }
    state.counters["bytes"] = double(b.size());
}
BENCHMARK(BM_ParseWholeBoxAllMasks)->Unit(benchmark::kMillisecond);

void BM_SaveAndLoadThroughTheFileSystem(benchmark::State& state)
{
    FullBox box, target;
    QTemporaryDir dir;
    const QString path = dir.filePath("RIG.WBF");
    for (auto _ : state) {
        if (!SaveSettingFile(box.s, path, true).ok || !LoadSettingFile(target.s, path).ok)
            state.SkipWithError("save or load failed");
    }
}
BENCHMARK(BM_SaveAndLoadThroughTheFileSystem)->Unit(benchmark::kMillisecond);

} // namespace
