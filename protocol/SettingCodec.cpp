#include "protocol/SettingCodec.h"

#include <algorithm>
#include <cassert>

namespace trivel {

SettingCommand MakeSettingCommand(std::string_view tpl)
{
    assert(tpl.size() == 10);
    SettingCommand cmd{};
    std::copy_n(tpl.data(), std::min<std::size_t>(tpl.size(), 10), cmd.data());
    cmd[10] = '\r';
    cmd[11] = '\n';
    return cmd;
}

SettingCommand MakeQueryCommand(std::string_view name3)
{
    assert(name3.size() == 3);
    SettingCommand cmd = MakeSettingCommand("S00XXXR000");
    std::copy_n(name3.data(), std::min<std::size_t>(name3.size(), 3), cmd.data() + 3);
    return cmd;
}

void EncodeSettingValue(int value, char* field)
{
    field[1] = field[2] = field[3] = '0';
    int pos = 3;
    if (value >= 0) {
        if (value < 1000)
            field[0] = '+';
        do {
            field[pos--] = char('0' + value % 10);
            value /= 10;
        } while (value != 0 && pos >= 0);
    } else {
        if (value > -1000) {
            field[0] = '-';
        } else {
            field[0] = '9';
            value += 1000;
        }
        // The sign already holds position 0: at most three magnitude digits.
        do {
            field[pos--] = char('0' - value % 10);
            value /= 10;
        } while (value != 0 && pos >= 1);
    }
}

std::optional<int> DecodeSettingValue(const char* f)
{
    for (int i = 1; i < 4; ++i)
        if (f[i] < '0' || f[i] > '9')
            return std::nullopt;
    const int n = (f[1] - '0') * 100 + (f[2] - '0') * 10 + (f[3] - '0');
    if (f[0] == '+')
        return n;
    if (f[0] == '-')
        return -n;
    if (f[0] == '9')
        return -n - 1000;
    if (f[0] >= '0' && f[0] <= '8')
        return (f[0] - '0') * 1000 + n;
    return std::nullopt;
}

int DecodeDigitsAt(const FrameView& frame, std::size_t offset)
{
    return 100 * (frame.u8(offset) - '0') + 10 * (frame.u8(offset + 1) - '0') + (frame.u8(offset + 2) - '0');
}

int DecodeSettingDigits(const FrameView& reply)
{
    return DecodeDigitsAt(reply, 15);
}

int DecodeSettingReply(const FrameView& reply)
{
    const int n = DecodeDigitsAt(reply, 15);
    switch (reply.u8(14)) {
    case '-':
        return -n;
    case '9':
        return -n - 1000;
    case '1':
        return n + 1000;
    default:
        return n;
    }
}

void PutSettingFrame(FrameBuffer& request, std::uint32_t code, const SettingCommand& cmd, std::size_t clear)
{
    std::fill_n(request.begin(), std::min(clear, request.size()), std::uint8_t(0));
    FrameView f = FrameView::ofBuffer(request);
    f.setCode(code);
    f.copyIn(kSettingOffset, cmd.data(), cmd.size());
}

} // namespace trivel
