// Hand-made Implode streams with flat trees (every literal code 8 bits, every
// length and distance code 6 bits), and damaged tree descriptions.
#include "LegacyTestSupport.h"

#include <gtest/gtest.h>

#include "platform/UserInterface.h"

#include <memory_resource>

namespace legacy_test {
namespace {

constexpr std::uint16_t kLargeWindow = 0x02;
constexpr std::uint16_t kLiteralTree = 0x04;

// A tree of `codes` codes that all have `length` bits, in runs of 16.
Bytes flatTree(unsigned codes, unsigned length)
{
    Bytes tree = {std::uint8_t(codes / 16 - 1)};
    tree.insert(tree.end(), codes / 16, std::uint8_t(0xF0 | (length - 1)));
    return tree;
}

class ImplodeWriter {
public:
    explicit ImplodeWriter(std::uint16_t flags) : m_flags(flags)
    {
        if (m_flags & kLiteralTree)
            m_trees = flatTree(256, 8);
        const Bytes lengths = flatTree(64, 6);
        m_trees.insert(m_trees.end(), lengths.begin(), lengths.end());
        m_trees.insert(m_trees.end(), lengths.begin(), lengths.end());
    }

    ImplodeWriter &literal(std::uint8_t byte)
    {
        m_bits.bits(1, 1);
        if (m_flags & kLiteralTree)
            code(byte, 8);
        else
            m_bits.byte(byte);
        return *this;
    }

    ImplodeWriter &literals(std::string_view text)
    {
        for (const char c : text)
            literal(std::uint8_t(c));
        return *this;
    }

    ImplodeWriter &copy(unsigned distance, unsigned length)
    {
        const unsigned lowBits = (m_flags & kLargeWindow) ? 7 : 6;
        const unsigned extra = length - ((m_flags & kLiteralTree) ? 3 : 2);
        m_bits.bits(0, 1).bits((distance - 1) & ((1u << lowBits) - 1), lowBits);
        code((distance - 1) >> lowBits, 6);
        code(std::min(extra, 63u), 6);
        if (extra >= 63)
            m_bits.byte(std::uint8_t(extra - 63));
        return *this;
    }

    Bytes finish()
    {
        Bytes stream = m_trees;
        const Bytes data = m_bits.finish();
        stream.insert(stream.end(), data.begin(), data.end());
        return stream;
    }

private:
    // In a flat tree the canonical code of a symbol is the symbol itself; it
    // is stored inverted, most significant bit first.
    void code(unsigned symbol, unsigned length)
    {
        for (unsigned bit = length; bit-- > 0;)
            m_bits.bits(~(symbol >> bit) & 1u, 1);
    }

