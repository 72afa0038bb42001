#include "ReadbackBox.h"

#include "session/Dispatch.h"
#include "link/SettingCodec.h"
#include "support/Controls.h"

#include <cstdio>

namespace trivel::test {

namespace {

void Put16(std::vector<std::uint8_t>& r, std::size_t at, int v)
{
    r[at] = std::uint8_t(v);
    r[at + 1] = std::uint8_t(v >> 8);
}

void Put32(std::vector<std::uint8_t>& r, std::size_t at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        r[at + std::size_t(i)] = std::uint8_t(v >> (8 * i));
}

std::uint32_t Get32(const std::uint8_t* f, std::size_t at)
{
    return std::uint32_t(f[at]) | std::uint32_t(f[at + 1]) << 8 | std::uint32_t(f[at + 2]) << 16
        | std::uint32_t(f[at + 3]) << 24;
}

} // namespace

int BoxQueryValue(const std::string& m, int w, int model)
{
    if (m == "MDN")
        return model;
    if (m == "DMI")
        return w + 1;
    if (m == "DCM")
        return w % 2;
    if (m == "HDO")
        return (w + 1) % 3;
    static const char* items[]
        = {"PIO", "PIZ", "PIH", "PIV", "PIR", "PIT", "POR", "PLO", "PRO", "PTO", "PBO"};
    for (int i = 0; i < 11; ++i)
        if (m == items[i])
            return i < 7 ? 10 * w + i : -(100 * w + 10 * i + 1000 * (i == 10));
    return 0;
}

void ReadbackBox::attach(Session& s)
{
    s.transport = this;
    s.setFlag(Flag::Connected, true);
    s.TcpSelected = !m_usb;
    setReplySink([&s](const std::uint8_t* b, std::size_t n, bool withId) { DeliverReply(s, b, n, withId); });
}

void ReadbackBox::sendFrame(const FrameBuffer& request)
{
    if (!m_open)
        return;
    const std::uint8_t* f = request.data() + 1;
    frames.emplace_back(f, f + kTcpFrameSize);
    const std::uint32_t code = Get32(f, 4);
    char line[64];
    std::snprintf(line, sizeof line, "%04x", unsigned(code));
    std::string entry = line;
    // Appended piecewise: GCC 12 misreads `" " + std::string&&` as an overlapping copy.
    if (code == 0x1002 || code == 0x100b || code == 0x100c)
        entry.append(" ").append(reinterpret_cast<const char*>(f + 8), 10);
    else if (code == 0x1025 || code == 0x1029)
        entry.append(" ").append(std::to_string(f[12]));
    else if (code == 0x1026 || code == 0x102a)
        entry.append(" ").append(std::to_string(Get32(f, 12)));
    log.push_back(entry);

    if (code == 0x1002 && std::string(reinterpret_cast<const char*>(f + 8), 6) == "s00VKY") {
        const int v = (f[15] - '0') * 100 + (f[16] - '0') * 10 + (f[17] - '0');
        if (v >= 60 && v <= 63)
            currentWindow = v - 60;
    }
    if (code == 0x12345678 || silent)
        return;
    m_queue.push_back(reply(f));
}

int ReadbackBox::pump(int limit)
{
    int n = 0;
    while (!m_queue.empty() && n < limit) {
        std::vector<std::uint8_t> r = std::move(m_queue.front());
        m_queue.pop_front();
        ++n;
        if (!m_sink)
            continue;
        if (m_usb) {
            std::vector<std::uint8_t> report(513, 0);
            std::copy(r.begin(), r.end(), report.begin() + 1);
            m_sink(report.data(), report.size(), true);
        } else {
            m_sink(r.data(), r.size(), false);
        }
    }
    return n;
}

std::vector<std::uint8_t> ReadbackBox::reply(const std::uint8_t* f)
{
    std::vector<std::uint8_t> r(kTcpFrameSize, 0);
    const std::uint32_t code = Get32(f, 4);
    Put32(r, 4, wrongCodeFor && *wrongCodeFor == code ? code + 1 : code);
    switch (code) {
    case 0x0001:
        r[8] = 3, r[9] = 1, r[10] = 4;
        r[11] = std::uint8_t(kind.firmware >> 16), r[12] = std::uint8_t(kind.firmware >> 8);
        r[13] = std::uint8_t(kind.firmware);
        r[14] = kind.boardKind;
        r[15] = kind.key;
        Put16(r, 16, kind.frame01[0]), Put16(r, 18, kind.frame01[1]);
        Put16(r, 20, kind.frame23[0]), Put16(r, 22, kind.frame23[1]);
        r[34] = kind.mainBoardError ? 0x08 : 0x00;
        r[37] = kind.userMask;
        break;
    case 0x100c: {
        std::copy(f + 8, f + 20, r.begin() + 8);
        const std::string m(reinterpret_cast<const char*>(f + 11), 3);
        EncodeSettingValue(
            BoxQueryValue(m, currentWindow, kind.model), reinterpret_cast<char*>(r.data() + 14));
        break;
    }
    case 0x1000: // DHCP off, in-use 10.0.0.5/255.0.0.0/10.0.0.1, static 172.16.1.2/255.255.0.0/172.16.0.1
    {
        const std::uint8_t net[25]
            = {0, 10, 0, 0, 5, 255, 0, 0, 0, 10, 0, 0, 1, 172, 16, 1, 2, 255, 255, 0, 0, 172, 16, 0, 1};
        std::copy(net, net + 25, r.begin() + 24);
        break;
    }
    case 0x1001:
        for (int w = 0; w < 4; ++w) {
            const std::size_t b = 8 + 80 * std::size_t(w);
            r[b + 0] = std::uint8_t(w % 4);
            r[b + 5] = std::uint8_t(0x01 << w);
            r[b + 6] = std::uint8_t(2 + w);
            r[b + 16] = std::uint8_t(w);
            Put16(r, b + 20, 1800 + 10 * w);
            r[b + 30] = std::uint8_t(40 + w);
            Put16(r, b + 46, 2000 + w);
        }
        r[15] = std::uint8_t(currentWindow);
        if (patchWindowSettings)
            patchWindowSettings(r);
        break;
    case 0x1007:
    case 0x1008:
        for (std::size_t i = 0; i < 180; ++i)
            Put16(r, 8 + 2 * i, int(i) + (code == 0x1008 ? 1000 : 0));
        break;
    case 0x1009:
        r[8] = 1, r[9] = 2, r[10] = 3, r[11] = 4;
        for (std::size_t i = 0; i < 64; ++i)
            Put16(r, 16 + 2 * i, -int(i));
        for (std::size_t i = 0; i < 32; ++i)
            Put16(r, 144 + 2 * i, 500 + int(i));
        break;
    case 0x100a:
        for (std::size_t i = 0; i < 376; ++i)
            r[8 + i] = std::uint8_t(i);
        for (std::size_t i = 0; i < 64; ++i)
            Put16(r, 384 + 2 * i, int(i) - 32);
        break;
    case 0x1006: {
        const std::string digits
            = std::to_string(1000 + inputMask).substr(1) + "0" + std::to_string(1000 + outputMask).substr(1);
        std::copy(digits.begin(), digits.end(), r.begin() + 8);
        for (int w = 0; w < 4; ++w) {
            if (inputMask & (1 << w)) {
                Put32(r, 16 + 8 * std::size_t(w), 1920 - w);
                Put32(r, 20 + 8 * std::size_t(w), 1080 - w);
            }
            Put32(r, 48 + 8 * std::size_t(w), 640 + w);
            Put32(r, 52 + 8 * std::size_t(w), 480 + w);
            r[80 + std::size_t(w)] = (pipPresent >> w) & 1 ? 0x02 : 0x00;
        }
        break;
    }
    case 0x1025:
    case 0x1029: {
        const int slot = f[12];
        std::optional<std::uint32_t> size;
        if (code == 0x1029)
            size = colourSlotSize;
        else if (auto it = monoSlotSize.find(slot); it != monoSlotSize.end())
            size = it->second;
        if (size) {
            r[8] = 0, r[9] = code == 0x1029 ? 'C' : 'M', r[10] = 'E', r[11] = 'X';
            Put32(r, 12, *size);
            r[16] = std::uint8_t(slot);
        }
        break;
    }
    case 0x1026:
    case 0x102a:
        for (std::size_t i = 0; i < 256; ++i)
            r[8 + i] = std::uint8_t(Get32(f, 12) + i);
        break;
    default:
        break;
    }
    return r;
}

} // namespace trivel::test
