#pragma once
// What the simulated box remembers: identity, signals, per-window settings and the stores
// (profiles, mask slots, warp maps). Layouts are kept in the box's own wire form where one exists,
// so a read reply is a copy.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace trivel::sim {

inline constexpr int kWindows = 4;
inline constexpr std::size_t kWindowRecordSize = 80;
inline constexpr std::size_t kBlendRecordSize = 94;
inline constexpr std::size_t kControlPoints = 45; // 9 x 5
inline constexpr std::size_t kPointGrid = 17;
inline constexpr std::size_t kPointOffsetsSize = kPointGrid * kPointGrid * 4; // 1156
inline constexpr std::size_t kMonoSlotLimit = 262144;
inline constexpr std::size_t kColourSlotLimit = 2097152;
inline constexpr int kMaskSlots = 10; // 0..8 mono, 9 colour
inline constexpr int kMapSlots = 10;
inline constexpr int kProfiles = 5;
inline constexpr int kRegisterBanks = 256;
inline constexpr int kRegistersPerBank = 128;

struct BoxIdentity {
    std::array<std::uint8_t, 3> firmwareVersion{3, 0, 5}; // Identify bytes 8..10
    std::uint32_t controllerFirmware = 93224; // bytes 11..13, 24 bits
    std::uint8_t boardKind = 0x84; // byte 14: bit 7 = PIP kind with bits 0..6 windows, else 2 x value
    std::uint8_t key = 0; // byte 15
    std::uint8_t userMask = 0x5B; // byte 37; 0 = no user masks
    int model = 800; // answer to "S00MDNR000"
    bool mainBoardError = false; // byte 34 bit 3
    std::uint16_t frameWidth01 = 1920, frameHeight01 = 1080; // bytes 16..19
    std::uint16_t frameWidth23 = 1920, frameHeight23 = 1080; // bytes 20..23
    std::uint8_t boardMask = 0x0F; // reply to 0x0090
    std::array<std::uint8_t, kWindows> windowCaps{0x01, 0x01, 0x01, 0x01}; // record byte 5

    bool pipCapable() const { return boardKind & 0x80; }
    int channelCount() const
    {
        const int n = pipCapable() ? (boardKind & 0x7F) : 2 * boardKind;
        return n < 1 ? 1 : (n > kWindows ? kWindows : n);
    }
};

struct SignalSize {
    std::int32_t width = 0;
    std::int32_t height = 0;
};

// What the status reply reports; tests change it to simulate cables being plugged.
struct BoxSignals {
    std::array<SignalSize, kWindows> input{SignalSize{1920, 1080}, {}, {}, {}};
    std::array<SignalSize, kWindows> pipSource{};
    int inputMask = -1; // -1: a bit for every window whose input width is non-zero
    int outputMask = -1; // -1: a bit for every window of the board
    // Status bytes 80..83 bit 1: a PIP source present, reported apart from the sizes so a box can
    // send stale sizes for a window without a source. -1: a bit for every non-zero PIP width.
    int pipPresentMask = -1;
};

struct WindowState {
    std::array<std::uint8_t, kWindowRecordSize> record{}; // the 0x1001 record (byte 7 filled on reply)
    std::array<std::uint8_t, kBlendRecordSize> blend{}; // the 0x100a record
    std::array<std::int16_t, 8> maskCornerX{}, maskCornerY{};
    std::array<std::uint8_t, 11> pip{};
    std::array<std::int16_t, 4> pipOverlap{}; // PLO, PRO, PTO, PBO
    std::uint8_t deepColour = 0;
    std::uint8_t hdcpOutput = 0;
    std::uint8_t maskAssignment = 0; // DMI: 0 off, 1..10 slot
    std::uint8_t maskShown = 0;
    std::uint8_t maskKind = 0;
    std::uint8_t blendMarker = 0;
    std::uint8_t patternColour = 0;
    std::int16_t fileWidth = 0, fileHeight = 0; // WWW, VVV

    // Warp.
    std::array<std::int16_t, kControlPoints * 2> controlOffsets{}; // (x, y) per point
    std::array<std::int16_t, 16> wallPoints{};
    std::array<std::int16_t, 8> keystoneCorners{};
    std::uint8_t controlPattern = 0;
    std::uint8_t selectedPoint = 0; // 95I: row * 9 + column
    std::uint8_t controlCursor = 0;
    std::uint8_t controlCursorShown = 0;
    std::uint16_t gridSpacing = 32;
    std::array<std::uint8_t, kPointOffsetsSize> pointOffsets{}; // [column][row] (dx, dy), int16 LE
    std::array<std::int16_t, 16> userMapWall{};
};

// Everything a device profile saves and a reset restores.
struct BoxSettings {
    std::array<WindowState, kWindows> windows{};
    std::uint8_t currentWindow = 0;
};

struct StoredMap {
    std::array<std::uint8_t, kPointOffsetsSize> pointOffsets{};
    std::array<std::int16_t, 8> keystoneCorners{};
    std::uint8_t pattern = 0;
};

// The source lookup tables of the User Map editor, as the chunks carry them: 132 mesh columns
// of 78 little-endian words each.
inline constexpr std::size_t kUserMapColumns = 132;
inline constexpr std::size_t kUserMapColumnBytes = 78 * 2;
inline constexpr std::size_t kUserMapTableBytes = kUserMapColumns * kUserMapColumnBytes; // 20592

struct UserMapTables {
    std::vector<std::uint8_t> x = std::vector<std::uint8_t>(kUserMapTableBytes);
    std::vector<std::uint8_t> y = std::vector<std::uint8_t>(kUserMapTableBytes);
};

struct NetworkRecord {
    std::array<std::uint8_t, 25> bytes{};
};

} // namespace trivel::sim
