#pragma once
// A stateful model of the box: takes one request frame, gives zero or one reply frame.

#include "link/Frame.h"

#include <optional>
#include <vector>

namespace trivel::sim {

class BoxModel {
public:
    // request: the 512-byte frame (no report id). Returns the reply frame, or nothing.
    std::optional<std::vector<std::uint8_t>> handle(const std::uint8_t* request, std::size_t n);
};

} // namespace trivel::sim
