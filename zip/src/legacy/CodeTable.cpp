#include "CodeTable.h"

#include <algorithm>
#include <array>

namespace zip::legacy {
namespace {

std::uint32_t reversed(std::uint32_t code, unsigned length)
{
    std::uint32_t result = 0;
    for (unsigned i = 0; i < length; ++i, code >>= 1)
        result = (result << 1) | (code & 1);
    return result;
}

} // namespace

bool CodeTable::build(std::span<const std::uint8_t> lengths, unsigned rootBits)
{
    std::array<std::uint32_t, kMaxCodeLength + 1> count{};
    std::uint32_t kraft = 0;
    for (const std::uint8_t length : lengths) {
        ++count[length];
        kraft += std::uint32_t(1) << (kMaxCodeLength - length);
    }
    if (kraft != std::uint32_t(1) << kMaxCodeLength)
        return false;

    std::array<std::uint32_t, kMaxCodeLength + 1> nextCode{};
    for (unsigned length = 1, code = 0; length <= kMaxCodeLength; ++length) {
        code = (code + count[length - 1]) << 1;
        nextCode[length] = code;
    }
    // Codes as read: least significant bit first, which reverses them.
    std::array<std::uint32_t, 256> codes{};
    for (std::size_t symbol = 0; symbol < lengths.size(); ++symbol)
        codes[symbol] = reversed(nextCode[lengths[symbol]]++, lengths[symbol]);

    const std::uint32_t rootSize = std::uint32_t(1) << rootBits;
    std::array<std::uint8_t, std::size_t(1) << kMaxRootBits> longest{};
    for (std::size_t symbol = 0; symbol < lengths.size(); ++symbol)
        if (lengths[symbol] > rootBits) {
            std::uint8_t &deepest = longest[codes[symbol] & (rootSize - 1)];
            deepest = std::max(deepest, lengths[symbol]);
        }

    m_rootBits = rootBits;
    m_entries.assign(rootSize, Entry{});
    for (std::uint32_t prefix = 0; prefix < rootSize; ++prefix)
        if (longest[prefix] != 0) {
            const auto subBits = std::uint8_t(longest[prefix] - rootBits);
            m_entries[prefix] = {std::uint16_t(m_entries.size()), subBits, Entry::SubTable};
            m_entries.resize(m_entries.size() + (std::size_t(1) << subBits));
        }

    for (std::size_t symbol = 0; symbol < lengths.size(); ++symbol) {
        const unsigned length = lengths[symbol];
        const std::uint32_t code = codes[symbol];
        Entry *table = m_entries.data();
        std::uint32_t index = code;
        unsigned bits = length;
        std::uint32_t tableSize = rootSize;
        if (length > rootBits) {
            const Entry &link = m_entries[code & (rootSize - 1)];
            table += link.value;
            index = code >> rootBits;
            bits = length - rootBits;
            tableSize = std::uint32_t(1) << link.bits;
        }
        for (std::uint32_t i = index; i < tableSize; i += std::uint32_t(1) << bits)
            table[i] = {std::uint16_t(symbol), std::uint8_t(bits), Entry::Symbol};
    }
    return true;
}

int CodeTable::decode(BitInput &bits) const
{
    // The codes are stored with every bit inverted.
    const std::uint32_t code = ~bits.peek(kMaxCodeLength);
    Entry entry = m_entries[code & ((std::uint32_t(1) << m_rootBits) - 1)];
    if (entry.kind == Entry::SubTable) {
        bits.drop(m_rootBits);
        entry = m_entries[entry.value + ((code >> m_rootBits) & ((1u << entry.bits) - 1))];
    }
    if (entry.kind != Entry::Symbol)
        return kNoSymbol;
    bits.drop(entry.bits);
    return bits.ended() ? kNoSymbol : entry.value;
}

} // namespace zip::legacy
