// Format notes: Implode (method 6)
//
// LZ77 with a 4 KiB or 8 KiB window (flag bit 1) whose fields are coded by
// two or three prefix-code trees. The data opens with the trees, byte
// aligned: the literal tree (256 codes, only when flag bit 2 is set), the
// length tree (64 codes) and the distance tree (64 codes). Each tree is one
// byte holding the number of bytes that follow minus 1; each of those bytes
// gives, in its high nibble plus 1, how many consecutive codes share the bit
// length in its low nibble plus 1. The lengths must cover the tree exactly
// and form a complete code.
//
// Codes are assigned canonically (shorter lengths first, equal lengths in
// symbol order) and stored with every bit inverted; the bit stream is read
// least significant bit first.
//
// Then, until the uncompressed size is reached: a 1 bit introduces a literal
// (a literal-tree code, or 8 plain bits without that tree); a 0 bit a copy:
// the low 6 (4 KiB) or 7 (8 KiB) bits of the distance, a distance-tree code
// for its high bits, and a length-tree code, where 63 means 8 more plain bits
// are added. The copy is that length plus 2 (plus 3 with a literal tree)
// bytes from the distance plus 1 back. Bytes before the start of the entry
// read as 0. Bytes after the last field are ignored.

#include "BitInput.h"
#include "CodeTable.h"
#include "HistoryWindow.h"
#include "LegacyDecoders.h"
#include "platform/UserInterface.h"

#include <algorithm>
#include <array>
#include <new>

namespace zip::legacy {
namespace {

constexpr std::size_t kWindowSize = 32768;
constexpr std::uint16_t kLargeWindowFlag = 0x02;
constexpr std::uint16_t kLiteralTreeFlag = 0x04;
constexpr unsigned kLiteralRootBits = 9;
constexpr unsigned kLengthRootBits = 7;
constexpr std::uint64_t kLargeEntry = 200000;
constexpr int kLongLength = 63;

static_assert(kWindowSize <= WorkArea::kSize);

// Reads one tree description into lengths; false when it is cut short or
// does not describe exactly lengths.size() codes.
bool readTree(ByteInput &input, std::span<std::uint8_t> lengths)
{
    const int first = input.next();
    if (first == ByteInput::kEndOfInput)
        return false;
    std::size_t filled = 0;
    for (int remaining = first + 1; remaining > 0; --remaining) {
        const int byte = input.next();
        if (byte == ByteInput::kEndOfInput)
            return false;
        const std::size_t count = std::size_t(byte >> 4) + 1;
        if (count > lengths.size() - filled)
            return false;
        std::fill_n(lengths.begin() + std::ptrdiff_t(filled), count,
                    std::uint8_t((byte & 0x0F) + 1));
        filled += count;
    }
    return filled == lengths.size();
}

class Exploder {
public:
    Exploder(std::uint16_t flags, std::uint64_t compressedSize, std::uint64_t expected,
             ByteInput &input, ByteOutput &output, WorkArea &work,
             std::pmr::memory_resource *tableMemory)
        : m_literalTree((flags & kLiteralTreeFlag) != 0),
          m_lowDistanceBits((flags & kLargeWindowFlag) != 0 ? 7 : 6),
          m_distanceRootBits(compressedSize > kLargeEntry ? 8 : 7), m_expected(expected),
          m_input(input), m_bits(input),
          m_window({reinterpret_cast<std::uint8_t *>(work.bytes), kWindowSize}, output),
          m_literals(tableMemory), m_lengths(tableMemory), m_distances(tableMemory)
    {
    }

    // Builds the tables; false when a tree is invalid. Throws std::bad_alloc.
    bool readTrees()
    {
        std::array<std::uint8_t, 256> literalLengths{};
        std::array<std::uint8_t, 64> lengthLengths{};
        std::array<std::uint8_t, 64> distanceLengths{};
        return (!m_literalTree || readTree(m_input, literalLengths)) &&
               readTree(m_input, lengthLengths) && readTree(m_input, distanceLengths) &&
               (!m_literalTree || m_literals.build(literalLengths, kLiteralRootBits)) &&
               m_lengths.build(lengthLengths, kLengthRootBits) &&
               m_distances.build(distanceLengths, m_distanceRootBits);
    }

    void run()
    {
        const unsigned minimumMatch = m_literalTree ? 3 : 2;
        while (m_window.produced() < m_expected) {
            const bool literal = m_bits.take(1) == 1;
            if (m_bits.ended())
                break;
            if (literal) {
                const int byte = m_literalTree ? m_literals.decode(m_bits) : int(m_bits.take(8));
                if (byte == CodeTable::kNoSymbol || m_bits.ended())
                    break;
                m_window.put(std::uint8_t(byte));
                continue;
            }
            const std::uint32_t low = m_bits.take(m_lowDistanceBits);
            const int high = m_distances.decode(m_bits);
            if (high == CodeTable::kNoSymbol)
                break;
            int length = m_lengths.decode(m_bits);
            if (length == kLongLength)
                length += int(m_bits.take(8));
            if (length == CodeTable::kNoSymbol || m_bits.ended())
                break;
            // A copy never runs past the entry's size: the entry ends there.
            const std::uint64_t wanted = unsigned(length) + minimumMatch;
            m_window.copy((std::size_t(high) << m_lowDistanceBits) + low + 1,
                          unsigned(std::min(wanted, m_expected - m_window.produced())));
        }
        m_window.finish();
    }

private:
    const bool m_literalTree;
    const unsigned m_lowDistanceBits;
    const unsigned m_distanceRootBits;
    const std::uint64_t m_expected;
    ByteInput &m_input;
    BitInput m_bits;
    HistoryWindow m_window;
    CodeTable m_literals;
    CodeTable m_lengths;
    CodeTable m_distances;
};

} // namespace

void explode(std::uint16_t flags, std::uint64_t compressedSize, std::uint64_t uncompressedSize,
             ByteInput &input, ByteOutput &output, WorkArea &work, const MessageReport &report,
             std::pmr::memory_resource *tableMemory)
{
    Exploder exploder(flags, compressedSize, uncompressedSize, input, output, work, tableMemory);
    bool treesValid = false;
    try {
        treesValid = exploder.readTrees();
    } catch (const std::bad_alloc &) {
        if (report)
            report({193, "*** inflate out of memory ***", "Error", platform::mb::Ok});
        return;
    }
    if (treesValid)
        exploder.run();
    output.flushBuffer();
}

} // namespace zip::legacy
