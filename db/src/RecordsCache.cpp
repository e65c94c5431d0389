#include "RecordsCache.h"

#include <cstring>
#include <stdexcept>

namespace db {

char *TTextStore::allocate(size_t size)
{
    m_chunks.push_back(std::make_unique_for_overwrite<char[]>(size));
    m_bytes += size;
    return m_chunks.back().get();
}

std::string_view TTextStore::Store(std::string_view text)
{
    if (text.empty())
        return {};
    char *place = nullptr;
    if (text.size() > kChunkSize) {
        place = allocate(text.size());
    } else {
        if (text.size() > m_left) {
            m_current = allocate(kChunkSize);
            m_left = kChunkSize;
        }
        place = m_current + (kChunkSize - m_left);
        m_left -= text.size();
    }
    std::memcpy(place, text.data(), text.size());
    return {place, text.size()};
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
    return m_blocks[index / m_rowsPerBlock].get() +
           static_cast<size_t>(index % m_rowsPerBlock) * m_rowSize;
}

std::byte *TRecordsCache::RowForWrite(int index)
{
    const int block = index < 0 ? -1 : index / m_rowsPerBlock;
    if (block == static_cast<int>(m_blocks.size()) && index % m_rowsPerBlock == 0)
        m_blocks.push_back(std::make_unique<std::byte[]>(m_blockSize)); // zero-filled
    if (block < 0 || block >= static_cast<int>(m_blocks.size()))
        throw std::runtime_error("Can't write to Buffer.Incorrect RecordNo");
    return m_blocks[block].get() + static_cast<size_t>(index % m_rowsPerBlock) * m_rowSize;
}

size_t TRecordsCache::Bytes() const
{
    return m_blocks.size() * static_cast<size_t>(m_blockSize) + m_texts.Bytes();
}

} // namespace db
