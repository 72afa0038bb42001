// Requests to the simulated box, as trivel-boxsim takes them from any TCP client.
//
// The input is a run of requests, each a little-endian 16-bit length followed by that many
// frame bytes (at most one 512-byte frame; the box zero-pads shorter ones). One fresh box per
// input, so a run can upload a mask, store it and read it back.

#include "protocol/Frame.h"
#include "sim/BoxModel.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    trivel::sim::BoxModel box;
    std::size_t at = 0;
    while (size - at >= 2) {
        const std::size_t claimed = std::size_t(data[at]) | std::size_t(data[at + 1]) << 8;
        at += 2;
        const std::size_t n = std::min({claimed, trivel::kTcpFrameSize, size - at});
        box.handle(data + at, n);
        at += n;
    }
    return 0;
}
