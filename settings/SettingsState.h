#pragma once
// Per-window settings cache and its companion records: what the box reported at connect and
// what the pages show for each window. Field names are the box's setting mnemonics.

#include <QSet>
#include <QString>

#include <array>
#include <cstdint>
#include <cstring>

namespace trivel {

class Session;
class FrameView;

template <typename T> using PerWindow = std::array<T, 4>;

// The 33 arrays in their fixed order and widths; setting files write them in this order.
struct WindowSettingsRecord {
    PerWindow<std::uint8_t> INP{}, OPM{}, HPN{}, VPN{}, HZM{}, VZM{};
    PerWindow<std::int16_t> OLE{}, ORE{}, OTE{}, OBE{};
    PerWindow<std::uint8_t> ORI{}, BRI{}, CON{}, XHA{}, HUE{}, XAT{}, CLR{}, RGN{}, GGN{}, BGN{};
    PerWindow<std::uint8_t> WindowCaps{}, H1E{}, H2E{}, DPE{}, VGE{};
    PerWindow<std::int32_t> H1W{}, H2W{}, DPW{}, VGW{}, H1V{}, H2V{}, DPV{}, VGV{};

    // Calls f(name, array) for every array in the fixed order.
    template <typename F> void forEachField(F&& f)
    {
        f("INP", INP), f("OPM", OPM), f("HPN", HPN), f("VPN", VPN), f("HZM", HZM), f("VZM", VZM);
        f("OLE", OLE), f("ORE", ORE), f("OTE", OTE), f("OBE", OBE);
        f("ORI", ORI), f("BRI", BRI), f("CON", CON), f("XHA", XHA), f("HUE", HUE), f("XAT", XAT);
        f("CLR", CLR), f("RGN", RGN), f("GGN", GGN), f("BGN", BGN);
        f("WindowCaps", WindowCaps), f("H1E", H1E), f("H2E", H2E), f("DPE", DPE), f("VGE", VGE);
        f("H1W", H1W), f("H2W", H2W), f("DPW", DPW), f("VGW", VGW);
        f("H1V", H1V), f("H2V", H2V), f("DPV", DPV), f("VGV", VGV);
    }
    template <typename F> void forEachField(F&& f) const
    {
        const_cast<WindowSettingsRecord*>(this)->forEachField(
            [&f](const char* name, const auto& a) { f(name, a); });
    }
};
inline constexpr std::size_t kWindowSettingsBytes = 244;

// 94-byte edge-blend and colour record of one window, kept in the box's byte layout (setting
// files store it unchanged); typed access by field offset.
struct BlendRecord {
    static constexpr std::size_t kSize = 94;
    std::array<std::uint8_t, kSize> bytes{};

    std::uint16_t u16(std::size_t off) const { return std::uint16_t(bytes[off] | bytes[off + 1] << 8); }
    std::int16_t i16(std::size_t off) const { return std::int16_t(u16(off)); }
    void put16(std::size_t off, std::uint16_t v)
    {
        bytes[off] = std::uint8_t(v);
        bytes[off + 1] = std::uint8_t(v >> 8);
    }

