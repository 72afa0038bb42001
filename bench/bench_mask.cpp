// Mask conversion at the largest sizes the box takes: 2400 x 1200 mono with the finest detail
// (every pixel its own run) and 2400 x 873 colour, each way.

#include "mask/MaskCodec.h"
#include "mask/MaskImage.h"

#include <QBuffer>

#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>

namespace {

using namespace trivel;

// Alternating pixels: one run byte per pixel, the most work per row. The limit is lifted so
// that the whole picture is coded; with the box's limits the encoder stops a row past them.
MaskPicture FineMono()
{
    MaskPicture p(kMaxMaskWidth, kMaxMaskHeight, 1);
    std::fill(p.pixels.begin(), p.pixels.end(), std::uint8_t(0x55));
    return p;
}

MaskPicture NoisyColour()
{
    MaskPicture p(kMaxMaskWidth, 873, 8);
    std::mt19937 rng(1);
    for (auto& b : p.pixels)
        b = std::uint8_t(rng());
    p.palette.resize(kMaskPaletteEntries);
    return p;
}

void BM_EncodeMonoFine(benchmark::State& state)
{
    const MaskPicture p = FineMono();
    MaskBytes stream;
    int kind = 0;
    QString message;
    for (auto _ : state) {
        EncodeMonoMask(p, SIZE_MAX, stream, kind, message);
        benchmark::DoNotOptimize(stream.data());
    }
    state.counters["bytes"] = double(stream.size());
}
BENCHMARK(BM_EncodeMonoFine)->Unit(benchmark::kMillisecond);

void BM_EncodeMonoFineAtBoxLimit(benchmark::State& state)
{
    const MaskPicture p = FineMono();
    MaskBytes stream;
    int kind = 0;
    QString message;
    for (auto _ : state) {
        EncodeMonoMask(p, kMonoMaskLimitLarge, stream, kind, message);
        benchmark::DoNotOptimize(stream.data());
    }
}
BENCHMARK(BM_EncodeMonoFineAtBoxLimit)->Unit(benchmark::kMillisecond);

void BM_DecodeMonoFine(benchmark::State& state)
{
    MaskBytes stream;
    int kind = 0;
    QString message;
    EncodeMonoMask(FineMono(), SIZE_MAX, stream, kind, message);
    for (auto _ : state) {
        MaskDecodeResult r = DecodeMonoMask(stream, MaskBodyLength::StreamLength);
        benchmark::DoNotOptimize(r.picture.pixels.data());
    }
}
BENCHMARK(BM_DecodeMonoFine)->Unit(benchmark::kMillisecond);

void BM_EncodeColour2400x873(benchmark::State& state)
{
    const MaskPicture p = NoisyColour();
    MaskBytes stream;
    int kind = 0;
    QString message;
    for (auto _ : state) {
        EncodeColourMask(p, stream, kind, message);
        benchmark::DoNotOptimize(stream.data());
    }
}
BENCHMARK(BM_EncodeColour2400x873)->Unit(benchmark::kMillisecond);

void BM_RenderColour2400x873(benchmark::State& state)
{
    MaskBytes stream;
    int kind = 0;
    QString message;
    EncodeColourMask(NoisyColour(), stream, kind, message);
    for (auto _ : state) {
        MaskDecodeResult r = RenderColourMask(stream);
        benchmark::DoNotOptimize(r.picture.pixels.data());
    }
}
BENCHMARK(BM_RenderColour2400x873)->Unit(benchmark::kMillisecond);

// The whole "Load Image" path from the file's bytes: Qt's reader, the checks and the encoder.
QByteArray AsBmp(const MaskPicture& p)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    MaskPictureImage(p).save(&buffer, "BMP");
    return bytes;
}

void BM_LoadMaskImageFineMonoBmp(benchmark::State& state)
{
    const QByteArray file = AsBmp(FineMono());
    MaskBytes stream;
    int kind = 0;
    for (auto _ : state) {
        MaskLoadResult r = LoadMaskImage(file, SIZE_MAX, stream, kind);
        benchmark::DoNotOptimize(r.status);
    }
    state.counters["bytes"] = double(stream.size());
}
BENCHMARK(BM_LoadMaskImageFineMonoBmp)->Unit(benchmark::kMillisecond);

void BM_LoadMaskImageColourBmp(benchmark::State& state)
{
    const QByteArray file = AsBmp(NoisyColour());
    MaskBytes stream;
    int kind = 0;
    for (auto _ : state) {
        MaskLoadResult r = LoadMaskImage(file, kMonoMaskLimitLarge, stream, kind);
        benchmark::DoNotOptimize(r.status);
    }
    state.counters["bytes"] = double(stream.size());
}
BENCHMARK(BM_LoadMaskImageColourBmp)->Unit(benchmark::kMillisecond);

} // namespace
