#include "protocol/Request.h"

#include <algorithm>
#include <cassert>

namespace trivel {

Request::Request(std::uint32_t code, Clear clear)
    : m_code(code)
    , m_clear(clear)
{
}

Request& Request::u8(std::size_t offset, std::uint8_t v)
{
    assert(offset < kFields);
    if (offset < kFields) {
        m_bytes[offset] = v;
        m_written.set(offset);
    }
    return *this;
}

Request& Request::u16(std::size_t offset, std::uint16_t v)
{
    u8(offset, std::uint8_t(v));
    return u8(offset + 1, std::uint8_t(v >> 8));
}

Request& Request::u32(std::size_t offset, std::uint32_t v)
{
    for (std::size_t i = 0; i < 4; ++i)
        u8(offset + i, std::uint8_t(v >> (8 * i)));
    return *this;
}

Request& Request::bytes(std::size_t offset, std::span<const std::uint8_t> data)
{
    assert(offset <= kFields && data.size() <= kFields - offset);
    const std::size_t n = offset < kFields ? std::min(data.size(), kFields - offset) : 0;
    std::copy_n(data.begin(), n, m_bytes.begin() + std::ptrdiff_t(offset));
    for (std::size_t i = offset; i < offset + n; ++i)
        m_written.set(i);
    return *this;
}

Request& Request::setting(const SettingCommand& cmd)
{
    for (std::size_t i = 0; i < cmd.size(); ++i)
        u8(kSettingOffset + i, std::uint8_t(cmd[i]));
    return *this;
}

void Request::applyTo(FrameBuffer& buffer) const
{
    const std::size_t clear = std::min<std::size_t>(std::size_t(m_clear), buffer.size());
    std::fill_n(buffer.begin(), clear, std::uint8_t(0));
    FrameView f = FrameView::ofBuffer(buffer);
    f.setCode(m_code);
    if (m_written.none())
        return;
    // Runs of written fields go in at once: an upload piece writes 480 bytes in a row.
    for (std::size_t i = 0; i < kFields;) {
        if (!m_written.test(i)) {
            ++i;
            continue;
        }
        std::size_t end = i + 1;
        while (end < kFields && m_written.test(end))
            ++end;
        f.copyIn(i, m_bytes.data() + i, end - i);
        i = end;
    }
}

Request Request::fromFrame(const FrameBuffer& buffer, Clear clear)
{
    FrameBuffer copy = buffer;
    const FrameView f = FrameView::ofBuffer(copy);
    Request r(f.code(), clear);
    for (std::size_t i = 0; i < kFields; ++i)
        if (i < kCodeOffset || i >= kCodeOffset + 4)
            r.u8(i, f.u8(i));
    return r;
}

} // namespace trivel
