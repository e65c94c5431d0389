#include "db/Strings.h"

namespace db {

std::vector<std::string> SplitLines(std::string_view text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos) {
            lines.emplace_back(text.substr(start));
            break;
        }
        lines.emplace_back(text.substr(start, end - start));
        start = end + (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n' ? 2 : 1);
    }
    return lines;
}

void TStrings::change(std::vector<std::string> lines)
{
    m_changing.Notify();
    m_lines = std::move(lines);
    m_changed.Notify();
}

void TStrings::Clear()
{
    change({});
}

void TStrings::Add(std::string line)
{
    std::vector<std::string> lines = m_lines;
    lines.push_back(std::move(line));
    change(std::move(lines));
}

void TStrings::SetText(std::string_view text)
{
    change(SplitLines(text));
}

void TStrings::Assign(std::vector<std::string> lines)
{
    change(std::move(lines));
}

std::string SqlStringLiteral(std::string_view text)
{
    std::string literal = "'";
    for (char c : text) {
        literal += c;
        if (c == '\'')
            literal += '\'';
    }
    return literal + "'";
}

std::string TStrings::Text() const
{
    std::string text;
    for (const std::string &line : m_lines) {
        text += line;
        text += "\r\n";
    }
    return text;
}

} // namespace db
