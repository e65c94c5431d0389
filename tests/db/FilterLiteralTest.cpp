#include "FilterLexer.h"

#include <gtest/gtest.h>

using namespace db::filter;

namespace {

struct LiteralCase {
    const char *name;
    std::string text;    // starts with the opening apostrophe
    std::string literal; // expected value, or the error message
    std::string rest;    // what follows the literal
};

std::ostream &operator<<(std::ostream &out, const LiteralCase &row)
{
    return out << row.name;
}

class StringLiterals : public testing::TestWithParam<LiteralCase> {};

TEST_P(StringLiterals, EndWhereTheApostropheRuleSays)
{
    const auto &row = GetParam();
    size_t end = 0;
    try {
        EXPECT_EQ(scanStringLiteral(row.text, 0, end), row.literal);
        EXPECT_EQ(row.text.substr(end), row.rest);
    } catch (const FilterError &error) {
        EXPECT_EQ(error.what(), row.literal);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Filter, StringLiterals,
    testing::Values(LiteralCase{"plain", "'a.zip'", "a.zip", ""},
                    LiteralCase{"doubled", "'It''s.zip' AND X", "It's.zip", " AND X"},
                    LiteralCase{"word_and_blank_follow", "'D'Artagnan and Co.zip'",
                                "D'Artagnan and Co.zip", ""},
                    LiteralCase{"word_runs_into_full_stop", "'O'Brien.zip'", "O", "Brien.zip'"},
                    LiteralCase{"last_apostrophe_ends", "'a'", "a", ""},
                    LiteralCase{"keyword_follows", "'a' AND B = 'c'", "a", " AND B = 'c'"},
                    LiteralCase{"two_word_keyword", "'a' ORDER BY x'", "a", " ORDER BY x'"},
                    LiteralCase{"order_without_by", "'a' ORDER x'", "a' ORDER x", ""},
                    LiteralCase{"parentheses_skipped", "'a') OR B = 'c'", "a", ") OR B = 'c'"},
                    LiteralCase{"number_follows", "'a'1 x'", "a", "1 x'"},
                    LiteralCase{"predicate_follows", "'a'= 'b'", "a", "= 'b'"},
                    LiteralCase{"comment_follows", "'a'/* c */ 'b'", "a", "/* c */ 'b'"},
                    LiteralCase{"quoted_value_follows", "'a'\"q\" x'", "a", "\"q\" x'"},
                    LiteralCase{"after_full_stop_is_identifier", "'a'.x y'", "a'.x y", ""},
                    LiteralCase{"tab_belongs_to_token", "'a'b\tc.d'", "a", "b\tc.d'"},
                    LiteralCase{"unterminated", "'abc", "Unterminated string constant", ""},
                    LiteralCase{"empty", "''", "", ""},
                    LiteralCase{"long_literal_is_cut", "'" + std::string(600, 'x') + "'",
                                std::string(512, 'x'), ""}),
    [](const auto &row) { return std::string(row.param.name); });

TEST(FilterLexer, TokensAndTheirErrors)
{
    FilterLexer lexer("FILENAME <> 'x' /* note */ AND [BOOK ID] >= -1,5 IS NOT NULL", ',');
    std::vector<TokenKind> kinds;
    for (lexer.next(); lexer.current().kind != TokenKind::End; lexer.next())
        kinds.push_back(lexer.current().kind);
    EXPECT_EQ(kinds, (std::vector<TokenKind>{TokenKind::Word, TokenKind::NotEqual,
                                             TokenKind::String, TokenKind::Word,
                                             TokenKind::FieldName, TokenKind::GreaterEqual,
                                             TokenKind::Number, TokenKind::IsNotNull}));

    for (auto [text, message] : std::initializer_list<std::pair<const char *, const char *>>{
             {"a ! b", "Invalid filter expression character: '!'"},
             {"a /* open", "Invalid filter expression character: '/'"},
             {"[open", "Unterminated field name"},
             {"a IS nothing", "Invalid use of keyword"},
             {"a IS NOT x", "Invalid use of keyword"}}) {
        FilterLexer failing(text, '.');
        try {
            while (failing.next().kind != TokenKind::End) {
            }
            ADD_FAILURE() << text;
        } catch (const FilterError &error) {
            EXPECT_STREQ(error.what(), message) << text;
        }
    }
}

TEST(FilterLexer, HyphenIsSubtractionOnlyAfterAnOperand)
{
    FilterLexer lexer("A -1 - -2", '.');
    EXPECT_EQ(lexer.next().kind, TokenKind::Word);
    EXPECT_EQ(lexer.next().kind, TokenKind::Minus);
    EXPECT_EQ(lexer.next().text, "1");
    EXPECT_EQ(lexer.next().kind, TokenKind::Minus);
    EXPECT_EQ(lexer.next().text, "-2");
}

} // namespace
