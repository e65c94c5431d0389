// Hand-made Shrink streams: codes of 9 bits unless widened, least significant bit first.
#include "LegacyTestSupport.h"

#include <gtest/gtest.h>

namespace legacy_test {
namespace {

constexpr std::uint32_t kControl = 256;

struct ShrinkCase {
    std::string name;
    std::vector<std::pair<std::uint32_t, unsigned>> codes; // value, bit width
    std::string expected;
};

std::ostream &operator<<(std::ostream &out, const ShrinkCase &row)
{
    return out << row.name;
}

std::vector<std::pair<std::uint32_t, unsigned>> nineBit(std::initializer_list<std::uint32_t> codes)
{
    std::vector<std::pair<std::uint32_t, unsigned>> result;
    for (const std::uint32_t code : codes)
        result.emplace_back(code, 9);
    return result;
}

std::vector<std::pair<std::uint32_t, unsigned>> widenedPastThirteenBits()
{
    std::vector<std::pair<std::uint32_t, unsigned>> codes = {{'A', 9}};
    for (unsigned width = 9; width <= 13; ++width) {
        codes.emplace_back(kControl, width);
        codes.emplace_back(1, width);
    }
    codes.emplace_back('B', 13);
    return codes;
}

class ShrinkStreams : public testing::TestWithParam<ShrinkCase> {};

TEST_P(ShrinkStreams, DecodeToTheExpectedBytes)
{
    BitWriter writer;
    for (const auto &[code, width] : GetParam().codes)
        writer.bits(code, width);
    MemoryInput input(writer.finish());
    MemoryOutput output;
    zip::legacy::WorkArea work;
    zip::legacy::unShrink(input, output, work);
    EXPECT_EQ(std::string(output.bytes().begin(), output.bytes().end()), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Legacy, ShrinkStreams,
    testing::Values(
        // 257 is read while it is being defined: the previous string plus its first byte.
        ShrinkCase{"CodeBeingDefined", nineBit({'a', 257, 'a'}), "aaaa"},
        ShrinkCase{"StringCodes", nineBit({'A', 'B', 257, 258}), "ABABBA"},
        ShrinkCase{"UnknownSubCodeIgnored", nineBit({'A', kControl, 3, 'B', 257}), "ABAB"},
        ShrinkCase{"WiderCodes", {{'A', 9}, {kControl, 9}, {1, 9}, {'B', 10}, {257, 10}}, "ABAB"},
        // 257 (AB) is the prefix of 260 (ABC) and stays; 258-260 are freed and
        // reused from the lowest: 258 becomes CD, 259 becomes DA.
        ShrinkCase{"PartialClear",
                   nineBit({'A', 'B', 'C', 257, 'C', kControl, 2, 'D', 257, 258, 259}),
                   "ABCABCDABCDDA"},
        // The first clear keeps 257 (prefix of 261) and 260 (prefix of 262) and
        // frees 258, 259, 261, 262. The second sees only the codes below the
        // first free one, 258: it frees 257 but leaves 260 (DA) defined.
        ShrinkCase{
            "PartialClearLeavesCodesAboveTheFirstFree",
            nineBit({'A', 'B', 'C', 'D', 257, 260, 'E', kControl, 2, kControl, 2, 'F', 260, 257}),
            "ABCDABDAEFDAEF"},
        ShrinkCase{"EmptyData", {}, ""},
        // Faults stop the decoding; what was decoded before stays.
        ShrinkCase{"CodesWiderThanThirteenBits", widenedPastThirteenBits(), "A"},
        ShrinkCase{"FreePreviousCode", nineBit({300, 301, 'B'}), ","},
        // The clear frees 257 while it is the previous code, so the next
        // definition makes 257 its own prefix.
        ShrinkCase{"PrefixCycle", nineBit({'A', 'B', 257, kControl, 2, 'C', 257, 'D'}), "ABABC"}),
    [](const auto &row) { return row.param.name; });

} // namespace
} // namespace legacy_test