    // side 0 left, 1 right, 2 top, 3 bottom; channel 0 red, 1 green, 2 blue
    std::uint16_t edgeWidth(int side) const { return u16(2 * std::size_t(side & 3)); }
    void setEdgeWidth(int side, std::uint16_t v) { put16(2 * std::size_t(side & 3), v); }
    std::int16_t edgeShift(int side) const { return i16(8 + 2 * std::size_t(side & 3)); }
    void setEdgeShift(int side, std::int16_t v) { put16(8 + 2 * std::size_t(side & 3), std::uint16_t(v)); }
    std::uint16_t transitionGamma(int ch) const { return u16(16 + 2 * std::size_t(ch % 3)); }
    void setTransitionGamma(int ch, std::uint16_t v) { put16(16 + 2 * std::size_t(ch % 3), v); }
    std::uint8_t& gammaGain(int ch) { return bytes[22 + std::size_t(ch % 3)]; }
    std::uint8_t& gammaOffset() { return bytes[25]; }
    // slot 0..8 in the box's order (see RegionSlot)
    std::uint8_t& blackLevel(int slot, int ch)
    {
        return bytes[26 + 3 * std::size_t(slot % 9) + std::size_t(ch % 3)];
    }
    std::int16_t cornerX(int corner) const { return i16(54 + 4 * std::size_t(corner & 7)); }
    std::int16_t cornerY(int corner) const { return i16(56 + 4 * std::size_t(corner & 7)); }
    void setCorner(int corner, std::int16_t x, std::int16_t y)
    {
        put16(54 + 4 * std::size_t(corner & 7), std::uint16_t(x));
        put16(56 + 4 * std::size_t(corner & 7), std::uint16_t(y));
    }
    std::uint8_t& colourGain(int ch) { return bytes[86 + std::size_t(ch % 3)]; }
    std::uint8_t& colourOffset(int ch) { return bytes[89 + std::size_t(ch % 3)]; }
};

// Region button Tag -> black-level slot of the box.
inline constexpr std::array<int, 9> RegionSlot{5, 3, 6, 1, 0, 2, 7, 4, 8};

// The edge-mask corner positions: x and y tables, four windows of eight corners each.
struct EdgeMaskCornerTables {
    PerWindow<std::array<std::int16_t, 8>> x{};
    PerWindow<std::array<std::int16_t, 8>> y{};
};

// 11-byte PIP record plus the four overlaps.
struct PipRecord {
    enum Byte { PIO = 0, PIZ, PIH, PIV, PIR, PIT, POR };
    std::array<std::uint8_t, 11> bytes{};
    std::array<std::int16_t, 4> overlap{}; // PLO, PRO, PTO, PBO
};

// The box's network record (25 bytes, the reply to 0x1000 from frame offset 24).
struct NetworkRecord {
    static constexpr std::size_t kSize = 25;
    std::array<std::uint8_t, kSize> bytes{};
    bool dhcp() const { return bytes[0] != 0; }
    // which: 0 address, 1 mask, 2 gateway; inUse picks bytes 1..12, else the static ones 13..24
    QString addressText(int which, bool inUse) const;
};

struct SettingsState {
    WindowSettingsRecord WindowSettings;
    PerWindow<BlendRecord> BlendSettings{};
    EdgeMaskCornerTables EdgeMaskCorners;
    PerWindow<std::uint8_t> BlendMarker{1, 1, 1, 1};
    PerWindow<std::uint8_t> SelectedRegion{};
    PerWindow<std::uint8_t> SelectedCorner{};
    PerWindow<std::uint8_t> SelectedMaskCorner{};
    PerWindow<std::uint8_t> LastPointCode{0xFE, 0xFE, 0xFE, 0xFE};
    PerWindow<PipRecord> PipSettings{};
    PerWindow<std::uint8_t> DCM{};
    PerWindow<std::uint8_t> HDO{};
    NetworkRecord Network;
    // Box values outside their tables that were already logged (settings/BoundedIndex.h).
    QSet<QString> ReportedBadValues;
};

// Initial values for all four windows, then the pages are refilled. PIP records, DCM and HDO
// keep their values; of the blend records only the fields with a defined default are reset.
void ResetWindowSettings(Session& s);

// Copies the current window's cached values into every page: sets Refreshing for the whole run,
// so handlers that the refill triggers store but never send. The pages do their part when
// SessionEvents::refreshPages is emitted.
void RefreshPages(Session& s);
// Refills the blend pages (their region and corner selections included).
void RefreshBlendPages(Session& s);

// Fills WindowSettings of all windows from a window-settings reply (0x1001) and takes the
// box's current window from frame byte 15. Does not refresh the pages.
void DecodeWindowBlock(Session& s, const FrameView& reply);

// Takes the network record from a 0x1000 reply and shows it on the System page.
void ShowNetworkSettings(Session& s, const FrameView& reply);

} // namespace trivel
