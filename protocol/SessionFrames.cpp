#include "protocol/SessionFrames.h"

namespace trivel::proto {

Request NeutralBlendMarker(int window, int marker)
{
    return Request(Cmd::BlendMarker, Clear::None).u8(8, std::uint8_t(window)).u8(9, std::uint8_t(marker));
}

Request NeutralPatternColour(int window)
{
    return Request(Cmd::TestPatternColour, Clear::None).u8(8, std::uint8_t(window)).u8(9, 0);
}

Request NeutralControlCursor(int window, int point)
{
    return Request(Cmd::ControlCursor, Clear::All)
        .u8(8, std::uint8_t(window))
        .u8(9, std::uint8_t(point))
        .u8(10, 0);
}

} // namespace trivel::proto