    std::uint16_t m_flags;
    Bytes m_trees;
    BitWriter m_bits;
};

Bytes explode(std::uint16_t flags, const Bytes &stream, std::uint64_t uncompressedSize)
{
    MemoryInput input(stream);
    MemoryOutput output;
    zip::legacy::WorkArea work;
    zip::legacy::explode(flags, stream.size(), uncompressedSize, input, output, work, {});
    return output.bytes();
}

struct ImplodeCase {
    std::string name;
    std::uint16_t flags;
    Bytes stream;
    Bytes expected;
};

std::ostream &operator<<(std::ostream &out, const ImplodeCase &row)
{
    return out << row.name;
}

ImplodeCase farCopy(std::uint16_t flags)
{
    ImplodeWriter writer(flags);
    Bytes expected;
    for (int i = 0; i < 300; ++i) {
        expected.push_back(std::uint8_t(i * 7 % 251));
        writer.literal(expected.back());
    }
    writer.copy(262, 5);
    for (int i = 0; i < 5; ++i)
        expected.push_back(expected[expected.size() - 262]);
    return {"FarCopyFlags" + std::to_string(flags), flags, writer.finish(), expected};
}

class ImplodeStreams : public testing::TestWithParam<ImplodeCase> {};

TEST_P(ImplodeStreams, DecodeToTheExpectedBytes)
{
    const ImplodeCase &row = GetParam();
    EXPECT_EQ(explode(row.flags, row.stream, row.expected.size()), row.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Legacy, ImplodeStreams,
    testing::Values(
        ImplodeCase{"LiteralTree", kLiteralTree | kLargeWindow,
                    ImplodeWriter(kLiteralTree | kLargeWindow).literals("Hi!").finish(),
                    bytesOf("Hi!")},
        ImplodeCase{"PlainLiterals", 0, ImplodeWriter(0).literals("Hi!").finish(), bytesOf("Hi!")},
        ImplodeCase{"OverlappingCopy", 0, ImplodeWriter(0).literals("ab").copy(2, 6).finish(),
                    bytesOf("abababab")},
        ImplodeCase{"CopyBeforeTheStartGivesZeros",
                    kLargeWindow,
                    ImplodeWriter(kLargeWindow).literals("Z").copy(200, 3).copy(3, 4).finish(),
                    {'Z', 0, 0, 0, 0, 0, 0, 0}},
        ImplodeCase{"LongLength", kLiteralTree,
                    ImplodeWriter(kLiteralTree).literals("x").copy(1, 166).finish(),
                    Bytes(167, 'x')},
        farCopy(0), farCopy(kLargeWindow), farCopy(kLiteralTree),
        farCopy(kLiteralTree | kLargeWindow)),
    [](const auto &row) { return row.param.name; });

TEST(Implode, StopsAtTheUncompressedSize)
{
    const Bytes stream = ImplodeWriter(0).literals("abcdef").finish();
    EXPECT_EQ(explode(0, stream, 4), bytesOf("abcd"));
}

TEST(Implode, StopsWhenTheDataEnds)
{
    const Bytes stream = ImplodeWriter(0).literals("abc").finish();
    EXPECT_EQ(explode(0, stream, std::uint64_t(1) << 40), bytesOf("abc"));
}

struct TreeCase {
    std::string name;
    std::uint16_t flags;
    Bytes trees;
};

std::ostream &operator<<(std::ostream &out, const TreeCase &row)
{
    return out << row.name;
}

class DamagedTrees : public testing::TestWithParam<TreeCase> {};

// The trees are followed by data that sound trees decode to many bytes.
const Bytes kData(256, 0x55);

TEST(Implode, SoundTreesDecodeTheDataOfTheDamagedTreeCases)
{
    EXPECT_EQ(explode(0, flatTree(64, 6) + flatTree(64, 6) + kData, 100).size(), 100u);
    EXPECT_EQ(
        explode(kLiteralTree, flatTree(256, 8) + flatTree(64, 6) + flatTree(64, 6) + kData, 100)
            .size(),
        100u);
}

TEST_P(DamagedTrees, ProduceNothing)
{
    EXPECT_TRUE(explode(GetParam().flags, GetParam().trees + kData, 100).empty());
}

INSTANTIATE_TEST_SUITE_P(
    Legacy, DamagedTrees,
    testing::Values(
        TreeCase{"SixtyFiveCodes", 0, Bytes{4, 0xF5, 0xF5, 0xF5, 0xF5, 0x05} + flatTree(64, 6)},
        TreeCase{"SixtyThreeCodes", 0, Bytes{3, 0xF5, 0xF5, 0xF5, 0xE5} + flatTree(64, 6)},
        TreeCase{"IncompleteCode", 0, flatTree(64, 7) + flatTree(64, 6)},
        TreeCase{"OversubscribedCode", 0, flatTree(64, 6) + flatTree(64, 5)},
        TreeCase{"LiteralTreeMissingCodes", kLiteralTree,
                 flatTree(240, 8) + flatTree(64, 6) + flatTree(64, 6)}),
    [](const auto &row) { return row.param.name; });

TEST(Implode, TreesCutShortProduceNothing)
{
    EXPECT_TRUE(explode(0, {3, 0xF5, 0xF5}, 100).empty());
}

struct RecordedMessage {
    int id = 0;
    std::string text, caption;
    unsigned flags = 0;
};

TEST(Implode, TablesThatCannotBeAllocatedAreReportedAndProduceNothing)
{
    const Bytes stream = ImplodeWriter(0).literals("abc").finish();
    MemoryInput input(stream);
    MemoryOutput output;
    zip::legacy::WorkArea work;
    std::vector<RecordedMessage> messages;
    zip::legacy::explode(
        0, stream.size(), 3, input, output, work,
        [&](const zip::legacy::UserMessage &m) {
            messages.push_back({m.id, std::string(m.text), std::string(m.caption), m.flags});
        },
        std::pmr::null_memory_resource());
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].id, 193);
    EXPECT_EQ(messages[0].text, "*** inflate out of memory ***");
    EXPECT_EQ(messages[0].caption, "Error");
    EXPECT_EQ(messages[0].flags, platform::mb::Ok);
    EXPECT_TRUE(output.bytes().empty());
}

} // namespace
} // namespace legacy_test
