#pragma once
// The control lookup tables filled at start-up: a value (OPM code, input, window, orientation,
// region, corner) maps to its button. Built from the owners' control sets.

#include "session/Controls.h"
#include "session/PageTable.h"
#include "settings/Controls.h"
#include "settings/OutputModes.h"

#include <array>

namespace trivel {

namespace Lookup {
inline constexpr int OutputMode = 0;
inline constexpr int Input = 20;
inline constexpr int Window = 24;
inline constexpr int Rotation = 32;
inline constexpr int Offset = 38;
inline constexpr int Corner = 47;
inline constexpr int MaskCorner = 55;
} // namespace Lookup

inline constexpr int kLookupSize = 63;

// One table over all looked-up controls, by index; nullptr marks an unused index (15..19).
inline constexpr std::array<const Control*, kLookupSize> kControlLookup = [] {
    std::array<const Control*, kLookupSize> t{};
    for (std::size_t i = 0; i < kOutputModes.size(); ++i)
        t[Lookup::OutputMode + i] = &kOutputModes[i].button;
    for (std::size_t i = 0; i < ctl::BtnSrcs.size(); ++i)
        t[Lookup::Input + i] = &ctl::BtnSrcs[i];
    for (std::size_t i = 0; i < ctl::BtnWins.size(); ++i)
        t[Lookup::Window + i] = &ctl::BtnWins[i];
    for (std::size_t i = 0; i < ctl::RBRots.size(); ++i)
        t[Lookup::Rotation + i] = &ctl::RBRots[i];
    for (std::size_t i = 0; i < ctl::RBOffsets.size(); ++i)
        t[Lookup::Offset + i] = &ctl::RBOffsets[i];
    for (std::size_t i = 0; i < ctl::RBCorners.size(); ++i)
        t[Lookup::Corner + i] = &ctl::RBCorners[i];
    for (std::size_t i = 0; i < ctl::RBMasks.size(); ++i)
        t[Lookup::MaskCorner + i] = &ctl::RBMasks[i];
    return t;
}();

} // namespace trivel
