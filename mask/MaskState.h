#pragma once
// Mask slot copies and assignments (filled by the mask subsystem).

namespace trivel {
struct MaskState { };
} // namespace trivel
