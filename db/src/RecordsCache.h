#pragma once
// The record cache of a dataset: fixed-size rows in zero-filled blocks
// allocated as rows arrive, and a store for the long texts that rows keep
// out of line, so that no row reserves a long column's declared length.

#include "platform/MemoryArena.h"

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace db {

/// Texts stored once and never moved. A row keeps a 4-byte reference:
/// the chunk number (from 1) in the high half and the offset within the
/// chunk in the low half; 0 stands for the empty text. Each text is
/// preceded by its 16-bit length, enough for any CHAR or VARCHAR.
class TTextStore {
public:
    using Reference = std::uint32_t;
    /// Throws std::runtime_error "Text store full" past 65,535 chunks.
    Reference Store(std::string_view text);
    std::string_view Text(Reference reference) const;
    size_t Bytes() const { return m_bytes; }

private:
    static constexpr size_t kChunkSize = 64 * 1024;
    static constexpr size_t kLengthBytes = 2;
    size_t allocate(size_t size);

    platform::MemoryArena m_arena;
    std::vector<char *> m_chunks;
    size_t m_current = 0; ///< the chunk being filled; longer texts get chunks of their own
    size_t m_left = 0;
    size_t m_bytes = 0;
};

class TRecordsCache {
public:
    /// `bufferSize` is the size of a full record buffer: the row plus room
    /// for its long texts. Throws std::runtime_error "Incompatible Sizes"
    /// when a block cannot hold one row.
    TRecordsCache(int rowSize, int bufferSize, int bufferChunks);

    int RowSize() const { return m_rowSize; }
    /// Throws std::runtime_error "Can't read Buffer.Incorrect RecordNo"
    /// outside the allocated blocks.
    const std::byte *Row(int index) const;
    /// The zero-filled slot of a row; a new block is allocated when `index`
    /// is the first row of the next block. Throws std::runtime_error "Can't
    /// write to Buffer.Incorrect RecordNo" for any other row outside.
    std::byte *RowForWrite(int index);
    TTextStore &Texts() { return m_texts; }
    const TTextStore &Texts() const { return m_texts; }
    size_t TextBytes() const { return m_texts.Bytes(); }
    /// Memory held by blocks and texts.
    size_t Bytes() const;

private:
    int m_rowSize;
    int m_blockSize;
    int m_rowsPerBlock;
    platform::MemoryArena m_arena;
    std::vector<std::byte *> m_blocks;
    TTextStore m_texts;
};

} // namespace db
