#pragma once
// The preview's input from a session's caches: what the box reported at the read-back, what
// the pages have changed since, or what a setting file loaded. Reads the session, changes nothing.

#include "preview/OutputPreview.h"

namespace trivel {

class Session;
struct MaskState;

// The whole input for one window (0..3); source is stretched to the window's frame.
PreviewInput BuildPreviewInput(const Session& s, int window, const QImage& source);

// Whether the box warps the window through the tool's User Map tables (else its own mode).
bool UsesUserMapTables(const Session& s, int window);

// The window's source tables: exactly the User Map tables when the window uses them (true),
// otherwise the tool's warp model run on the box-side offsets of its mode (false). note says which.
bool PreviewWarpTables(const Session& s, int window, std::vector<std::uint16_t>& sourceX,
    std::vector<std::uint16_t>& sourceY, QString& note);

// The mask assigned to the window, decoded from the slot copy as the Mask page decodes it.
PreviewMask PreviewMaskOf(const MaskState& mask, int window, QString& note);

} // namespace trivel

namespace trivel {

// A hash of everything the preview of a window depends on: when it changes, the picture does.
// Cheap enough to take on every event-loop turn while a preview is on screen.
std::size_t PreviewFingerprint(const Session& s, int window);

} // namespace trivel
