#pragma once
// Decoders of the three oldest ZIP compression methods: Shrink (1), Reduce (2
// to 5) and Implode (6). The archive reader calls one of them for an entry once
// the output file is created and the archive is positioned at the entry's
// data. Compressed bytes come from a ByteInput, decoded bytes leave through a
// ByteOutput; both are implemented by the reader and may throw its
// exceptions, which pass through the decoders untouched. The decoders
// themselves never throw on bad data: they stop, and the reader rejects the
// entry by its CRC.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory_resource>
#include <span>
#include <string_view>

namespace zip::legacy {

/// The compression methods these decoders handle; every other method is the
/// reader's own or unknown.
constexpr int kShrunk = 1;
constexpr int kReducedFirst = 2; ///< compression factor 1
constexpr int kReducedLast = 5;  ///< compression factor 4
constexpr int kImploded = 6;
constexpr bool isLegacyMethod(int method)
{
    return method >= kShrunk && method <= kImploded;
}

/// Scratch memory of the decoders (tables and history window), allocated once
/// per extraction run and reused by every entry.
struct WorkArea {
    static constexpr std::size_t kSize = 32780;
    alignas(4) std::byte bytes[kSize];
};
static_assert(sizeof(WorkArea) == WorkArea::kSize);

/// The compressed bytes of one entry, taken one at a time.
class ByteInput {
public:
    static constexpr int kEndOfInput = -1;

    virtual ~ByteInput() = default;

    /// The next compressed byte (0-255), or kEndOfInput once the entry's
    /// compressed data is used up. Throws whatever refill() throws.
    int next()
    {
        if (m_position == m_block.size() && !refill())
            return kEndOfInput;
        return m_block[m_position++];
    }

protected:
    /// Makes the next block of the entry's compressed data current through
    /// setBlock(); false when none is left. May throw.
    virtual bool refill() = 0;

    /// The bytes next() hands out until it calls refill() again.
    void setBlock(std::span<const std::uint8_t> block)
    {
        m_block = block;
        m_position = 0;
    }

private:
    std::span<const std::uint8_t> m_block;
    std::size_t m_position = 0;
};

/// The reader's output buffer: decoded bytes collect in it and are handed
/// to flush() whenever it is full and when the decoder finishes.
class ByteOutput {
public:
    /// buffer: where decoded bytes collect (the reader's output buffer); not empty.
    explicit ByteOutput(std::span<std::uint8_t> buffer) : m_buffer(buffer) {}
    virtual ~ByteOutput() = default;

    void put(std::uint8_t byte)
    {
        m_buffer[m_count++] = byte;
        if (m_count == m_buffer.size())
            flushBuffer();
    }
    /// Throws whatever flush() throws.
    void write(std::span<const std::uint8_t> bytes);
    /// Hands the collected bytes, if any, to flush(). Throws whatever flush() throws.
    void flushBuffer();

protected:
    /// Takes a block of decoded bytes (never empty): the reader's size check,
    /// CRC update and write. May throw.
    virtual void flush(std::span<const std::uint8_t> block) = 0;

private:
    std::span<std::uint8_t> m_buffer;
    std::size_t m_count = 0;
};

/// A message for the user. The reader passes it to its OnHandleMessage hook,
/// or shows it in a platform message box when the hook is not assigned.
struct UserMessage {
    int id;
    std::string_view text;
    std::string_view caption;
    unsigned flags; // platform::mb button set
};
using MessageReport = std::function<void(const UserMessage &)>;

/// Method 1. Decodes until the compressed data ends, whatever the entry's
/// uncompressed size (the reader's flush catches too much output).
void unShrink(ByteInput &input, ByteOutput &output, WorkArea &work);

/// Methods 2 to 5 (compression factors 1 to 4). Decodes until
/// uncompressedSize bytes are produced or the compressed data ends.
void unReduce(int method, std::uint64_t uncompressedSize, ByteInput &input, ByteOutput &output,
              WorkArea &work);

/// Method 6. flags: the entry's general-purpose flags (bit 1: 8 KiB window,
/// bit 2: literal tree). compressedSize chooses the size of the distance
/// table. Decodes until uncompressedSize bytes are produced, the compressed
/// data ends, or a tree or code is invalid. When the code tables cannot be
/// allocated from tableMemory, reports "*** inflate out of memory ***" through
/// report and stops.
void explode(std::uint16_t flags, std::uint64_t compressedSize, std::uint64_t uncompressedSize,
             ByteInput &input, ByteOutput &output, WorkArea &work, const MessageReport &report,
             std::pmr::memory_resource *tableMemory = std::pmr::get_default_resource());

/// The decoder of method (1 to 6) with what each needs of the entry; report
/// is used by Implode alone. Throws std::invalid_argument for other methods.
void decodeMethod(int method, std::uint16_t flags, std::uint64_t compressedSize,
                  std::uint64_t uncompressedSize, ByteInput &input, ByteOutput &output,
                  WorkArea &work, const MessageReport &report = {});

} // namespace zip::legacy
