#pragma once
// The circular history of the window-based decoders (Reduce, Implode). Every
// decoded byte goes through it; a full window is handed to the output.

#include "LegacyDecoders.h"

#include <algorithm>
#include <cstdint>
#include <span>

namespace zip::legacy {

class HistoryWindow {
public:
    /// bytes: the window's memory, a power of two in size and larger than
    /// any distance of the method; it is zeroed here, so that a copy reaching
    /// back before the entry's first byte yields zeros.
    HistoryWindow(std::span<std::uint8_t> bytes, ByteOutput &output)
        : m_bytes(bytes), m_mask(bytes.size() - 1), m_output(output)
    {
        std::fill(m_bytes.begin(), m_bytes.end(), std::uint8_t(0));
    }

    void put(std::uint8_t byte)
    {
        m_bytes[m_position] = byte;
        m_position = (m_position + 1) & m_mask;
        ++m_produced;
        if (m_position == 0)
            m_output.write(m_bytes);
    }

    /// Byte by byte, so that a copy may overlap its own output.
    void copy(std::size_t distance, unsigned length)
    {
        std::size_t from = (m_position - distance) & m_mask;
        while (length-- > 0) {
            put(m_bytes[from]);
            from = (from + 1) & m_mask;
        }
    }

    std::uint64_t produced() const { return m_produced; }

    /// Hands the bytes not yet handed over to the output.
    void finish() { m_output.write(m_bytes.first(m_position)); }

private:
    std::span<std::uint8_t> m_bytes;
    const std::size_t m_mask;
    ByteOutput &m_output;
    std::size_t m_position = 0;
    std::uint64_t m_produced = 0;
};

} // namespace zip::legacy
