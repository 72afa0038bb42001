#pragma once
// The window frame (window buttons and their lamps) and the status poll that paints it.

#include "link/Operation.h"

#include <array>

namespace trivel {

class Session;

// Window buttons after Identify (connected) or back to the start-up layout (disconnected).
void ApplyChannelLayout(Session& s, bool connected);
// Indicator panels beside the window buttons; two zero masks clear them.
void ShowSignalIndicators(Session& s, int inputMask, int outputMask);
// PIP source size label; a window whose flag is clear has no PIP source.
void ShowPipSourceSize(Session& s, const std::array<bool, 4>& present);
// Presses the output-mode button of an OPM code (no click handler runs).
void PressOutputModeButton(Session& s, int opm);
// A click on window button BtnWin(tag + 1) by code: pressed, and its click handler runs.
void ClickWindowButton(Session& s, int tag);

// One status poll: the status reply paints the lamps and sizes, then the window settings are
// read again. Unanswered, it counts towards the silence of the box instead of failing.
Operation<void> PollStatus(Session& s);
// Its second half: the window settings read again; the pages are refilled only when the set of
// inputs changed.
Operation<void> ReadWindowSettingsAfterPoll(Session& s);
// The 2000 ms tick: a poll when the box is connected and nothing else runs.
void StatusPollTick(Session& s);
// A poll went unanswered. At kSilentPolls in a row the lamps go silver until the next status
// reply repaints them.
void StatusPollUnanswered(Session& s);
inline constexpr int kSilentPolls = 3;
// A poll's reply is due before the next tick.
inline constexpr int kPollAllowanceMs = 1900;

// Panel colours of the indicators (0xRRGGBB).
inline constexpr int kColourInput = 0xF88A05; // orange
inline constexpr int kColourOutput = 0x00FF00; // lime
inline constexpr int kColourIdle = 0xC0C0C0; // silver
inline constexpr const char* kNoSignalText = "- - - - - - - -";

// Geometry of the window buttons inside BtnFrame (tops and common height, in pixels). The
// 6 px gaps let a frame cut at a button's bottom + 6 end exactly above the next button.
inline constexpr std::array<int, 4> kBtnWinTop{11, 45, 79, 113};
inline constexpr int kBtnWinHeight = 28;

} // namespace trivel
