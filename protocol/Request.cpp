#include "protocol/Request.h"

#include <algorithm>
#include <bit>
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
        m_written[offset / 64] |= std::uint64_t(1) << (offset % 64);
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
    mark(offset, n);
    return *this;
}

void Request::mark(std::size_t offset, std::size_t n)
{
    for (std::size_t i = offset, end = offset + n; i < end;) {
        const std::size_t bit = i % 64;
        const std::size_t take = std::min<std::size_t>(64 - bit, end - i);
        const std::uint64_t ones = take == 64 ? ~std::uint64_t(0) : (std::uint64_t(1) << take) - 1;
        m_written[i / 64] |= ones << bit;
        i += take;
    }
}

std::size_t Request::next(std::size_t from, bool written) const
{
    for (std::size_t i = from; i < kFields;) {
        const std::uint64_t word = written ? m_written[i / 64] : ~m_written[i / 64];
        // Bits shifted in from above are zero: "none here", and the scan goes on in the next word.
        const std::uint64_t rest = word >> (i % 64);
        if (rest != 0)
            return std::min(kFields, i + std::size_t(std::countr_zero(rest)));
        i = (i / 64 + 1) * 64;
    }
    return kFields;
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
    // Runs of written fields go in at once: an upload piece writes 480 bytes in a row.
    for (std::size_t i = next(0, true); i < kFields; i = next(i, true)) {
        const std::size_t end = next(i, false);
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
