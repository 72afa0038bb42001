// A warp grid file as another tool wrote it. Besides never crashing, a colour file that reads
// must write and read back to the same samples, bit for bit.

#include "interchange/Pfm.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace trivel;
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const std::optional<PfmImage> img = ReadPfm(bytes, nullptr);
    if (!img || img->channels != 3)
        return 0;
    const std::optional<PfmImage> back = ReadPfm(WritePfm(*img), nullptr);
    if (!back || back->width != img->width || back->height != img->height
        || std::memcmp(back->samples.data(), img->samples.data(), img->samples.size() * sizeof(float)) != 0)
        std::abort();
    return 0;
}
