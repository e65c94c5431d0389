#pragma once
// Bits of an entry's compressed data, least significant bit of each byte
// first, as all three legacy methods store them.

#include "LegacyDecoders.h"

#include <cstdint>

namespace zip::legacy {

class BitInput {
public:
    explicit BitInput(ByteInput &input) : m_input(input) {}

    /// The next count (at most 25) bits without taking them; bits beyond
    /// the end of the data read as 0.
    std::uint32_t peek(unsigned count)
    {
        if (m_held < count)
            fill();
        return m_bits & ((std::uint32_t(1) << count) - 1);
    }

    /// Takes count bits. When fewer are left the end mark is set; a field
    /// cut by the end of the data is never decoded as if it were whole.
    void drop(unsigned count)
    {
        if (count > m_held) {
            m_ended = true;
            m_bits = 0;
            m_held = 0;
            return;
        }
        m_bits >>= count;
        m_held -= count;
    }

    std::uint32_t take(unsigned count)
    {
        const std::uint32_t value = peek(count);
        drop(count);
        return value;
    }

    bool ended() const { return m_ended; }

private:
    void fill()
    {
        while (m_held <= 24) {
            const int byte = m_input.next();
            if (byte == ByteInput::kEndOfInput)
                return;
            m_bits |= std::uint32_t(byte) << m_held;
            m_held += 8;
        }
    }

    ByteInput &m_input;
    std::uint32_t m_bits = 0;
    unsigned m_held = 0;
    bool m_ended = false;
};

} // namespace zip::legacy
