#pragma once
// Memory-backed input and output for the legacy decoders, a bit packer for
// hand-made streams, and the fixture list of data/streams/.

#include "Digests.h"
#include "FileContents.h"
#include "LegacyDecoders.h"

#include <cstdint>
#include <memory>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

namespace legacy_test {

using Bytes = std::vector<std::uint8_t>;

/// The two byte strings one after the other, for streams written in parts.
inline Bytes operator+(Bytes left, const Bytes &right)
{
    left.insert(left.end(), right.begin(), right.end());
    return left;
}

/// Hands out the bytes in blocks of blockSize, as the reader's input buffer does.
class MemoryInput : public zip::legacy::ByteInput {
public:
    explicit MemoryInput(Bytes bytes, std::size_t blockSize = 32768)
        : m_bytes(std::move(bytes)), m_blockSize(blockSize)
    {
    }
    /// After this many blocks, refill() throws InputFailure.
    void failAfterBlocks(std::size_t blocks) { m_failAfter = blocks; }
    std::size_t consumedBlocks() const { return m_blocks; }

protected:
    bool refill() override;

private:
    Bytes m_bytes;
    std::size_t m_blockSize;
    std::size_t m_offset = 0;
    std::size_t m_blocks = 0;
    std::size_t m_failAfter = SIZE_MAX;
};

struct InputFailure : std::runtime_error {
    InputFailure() : std::runtime_error("Premature end of file reached") {}
};
struct OutputOverflow : std::runtime_error {
    OutputOverflow() : std::runtime_error("File is larger than uncompressed size!") {}
};

/// Collects what the decoder flushes. With a limit it checks the size the
/// way the reader's flush does and throws OutputOverflow.
class MemoryOutput : public zip::legacy::ByteOutput {
public:
    explicit MemoryOutput(std::size_t bufferSize = 32768, std::uint64_t limit = UINT64_MAX)
        : MemoryOutput(std::make_unique<std::uint8_t[]>(bufferSize), bufferSize, limit)
    {
    }
    const Bytes &bytes() const { return m_bytes; }
    std::size_t flushes() const { return m_flushes; }

protected:
    void flush(std::span<const std::uint8_t> block) override;

private:
    MemoryOutput(std::unique_ptr<std::uint8_t[]> buffer, std::size_t size, std::uint64_t limit)
        : ByteOutput({buffer.get(), size}), m_buffer(std::move(buffer)), m_limit(limit)
    {
    }

    std::unique_ptr<std::uint8_t[]> m_buffer;
    std::uint64_t m_limit;
    Bytes m_bytes;
    std::size_t m_flushes = 0;
};

/// Packs fields least significant bit first, the order of all three methods.
class BitWriter {
public:
    BitWriter &bits(std::uint32_t value, unsigned count);
    BitWriter &byte(std::uint8_t value) { return bits(value, 8); }
    Bytes finish();

private:
    Bytes m_bytes;
    std::uint32_t m_pending = 0;
    unsigned m_count = 0;
};

/// One line of data/streams/streams.tsv: an entry's compressed data with
/// what it must decode to.
struct StreamFixture {
    std::string name;
    int method = 0;
    std::uint16_t flags = 0;
    std::uint64_t compressedSize = 0;
    std::uint64_t uncompressedSize = 0;
    std::uint32_t crc32 = 0;
    std::string sha256;
    /// The archive the entry comes from, relative to tests/zip.
    std::string archive;

    Bytes data() const;
};
std::ostream &operator<<(std::ostream &out, const StreamFixture &fixture);
std::vector<StreamFixture> streamFixtures();
const StreamFixture &streamFixture(const std::string &name);

using testing_support::crc32Of;
using testing_support::sha256Hex;
Bytes bytesOf(std::string_view text);

/// Runs the decoder of the fixture's method.
void decode(const StreamFixture &fixture, zip::legacy::ByteInput &input,
            zip::legacy::ByteOutput &output, zip::legacy::WorkArea &work,
            std::uint64_t compressedSize);

} // namespace legacy_test
