// Format notes: Shrink (method 1)
//
// Shrink is LZW over bytes with codes of 9 to 13 bits, packed least
// significant bit first. Codes 0-255 stand for their byte; 256 is a control
// code; 257 and up name strings that both sides define as they go: after
// every code but the first, the lowest free code is given the previous code's
// string followed by the first byte of the current code's string. No end
// code exists: the data simply ends.
//
// The control code is followed by a sub-code: 1 widens every later code by
// one bit; 2 clears part of the table: of the codes below the next free one,
// those that no other of them uses as its prefix become free again, and new
// strings then fill the freed codes from the lowest up. Any other sub-code is
// ignored.
//
// A code that is free when it is read is the one about to be defined: the
// previous string followed by that string's own first byte.
//
// Bad data can name free codes, build prefix cycles or ask for codes wider
// than 13 bits; every string is decoded on a stack no deeper than the table,
// and decoding stops at the first such fault.

#include "BitInput.h"
#include "LegacyDecoders.h"

#include <new>

namespace zip::legacy {
namespace {

constexpr unsigned kControlCode = 256;
constexpr unsigned kFirstStringCode = 257;
constexpr unsigned kCodeLimit = 8192;
constexpr unsigned kInitialCodeSize = 9;
constexpr unsigned kMaxCodeSize = 13;
constexpr unsigned kWiderCodes = 1;
constexpr unsigned kPartialClear = 2;
constexpr std::int16_t kFree = -1;

struct ShrinkTables {
    // parent[kCodeLimit] stays free so the search for a free code always ends.
    std::int16_t parent[kCodeLimit + 1];
    std::uint8_t suffix[kCodeLimit];
    // Holds a string while it is decoded, and the marks of a partial clear.
    std::uint8_t stack[kCodeLimit];
};
static_assert(sizeof(ShrinkTables) <= WorkArea::kSize);

class Unshrinker {
public:
    Unshrinker(ByteInput &input, ByteOutput &output, WorkArea &work)
        : m_bits(input), m_output(output), m_tables(*new (work.bytes) ShrinkTables)
    {
        for (unsigned code = kFirstStringCode; code <= kCodeLimit; ++code)
            m_tables.parent[code] = kFree;
    }

    void run()
    {
        unsigned code = m_bits.take(m_codeSize);
        if (m_bits.ended())
            return;
        m_firstByte = std::uint8_t(code);
        m_output.put(m_firstByte);
        m_previous = code;
        for (;;) {
            code = m_bits.take(m_codeSize);
            if (m_bits.ended())
                return;
            if (code == kControlCode) {
                if (!control())
                    return;
                continue;
            }
            if (!emitString(code))
                return;
            defineNextCode();
            m_previous = code;
        }
    }

private:
    bool isFree(unsigned code) const
    {
        return code >= kFirstStringCode && m_tables.parent[code] == kFree;
    }

    bool control()
    {
        const unsigned subCode = m_bits.take(m_codeSize);
        if (m_bits.ended())
            return false;
        if (subCode == kWiderCodes) {
            if (m_codeSize == kMaxCodeSize)
                return false;
            ++m_codeSize;
        } else if (subCode == kPartialClear) {
            partialClear();
        }
        return true;
    }

    // Writes the string of code; false when the table cannot give one.
    bool emitString(unsigned code)
    {
        std::uint8_t *const stack = m_tables.stack;
        unsigned depth = 0;
        if (isFree(code)) {
            stack[depth++] = m_firstByte;
            code = m_previous;
        }
        while (code >= kFirstStringCode) {
            // One place stays for the string's first byte.
            if (isFree(code) || depth + 1 == kCodeLimit)
                return false;
            stack[depth++] = m_tables.suffix[code];
            code = unsigned(m_tables.parent[code]);
        }
        m_firstByte = std::uint8_t(code);
        stack[depth++] = m_firstByte;
        while (depth > 0)
            m_output.put(stack[--depth]);
        return true;
    }

    void defineNextCode()
    {
        if (m_nextFree >= kCodeLimit)
            return;
        m_tables.parent[m_nextFree] = std::int16_t(m_previous);
        m_tables.suffix[m_nextFree] = m_firstByte;
        do
            ++m_nextFree;
        while (m_tables.parent[m_nextFree] != kFree);
    }

    // Frees the codes below the next free one that none of them uses as a
    // prefix; codes in use above it are left as they are.
    void partialClear()
    {
        std::uint8_t *const unused = m_tables.stack;
        for (unsigned code = kFirstStringCode; code < m_nextFree; ++code)
            unused[code] = 1;
        for (unsigned code = kFirstStringCode; code < m_nextFree; ++code) {
            const auto parent = unsigned(m_tables.parent[code]);
            if (parent >= kFirstStringCode && parent < m_nextFree)
                unused[parent] = 0;
        }
        for (unsigned code = kFirstStringCode; code < m_nextFree; ++code)
            if (unused[code])
                m_tables.parent[code] = kFree;
        m_nextFree = kFirstStringCode;
        while (m_tables.parent[m_nextFree] != kFree)
            ++m_nextFree;
    }

    BitInput m_bits;
    ByteOutput &m_output;
    ShrinkTables &m_tables;
    unsigned m_codeSize = kInitialCodeSize;
    unsigned m_nextFree = kFirstStringCode;
    unsigned m_previous = 0;
    std::uint8_t m_firstByte = 0;
};

} // namespace

void unShrink(ByteInput &input, ByteOutput &output, WorkArea &work)
{
    Unshrinker(input, output, work).run();
    output.flushBuffer();
}

} // namespace zip::legacy
