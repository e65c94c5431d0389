#include "platform/Text.h"

#include <gtest/gtest.h>

#include <string>

using namespace platform;

namespace {

// "Привет, Ёж" in the three single-byte code pages and in UTF-8.
const std::string kAnsi = "\xCF\xF0\xE8\xE2\xE5\xF2, \xA8\xE6";
const std::string kOem = "\x8F\xE0\xA8\xA2\xA5\xE2, \xF0\xA6";
const std::string kKoi8 = "\xF0\xD2\xC9\xD7\xC5\xD4, \xB3\xD6";
const std::string kUtf8 = "Привет, Ёж";

TEST(Text, EveryAnsiByteSurvivesUtf8AndUtf16)
{
    std::string all;
    for (int byte = 1; byte < 256; ++byte)
        all += char(byte);
    std::string back;
    EXPECT_TRUE(utf8ToAnsiExact(ansiToUtf8(all), back));
    EXPECT_EQ(back, all);
    EXPECT_EQ(utf16ToAnsi(ansiToUtf16(all)), all);
}

TEST(Text, CyrillicConvertsFromEveryCodePage)
{
    EXPECT_EQ(ansiToUtf8(kAnsi), kUtf8);
    EXPECT_EQ(utf8ToAnsi(kUtf8), kAnsi);
    EXPECT_EQ(oemToAnsi(kOem), kAnsi);
    EXPECT_EQ(koi8rToAnsi(kKoi8), kAnsi);
    EXPECT_EQ(ansiToKoi8r(kAnsi), kKoi8);
    EXPECT_EQ(ansiToUtf16(kAnsi), u"Привет, Ёж");
}

struct Unmappable {
    const char *name;
    std::string utf8;
    std::string ansi;
};

std::ostream &operator<<(std::ostream &out, const Unmappable &row)
{
    return out << row.name;
}

class UnmappableText : public testing::TestWithParam<Unmappable> {};

TEST_P(UnmappableText, BecomesQuestionMarks)
{
    std::string ansi;
    EXPECT_FALSE(utf8ToAnsiExact(GetParam().utf8, ansi));
    EXPECT_EQ(ansi, GetParam().ansi);
}

INSTANTIATE_TEST_SUITE_P(Text, UnmappableText,
                         testing::Values(Unmappable{"latin_umlaut", "a\xC3\xA4z", "a?z"},
                                         Unmappable{"cjk", "\xE4\xB8\xAD.zip", "?.zip"},
                                         Unmappable{"emoji_is_one_character", "\xF0\x9F\x98\x80!",
                                                    "?!"},
                                         Unmappable{"stray_continuation_byte", "a\x80z", "a?z"},
                                         Unmappable{"truncated_sequence", "ab\xD0", "ab?"},
                                         Unmappable{"overlong_slash", "\xC0\xAF", "??"},
                                         Unmappable{"surrogate_half", "\xED\xA0\x80", "???"}),
                         [](const auto &row) { return std::string(row.param.name); });

TEST(Text, Utf16SurrogatePairIsOneQuestionMark)
{
    EXPECT_EQ(utf16ToAnsi(u"a\U0001F600b"), "a?b");
}

TEST(Text, KoiLacksSomeAnsiCharacters)
{
    // The euro sign and the Ukrainian ї exist in 1251 but not in KOI8-R.
    EXPECT_EQ(ansiToKoi8r("\x88\xBF"), "??");
}

TEST(Text, UpperLatinLeavesCyrillicAlone)
{
    EXPECT_EQ(upperLatin("abc.fb2 \xE0\xB8"), "ABC.FB2 \xE0\xB8");
}

TEST(Text, LocaleCasingCoversCyrillicAndYo)
{
    EXPECT_EQ(upperAnsi("ab \xE0\xFF\xB8"), "AB \xC0\xDF\xA8");
    EXPECT_EQ(lowerAnsi("AB \xC0\xDF\xA8"), "ab \xE0\xFF\xB8");
}

struct Comparison {
    std::string a, b;
    int sign;
};

std::ostream &operator<<(std::ostream &out, const Comparison &row)
{
    return out << ansiToUtf8(row.a) << " vs " << ansiToUtf8(row.b);
}

class InsensitiveComparison : public testing::TestWithParam<Comparison> {};

TEST_P(InsensitiveComparison, OrdersIgnoringCase)
{
    const auto &row = GetParam();
    int result = compareTextInsensitive(row.a, row.b);
    EXPECT_EQ((result > 0) - (result < 0), row.sign);
    EXPECT_EQ(sameTextInsensitive(row.a, row.b), row.sign == 0);
}

INSTANTIATE_TEST_SUITE_P(
    Text, InsensitiveComparison,
    testing::Values(Comparison{"Book.ZIP", "book.zip", 0},
                    Comparison{"\xCA\xED\xE8\xE3\xE0", "\xEA\xCD\xC8\xC3\xC0", 0}, // Книга / кНИГА
                    Comparison{"\xA8\xEB\xEA\xE0", "\xB8\xCB\xCA\xC0", 0}, // Ёлка / ёЛКА
                    Comparison{"\xC5", "\xA8", 1}, // Е and Ё are different letters
                    Comparison{"a", "B", -1}, Comparison{"ab", "AB c", -1}, Comparison{"", "", 0}));

} // namespace

namespace {

struct WildcardCase {
    std::string text, pattern;
    bool ignoreCase, matches;
};

std::ostream &operator<<(std::ostream &out, const WildcardCase &row)
{
    return out << row.text << " ~ " << row.pattern;
}

class WildcardMatching : public testing::TestWithParam<WildcardCase> {};

TEST_P(WildcardMatching, MatchesTheWholeText)
{
    const auto &row = GetParam();
    EXPECT_EQ(platform::matchesWildcards(row.text, row.pattern, {'%', '_', row.ignoreCase}),
              row.matches);
}

INSTANTIATE_TEST_SUITE_P(Text, WildcardMatching,
                         testing::Values(WildcardCase{"book.zip", "%.zip", false, true},
                                         WildcardCase{"book.zip", "b__k%", false, true},
                                         WildcardCase{"book.zip", "%.ZIP", false, false},
                                         WildcardCase{"book.zip", "%.ZIP", true, true},
                                         WildcardCase{"\xCA\xED\xE8\xE3\xE0", "\xEA%", true, true},
                                         WildcardCase{"aaa", "a%a%a%a", false, false},
                                         WildcardCase{"abcabd", "%ab_", false, true},
                                         WildcardCase{"", "%", false, true},
                                         WildcardCase{"", "_", false, false},
                                         WildcardCase{"x", "", false, false}));

TEST(Text, WildcardWorkStaysBounded)
{
    // Backtracking to every run wildcard would take astronomically long here.
    std::string text(5000, 'a');
    std::string pattern;
    for (int i = 0; i < 200; ++i)
        pattern += "%a";
    EXPECT_FALSE(platform::matchesWildcards(text + "b", pattern + "c", {'%', '_', false}));
}

} // namespace

namespace {

TEST(Text, TrimBlanksTakesControlsAndBlanksFromBothEndsOnly)
{
    EXPECT_EQ(platform::trimBlanks(" \t\r\n a b \x01\x1f "), "a b");
    EXPECT_EQ(platform::trimBlanks("\xa0x\xa0"), "\xa0x\xa0"); // 1251's no-break space stays
    EXPECT_EQ(platform::trimBlanks("   "), "");
    EXPECT_EQ(platform::trimBlanks(""), "");
}

} // namespace
