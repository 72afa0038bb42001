#pragma once
// A mask slot's bytes as the tool keeps them: a buffer of fixed size that reads as zeros until
// something is written into it. Ten slot copies and five read buffers come to over 10 MB, and most
// sessions (the offline tools, a box without masks, every input of a fuzz run) never touch them.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <span>

namespace trivel {

class SlotCopy {
public:
    explicit SlotCopy(std::size_t size);
    SlotCopy(const SlotCopy& other);
    SlotCopy& operator=(const SlotCopy& other);
    SlotCopy(SlotCopy&&) noexcept = default;
    SlotCopy& operator=(SlotCopy&&) noexcept = default;

    std::size_t size() const { return m_size; }
    // Whether anything was ever written (and not cleared since).
    bool allocated() const { return m_bytes != nullptr; }

    // Reading never allocates: a copy never written reads as zeros.
    const std::uint8_t* data() const;
    const std::uint8_t* begin() const { return data(); }
    const std::uint8_t* end() const { return data() + m_size; }
    std::uint8_t operator[](std::size_t i) const { return data()[i]; }
    std::span<const std::uint8_t> bytes() const { return {data(), m_size}; }

    // The bytes to write into, zeroed when first asked for.
    std::span<std::uint8_t> writable();
    // All zeros again; the memory goes back.
    void clear() { m_bytes.reset(); }
    // A zero header (an empty slot), without allocating a copy never written.
    void clearHeader();

private:
    struct Free {
        void operator()(std::uint8_t* p) const { std::free(p); }
    };
    std::size_t m_size;
    std::unique_ptr<std::uint8_t[], Free> m_bytes;
};

} // namespace trivel
