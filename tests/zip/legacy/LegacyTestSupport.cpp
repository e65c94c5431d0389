#include "LegacyTestSupport.h"

#include <algorithm>
#include <fstream>
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
    const std::string bytes =
        testing_support::readFile(std::string(LEGACY_DATA_DIR) + "/streams/" + name + ".bin");
    return Bytes(bytes.begin(), bytes.end());
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
            fixture.uncompressedSize >> crc >> fixture.sha256 >> fixture.archive;
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

Bytes bytesOf(std::string_view text)
{
    return Bytes(text.begin(), text.end());
}

void decode(const StreamFixture &fixture, zip::legacy::ByteInput &input,
            zip::legacy::ByteOutput &output, zip::legacy::WorkArea &work,
            std::uint64_t compressedSize)
{
    zip::legacy::decodeMethod(fixture.method, fixture.flags, compressedSize,
                              fixture.uncompressedSize, input, output, work);
}

} // namespace legacy_test
