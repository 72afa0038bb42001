#pragma once
// A stateful model of the box: takes one request frame, gives zero or one reply frame.
// It answers every request code the tool sends with the layouts the tool reads, keeps what it
// is told (settings, warp tables, masks, maps, profiles, registers, firmware images) and counts
// what it saw, so tests can assert on traffic and script failures.

#include "protocol/Frame.h"
#include "sim/BoxState.h"
#include "sim/Hostile.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace trivel::sim {

class BoxModel {
public:
    explicit BoxModel(BoxIdentity identity = {});

    // request: the frame (no report id), normally 512 bytes; shorter ones are zero-padded.
    // Returns the 512-byte reply frame, or nothing (restart, test request, scripted silence).
    std::optional<std::vector<std::uint8_t>> handle(const std::uint8_t* request, std::size_t n);

    // One log line: the code in hex and, for setting frames, the command text.
    static std::string describe(const std::uint8_t* frame, std::size_t n);
    static std::string describe(const std::vector<std::uint8_t>& frame)
    {
        return describe(frame.data(), frame.size());
    }

    // Identity and signals may be changed at any time; the next reply uses them.
    BoxIdentity identity;
    BoxSignals inputSignals;

    // Scripted failures.
    int silentAfter = -1; // after this many replies stay silent (-1: never)
    bool silent = false; // while set, nothing is answered; requests still change state and count
    std::optional<std::uint32_t> wrongCodeFor; // answer this request code ...
    std::uint32_t wrongCode = 0xFFFF; // ... with this code instead
    int boardQueryEmptyReplies = 0; // the first N board queries (0x0090) report no board
    bool corruptFirmwareChecksum = false; // end-of-download checksums are off by one
    // Called with every reply before it goes out; may change it, or return false to drop it.
    std::function<bool(std::uint32_t requestCode, std::vector<std::uint8_t>& reply)> replyHook;
    // A broken box (Hostile.h). The content modes act here; BoxServer reads the transport modes
    // from this field too, so one setting describes the box.
    Hostile hostile = Hostile::None;
    std::uint64_t seed = 1; // hostile replies follow from the seed and repliesSent()
    // Frames the box sends on its own after the last reply (flood); the caller sends them next.
    std::vector<std::vector<std::uint8_t>> takeExtraReplies();

    // Counters. Codes of the protocol are counted one by one; any other code only adds to
    // unknownRequests(), so a client sending arbitrary codes cannot grow the model.
    int requests(std::uint32_t code) const;
    int unknownRequests() const { return m_unknown; }
    std::size_t counterSlots() const { return m_counts.size(); }
    int totalRequests() const { return m_total; }
    int repliesSent() const { return m_replies; }
    const std::deque<std::vector<std::uint8_t>>& received() const { return m_received; }
    std::size_t receivedLogLimit = 100000; // oldest frames are dropped beyond this
    std::vector<std::string> settingsReceived() const; // texts of all setting frames, in order
    void clearCounters();

    // True once after a request that ends the link from the box's side (restart, factory reset).
    bool takeLinkEnd();

    // State, for tests to set up or inspect.
    BoxSettings& settings() { return m_settings; }
    const BoxSettings& settings() const { return m_settings; }
    WindowState& window(int w) { return m_settings.windows[std::size_t(clampWindow(w))]; }
    NetworkRecord& network() { return m_network; }
    std::vector<std::uint8_t>& maskSlot(int slot) { return m_maskSlots.at(std::size_t(slot)); }
    std::optional<StoredMap>& storedMap(int w, int slot)
    {
        return m_maps[std::size_t(clampWindow(w))].at(std::size_t(slot));
    }
    // The User Map tables a window applied last (0x2012); nothing before its first apply.
    const std::optional<UserMapTables>& userMapTables(int w) const
    {
        return m_userMaps[std::size_t(clampWindow(w))];
    }
    // Called after a window applied its User Map tables.
    std::function<void(int window)> onUserMapApplied;
    // Whether the window warps through the User Map tables it applied last; a point or a mode
    // sent since puts it back on the box's own warp.
    bool showsUserMap(int w) const { return m_userMapShown[std::size_t(clampWindow(w))]; }
    // The mask stream last uploaded to the window for its preview (shown while maskShown is set).
    const std::vector<std::uint8_t>& maskUpload(int w) const { return m_maskUpload[std::size_t(clampWindow(w))]; }
    const std::optional<BoxSettings>& profile(int i) const { return m_profiles.at(std::size_t(i)); }
    std::uint8_t registerValue(int w, int bank, int address) const;
    const std::vector<std::uint8_t>& firmwareImage() const { return m_firmware; }
    std::uint32_t firmwareChecksum() const;

