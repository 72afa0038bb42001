#pragma once
// Upload chunks of the current mask stream. The preview sends them one per reply; the setting
// transfer sends them with its own code over a frame it has already filled.

#include <cstddef>
#include <cstdint>

namespace trivel {

class Session;

inline constexpr std::size_t kMaskChunkBytes = 480;

// Clears the first 512 bytes of the request, then sends the next chunk of s.mask.Stream with
// the code of s.mask.MaskKind (4129 mono, 4135 otherwise).
void SendMaskChunk(Session& s);
// The same with the given code (Cmd::MaskUploadMono or Cmd::MaskUploadColour), over the request as it stands.
void SendMaskChunkAs(Session& s, std::uint32_t code);

} // namespace trivel
