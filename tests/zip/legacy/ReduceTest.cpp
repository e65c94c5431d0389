// Hand-made Reduce streams: the follower sets, then the run-coded bytes
// coded by their predecessor's follower set.
#include "LegacyTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

namespace legacy_test {
namespace {

constexpr std::uint8_t kMarker = 144;

using FollowerSets = std::map<std::uint8_t, Bytes>;

Bytes reduceStream(const FollowerSets &sets, const Bytes &runCoded)
{
    BitWriter writer;
    for (int set = 255; set >= 0; --set) {
        const auto found = sets.find(std::uint8_t(set));
        const Bytes members = found == sets.end() ? Bytes{} : found->second;
        writer.bits(std::uint32_t(members.size()), 6);
        for (const std::uint8_t member : members)
            writer.byte(member);
    }
    std::uint8_t last = 0;
    for (const std::uint8_t byte : runCoded) {
        const auto found = sets.find(last);
        if (found == sets.end()) {
            writer.byte(byte);
        } else {
            const Bytes &members = found->second;
            const auto at = std::find(members.begin(), members.end(), byte);
            if (at == members.end()) {
                writer.bits(1, 1).byte(byte);
            } else {
                unsigned indexBits = 1;
                while ((1u << indexBits) < members.size())
                    ++indexBits;
                writer.bits(0, 1).bits(std::uint32_t(at - members.begin()), indexBits);
            }
        }
        last = byte;
    }
    return writer.finish();
}

// Literal bytes in run coding: a 144 in the data is sent as 144, 0.
Bytes escaped(const Bytes &data)
{
    Bytes out;
    for (const std::uint8_t byte : data) {
        out.push_back(byte);
        if (byte == kMarker)
            out.push_back(0);
    }
    return out;
}

struct ReduceCase {
    std::string name;
    int method;
    FollowerSets sets;
    Bytes runCoded;
    std::uint64_t uncompressedSize;
    Bytes expected;
};

std::ostream &operator<<(std::ostream &out, const ReduceCase &row)
{
    return out << row.name;
}

// 300 literal bytes, then a 4-byte copy from 262 back whose distance needs
// the high bits of the length byte, which sit at a different place for each
// compression factor.
ReduceCase farCopy(int method)
{
    Bytes literals;
    for (int i = 0; i < 300; ++i)
        literals.push_back(std::uint8_t(i * 7 % 251));
    const int factor = method - 1;
    const auto lengthByte = std::uint8_t((1 << (8 - factor)) | 1);
    Bytes expected = literals;
    for (int i = 0; i < 4; ++i)
        expected.push_back(expected[expected.size() - 262]);
    return {"FarCopyFactor" + std::to_string(factor),          method,          {},
            escaped(literals) + Bytes{kMarker, lengthByte, 5}, expected.size(), expected};
}

class ReduceStreams : public testing::TestWithParam<ReduceCase> {};

TEST_P(ReduceStreams, DecodeToTheExpectedBytes)
{
    const ReduceCase &row = GetParam();
    MemoryInput input(reduceStream(row.sets, row.runCoded));
    MemoryOutput output;
    zip::legacy::WorkArea work;
    zip::legacy::unReduce(row.method, row.uncompressedSize, input, output, work);
    EXPECT_EQ(output.bytes(), row.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Legacy, ReduceStreams,
    testing::Values(
        ReduceCase{
            "MarkerThenZeroIsOneMarkerByte", 2, {}, {'A', kMarker, 0, 'B'}, 3, {'A', kMarker, 'B'}},
        ReduceCase{"MarkerBytesOnly", 5, {}, {kMarker, 0, kMarker, 0}, 2, {kMarker, kMarker}},
        // Length 3 + 3 from distance 2: the copy reads what it writes.
        ReduceCase{"OverlappingCopy", 2, {}, {'A', 'B', kMarker, 3, 1}, 8, bytesOf("ABABABAB")},
        ReduceCase{"CopyBeforeTheStartGivesZeros",
                   2,
                   {},
                   {'X', 'Y', kMarker, 1, 2},
                   6,
                   {'X', 'Y', 0, 'X', 'Y', 0}},
        // Factor 4: length bits 15 (all ones) take the next byte as well: 15 + 10 + 3.
        ReduceCase{"LongLength", 5, {}, {'Q', kMarker, 0x0F, 10, 0}, 29, Bytes(29, 'Q')},
        farCopy(2), farCopy(3), farCopy(4), farCopy(5),
        // Only the set of 'A' has members, and it is read in its place
        // among the sets listed from 255 down.
        ReduceCase{"FollowerSets",
                   3,
                   {{'A', bytesOf("BCD")}},
                   bytesOf("ABACADAZ"),
                   8,
                   bytesOf("ABACADAZ")},
        ReduceCase{"StopsAtTheUncompressedSize", 2, {}, bytesOf("ABCDEF"), 3, bytesOf("ABC")},
        ReduceCase{
            "StopsWhenTheDataEnds", 2, {}, bytesOf("AB"), std::uint64_t(1) << 40, bytesOf("AB")}),
    [](const auto &row) { return row.param.name; });

TEST(Reduce, FollowerSetsCutShortGiveNothing)
{
    MemoryInput input(Bytes(20, 0xFF));
    MemoryOutput output;
    zip::legacy::WorkArea work;
    zip::legacy::unReduce(2, 100, input, output, work);
    EXPECT_TRUE(output.bytes().empty());
}

} // namespace
} // namespace legacy_test
