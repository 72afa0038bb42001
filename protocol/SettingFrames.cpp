#include "protocol/SettingFrames.h"

namespace trivel::proto {

Request SettingWrite(std::string_view tpl, int value, std::uint32_t code)
{
    SettingCommand cmd = MakeSettingCommand(tpl);
    EncodeSettingValue(value, cmd);
    return Request(code, Clear::All).setting(cmd);
}

Request BlendPointSelect(int code)
{
    return SettingWrite("s0095I+000", code);
}

Request SettingQuery(std::string_view name3, Clear clear)
{
    return Request(Cmd::SettingQuery, clear).setting(MakeQueryCommand(name3));
}

Request CurrentWindowChanged(int window)
{
    return Request(Cmd::CurrentWindowChanged, Clear::All).u8(8, std::uint8_t(window));
}

Request NetworkWrite(bool dhcp, const std::array<std::uint8_t, 12>& octets)
{
    Request r(Cmd::WriteNetwork, Clear::None);
    r.u8(8, dhcp ? 1 : 0);
    if (!dhcp)
        r.bytes(9, octets);
    return r;
}

SettingCommand SettingRequestView::command() const
{
    SettingCommand cmd{};
    f.copyOut(kSettingOffset, cmd.data(), cmd.size());
    return cmd;
}

std::string SettingRequestView::text() const
{
    const SettingCommand cmd = command();
    return std::string(cmd.data(), 10);
}

std::string SettingRequestView::name() const
{
    const SettingCommand cmd = command();
    return std::string(cmd.data() + 3, 3);
}

std::optional<int> SettingRequestView::value() const
{
    const SettingCommand cmd = command();
    return DecodeSettingValue(cmd.data() + kValueField);
}

void PutNetworkRecord(FrameView& reply, const std::array<std::uint8_t, kNetworkRecordBytes>& record)
{
    reply.copyIn(24, record.data(), record.size());
}

void PutSettingEcho(FrameView& reply, const SettingCommand& cmd)
{
    reply.copyIn(kSettingOffset, cmd.data(), cmd.size());
}

} // namespace trivel::proto
