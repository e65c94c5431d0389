#include "platform/Profile.h"

#include "platform/FileSystem.h"
#include "platform/Text.h"

#include <charconv>
#include <cstdint>
#include <optional>
#include <vector>

namespace platform {
namespace {

constexpr size_t kMaxValueLength = 2047;

std::string_view trim(std::string_view text)
{
    // A stray carriage return counts as a blank, so that a last line
    // without its line feed still reads as the value it shows.
    constexpr const char *kBlanks = " \t\r";
    size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos)
        return {};
    size_t last = text.find_last_not_of(kBlanks);
    return text.substr(first, last - first + 1);
}

// A profile file as lines, each remembered with its own line end so that
// lines the writer does not touch go back byte for byte.
struct Line {
    std::string text;
    std::string end;
};

std::vector<Line> splitLines(std::string_view content)
{
    std::vector<Line> lines;
    while (!content.empty()) {
        size_t newline = content.find('\n');
        if (newline == std::string_view::npos) {
            lines.push_back({std::string(content), ""});
            break;
        }
        bool crlf = newline > 0 && content[newline - 1] == '\r';
        lines.push_back({std::string(content.substr(0, newline - crlf)), crlf ? "\r\n" : "\n"});
        content.remove_prefix(newline + 1);
    }
    return lines;
}

std::optional<std::string_view> sectionName(std::string_view line)
{
    line = trim(line);
    if (line.empty() || line.front() != '[')
        return std::nullopt;
    size_t close = line.find(']');
    return trim(line.substr(1, close == std::string_view::npos ? line.size() : close - 1));
}

struct KeyLine {
    std::string_view key;
    std::string_view value;
    size_t valueOffset; ///< where the text after '=' starts in the line
};

std::optional<KeyLine> keyLine(std::string_view line)
{
    size_t equals = line.find('=');
    if (equals == std::string_view::npos || sectionName(line))
        return std::nullopt;
    return KeyLine{trim(line.substr(0, equals)), trim(line.substr(equals + 1)), equals + 1};
}

struct Location {
    std::optional<size_t> section; ///< index of the section's header line
    std::optional<size_t> key;     ///< index of the key's line
    size_t sectionEnd = 0;         ///< index after the section's last non-blank line
};

Location locate(const std::vector<Line> &lines, std::string_view section, std::string_view key)
{
    Location where;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (auto name = sectionName(lines[i].text)) {
            if (where.section)
                break;
            if (sameTextInsensitive(*name, section)) {
                where.section = i;
                where.sectionEnd = i + 1;
            }
            continue;
        }
        if (!where.section)
            continue;
        if (!trim(lines[i].text).empty())
            where.sectionEnd = i + 1;
        auto entry = keyLine(lines[i].text);
        if (entry && !where.key && sameTextInsensitive(entry->key, key))
            where.key = i;
    }
    return where;
}

std::string unquote(std::string_view value)
{
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    return std::string(value.substr(0, kMaxValueLength));
}

std::string joinLines(const std::vector<Line> &lines)
{
    std::string content;
    for (const auto &line : lines)
        content += line.text + line.end;
    return content;
}

std::optional<int64_t> parseNumber(std::string_view text, int base)
{
    int64_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (text.empty() || error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

// The profile rule for integers, on an already trimmed value.
int32_t parseProfileInteger(std::string_view text, int32_t defaultValue)
{
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        return parseProfileInteger("$" + std::string(text.substr(2)), defaultValue);
    bool negative = !text.empty() && text[0] == '-';
    if (!text.empty() && (text[0] == '-' || text[0] == '+'))
        text.remove_prefix(1);
    bool hex = !text.empty() && text[0] == '$';
    if (hex)
        text.remove_prefix(1);
    // from_chars would take a second sign; the profile rules do not.
    if (!text.empty() && (text[0] == '-' || text[0] == '+'))
        return defaultValue;
    auto magnitude = parseNumber(text, hex ? 16 : 10);
    if (!magnitude)
        return defaultValue;
    if (hex) {
        // Hexadecimal spells the 32-bit pattern: $FFFFFFFF is -1.
        if (*magnitude > int64_t(UINT32_MAX))
            return defaultValue;
        uint32_t bits = uint32_t(*magnitude);
        return int32_t(negative ? 0u - bits : bits);
    }
    int64_t value = negative ? -*magnitude : *magnitude;
    return value < INT32_MIN || value > INT32_MAX ? defaultValue : int32_t(value);
}

} // namespace

std::string ProfileFile::readString(std::string_view section, std::string_view key,
                                    std::string_view defaultValue) const
{
    auto content = readWholeFile(m_path);
    if (!content)
        return std::string(defaultValue.substr(0, kMaxValueLength));
    auto lines = splitLines(*content);
    Location where = locate(lines, section, key);
    if (!where.key)
        return std::string(defaultValue.substr(0, kMaxValueLength));
    return unquote(keyLine(lines[*where.key].text)->value);
}

int32_t ProfileFile::readInteger(std::string_view section, std::string_view key,
                                 int32_t defaultValue) const
{
    return parseProfileInteger(trim(readString(section, key, "")), defaultValue);
}

bool ProfileFile::readBool(std::string_view section, std::string_view key, bool defaultValue) const
{
    return readInteger(section, key, defaultValue ? 1 : 0) != 0;
}

bool ProfileFile::writeString(std::string_view section, std::string_view key,
                              std::string_view value)
{
    // A line break inside the value would split the line and corrupt the file.
    value = value.substr(0, value.find_first_of("\r\n"));
    std::string content = readWholeFile(m_path).value_or("");
    auto lines = splitLines(content);
    // New lines take the file's own line end; a new file gets CR LF.
    const std::string end = lines.empty() || lines[0].end.empty() ? "\r\n" : lines[0].end;
    Location where = locate(lines, section, key);
    if (where.key) {
        Line &line = lines[*where.key];
        line.text = line.text.substr(0, keyLine(line.text)->valueOffset) + std::string(value);
        return replaceWholeFile(m_path, joinLines(lines));
    }
    std::vector<Line> added;
    if (!where.section)
        added.push_back({"[" + std::string(section) + "]", end});
    added.push_back({std::string(key) + "=" + std::string(value), end});
    size_t at = where.section ? where.sectionEnd : lines.size();
    // The line before the insertion needs an end if it was the file's last.
    if (at > 0 && lines[at - 1].end.empty())
        lines[at - 1].end = end;
    lines.insert(lines.begin() + std::ptrdiff_t(at), added.begin(), added.end());
    return replaceWholeFile(m_path, joinLines(lines));
}

bool ProfileFile::writeInteger(std::string_view section, std::string_view key, int32_t value)
{
    return writeString(section, key, std::to_string(value));
}

bool ProfileFile::writeBool(std::string_view section, std::string_view key, bool value)
{
    return writeString(section, key, value ? "1" : "0");
}

} // namespace platform
