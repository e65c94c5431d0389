#include "FilterLexer.h"

#include "platform/Text.h"

#include <array>

namespace db::filter {
namespace {

constexpr size_t kMaxLiteralLength = 512;

// Filter text is classified by Unicode code point, as the text would be
// after conversion from the system code page.
char16_t codePoint(char c)
{
    static const std::array<char16_t, 256> points = [] {
        std::array<char16_t, 256> table{};
        for (int byte = 0; byte < 256; ++byte)
            table[size_t(byte)] = platform::ansiToUtf16(std::string(1, char(byte)))[0];
        return table;
    }();
    return points[static_cast<unsigned char>(c)];
}

bool isBlank(char c)
{
    return codePoint(c) <= u' ';
}
bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool isWordStart(char c)
{
    char16_t point = codePoint(c);
    return (point >= u'A' && point <= u'Z') || (point >= u'a' && point <= u'z') || point == u'_' ||
           (point > 128 && point < 255) || point > 255;
}

bool isWordPart(char c)
{
    return isWordStart(c) || isDigit(c) || c == '.' || c == '[' || c == ']';
}

bool sameWord(std::string_view word, std::string_view upper)
{
    return platform::upperLatin(word) == upper;
}

std::string invalidCharacter(char c)
{
    return "Invalid filter expression character: '" + std::string(1, c) + "'";
}

// The word of letters, digits and underscores at pos, for the keyword checks.
std::string_view wordAt(std::string_view text, size_t &pos)
{
    while (pos < text.size() && isBlank(text[pos]))
        ++pos;
    size_t start = pos;
    while (pos < text.size() && (isWordStart(text[pos]) || isDigit(text[pos])))
        ++pos;
    return text.substr(start, pos - start);
}

bool isSqlKeyword(std::string_view text, size_t end, std::string_view word)
{
    static constexpr std::string_view kKeywords[] = {
        "ASC", "ASCENDING", "DESC",  "DESCENDING", "SELECT", "AND",  "OR",  "LIKE",
        "IS",  "FROM",      "WHERE", "HAVING",     "UNION",  "PLAN", "NULL"};
    std::string upper = platform::upperLatin(word);
    for (auto keyword : kKeywords)
        if (upper == keyword)
            return true;
    // Two-word keywords count only with their second word.
    static constexpr std::pair<std::string_view, std::string_view> kPairs[] = {
        {"GROUP", "BY"}, {"ORDER", "BY"}, {"FOR", "UPDATE"}};
    for (auto [first, second] : kPairs)
        if (upper == first)
            return sameWord(wordAt(text, end), second);
    return false;
}

bool endsSqlToken(char c)
{
    return c == '\n' || c == '\r' || c == ' ' || c == '(' || c == ',';
}
bool isQuote(char c)
{
    return c == '"' || c == '\'' || c == '`';
}

} // namespace

std::string describe(const Token &token)
{
    return token.kind == TokenKind::End ? "nothing" : "'" + token.text + "'";
}

bool plainIdentifierFollows(std::string_view text, size_t pos)
{
    while (pos < text.size() && (text[pos] == ' ' || text[pos] == ')'))
        ++pos;
    if (pos >= text.size())
        return false;
    if (text[pos] == '.')
        return true; // a name after a full stop is always an identifier
    char first = text[pos];
    if (isDigit(first) || first == '<' || first == '=' || first == '>')
        return false; // a number or a predicate
    if (text.substr(pos, 2) == "/*" || text.substr(pos, 2) == "//")
        return false; // a comment
    size_t end = pos;
    for (; end < text.size() && !endsSqlToken(text[end]); ++end) {
        if (text[end] == '.' && end > pos)
            return false; // a table name
        if (isQuote(text[end]) && text.find(text[end], end + 1) != std::string_view::npos)
            return false; // a quoted value
    }
    return end > pos && !isSqlKeyword(text, end, text.substr(pos, end - pos));
}

std::string scanStringLiteral(std::string_view text, size_t start, size_t &end)
{
    const size_t lastApostrophe = text.rfind('\'');
    std::string literal;
    auto append = [&](char c) {
        if (literal.size() < kMaxLiteralLength)
            literal += c;
    };
    for (size_t i = start + 1; i < text.size(); ++i) {
        if (text[i] != '\'') {
            append(text[i]);
            continue;
        }
        if (i + 1 < text.size() && text[i + 1] == '\'') {
            append('\'');
            ++i;
            continue;
        }
        if (i == lastApostrophe || !plainIdentifierFollows(text, i + 1)) {
            end = i + 1;
            return literal;
        }
        append('\'');
    }
    throw FilterError("Unterminated string constant");
}

FilterLexer::FilterLexer(std::string_view text, char decimalSeparator)
    : m_text(text), m_decimalSeparator(decimalSeparator)
{
}

char FilterLexer::peekNonBlank() const
{
    size_t pos = m_pos;
    while (pos < m_text.size() && isBlank(m_text[pos]))
        ++pos;
    return pos < m_text.size() ? m_text[pos] : '\0';
}

void FilterLexer::skipBlanksAndComments()
{
    for (;;) {
        while (m_pos < m_text.size() && isBlank(m_text[m_pos]))
            ++m_pos;
        if (m_text.substr(m_pos, 2) != "/*")
            return;
        size_t close = m_text.find("*/", m_pos + 2);
        if (close == std::string_view::npos)
            throw FilterError(invalidCharacter('/'));
        m_pos = close + 2;
    }
}

bool FilterLexer::previousEndsOperand() const
{
    switch (m_previous) {
    case TokenKind::Word:
    case TokenKind::FieldName:
    case TokenKind::String:
    case TokenKind::Number:
    case TokenKind::RParen:
        return true;
    default:
        return false;
    }
}

const Token &FilterLexer::next()
{
    skipBlanksAndComments();
    m_token = Token{};
    if (m_pos >= m_text.size()) {
        m_previous = TokenKind::End;
        return m_token;
    }
    char c = m_text[m_pos];
    auto simple = [&](TokenKind kind, size_t length) {
        m_token = {kind, std::string(m_text.substr(m_pos, length))};
        m_pos += length;
    };
    switch (c) {
    case '\'': {
        size_t end = m_pos;
        m_token = {TokenKind::String, scanStringLiteral(m_text, m_pos, end)};
        m_pos = end;
        break;
    }
    case '(':
        simple(TokenKind::LParen, 1);
        break;
    case ')':
        simple(TokenKind::RParen, 1);
        break;
    case ',':
        simple(TokenKind::Comma, 1);
        break;
    case '+':
        simple(TokenKind::Plus, 1);
        break;
    case '*':
        simple(TokenKind::Star, 1);
        break;
    case '/':
        simple(TokenKind::Slash, 1);
        break;
    case '=':
        simple(TokenKind::Equal, 1);
        break;
    case '<':
        if (m_text.substr(m_pos, 2) == "<=")
            simple(TokenKind::LessEqual, 2);
        else if (m_text.substr(m_pos, 2) == "<>")
            simple(TokenKind::NotEqual, 2);
        else
            simple(TokenKind::Less, 1);
        break;
    case '>':
        if (m_text.substr(m_pos, 2) == ">=")
            simple(TokenKind::GreaterEqual, 2);
        else
            simple(TokenKind::Greater, 1);
        break;
    case '[':
        readFieldName();
        break;
    default:
        if (c == '-' && previousEndsOperand())
            simple(TokenKind::Minus, 1);
        else if (c == '-' || isDigit(c))
            readNumber();
        else if (isWordStart(c))
            readWord();
        else
            throw FilterError(invalidCharacter(c));
    }
    m_previous = m_token.kind;
    return m_token;
}

void FilterLexer::readNumber()
{
    size_t start = m_pos;
    auto numberPart = [&](char c) {
        return isDigit(c) || c == m_decimalSeparator || c == '+' || c == '-' || c == 'E' ||
               c == 'e';
    };
    while (m_pos < m_text.size() && numberPart(m_text[m_pos]))
        ++m_pos;
    // "IN (1, 2)" under a comma separator: the comma before a blank separates.
    if (m_decimalSeparator == ',' && m_text[m_pos - 1] == ',' && m_pos - start > 1 &&
        m_pos < m_text.size() && isBlank(m_text[m_pos]))
        --m_pos;
    m_token = {TokenKind::Number, std::string(m_text.substr(start, m_pos - start))};
}

void FilterLexer::readFieldName()
{
    size_t close = m_text.find(']', m_pos + 1);
    if (close == std::string_view::npos)
        throw FilterError("Unterminated field name");
    m_token = {TokenKind::FieldName, std::string(m_text.substr(m_pos + 1, close - m_pos - 1))};
    m_pos = close + 1;
}

void FilterLexer::readWord()
{
    size_t start = m_pos;
    while (m_pos < m_text.size() && isWordPart(m_text[m_pos]))
        ++m_pos;
    std::string_view word = m_text.substr(start, m_pos - start);
    m_token = {TokenKind::Word, std::string(word)};
    if (sameWord(word, "LIKE"))
        m_token.kind = TokenKind::Like;
    else if (sameWord(word, "IN"))
        m_token.kind = TokenKind::In;
    else if (sameWord(word, "IS"))
        readNullTest();
}

void FilterLexer::readNullTest()
{
    size_t pos = m_pos;
    std::string_view word = wordAt(m_text, pos);
    bool negated = sameWord(word, "NOT");
    if (negated)
        word = wordAt(m_text, pos);
    if (!sameWord(word, "NULL"))
        throw FilterError("Invalid use of keyword");
    m_token.kind = negated ? TokenKind::IsNotNull : TokenKind::IsNull;
    m_token.text = std::string(m_text.substr(m_pos - 2, pos - m_pos + 2));
    m_pos = pos;
}

} // namespace db::filter