    // Setting access by mnemonic for the window given (what a query would answer).
    std::optional<int> settingValue(std::string_view name, int w) const;

    void factoryReset();
    static WindowState defaultWindow(const BoxIdentity& id, int w);

private:
    static int clampWindow(int w) { return w < 0 ? 0 : (w >= kWindows ? kWindows - 1 : w); }
    using Frame = std::array<std::uint8_t, kTcpFrameSize>;

    bool answer(std::uint32_t code, FrameView req, FrameView rep);
    bool answerWarp(std::uint32_t code, FrameView req, FrameView rep); // sim/BoxWarp.cpp
    void applyPoint(FrameView req);
    void putIdentify(FrameView rep) const;
    void putStatus(FrameView rep) const;
    void putWindowSettings(FrameView rep) const;
    void putWarpOffsets(FrameView rep, int firstWindow) const;
    void putWarpTableC(FrameView rep) const;
    void putBlend(FrameView rep) const;
    void handleSetting(std::uint32_t code, FrameView req, FrameView rep);
    bool applySetting(std::string_view name, int value, int w);
    bool applyWindowSetting(std::string_view name, int value, int w);
    bool applyPointSetting(std::string_view name, int value, int w);
    void applyBulkBlock(FrameView req);
    void writeNetwork(FrameView req);
    void handleMask(std::uint32_t code, FrameView req, FrameView rep); // sim/BoxMask.cpp
    void handleMap(std::uint32_t code, FrameView req, FrameView rep);
    void handleRegisters(std::uint32_t code, FrameView req, FrameView rep); // sim/BoxRegisters.cpp
    void handleFirmware(std::uint32_t code, FrameView req, FrameView rep); // sim/BoxFirmware.cpp
    void resetWindow(int w);
    void selectStoredMap(int w, int slot);
    // sim/BoxHostile.cpp
    void makeExtreme(std::uint32_t code, FrameView req, FrameView rep, HostileRandom& rng) const;
    void queueFlood(const std::vector<std::uint8_t>& reply, HostileRandom& rng);

    BoxSettings m_settings;
    NetworkRecord m_network;
    std::array<std::optional<BoxSettings>, kProfiles> m_profiles;
    std::array<std::vector<std::uint8_t>, kMaskSlots> m_maskSlots;
    std::array<std::vector<std::uint8_t>, kWindows> m_maskUpload;
    int m_maskReadSlot = 0; // slot of the last mono header read; chunk reads follow it
    std::array<std::array<std::optional<StoredMap>, kMapSlots>, kWindows> m_maps;
    std::array<int, kWindows> m_mapReadSlot{};
    std::vector<std::uint8_t> m_registers; // window x bank x register
    std::array<std::uint8_t, kWindows> m_registerBank{};
    std::vector<std::uint8_t> m_firmware;
    int m_boardQueries = 0;
    // The chunks carry no window: they collect here until an apply names one.
    UserMapTables m_userMapIncoming;
    std::array<std::optional<UserMapTables>, kWindows> m_userMaps;
    std::array<bool, kWindows> m_userMapShown{};

    std::vector<int> m_counts; // one per protocol code, in the order of the code table
    int m_unknown = 0;
    std::deque<std::vector<std::uint8_t>> m_received;
    std::vector<std::vector<std::uint8_t>> m_extraReplies;
    int m_total = 0;
    int m_replies = 0;
    bool m_linkEnd = false;
};

} // namespace trivel::sim
