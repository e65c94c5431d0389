#pragma once
// Decoding table of one Implode tree: a root table indexed by the first
// bits of a code, with sub-tables for the codes longer than the root.

#include "BitInput.h"

#include <cstdint>
#include <memory_resource>
#include <span>
#include <vector>

namespace zip::legacy {

class CodeTable {
public:
    static constexpr int kNoSymbol = -1;
    static constexpr unsigned kMaxCodeLength = 16;
    static constexpr unsigned kMaxRootBits = 9;

    explicit CodeTable(std::pmr::memory_resource *memory) : m_entries(memory) {}

    /// Builds the canonical code of the lengths (each 1 to 16; at most 256
    /// of them) with a root of rootBits (at most kMaxRootBits), every code
    /// stored bit-inverted. False when the lengths do not form a complete
    /// code. Throws std::bad_alloc when the table cannot be allocated.
    bool build(std::span<const std::uint8_t> lengths, unsigned rootBits);

    /// Takes one code from bits; kNoSymbol when the data ends inside it.
    int decode(BitInput &bits) const;

private:
    struct Entry {
        enum Kind : std::uint8_t { Invalid, Symbol, SubTable };
        std::uint16_t value = 0; // symbol, or where the sub-table starts
        std::uint8_t bits = 0;   // bits the entry takes, or the sub-table's index bits
        Kind kind = Invalid;
    };

    std::pmr::vector<Entry> m_entries;
    unsigned m_rootBits = 0;
};

} // namespace zip::legacy
