#pragma once
// Tokens of record filter expressions. The lexer is pulled one token at a
// time by the parser, so an error after a complete expression is reported
// as a token left over, before the rest of the text is even looked at.

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>

namespace db::filter {

/// A parse or compile error; its message is one of the filter texts.
class FilterError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum class TokenKind {
    End,
    Word,      ///< a name, keyword or function name
    FieldName, ///< a name in square brackets
    String,    ///< a string literal
    Number,    ///< a numeric literal
    LParen,
    RParen,
    Comma,
    Plus,
    Minus,
    Star,
    Slash,
    Equal,
    NotEqual,
    Less,
    LessEqual,
    Greater,
    GreaterEqual,
    Like,
    In,
    IsNull,
    IsNotNull,
};

struct Token {
    TokenKind kind = TokenKind::End;
    std::string text; ///< the literal's value, the name, or the operator as written
};

/// The token as filter messages name it: in apostrophes, or "nothing".
std::string describe(const Token &token);

class FilterLexer {
public:
    FilterLexer(std::string_view text, char decimalSeparator);

    /// Reads the next token; throws FilterError on a malformed one.
    const Token &next();
    const Token &current() const { return m_token; }
    /// The next character that is not a blank, or 0 at the end.
    char peekNonBlank() const;

private:
    void skipBlanksAndComments();
    void readNumber();
    void readWord();
    void readFieldName();
    void readNullTest();
    bool previousEndsOperand() const;

    std::string_view m_text;
    char m_decimalSeparator;
    size_t m_pos = 0;
    Token m_token;
    TokenKind m_previous = TokenKind::End;
};

/// Reads a string literal whose opening apostrophe is at `start`; returns
/// the literal and sets `end` after its closing apostrophe. An apostrophe
/// inside is doubled, or kept when a plain identifier follows it (so that
/// file names such as D'Artagnan and Co.zip need no doubling).
std::string scanStringLiteral(std::string_view text, size_t start, size_t &end);

/// Whether the SQL token that starts at `pos` (after blanks and closing
/// parentheses) is a plain identifier.
bool plainIdentifierFollows(std::string_view text, size_t pos);

} // namespace db::filter
