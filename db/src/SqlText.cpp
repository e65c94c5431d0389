#include "SqlText.h"

#include <algorithm>
#include <array>

namespace db::sql {

namespace {

char upper(char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool isBlank(char c)
{
    return c == '\t' || c == '\n' || c == '\r' || c == ' ';
}

// What may follow a keyword; the end of the text counts as NUL.
bool isDelimiter(char c)
{
    return c == '\0' || isBlank(c) || c == '"' || c == '(' || c == '-' || c == '/' || c == ';';
}

// What may stand before a keyword.
bool isBoundary(char c)
{
    return isBlank(c) || c == '"' || c == ')';
}

char at(std::string_view text, size_t pos)
{
    return pos < text.size() ? text[pos] : '\0';
}

bool wordAt(std::string_view text, size_t pos, std::string_view word)
{
    if (pos + word.size() > text.size())
        return false;
    for (size_t i = 0; i < word.size(); ++i)
        if (upper(text[pos + i]) != word[i])
            return false;
    return true;
}

// The word at pos, preceded by a boundary and followed by a delimiter.
bool keywordAt(std::string_view text, size_t pos, std::string_view word)
{
    return pos > 0 && isBoundary(text[pos - 1]) && wordAt(text, pos, word) &&
           isDelimiter(at(text, pos + word.size()));
}

size_t skipBlanksAndComments(std::string_view text, size_t pos)
{
    while (pos < text.size()) {
        if (isBlank(text[pos])) {
            ++pos;
        } else if (text.substr(pos, 2) == "/*") {
            const size_t end = text.find("*/", pos + 2);
            pos = end == std::string_view::npos ? text.size() : end + 2;
        } else if (text.substr(pos, 2) == "--") {
            const size_t end = text.find_first_of("\r\n", pos + 2);
            pos = end == std::string_view::npos ? text.size() : end;
        } else {
            break;
        }
    }
    return pos;
}

// The first word after blanks and comments, followed by a delimiter.
bool startsWithWord(std::string_view text, size_t pos, std::string_view word)
{
    return wordAt(text, pos, word) && isDelimiter(at(text, pos + word.size()));
}

} // namespace

TStatementKind ClassifyStatement(std::string_view text)
{
    const size_t pos = skipBlanksAndComments(text, 0);
    struct Keyword {
        std::string_view word;
        TStatementKind kind;
    };
    static constexpr std::array<Keyword, 11> kKeywords{{
        {"SELECT", skSelect},
        {"UPDATE", skUpdate},
        {"INSERT", skInsert},
        {"DELETE", skDelete},
        {"ALTER", skDDL},
        {"CREATE", skDDL},
        {"COMMENT", skDDL},
        {"DECLARE", skDDL},
        {"DROP", skDDL},
        {"RECREATE", skDDL},
        {"EXECUTE", skOther},
    }};
    for (const Keyword &keyword : kKeywords) {
        if (!startsWithWord(text, pos, keyword.word))
            continue;
        if (keyword.word != "EXECUTE")
            return keyword.kind;
        const size_t next = skipBlanksAndComments(text, pos + keyword.word.size());
        if (startsWithWord(text, next, "PROCEDURE"))
            return skExecuteProcedure;
        if (startsWithWord(text, next, "BLOCK"))
            return skExecuteBlock;
        return skOther;
    }
    if (startsWithWord(text, pos, "SET")) {
        const size_t next = skipBlanksAndComments(text, pos + 3);
        if (startsWithWord(text, next, "GENERATOR"))
            return skDDL;
    }
    return skOther;
}

namespace {

constexpr char kMacroCharacter = '@';

// Walks a text over its strings, quoted names and comments; the callback
// sees every character that stands outside them.
enum class Region { Code, Apostrophes, Quotes, BlockComment, LineComment };

bool isNameChar(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '$' || static_cast<unsigned char>(c) >= 128;
}

} // namespace

bool HasParameterMarkers(std::string_view text)
{
    Region region = Region::Code;
    for (size_t i = 1; i < text.size(); ++i) {
        const char c = text[i];
        switch (region) {
        case Region::Code:
            if (c == '\'')
                region = Region::Apostrophes;
            else if (c == '"')
                region = Region::Quotes;
            else if (c == '/' && at(text, i + 1) == '*')
                region = Region::BlockComment, ++i;
            else if (c == '-' && at(text, i + 1) == '-')
                region = Region::LineComment, ++i;
            else if (c == ':' || c == '?' || c == kMacroCharacter)
                return true;
            break;
        case Region::Apostrophes:
            if (c == '\'')
                region = Region::Code;
            break;
        case Region::Quotes:
            if (c == '"')
                region = Region::Code;
            break;
        case Region::BlockComment:
            if (c == '*' && at(text, i + 1) == '/')
                region = Region::Code, ++i;
            break;
        case Region::LineComment:
            if (c == '\r' || c == '\n')
                region = Region::Code;
            break;
        }
    }
    return false;
}

ParameterScan ScanParameters(std::string_view text)
{
    ParameterScan scan;
    std::string &out = scan.textToSend;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c == '\'' || c == '"') {
            const size_t end = text.find(c, i + 1);
            if (end == std::string_view::npos)
                throw SqlScanError("EOF in string detected");
            out.append(text.substr(i, end + 1 - i));
            i = end + 1;
        } else if (c == '/' && at(text, i + 1) == '*') {
            const size_t end = text.find("*/", i + 2);
            if (end == std::string_view::npos)
                throw SqlScanError("EOF in comment detected");
            out.append(text.substr(i, end + 2 - i));
            i = end + 2;
        } else if (c == '-' && at(text, i + 1) == '-') {
            const size_t end = std::min(text.find_first_of("\r\n", i), text.size());
            out.append(text.substr(i, end - i));
            i = end;
        } else if (c == '?') {
            out += '?';
            scan.names.emplace_back();
            ++i;
        } else if (c == ':' && at(text, i + 1) == '"') {
            const size_t end = text.find('"', i + 2);
            if (end == std::string_view::npos)
                throw SqlScanError("EOF in string detected");
            scan.names.emplace_back(text.substr(i + 2, end - i - 2));
            out += '?';
            i = end + 1;
        } else if (c == ':' && isNameChar(at(text, i + 1))) {
            size_t end = i + 1;
            while (end < text.size() && isNameChar(text[end]))
                ++end;
            scan.names.emplace_back(text.substr(i + 1, end - i - 1));
            out += '?';
            i = end;
        } else {
            out += c;
            ++i;
        }
    }
    return scan;
}

