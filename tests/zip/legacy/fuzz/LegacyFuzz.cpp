// Feeds arbitrary bytes to the legacy decoders. Layout of an input:
//   byte 0: the method, as (value % 6) + 1
//   byte 1: bits 0-2 the entry's general-purpose flags; bit 7 claims a
//           compressed size over 200000 bytes (the larger distance table)
//   bytes 2-4: the uncompressed size, little-endian, 20 bits used
//   the rest: the entry's compressed data
// The output side checks the size the way the reader's flush does.
#include "LegacyDecoders.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <stdexcept>

namespace {

class FuzzInput : public zip::legacy::ByteInput {
public:
    explicit FuzzInput(std::span<const std::uint8_t> bytes) : m_bytes(bytes) {}

protected:
    // Small blocks, so that block boundaries fall everywhere.
    bool refill() override
    {
        if (m_bytes.empty())
            return false;
        const std::size_t count = std::min<std::size_t>(m_bytes.size(), 61);
        setBlock(m_bytes.first(count));
        m_bytes = m_bytes.subspan(count);
        return true;
    }

private:
    std::span<const std::uint8_t> m_bytes;
};

struct TooLarge : std::exception {};

class FuzzOutput : public zip::legacy::ByteOutput {
public:
    explicit FuzzOutput(std::uint64_t expected) : ByteOutput(m_buffer), m_expected(expected) {}

protected:
    void flush(std::span<const std::uint8_t> block) override
    {
        if (m_written + block.size() > m_expected)
            throw TooLarge();
        m_written += block.size();
    }

private:
    std::uint8_t m_buffer[32768];
    std::uint64_t m_written = 0;
    const std::uint64_t m_expected;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 5)
        return 0;
    static const auto work = std::make_unique<zip::legacy::WorkArea>();
    const int method = data[0] % 6 + 1;
    const auto flags = std::uint16_t(data[1] & 0x07);
    const std::uint64_t expected =
        data[2] | std::uint64_t(data[3]) << 8 | std::uint64_t(data[4] & 0x0F) << 16;
    const std::span<const std::uint8_t> stream(data + 5, size - 5);
    const std::uint64_t compressedSize = stream.size() + ((data[1] & 0x80) ? 200000 : 0);
    FuzzInput input(stream);
    FuzzOutput output(expected);
    try {
        zip::legacy::decodeMethod(method, flags, compressedSize, expected, input, output, *work);
    } catch (const TooLarge &) {
    }
    return 0;
}
