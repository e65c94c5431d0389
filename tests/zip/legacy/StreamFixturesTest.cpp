// The entries of the legacy archives of the ZIP test set, and the made
// streams beside them (data/streams/, written by make_fixtures.py).
#include "LegacyTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>

namespace legacy_test {
namespace {

using zip::legacy::WorkArea;

struct Decoded {
    Bytes bytes;
    std::size_t flushes = 0;
};

Decoded decodeFixture(const StreamFixture &fixture, const Bytes &data, std::size_t blockSize,
                      std::size_t bufferSize, WorkArea &work)
{
    MemoryInput input(data, blockSize);
    MemoryOutput output(bufferSize, fixture.uncompressedSize);
    decode(fixture, input, output, work, fixture.compressedSize);
    return {output.bytes(), output.flushes()};
}

class StreamFixtures : public testing::TestWithParam<StreamFixture> {};

TEST_P(StreamFixtures, DecodeToTheExpectedBytes)
{
    const StreamFixture &fixture = GetParam();
    const Bytes data = fixture.data();
    ASSERT_EQ(data.size(), fixture.compressedSize);
    auto work = std::make_unique<WorkArea>();
    const Decoded decoded = decodeFixture(fixture, data, 32768, 32768, *work);
    EXPECT_EQ(decoded.bytes.size(), fixture.uncompressedSize);
    EXPECT_EQ(crc32Of(decoded.bytes), fixture.crc32);
    EXPECT_EQ(sha256Hex(decoded.bytes), fixture.sha256);
    // Full output blocks only, then the rest.
    EXPECT_EQ(decoded.flushes, (fixture.uncompressedSize + 32767) / 32768);
}

// The work area keeps whatever the previous entry left in it, and input and
// output come in blocks of any size.
TEST_P(StreamFixtures, DecodeTheSameFromAUsedWorkAreaInOddBlocks)
{
    const StreamFixture &fixture = GetParam();
    auto work = std::make_unique<WorkArea>();
    std::memset(work->bytes, 0xA5, sizeof work->bytes);
    const Decoded decoded = decodeFixture(fixture, fixture.data(), 1, 7, *work);
    EXPECT_EQ(sha256Hex(decoded.bytes), fixture.sha256);
}

// Data that ends early gives the part of the output it holds, and no more.
TEST_P(StreamFixtures, StopAtAPrefixOfTheOutputWhenTheDataIsCut)
{
    const StreamFixture &fixture = GetParam();
    const Bytes data = fixture.data();
    auto work = std::make_unique<WorkArea>();
    const Bytes whole = decodeFixture(fixture, data, 32768, 32768, *work).bytes;
    for (const std::size_t cut : {data.size() / 3, data.size() / 2, data.size() - 1}) {
        const Bytes part(data.begin(), data.begin() + std::ptrdiff_t(cut));
        const Bytes decoded = decodeFixture(fixture, part, 32768, 32768, *work).bytes;
        EXPECT_LT(decoded.size(), whole.size()) << "cut at " << cut;
        EXPECT_TRUE(std::equal(decoded.begin(), decoded.end(), whole.begin())) << "cut at " << cut;
    }
}

TEST_P(StreamFixtures, PassOnTheInputsException)
{
    const StreamFixture &fixture = GetParam();
    MemoryInput input(fixture.data(), 64);
    input.failAfterBlocks(2);
    MemoryOutput output;
    auto work = std::make_unique<WorkArea>();
    EXPECT_THROW(decode(fixture, input, output, *work, fixture.compressedSize), InputFailure);
}

TEST_P(StreamFixtures, PassOnTheOutputsException)
{
    const StreamFixture &fixture = GetParam();
    MemoryInput input(fixture.data());
    MemoryOutput output(32768, fixture.uncompressedSize - 1);
    auto work = std::make_unique<WorkArea>();
    EXPECT_THROW(decode(fixture, input, output, *work, fixture.compressedSize), OutputOverflow);
}

INSTANTIATE_TEST_SUITE_P(Legacy, StreamFixtures, testing::ValuesIn(streamFixtures()),
                         [](const auto &row) {
                             std::string name = row.param.name;
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

// Only the first-level size of the distance table depends on the compressed
// size; the big stream decodes the same with the smaller table.
TEST(ImplodeTableSize, LargeEntryDecodesTheSameWithEitherDistanceTable)
{
    const StreamFixture &fixture = streamFixture("made-implode-large");
    ASSERT_GT(fixture.compressedSize, 200000u);
    const Bytes data = fixture.data();
    auto work = std::make_unique<WorkArea>();
    for (const std::uint64_t compressedSize : {fixture.compressedSize, std::uint64_t(200000)}) {
        MemoryInput input(data);
        MemoryOutput output;
        decode(fixture, input, output, *work, compressedSize);
        EXPECT_EQ(sha256Hex(output.bytes()), fixture.sha256) << compressedSize;
    }
}

} // namespace
} // namespace legacy_test
