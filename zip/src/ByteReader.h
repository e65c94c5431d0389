#pragma once
// Little-endian fields out of bytes read from an archive. ByteReader never
// reads past its end: a field that does not fit reads as 0 and marks the
// reader as failed.

#include <cstddef>
#include <cstdint>
#include <span>

namespace zip {

class ByteReader {
public:
    explicit ByteReader(std::span<const uint8_t> bytes) : m_bytes(bytes) {}

    uint16_t u16() { return uint16_t(take(2)); }
    uint32_t u32() { return uint32_t(take(4)); }
    uint64_t u64() { return take(8); }
    void skip(size_t count)
    {
        if (count > remaining()) {
            m_failed = true;
            m_position = m_bytes.size();
        } else {
            m_position += count;
        }
    }
    size_t remaining() const { return m_bytes.size() - m_position; }
    bool failed() const { return m_failed; }

private:
    uint64_t take(size_t count)
    {
        if (count > remaining()) {
            m_failed = true;
            m_position = m_bytes.size();
            return 0;
        }
        uint64_t value = 0;
        for (size_t i = 0; i < count; ++i)
            value |= uint64_t(m_bytes[m_position + i]) << (8 * i);
        m_position += count;
        return value;
    }

    std::span<const uint8_t> m_bytes;
    size_t m_position = 0;
    bool m_failed = false;
};

} // namespace zip
