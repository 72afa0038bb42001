#pragma once
// The output modes by OPM code: the button that shows each and its caption. The one table
// behind the Image page, the lookup table, the status poll and the tests.

#include "session/Control.h"

#include <array>

namespace trivel {

struct OutputMode {
    int code; // OPM, also the button's Tag
    Control button;
    const char* caption;
};

// BtnOut8 does not exist: codes 7..14 are BtnOut9..BtnOut16.
inline constexpr std::array<OutputMode, 15> kOutputModes{{
    {0, {"BtnOut1", Kind::SpeedButton}, "1920x1080"},
    {1, {"BtnOut2", Kind::SpeedButton}, "1920x1200"},
    {2, {"BtnOut3", Kind::SpeedButton}, "1280x720"},
    {3, {"BtnOut4", Kind::SpeedButton}, "1024x768"},
    {4, {"BtnOut5", Kind::SpeedButton}, "1280x800"},
    {5, {"BtnOut6", Kind::SpeedButton}, "1360x768"},
    {6, {"BtnOut7", Kind::SpeedButton}, "1280x1024"},
    {7, {"BtnOut9", Kind::SpeedButton}, "1920x1080(50)"},
    {8, {"BtnOut10", Kind::SpeedButton}, "1920*1200(30)"},
    {9, {"BtnOut11", Kind::SpeedButton}, "1920x1080(24)"},
    {10, {"BtnOut12", Kind::SpeedButton}, "1920x1080(30)"},
    {11, {"BtnOut13", Kind::SpeedButton}, "2048x1080"},
    {12, {"BtnOut14", Kind::SpeedButton}, "1024x768(120)"},
    {13, {"BtnOut15", Kind::SpeedButton}, "1280*720(120)"},
    {14, {"BtnOut16", Kind::SpeedButton}, "1280*800(120)"},
}};

// The mode of an OPM code, or nullptr for a code the table does not have.
inline const OutputMode* FindOutputMode(int opm)
{
    return opm >= 0 && opm < int(kOutputModes.size()) ? &kOutputModes[std::size_t(opm)] : nullptr;
}

} // namespace trivel
