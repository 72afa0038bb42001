#include "mask/SlotCopy.h"

#include "mask/MaskState.h"

#include <algorithm>
#include <cassert>
#include <new>

namespace trivel {

namespace {

// What a copy never written reads as. In zero-filled memory that costs nothing until read.
const std::uint8_t* Zeros()
{
    alignas(64) static const std::uint8_t zeros[kColourSlotBytes] = {};
    return zeros;
}

} // namespace

SlotCopy::SlotCopy(std::size_t size)
    : m_size(size)
{
    assert(size <= kColourSlotBytes);
}

SlotCopy::SlotCopy(const SlotCopy& other)
    : m_size(other.m_size)
{
    if (other.allocated())
        std::copy_n(other.data(), m_size, writable().data());
}

SlotCopy& SlotCopy::operator=(const SlotCopy& other)
{
    if (this != &other) {
        SlotCopy copy(other);
        *this = std::move(copy);
    }
    return *this;
}

const std::uint8_t* SlotCopy::data() const
{
    return m_bytes ? m_bytes.get() : Zeros();
}

std::span<std::uint8_t> SlotCopy::writable()
{
    if (!m_bytes) {
        // calloc: fresh pages from the system come zeroed without being written.
        m_bytes.reset(static_cast<std::uint8_t*>(std::calloc(m_size, 1)));
        if (!m_bytes)
            throw std::bad_alloc();
    }
    return {m_bytes.get(), m_size};
}

void SlotCopy::clearHeader()
{
    if (m_bytes)
        std::fill_n(m_bytes.get(), std::min(m_size, kMaskHeaderBytes), std::uint8_t(0));
}

} // namespace trivel
