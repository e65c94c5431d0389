#include "LegacyDecoders.h"

#include <algorithm>

namespace zip::legacy {

void ByteOutput::write(std::span<const std::uint8_t> bytes)
{
    while (!bytes.empty()) {
        const std::size_t count = std::min(bytes.size(), m_buffer.size() - m_count);
        std::copy_n(bytes.begin(), count, m_buffer.begin() + std::ptrdiff_t(m_count));
        m_count += count;
        bytes = bytes.subspan(count);
        if (m_count == m_buffer.size())
            flushBuffer();
    }
}

void ByteOutput::flushBuffer()
{
    if (m_count == 0)
        return;
    const std::size_t count = m_count;
    // Emptied first: after a throwing flush the buffer must not be handed out twice.
    m_count = 0;
    flush(m_buffer.first(count));
}

} // namespace zip::legacy
