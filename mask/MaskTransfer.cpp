#include "mask/MaskTransfer.h"

#include "session/Session.h"

#include <algorithm>

namespace trivel {

void SendMaskChunkAs(Session& s, std::uint32_t code)
{
    MaskStream& stream = s.mask.Stream;
    const std::size_t position = std::min(stream.position, stream.size());
    const std::size_t n = std::min(kMaskChunkBytes, stream.size() - position);

    FrameView f = s.request();
    f.setCode(code);
    f.put8(8, std::uint8_t(s.CurrentWindow));
    f.put32(12, std::uint32_t(position));
    f.put32(16, std::uint32_t(stream.size()));
    if (n > 0)
        f.copyIn(20, stream.bytes.data() + position, n);
    stream.position = position + n;
    SendFrame(s);
}

void SendMaskChunk(Session& s)
{
    s.clearRequest(512);
    SendMaskChunkAs(s, s.mask.MaskKind == 1 ? Cmd::MaskUploadMono : Cmd::MaskUploadColour);
}

} // namespace trivel
