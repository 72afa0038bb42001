#pragma once
// Handlers of the EDID page (TntTabSheet5): per input a timing code, or a custom width and
// height sent by the track bars and confirmed by "Apply".

#include "session/Control.h"

#include "settings/SettingBinding.h"

#include <QString>

#include <array>

namespace trivel {

class Session;
struct SettingBinding;

// Inputs in the order of the page's groups: first HDMI, second HDMI, DP, VGA.
inline constexpr int kEdidInputs = 4;
inline constexpr int kVgaInput = 3;
// Code 16: the custom width and height apply.
inline constexpr int kCustomTiming = 16;

// The box's timings by code; the HDMI and DP combos list all of them, so item = code.
inline constexpr std::array<const char*, 17> kTimingNames{"3840*2160p60", "3840*2160p30", "1920*1080p60",
    "1024*768p60", "1280*720p60", "1280*800p60", "1920*1200p60", "1920*2160p60", "2560*1440p60",
    "2560*1600p60", "3840*1080p60", "3840*2400p60", "3840*2400p30", "1024*768p120", "1280*720p120",
    "1280*800p120", "Customize"};
// The VGA combo lists six: item -> code, and code -> item (codes without an item show item 0).
inline constexpr std::array<int, 6> VgaCodeOfItem{2, 3, 4, 5, 6, 16};
inline constexpr std::array<int, 17> VgaItemOfCode{0, 0, 0, 1, 2, 3, 4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 5};

// The controls of one input's group.
struct EdidGroup {
    Control frame;
    Control width, widthLabel, height, heightLabel, combo, apply;
    const char* codeMnemonic; // H1E, H2E, DPE, VGE
    const char* widthMnemonic;
    const char* heightMnemonic;
};
const EdidGroup& EdidGroupOf(int input);

// Number of items of the input's combo (17, or 6 for VGA); the last one is "Customize".
int EdidItemCount(int input);
// The text of an item of the input's combo.
QString EdidItemText(int input, int item);

// CBH1EChange .. CBD2EChange: stores the code of a valid item. "Customize" enables the group's
// custom controls and sends nothing; any other item sends its code (the stored one).
enum class EdidChoice { Ignored, Send, Custom };
EdidChoice EdidComboChange(Session& s, int input, int item);
// The input's code setting (H1E, H2E, DPE, VGE); BTNEDID1Click .. sends kCustomTiming with it.
Setting EdidCodeSetting(int input);
// TBH1WChange etc. show and store the width rounded down to a multiple of 8, and send the
// position itself.
constexpr int RoundedEdidWidth(int position)
{
    return position - position % 8;
}

// The combo item for the current window's cached code: the code itself, VgaItemOfCode for VGA,
// -1 (nothing selected) for a code outside the list.
int EdidComboItem(Session& s, int input);

// Captions of the four input groups (and of the PIP source items): each window has its own
// inputs on a PIP-capable box, otherwise windows 2p and 2p+1 share those of pair p.
std::array<QString, 4> InputCaptions(const Session& s);

} // namespace trivel
