#pragma once
// One table of settings: each mnemonic of the box's vocabulary once, with its control, command
// template, range, start value, the value sent, the per-window cache field and the trigger
// that sends it. The pages bind their widgets from it, the page refresh fills them from it, and
// trivelctl set/get, the setting files and the simulated box read the same rows.

#include "session/Control.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace trivel {

class Session;
struct SettingsState;

// One id per row of the table, in its order ("95X" is P95X).
// clang-format off
enum class Setting : std::uint8_t {
    INP, OPM, VKY, BRI, CON, XHA, HUE, XAT, CLR, RGN, GGN, BGN, HZM, VZM, HPN, VPN, OLE, ORE, OTE,
    OBE, ORI, H1W, H2W, DPW, VGW, H1V, H2V, DPV, VGV, H1E, H2E, DPE, VGE, PFA, PFV, PIO, PIR, PIT,
    POR, PIZ, PIH, PIV, PLO, PRO, PTO, PBO, DCM, HDO, LEB, REB, TEB, BEB, EFL, EFR, EFT, EFB, EBR,
    EBG, EBB, GGR, GGG, GGB, EBL, EGR, EGG, EGB, EOR, EOG, EOB, BCR, BCG, BCB, EOX, EOY, EMX, EMY,
    RXT, TLA, MDN, DMI, WPM, UDT, GRD, WLX, WLY, P95X, P95Y, P95I, WWW, VVV,
};
// clang-format on
inline constexpr std::size_t kSettingCount = std::size_t(Setting::VVV) + 1;

// When a bound control sends.
enum class Trigger {
    EndOfScroll, // a slider: once after a release, an arrow or page click, or a key
    EveryChange, // the EDID track bars: on every position change
    Click, // buttons, radio groups, check boxes, combo boxes: in the click or change handler
    Enter, // the overscan edits: when Enter is pressed
    Command, // sent by a handler of its own (profiles, resets, warp data, queries)
};

// The integer placed into the command's value field, from the control's position.
enum class Sent {
    Position,
    TimesTen, // SBXha shows and sends ten times its position
    MinusOne, // zoom and pan: the box counts from 0
    EdgeWidth, // blend widths: 49 means off and goes out as 0
    Tag, // the Tag of the pressed button (INP, OPM, ORI, PFA, PFV)
    WindowKey, // 60 + the window button's Tag
    ItemIndex,
    ItemCode, // the VGA timing list: the code of the item
    Checked, // 1 checked, 0 unchecked
    Fixed, // the template's own value
};

// Reads and writes the cached value of window w; null for settings without a cache.
using CacheRead = int (*)(const SettingsState&, int w);
using CacheWrite = void (*)(SettingsState&, int w, int value);

struct SettingBinding {
    Setting id;
    const char* mnemonic;
    const char* tpl; // the 10 characters before CR LF, as sent with code 0x1002
    Control control; // the first (or only) control; Kind::Form for none
    int page; // Page:: index, -1 for none
    int minimum;
    int maximum;
    int start; // the control's position at design time
    Sent sent;
    Trigger trigger;
    CacheRead read = nullptr;
    CacheWrite write = nullptr;

    bool cached() const { return read && write; }
};

std::span<const SettingBinding> SettingBindings();
const SettingBinding* FindBinding(std::string_view mnemonic);
const SettingBinding& Binding(Setting id);
std::optional<Setting> FindSetting(std::string_view mnemonic);

// The value a control at `position` sends for this row.
int SentValue(const SettingBinding& b, int position);
// Whether a value lies in the control's range.
bool InRange(const SettingBinding& b, int value);

// The cache entry of window w (0..3); 0 for a row without a cache.
int CachedSetting(const Session& s, const SettingBinding& b, int w);
// Stores a control's position in the cache of the current window (the "change" half).
void StoreSetting(Session& s, const SettingBinding& b, int position);

} // namespace trivel
