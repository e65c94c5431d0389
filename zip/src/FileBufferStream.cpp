#include "FileBufferStream.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace zip {

std::unique_ptr<TFileBufferStream>
TFileBufferStream::open(std::string_view path, platform::File::Mode mode, bool flushOnClose)
{
    std::optional<platform::File> file = platform::File::open(path, mode);
    if (!file)
        return nullptr;
    return std::unique_ptr<TFileBufferStream>(
        new TFileBufferStream(std::move(*file), flushOnClose));
}

TFileBufferStream::TFileBufferStream(platform::File file, bool flushOnClose)
    : m_file(std::move(file)), m_flushOnClose(flushOnClose), m_buffer(kBufferSize)
{
}

TFileBufferStream::~TFileBufferStream()
{
    // A failure of this last write cannot be reported from here; writers
    // that care call close() themselves.
    close();
}

bool TFileBufferStream::close()
{
    if (!m_file.isOpen())
        return true;
    bool written = writePending();
    if (m_flushOnClose && m_wroteAnything)
        m_file.flush();
    m_file.close();
    return written;
}

bool TFileBufferStream::writePending()
{
    if (m_writeLength == 0)
        return true;
    size_t length = std::exchange(m_writeLength, 0);
    if (m_filePosition != m_bufferStart && !m_file.seek(m_bufferStart))
        return false;
    m_filePosition = m_bufferStart;
    if (!m_file.write(m_buffer.data(), length))
        return false;
    m_filePosition += length;
    m_wroteAnything = true;
    return true;
}

size_t TFileBufferStream::read(void *buffer, size_t size)
{
    if (!writePending())
        return 0;
    auto *out = static_cast<uint8_t *>(buffer);
    size_t done = 0;
    while (done < size) {
        if (m_position >= m_bufferStart && m_position < m_bufferStart + m_readLength) {
            size_t offset = size_t(m_position - m_bufferStart);
            size_t take = std::min(size - done, m_readLength - offset);
            std::memcpy(out + done, m_buffer.data() + offset, take);
            done += take;
            m_position += take;
            continue;
        }
        if (m_filePosition != m_position && !m_file.seek(m_position))
            break;
        m_filePosition = m_position;
        if (size - done >= kBufferSize) {
            // Large requests bypass the buffer.
            size_t got = m_file.read(out + done, size - done);
            m_filePosition += got;
            m_position += got;
            done += got;
            break;
        }
        m_bufferStart = m_position;
        m_readLength = m_file.read(m_buffer.data(), kBufferSize);
        m_filePosition += m_readLength;
        if (m_readLength == 0)
            break;
    }
    return done;
}

bool TFileBufferStream::write(const void *buffer, size_t size)
{
    m_readLength = 0;
    if (m_writeLength > 0 && m_bufferStart + m_writeLength != m_position && !writePending())
        return false;
    if (m_writeLength == 0)
        m_bufferStart = m_position;
    if (m_writeLength + size > kBufferSize) {
        if (!writePending())
            return false;
        if (size >= kBufferSize) {
            if (m_filePosition != m_position && !m_file.seek(m_position))
                return false;
            m_filePosition = m_position;
            if (!m_file.write(buffer, size))
                return false;
            m_filePosition += size;
            m_position += size;
            m_wroteAnything = true;
            return true;
        }
        m_bufferStart = m_position;
    }
    std::memcpy(m_buffer.data() + m_writeLength, buffer, size);
    m_writeLength += size;
    m_position += size;
    return true;
}

bool TFileBufferStream::seek(uint64_t position)
{
    if (position == m_position)
        return true;
    if (!writePending())
        return false;
    m_position = position;
    return true;
}

uint64_t TFileBufferStream::size()
{
    writePending();
    return m_file.size().value_or(0);
}

std::optional<platform::FileStamp> TFileBufferStream::stamp()
{
    writePending();
    return m_file.stamp();
}

bool TFileBufferStream::resize(uint64_t size)
{
    return writePending() && m_file.resize(size);
}

} // namespace zip
