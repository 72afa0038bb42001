#include "sim/BoxModel.h"

namespace trivel::sim {

std::optional<std::vector<std::uint8_t>> BoxModel::handle(const std::uint8_t* request, std::size_t n)
{
    std::vector<std::uint8_t> reply(kTcpFrameSize, 0);
    for (std::size_t i = 4; i < 8 && i < n; ++i)
        reply[i] = request[i];
    return reply;
}

} // namespace trivel::sim
