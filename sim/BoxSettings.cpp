// The box's side of the text setting commands: which stored field each mnemonic reads and writes.

#include "protocol/SettingCodec.h"
#include "protocol/SettingFrames.h"
#include "sim/BoxModel.h"

#include <algorithm>
#include <cstring>

namespace trivel::sim {

namespace {

enum class Store {
    Record8, // u8 of the window-settings record
    Record16, // u16 of the record
    Overscan, // u16 of the record holding value + 1800
    Edid8, // u8 of the record, shared by both windows of a pair on a box without per-window inputs
    Edid16,
    Blend8, // u8 of the blend record
    Blend16, // u16 of the blend record
    BlendS16, // i16 of the blend record
    Pip8, // byte of the PIP record
    PipOverlap, // i16 overlap 0..3
};

struct Field {
    const char* name;
    Store store;
    std::size_t offset;
};

// Window-record fields by the names the window-settings reply gives them.
using W = proto::WindowField;
constexpr std::size_t F(W f)
{
    return std::size_t(f);
}

constexpr Field kFields[] = {
    {"INP", Store::Record8, F(W::INP)},
    {"OPM", Store::Record8, F(W::OPM)},
    {"HZM", Store::Record8, F(W::HZM)},
    {"VZM", Store::Record8, F(W::VZM)},
    {"HPN", Store::Record8, F(W::HPN)},
    {"VPN", Store::Record8, F(W::VPN)},
    {"OLE", Store::Overscan, F(W::OLE)},
    {"ORE", Store::Overscan, F(W::ORE)},
    {"OTE", Store::Overscan, F(W::OTE)},
    {"OBE", Store::Overscan, F(W::OBE)},
    {"ORI", Store::Record8, F(W::ORI)},
    {"BRI", Store::Record8, F(W::Picture)},
    {"CON", Store::Record8, F(W::Picture) + 1},
    {"HUE", Store::Record8, F(W::Picture) + 3},
    {"XAT", Store::Record8, F(W::Picture) + 4},
    {"CLR", Store::Record8, F(W::Picture) + 5},
    {"RGN", Store::Record8, F(W::Picture) + 6},
    {"GGN", Store::Record8, F(W::Picture) + 7},
    {"BGN", Store::Record8, F(W::Picture) + 8},
    {"H2E", Store::Edid8, F(W::H2E)},
    {"H1E", Store::Edid8, F(W::H1E)},
    {"DPE", Store::Edid8, F(W::DPE)},
    {"H2W", Store::Edid16, F(W::H2W)},
    {"H2V", Store::Edid16, F(W::H2V)},
    {"H1W", Store::Edid16, F(W::H1W)},
    {"H1V", Store::Edid16, F(W::H1V)},
    {"DPW", Store::Edid16, F(W::DPW)},
    {"DPV", Store::Edid16, F(W::DPV)},
    {"VGW", Store::Edid16, F(W::VGW)},
    {"VGV", Store::Edid16, F(W::VGV)},
    {"VGE", Store::Edid8, F(W::VGE)},
    {"LEB", Store::Blend16, 0},
    {"REB", Store::Blend16, 2},
    {"TEB", Store::Blend16, 4},
    {"BEB", Store::Blend16, 6},
    {"EFL", Store::BlendS16, 8},
    {"EFR", Store::BlendS16, 10},
    {"EFT", Store::BlendS16, 12},
    {"EFB", Store::BlendS16, 14},
    {"EBR", Store::Blend16, 16},
    {"EBG", Store::Blend16, 18},
    {"EBB", Store::Blend16, 20},
    {"GGR", Store::Blend8, 22},
    {"GGG", Store::Blend8, 23},
    {"GGB", Store::Blend8, 24},
    {"EBL", Store::Blend8, 25},
    {"EGR", Store::Blend8, 86},
    {"EGG", Store::Blend8, 87},
    {"EGB", Store::Blend8, 88},
    {"EOR", Store::Blend8, 89},
    {"EOG", Store::Blend8, 90},
    {"EOB", Store::Blend8, 91},
    {"PIO", Store::Pip8, 0},
    {"PIZ", Store::Pip8, 1},
    {"PIH", Store::Pip8, 2},
    {"PIV", Store::Pip8, 3},
    {"PIR", Store::Pip8, 4},
    {"PIT", Store::Pip8, 5},
    {"POR", Store::Pip8, 6},
    {"PLO", Store::PipOverlap, 0},
    {"PRO", Store::PipOverlap, 1},
    {"PTO", Store::PipOverlap, 2},
    {"PBO", Store::PipOverlap, 3},
};

const Field* findField(std::string_view name)
{
    for (const auto& f : kFields)
        if (name == f.name)
            return &f;
    return nullptr;
}

// Points of the 9 x 5 grid that address black-level regions and corners (row * 9 + column).
constexpr std::uint8_t kRegionPoints[9] = {0, 4, 8, 18, 22, 26, 36, 40, 44};
constexpr std::uint8_t kRegionSlot[9] = {5, 3, 6, 1, 0, 2, 7, 4, 8};
constexpr std::uint8_t kCornerPoints[8] = {0, 4, 8, 18, 26, 36, 40, 44};

int indexOf(const std::uint8_t* table, int n, int point)
{
    for (int i = 0; i < n; ++i)
        if (table[i] == point)
            return i;
    return -1;
}

// WALL entry of a grid point; -1 for points that are not one of the eight wall points.
int wallIndex(int point)
{
    const int row = point / 9, col = point % 9;
    if (point < 0 || point >= 45 || row % 2 || col % 4 || (row == 2 && col == 4))
        return -1;
    const int i = (row / 2) * 3 + col / 4;
    return i > 4 ? i - 1 : i;
}

bool isCornerName(std::string_view n)
{
    return n.size() == 3 && (n[0] == 'T' || n[0] == 'B') && (n[1] == 'L' || n[1] == 'R')
        && (n[2] == 'A' || n[2] == 'B');
}

std::uint16_t get16(const std::uint8_t* p)
{
    return std::uint16_t(p[0] | p[1] << 8);
}
void set16(std::uint8_t* p, int v)
{
    p[0] = std::uint8_t(v);
    p[1] = std::uint8_t(unsigned(v) >> 8);
}
std::uint8_t u8Of(int v)
{
    return std::uint8_t(std::clamp(v, 0, 255));
}
std::int16_t i16Of(int v)
{
    return std::int16_t(std::clamp(v, -32768, 32767));
}

// The value of a field the table names, as the window holds it.
int FieldValue(const Field& f, const WindowState& s)
{
    const auto r = [&] { return s.record.data() + f.offset; };
    const auto b = [&] { return s.blend.data() + f.offset; };
    switch (f.store) {
    case Store::Record8:
    case Store::Edid8:
        return *r();
    case Store::Record16:
    case Store::Edid16:
        return get16(r());
    case Store::Overscan:
        return int(get16(r())) - 1800;
    case Store::Blend8:
        return *b();
    case Store::Blend16:
        return get16(b());
    case Store::BlendS16:
        return std::int16_t(get16(b()));
    case Store::Pip8:
        return s.pip[f.offset];
    case Store::PipOverlap:
        return s.pipOverlap[f.offset];
    }
    return 0;
}

// Value field of a command: "+050", "-120", "1920", "9500" (-1500); nullopt for "R000" or junk.
// A leading '9' is always read as the negative form: no setting takes values of 9000 and more.
} // namespace

std::optional<int> BoxModel::settingValue(std::string_view name, int w) const
{
    const auto& s = m_settings.windows[std::size_t(clampWindow(w))];
    if (const Field* f = findField(name))
        return FieldValue(*f, s);
    const int point = s.selectedPoint;
    if (name == "XHA")
        return s.record[32] * 10;
    if (name == "DCM")
        return s.deepColour;
    if (name == "HDO")
        return s.hdcpOutput;
    if (name == "DMI")
        return s.maskAssignment;
    if (name == "MDN")
        return identity.model;
    if (name == "VKY")
        return 60 + m_settings.currentWindow;
    if (name == "WPM")
        return s.controlPattern;
    if (name == "GRD")
        return s.gridSpacing;
    if (name == "95I")
        return point;
    if (name == "95X" || name == "95Y") {
        if (point >= int(kControlPoints))
            return 0;
        return s.controlOffsets[std::size_t(point) * 2 + (name[2] == 'Y')];
    }
    if (name == "WLX" || name == "WLY") {
        const int i = wallIndex(point);
        return i < 0 ? 0 : s.wallPoints[std::size_t(i) * 2 + (name[2] == 'Y')];
    }
    if (isCornerName(name)) {
        const std::size_t corner = (name[0] == 'B' ? 2 : 0) + (name[1] == 'R' ? 1 : 0);
        return s.keystoneCorners[corner * 2 + (name[2] == 'B')];
    }
    if (name == "BCR" || name == "BCG" || name == "BCB") {
        const int region = indexOf(kRegionPoints, 9, point);
        if (region < 0)
            return 0;
        const std::size_t ch = name[2] == 'R' ? 0 : (name[2] == 'G' ? 1 : 2);
        return s.blend[26 + 3 * std::size_t(kRegionSlot[region]) + ch];
    }
    if (name == "EOX" || name == "EOY") {
        const int corner = indexOf(kCornerPoints, 8, point);
        if (corner < 0)
            return 0;
        return std::int16_t(get16(s.blend.data() + 54 + 4 * corner + (name[2] == 'Y' ? 2 : 0)));
    }
    if (name == "EMX" || name == "EMY") {
        const int corner = indexOf(kCornerPoints, 8, point);
        if (corner < 0)
            return 0;
        return (name[2] == 'X' ? s.maskCornerX : s.maskCornerY)[std::size_t(corner)];
    }
    if (name == "WWW")
        return s.fileWidth;
    if (name == "VVV")
        return s.fileHeight;
    return std::nullopt;
}

// Applies one written value to window w (the window selected on the box). Returns false for
// names the box does not know; those are acknowledged and otherwise ignored.
bool BoxModel::applySetting(std::string_view name, int value, int w)
{
    auto& s = window(w);
    if (const Field* f = findField(name)) {
        auto forWindows = [&](auto&& apply) {
            const bool shared
                = (f->store == Store::Edid8 || f->store == Store::Edid16) && !identity.pipCapable();
            if (shared) {
                apply(window(w & ~1));
                apply(window(w | 1));
            } else {
                apply(s);
            }
        };
        switch (f->store) {
        case Store::Record8:
        case Store::Edid8:
            forWindows([&](WindowState& t) { t.record[f->offset] = u8Of(value); });
            break;
        case Store::Record16:
        case Store::Edid16:
            forWindows(
                [&](WindowState& t) { set16(t.record.data() + f->offset, std::clamp(value, 0, 65535)); });
            break;
        case Store::Overscan:
            set16(s.record.data() + f->offset, std::clamp(value, -1800, 1800) + 1800);
            break;
        case Store::Blend8:
            s.blend[f->offset] = u8Of(value);
            break;
        case Store::Blend16:
            set16(s.blend.data() + f->offset, std::clamp(value, 0, 65535));
            break;
        case Store::BlendS16:
            set16(s.blend.data() + f->offset, i16Of(value));
            break;
        case Store::Pip8:
            s.pip[f->offset] = u8Of(value);
            break;
        case Store::PipOverlap:
            s.pipOverlap[f->offset] = i16Of(std::clamp(value, -1800, 1800));
            break;
        }
        return true;
    }
    return applyWindowSetting(name, value, w) || applyPointSetting(name, value, w);
}

// The names that act on the window or the box as a whole (not on the selected point).
bool BoxModel::applyWindowSetting(std::string_view name, int value, int w)
{
    auto& s = window(w);
    // Box model 800 drives its outputs in pairs: colour depth and HDCP follow the partner.
    const bool paired = identity.model == 800;
    if (name == "XHA") {
        s.record[32] = u8Of(value / 10);
    } else if (name == "DCM" || name == "HDO") {
        const std::uint8_t v = u8Of(value);
        for (int t : {w, paired ? (w ^ 1) : w})
            (name == "DCM" ? window(t).deepColour : window(t).hdcpOutput) = v;
    } else if (name == "DMI") {
        s.maskAssignment = std::uint8_t(std::clamp(value, 0, 10));
    } else if (name == "VKY") {
        if (value >= 60 && value < 60 + kWindows)
            m_settings.currentWindow = std::uint8_t(value - 60);
        else if (value == 250) {
            factoryReset();
            m_linkEnd = true;
        }
    } else if (name == "RXT") {
        if (value == 1) {
            const auto current = m_settings.currentWindow;
            for (int t = 0; t < kWindows; ++t)
                resetWindow(t);
            m_settings.currentWindow = current;
        } else if (value == 2) {
            resetWindow(w);
        }
    } else if (name == "PFV") {
        if (value >= 0 && value < kProfiles)
            m_profiles[std::size_t(value)] = m_settings;
    } else if (name == "PFA") {
        // A profile never saved leaves the current settings as they are.
        if (value >= 0 && value < kProfiles && m_profiles[std::size_t(value)])
            m_settings = *m_profiles[std::size_t(value)];
    } else {
        return false;
    }
    return true;
}

// The warp mode and the names that act on the point selected on the box (95I).
bool BoxModel::applyPointSetting(std::string_view name, int value, int w)
{
    auto& s = window(w);
    const int point = s.selectedPoint;
    if (name == "WPM") {
        m_userMapShown[std::size_t(clampWindow(w))] = false;
        if (value >= 6 && value <= 15) {
            selectStoredMap(w, value - 6);
            s.controlPattern = std::uint8_t(value);
        } else if ((value >= 0 && value <= 4) || value == 16 || value == 100) {
            s.controlPattern = std::uint8_t(value);
        }
    } else if (name == "GRD") {
        s.gridSpacing = std::uint16_t(std::clamp(value, 0, 65535));
    } else if (name == "UDT") {
        // The box recomputes its warp; nothing to keep.
    } else if (name == "95I") {
        if (value >= 0 && value < int(kControlPoints))
            s.selectedPoint = std::uint8_t(value);
    } else if (name == "95X" || name == "95Y") {
        if (point < int(kControlPoints))
            s.controlOffsets[std::size_t(point) * 2 + (name[2] == 'Y')] = i16Of(std::clamp(value, -600, 600));
    } else if (name == "WLX" || name == "WLY") {
        const int i = wallIndex(point);
        if (i >= 0) {
            const std::size_t axis = name[2] == 'Y';
            const std::int16_t v = i16Of(std::clamp(value, -600, 600));
            s.wallPoints[std::size_t(i) * 2 + axis] = v;
            // The middle points move as pairs: top/bottom middle share x, left/right middle share y.
            if (axis == 0 && (i == 1 || i == 6))
                s.wallPoints[std::size_t(7 - i) * 2] = v;
            if (axis == 1 && (i == 3 || i == 4))
                s.wallPoints[std::size_t(7 - i) * 2 + 1] = v;
        }
    } else if (isCornerName(name)) {
        const std::size_t corner = (name[0] == 'B' ? 2 : 0) + (name[1] == 'R' ? 1 : 0);
        s.keystoneCorners[corner * 2 + (name[2] == 'B')] = i16Of(std::clamp(value, -600, 600));
    } else if (name == "BCR" || name == "BCG" || name == "BCB") {
        const int region = indexOf(kRegionPoints, 9, point);
        if (region >= 0) {
            const std::size_t ch = name[2] == 'R' ? 0 : (name[2] == 'G' ? 1 : 2);
            s.blend[26 + 3 * std::size_t(kRegionSlot[region]) + ch] = u8Of(value);
        }
    } else if (name == "EOX" || name == "EOY") {
        const int corner = indexOf(kCornerPoints, 8, point);
        if (corner >= 0)
            set16(s.blend.data() + 54 + 4 * corner + (name[2] == 'Y' ? 2 : 0), i16Of(value));
    } else if (name == "EMX" || name == "EMY") {
        const int corner = indexOf(kCornerPoints, 8, point);
        if (corner >= 0)
            (name[2] == 'X' ? s.maskCornerX : s.maskCornerY)[std::size_t(corner)] = i16Of(value);
    } else if (name == "WWW") {
        s.fileWidth = i16Of(value);
    } else if (name == "VVV") {
        s.fileHeight = i16Of(value);
    } else {
        return false;
    }
    return true;
}

// Writes (0x1002, 0x100b) apply the value to the window selected on the box; a query (0x100c)
// with a value ("S0095X+012", "S00DMI+003") applies it too, and a plain query ("R000") only
// reads. Every reply echoes the command with the box's current value.
void BoxModel::handleSetting(std::uint32_t code, FrameView req, FrameView rep)
{
    const proto::SettingRequestView r{req};
    const std::string name = r.name();
    const int w = m_settings.currentWindow;
    const auto value = r.value();
    if (value)
        applySetting(name, *value, w);
    (void)code;

    SettingCommand echo = r.command();
    if (const auto current = settingValue(name, m_settings.currentWindow))
        EncodeSettingValue(std::clamp(*current, -1999, 9999), echo);
    else if (!value)
        EncodeSettingValue(0, echo);
    echo[10] = '\r';
    echo[11] = '\n';
    proto::PutSettingEcho(rep, echo);
}

} // namespace trivel::sim
