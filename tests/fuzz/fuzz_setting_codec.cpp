// The setting-command codec on a query reply: the value field as the box wrote it.
//
// The input is the reply frame itself, held in a buffer of exactly its size, so a read past
// the end is a sanitizer finding rather than a zero from the padding. The first four bytes also
// give an int for the encoder, whose round trip through the decoder must hold wherever the
// decode is defined (-1999..1999).

#include "protocol/Frame.h"
#include "protocol/SettingCodec.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

using namespace trivel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    auto bytes = std::make_unique<std::uint8_t[]>(size);
    if (size)
        std::memcpy(bytes.get(), data, size);
    const FrameView reply(bytes.get(), size);

    const int value = DecodeSettingReply(reply);
    const int digits = DecodeSettingDigits(reply);
    (void)DecodeDigitsAt(reply, 8);
    // Offsets up to and past the end, and ones whose +1, +2 wrap around.
    (void)DecodeDigitsAt(reply, reply.u16(0));
    (void)DecodeDigitsAt(reply, SIZE_MAX - reply.u8(2));
    // Plain digits and signs decode inside the documented range.
    bool plain = reply.fits(14, 4);
    for (std::size_t i = 15; plain && i < 18; ++i)
        plain = reply.u8(i) >= '0' && reply.u8(i) <= '9';
    if (plain && (digits < 0 || digits > 999 || value < -1999 || value > 1999))
        std::abort();

    // The encoder writes exactly its four characters, whatever the value.
    const int v = reply.i32(0);
    auto field = std::make_unique<char[]>(4);
    EncodeSettingValue(v, field.get());
    if (v >= -1999 && v <= 1999) {
        std::uint8_t frame[20] = {};
        std::memcpy(frame + 14, field.get(), 4);
        if (DecodeSettingReply(FrameView(frame, sizeof frame)) != v)
            std::abort();
    }
    return 0;
}
