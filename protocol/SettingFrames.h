#pragma once
// Frames of the setting commands: a write (0x1002, or 0x100b on a linked box), a query (0x100c)
// and the box's echo of either, plus the window change the box is told of last (0x2015). Request
// builders and a reply view for the tool; a request view and the echo builder for the simulated box.

#include "protocol/Frame.h"
#include "protocol/Request.h"
#include "protocol/SettingCodec.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace trivel::proto {

// The 10-character template ("s00BRI+022") with `value` in its value field, on a cleared frame.
Request SettingWrite(std::string_view tpl, int value, std::uint32_t code = Cmd::Setting);
// The blend pages' point of the 9 x 5 control grid ("s0095I"): a write, where the warp page's
// cursor query of the same name is an 'S' query.
Request BlendPointSelect(int code);
// A query of the value named by three letters ("S00MDNR000").
Request SettingQuery(std::string_view name3, Clear clear = Clear::All);
// 0x2015: the window now current, on a cleared frame.
Request CurrentWindowChanged(int window);

// 0x1003: DHCP (1) or a static address; the twelve octets of address, mask and gateway only
// for a static one. Written over the previous frame.
Request NetworkWrite(bool dhcp, const std::array<std::uint8_t, 12>& octets);

// A setting command as the box sees it.
struct SettingRequestView {
    const FrameView& f;
    SettingCommand command() const;
    // The ten characters before CR LF.
    std::string text() const;
    // The three letters after the prefix ("BRI", "95I").
    std::string name() const;
    bool query() const { return f.code() == Cmd::SettingQuery || f.u8(kSettingOffset) == 'S'; }
    // The value field's number (-1999..9999), or none when it holds anything else.
    std::optional<int> value() const;
};

// The box's echo: the command with the value it now holds.
struct SettingReplyView {
    const FrameView& f;
    int value() const { return DecodeSettingReply(f); }
    // Only the three digits (an index or a code).
    int digits() const { return DecodeSettingDigits(f); }
};

// The reply to 0x1001: one record per window, and the window current on the box.
enum class WindowField : std::size_t {
    INP = 0,
    Caps = 5,
    OPM = 6,
    HZM = 16, // zoom and pan count from 0
    VZM = 17,
    HPN = 18,
    VPN = 19,
    OLE = 20, // overscans carry +1800
    ORE = 22,
    OTE = 24,
    OBE = 26,
    ORI = 28,
    Picture = 30, // BRI CON XHA HUE XAT CLR RGN GGN BGN, a byte each
    H2E = 39,
    H1E = 40,
    DPE = 41,
    H2W = 42, // the EDID sizes, 16 bits each
    H2V = 44,
    H1W = 46,
    H1V = 48,
    DPW = 50,
    DPV = 52,
    VGW = 54,
    VGV = 56,
    VGE = 58,
};
inline constexpr std::size_t kWindowRecordBytes = 80;

struct WindowBlockView {
    const FrameView& f;
    // Frame offset of a field of window w (0..3); `i` steps through the picture bytes.
    static std::size_t at(int w, WindowField k, int i = 0)
    {
        return 8 + kWindowRecordBytes * std::size_t(w & 3) + std::size_t(k) + std::size_t(i & 15);
    }
    int byte(int w, WindowField k, int i = 0) const { return f.u8(at(w, k, i)); }
    int word(int w, WindowField k) const { return f.u16(at(w, k)); }
    int currentWindow() const { return f.u8(kCurrentWindowOffset); }
    static constexpr std::size_t kCurrentWindowOffset = 15;
};

// The network record: the reply to 0x1000 carries it whole, from frame offset 24.
inline constexpr std::size_t kNetworkRecordBytes = 25;
struct NetworkReplyView {
    const FrameView& f;
    void copyRecord(std::array<std::uint8_t, kNetworkRecordBytes>& out) const
    {
        f.copyOut(24, out.data(), out.size());
    }
};
// A network write as the box sees it: DHCP or not, and the twelve static octets.
struct NetworkRequestView {
    const FrameView& f;
    bool dhcp() const { return f.u8(8) != 0; }
    void copyOctets(std::uint8_t* out12) const { f.copyOut(9, out12, 12); }
};
void PutNetworkRecord(FrameView& reply, const std::array<std::uint8_t, kNetworkRecordBytes>& record);

// The box's side: the echo of `cmd` at frame offsets 8..19.
void PutSettingEcho(FrameView& reply, const SettingCommand& cmd);
// The window of a 0x2015 request.
inline int CurrentWindowOf(const FrameView& request)
{
    return request.u8(8);
}

} // namespace trivel::proto