namespace {

// The scanner of the count rewrite: double-quoted names, strings, both
// kinds of comment, and the parenthesis depth. Clause tests are made only
// in plain text at the depth where the scan began, and never at a quote,
// apostrophe, parenthesis, star or hyphen.
class ClauseScanner {
public:
    explicit ClauseScanner(std::string_view text) : m_text(text) {}

    // The first position from `start` where `test` holds; npos for none.
    template <typename Test> size_t find(size_t start, Test test) const
    {
        Region region = Region::Code;
        int depth = 0;
        size_t i = start;
        while (i < m_text.size()) {
            const char c = m_text[i];
            size_t step = 1;
            switch (region) {
            case Region::Code:
                if (c == '"')
                    region = Region::Quotes;
                else if (c == '\'')
                    region = Region::Apostrophes;
                else if (c == '/' && at(m_text, i + 1) == '*')
                    region = Region::BlockComment, step = 2;
                else if (c == '-' && at(m_text, i + 1) == '-')
                    region = Region::LineComment, step = 2;
                else if (c == '(')
                    ++depth;
                else if (c == ')')
                    --depth;
                else if (c != '*' && c != '-' && depth == 0 && test(i))
                    return i;
                break;
            case Region::Quotes:
                if (c == '"')
                    region = Region::Code;
                break;
            case Region::Apostrophes:
                if (c == '\'')
                    region = Region::Code;
                break;
            case Region::BlockComment:
                if (c == '*' && at(m_text, i + 1) == '/')
                    region = Region::Code, step = 2;
                break;
            case Region::LineComment:
                if (c == '\r')
                    region = Region::Code;
                break;
            }
            i += step;
        }
        if (region == Region::Code && !m_text.empty() && start < m_text.size() &&
            test(m_text.size() - 1))
            return m_text.size() - 1;
        return std::string_view::npos;
    }

private:
    std::string_view m_text;
};

bool blankBeforeAny(std::string_view text, size_t pos,
                    std::initializer_list<std::string_view> words, bool needsBlank)
{
    if (!isBlank(text[pos]))
        return false;
    for (std::string_view word : words) {
        if (!wordAt(text, pos + 1, word))
            continue;
        const char after = at(text, pos + 1 + word.size());
        if (needsBlank ? isBlank(after) : isDelimiter(after))
            return true;
    }
    return false;
}

// A closing double quote ends a quoted name and stays.
bool isTrailingJunk(char c)
{
    return c == '\0' || isBlank(c) || c == '-' || c == ';';
}

std::string whereCondition(std::string_view text, const ClauseScanner &scanner)
{
    const size_t where = scanner.find(0, [&](size_t pos) { return keywordAt(text, pos, "WHERE"); });
    if (where == std::string_view::npos)
        return {};
    // A double quote here opens a quoted name that belongs to the condition.
    size_t start = where + 5;
    while (start < text.size() &&
           (text[start] == '\0' || isBlank(text[start]) || text[start] == ';'))
        ++start;
    if (start >= text.size())
        return {};
    size_t end = scanner.find(start, [&](size_t pos) {
        for (std::string_view word : {"FOR", "GROUP", "HAVING", "ORDER", "PLAN", "START", "UNION"})
            if (keywordAt(text, pos, word))
                return true;
        return false;
    });
    if (end == std::string_view::npos)
        end = text.size();
    while (end > start && isTrailingJunk(text[end - 1]))
        --end;
    return std::string(text.substr(start, end - start));
}

} // namespace

std::string CountRewrite(std::string_view text)
{
    const size_t first = skipBlanksAndComments(text, 0);
    if (!startsWithWord(text, first, "SELECT") && !startsWithWord(text, first, "MERGE"))
        return {};
    const ClauseScanner scanner(text);
    const size_t from = scanner.find(0, [&](size_t pos) { return keywordAt(text, pos, "FROM"); });
    if (from == std::string_view::npos)
        return {};
    size_t fromEnd = std::string_view::npos;
    if (from + 5 < text.size()) {
        fromEnd = scanner.find(from + 5, [&](size_t pos) {
            return blankBeforeAny(text, pos, {"FOR", "GROUP"}, true) ||
                   blankBeforeAny(text, pos, {"HAVING", "ORDER", "PLAN", "UNION", "WHERE"}, false);
        });
    }
    const size_t last = fromEnd == std::string_view::npos ? text.size() - 1 : fromEnd;
    std::string result = "Select Count(*) ";
    result.append(text.substr(from, last + 1 - from));
    const std::string condition = whereCondition(text, scanner);
    if (!condition.empty())
        result += "\r\n WHERE " + condition;
    return result;
}

bool IsBlankText(std::string_view text)
{
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) <= ' '; });
}

} // namespace db::sql
