#pragma once
// Ways the simulated box can misbehave, so the tool can be driven against a broken box. The
// model shapes reply content (random, extreme, flood); the server shapes the transport
// (segments, shortclose, noread). A box that never answers is BoxModel::silentAfter = 0.

#include <cstdint>
#include <optional>
#include <string_view>

namespace trivel::sim {

enum class Hostile {
    None,
    Random, // every reply is 512 random bytes, its code included
    Extreme, // replies keep their code but carry extreme field values
    Flood, // every reply is followed by duplicates and unsolicited frames
    Segments, // every reply is written one byte at a time
    ShortClose, // a reply is cut short and the connection closed
    NoRead, // requests are never read once the connection is accepted
    MaskSize, // mask slot headers claim a stream far larger than any slot
};

inline std::optional<Hostile> parseHostile(std::string_view name)
{
    struct Row {
        std::string_view name;
        Hostile mode;
    };
    static constexpr Row kRows[] = {{"none", Hostile::None}, {"random", Hostile::Random},
        {"extreme", Hostile::Extreme}, {"flood", Hostile::Flood}, {"segments", Hostile::Segments},
        {"shortclose", Hostile::ShortClose}, {"noread", Hostile::NoRead},
        {"masksize", Hostile::MaskSize}};
    for (const Row& r : kRows)
        if (r.name == name)
            return r.mode;
    return std::nullopt;
}

// splitmix64: a small, seedable stream, so a hostile run can be repeated byte for byte.
class HostileRandom {
public:
    HostileRandom(std::uint64_t seed, std::uint64_t stream)
        : m_state(seed ^ (stream * 0xD1B54A32D192ED03ull))
    {
    }
    std::uint64_t next()
    {
        std::uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    std::uint32_t below(std::uint32_t n) { return n == 0 ? 0 : std::uint32_t(next() % n); }

private:
    std::uint64_t m_state;
};

} // namespace trivel::sim
