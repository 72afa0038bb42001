// The answers of a broken box (--hostile extreme and flood): extreme field values and frames
// nobody asked for.

#include "sim/BoxModel.h"

#include "protocol/SettingCodec.h"
#include "protocol/SettingFrames.h"

#include <algorithm>
#include <iterator>

namespace trivel::sim {

// The reply's data fields filled with one extreme word (all ones, the largest and smallest
// 32-bit values, zero), then the fields the tool trusts most set to values out of range.
void BoxModel::makeExtreme(std::uint32_t code, FrameView req, FrameView rep, HostileRandom& rng) const
{
    static constexpr std::uint32_t kWords[] = {0xFFFFFFFFu, 0x7FFFFFFFu, 0x80000000u, 0u, 0xFFFF7FFFu};
    const std::uint32_t word = kWords[rng.below(std::size(kWords))];
    for (std::size_t off = 8; off + 4 <= rep.size(); off += 4)
        rep.put32(off, word);
    switch (code) {
    case Cmd::Identify: {
        // No window, 127 windows, an empty PIP board, a plain board of 254 windows.
        static constexpr std::uint8_t kBoardKinds[] = {0x00, 0xFF, 0x80, 0x7F, 0x85};
        rep.put8(14, kBoardKinds[rng.below(std::size(kBoardKinds))]);
        break;
    }
    case Cmd::Status: {
        static constexpr const char* kMasks[] = {"999", "\xff\xff\xff", "-99"};
        const char* mask = kMasks[rng.below(std::size(kMasks))];
        rep.copyIn(8, mask, 3);
        rep.copyIn(12, mask, 3);
        break;
    }
    case Cmd::Setting:
    case Cmd::SettingAlt:
    case Cmd::SettingQuery: {
        // The command echoed with a value at or past the ends of the field.
        static constexpr const char* kValues[] = {"+999", "-999", "9999", "\xff\xff\xff\xff"};
        SettingCommand text = proto::SettingRequestView{req}.command();
        std::copy_n(kValues[rng.below(std::size(kValues))], 4, text.data() + kValueField);
        proto::PutSettingEcho(rep, text);
        break;
    }
    default:
        break;
    }
}

// One to three frames after the reply: copies of it, or data replies nobody asked for.
void BoxModel::queueFlood(const std::vector<std::uint8_t>& reply, HostileRandom& rng)
{
    static constexpr std::uint32_t kUnsolicited[]
        = {Cmd::Status, Cmd::Identify, Cmd::ReadWindowSettings, Cmd::UserMapSourceX, Cmd::ReadBlend};
    const std::uint32_t n = 1 + rng.below(3);
    for (std::uint32_t i = 0; i < n; ++i) {
        if (rng.below(2) == 0) {
            m_extraReplies.push_back(reply);
            continue;
        }
        std::vector<std::uint8_t> extra(kTcpFrameSize, 0);
        FrameView f(extra.data(), extra.size());
        const std::uint32_t code = kUnsolicited[rng.below(std::size(kUnsolicited))];
        f.setCode(code);
        if (code == Cmd::Status)
            putStatus(f);
        else if (code == Cmd::Identify)
            putIdentify(f);
        else if (code == Cmd::ReadWindowSettings)
            putWindowSettings(f);
        else if (code == Cmd::ReadBlend)
            putBlend(f);
        m_extraReplies.push_back(std::move(extra));
    }
}

} // namespace trivel::sim
