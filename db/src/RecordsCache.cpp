#include "RecordsCache.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace db {

size_t TTextStore::allocate(size_t size)
{
    if (m_chunks.size() >= 0xFFFF)
        throw std::runtime_error("Text store full");
    m_chunks.push_back(reinterpret_cast<char *>(m_arena.allocate(size)));
    m_bytes += size;
    return m_chunks.size() - 1;
}

TTextStore::Reference TTextStore::Store(std::string_view text)
{
    if (text.empty())
        return 0;
    const size_t length = std::min<size_t>(text.size(), 0xFFFF);
    const size_t needed = kLengthBytes + length;
    size_t chunk = 0;
    size_t offset = 0;
    if (needed > kChunkSize) {
        chunk = allocate(needed);
    } else {
        if (needed > m_left) {
            m_current = allocate(kChunkSize);
            m_left = kChunkSize;
        }
        chunk = m_current;
        offset = kChunkSize - m_left;
        m_left -= needed;
    }
    char *place = m_chunks[chunk] + offset;
    const auto stored = static_cast<std::uint16_t>(length);
    std::memcpy(place, &stored, kLengthBytes);
    std::memcpy(place + kLengthBytes, text.data(), length);
    return static_cast<Reference>(((chunk + 1) << 16) | offset);
}

std::string_view TTextStore::Text(Reference reference) const
{
    if (reference == 0)
        return {};
    const char *place = m_chunks.at((reference >> 16) - 1) + (reference & 0xFFFF);
    std::uint16_t length = 0;
    std::memcpy(&length, place, kLengthBytes);
    return {place + kLengthBytes, length};
}

TRecordsCache::TRecordsCache(int rowSize, int bufferSize, int bufferChunks) : m_rowSize(rowSize)
{
    constexpr int kMinimumBlock = 1024;
    m_blockSize = bufferChunks * rowSize >= kMinimumBlock
                      ? bufferChunks * rowSize
                      : kMinimumBlock + bufferSize - kMinimumBlock % bufferSize;
    if (rowSize <= 0 || m_blockSize < rowSize)
        throw std::runtime_error("Incompatible Sizes");
    m_rowsPerBlock = m_blockSize / rowSize;
}

const std::byte *TRecordsCache::Row(int index) const
{
    if (index < 0 || index / m_rowsPerBlock >= static_cast<int>(m_blocks.size()))
        throw std::runtime_error("Can't read Buffer.Incorrect RecordNo");
    return m_blocks[index / m_rowsPerBlock] +
           static_cast<size_t>(index % m_rowsPerBlock) * m_rowSize;
}

std::byte *TRecordsCache::RowForWrite(int index)
{
    const int block = index < 0 ? -1 : index / m_rowsPerBlock;
    if (block == static_cast<int>(m_blocks.size()) && index % m_rowsPerBlock == 0)
        m_blocks.push_back(m_arena.allocate(size_t(m_blockSize))); // zero-filled
    if (block < 0 || block >= static_cast<int>(m_blocks.size()))
        throw std::runtime_error("Can't write to Buffer.Incorrect RecordNo");
    return m_blocks[block] + static_cast<size_t>(index % m_rowsPerBlock) * m_rowSize;
}

size_t TRecordsCache::Bytes() const
{
    return m_blocks.size() * static_cast<size_t>(m_blockSize) + m_texts.Bytes();
}

} // namespace db
