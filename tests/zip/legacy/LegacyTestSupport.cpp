#include "LegacyTestSupport.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>

namespace legacy_test {

bool MemoryInput::refill()
{
    if (m_offset == m_bytes.size())
        return false;
    if (m_blocks == m_failAfter)
        throw InputFailure();
    const std::size_t count = std::min(m_blockSize, m_bytes.size() - m_offset);
    setBlock({m_bytes.data() + m_offset, count});
    m_offset += count;
    ++m_blocks;
    return true;
}

void MemoryOutput::flush(std::span<const std::uint8_t> block)
{
    if (m_bytes.size() + block.size() > m_limit)
        throw OutputOverflow();
    m_bytes.insert(m_bytes.end(), block.begin(), block.end());
    ++m_flushes;
}

BitWriter &BitWriter::bits(std::uint32_t value, unsigned count)
{
    for (unsigned i = 0; i < count; ++i) {
        m_pending |= ((value >> i) & 1u) << m_count;
        if (++m_count == 8) {
            m_bytes.push_back(std::uint8_t(m_pending));
            m_pending = 0;
            m_count = 0;
        }
    }
    return *this;
}

Bytes BitWriter::finish()
{
    if (m_count > 0)
        m_bytes.push_back(std::uint8_t(m_pending));
    m_pending = 0;
    m_count = 0;
    return std::move(m_bytes);
}

Bytes StreamFixture::data() const
{
    return readFile(std::string(LEGACY_DATA_DIR) + "/streams/" + name + ".bin");
}

std::ostream &operator<<(std::ostream &out, const StreamFixture &fixture)
{
    return out << fixture.name << " (method " << fixture.method << ", flags " << fixture.flags
               << ")";
}

std::vector<StreamFixture> streamFixtures()
{
    std::ifstream list(std::string(LEGACY_DATA_DIR) + "/streams/streams.tsv");
    std::vector<StreamFixture> fixtures;
    std::string line;
    while (std::getline(list, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        std::istringstream fields(line);
        StreamFixture fixture;
        std::string crc;
        fields >> fixture.name >> fixture.method >> fixture.flags >> fixture.compressedSize >>
            fixture.uncompressedSize >> crc >> fixture.sha256;
        fixture.crc32 = std::uint32_t(std::stoul(crc, nullptr, 16));
        fixtures.push_back(fixture);
    }
    return fixtures;
}

const StreamFixture &streamFixture(const std::string &name)
{
    static const std::vector<StreamFixture> fixtures = streamFixtures();
    const auto found = std::find_if(fixtures.begin(), fixtures.end(),
                                    [&](const StreamFixture &f) { return f.name == name; });
    if (found == fixtures.end())
        throw std::runtime_error("no stream fixture " + name);
    return *found;
}

Bytes readFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

std::uint32_t crc32Of(const Bytes &bytes)
{
    return std::uint32_t(::crc32(0, bytes.data(), uInt(bytes.size())));
}

Bytes bytesOf(std::string_view text)
{
    return Bytes(text.begin(), text.end());
}

namespace {

constexpr std::array<std::uint32_t, 64> kRoundConstants = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

std::uint32_t rotr(std::uint32_t value, unsigned count)
{
    return (value >> count) | (value << (32 - count));
}

void compress(std::array<std::uint32_t, 8> &state, const std::uint8_t *block)
{
    std::array<std::uint32_t, 64> w{};
    for (int i = 0; i < 16; ++i)
        w[i] = std::uint32_t(block[4 * i]) << 24 | std::uint32_t(block[4 * i + 1]) << 16 |
               std::uint32_t(block[4 * i + 2]) << 8 | block[4 * i + 3];
    for (int i = 16; i < 64; ++i) {
        const std::uint32_t s0 = rotr(w[i - 15], 7) ^ rotr(w[i - 15], 18) ^ (w[i - 15] >> 3);
        const std::uint32_t s1 = rotr(w[i - 2], 17) ^ rotr(w[i - 2], 19) ^ (w[i - 2] >> 10);
        w[i] = w[i - 16] + s0 + w[i - 7] + s1;
    }
    auto [a, b, c, d, e, f, g, h] = state;
    for (int i = 0; i < 64; ++i) {
        const std::uint32_t t1 = h + (rotr(e, 6) ^ rotr(e, 11) ^ rotr(e, 25)) +
                                 ((e & f) ^ (~e & g)) + kRoundConstants[i] + w[i];
        const std::uint32_t t2 =
            (rotr(a, 2) ^ rotr(a, 13) ^ rotr(a, 22)) + ((a & b) ^ (a & c) ^ (b & c));
        h = g;
        g = f;
        f = e;
        e = d + t1;
        d = c;
        c = b;
        b = a;
        a = t1 + t2;
    }
    const std::array<std::uint32_t, 8> add = {a, b, c, d, e, f, g, h};
    for (int i = 0; i < 8; ++i)
        state[i] += add[i];
}

} // namespace

std::string sha256Hex(const Bytes &bytes)
{
    std::array<std::uint32_t, 8> state = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                          0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
    Bytes padded = bytes;
    padded.push_back(0x80);
    while (padded.size() % 64 != 56)
        padded.push_back(0);
    const std::uint64_t bitLength = std::uint64_t(bytes.size()) * 8;
    for (int shift = 56; shift >= 0; shift -= 8)
        padded.push_back(std::uint8_t(bitLength >> shift));
    for (std::size_t offset = 0; offset < padded.size(); offset += 64)
        compress(state, padded.data() + offset);
    std::string hex;
    for (const std::uint32_t word : state) {
        char part[9];
        std::snprintf(part, sizeof part, "%08x", word);
        hex += part;
    }
    return hex;
}

void decode(const StreamFixture &fixture, zip::legacy::ByteInput &input,
            zip::legacy::ByteOutput &output, zip::legacy::WorkArea &work,
            std::uint64_t compressedSize)
{
    switch (fixture.method) {
    case 1:
        zip::legacy::unShrink(input, output, work);
        break;
    case 2:
    case 3:
    case 4:
    case 5:
        zip::legacy::unReduce(fixture.method, fixture.uncompressedSize, input, output, work);
        break;
    case 6:
        zip::legacy::explode(fixture.flags, compressedSize, fixture.uncompressedSize, input, output,
                             work, {});
        break;
    default:
        throw std::runtime_error("not a legacy method");
    }
}

} // namespace legacy_test
