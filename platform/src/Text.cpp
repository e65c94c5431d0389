#include "platform/Text.h"

#include "CodePages.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

namespace platform {
namespace {

using CodePage = std::array<char16_t, 128>;

// Bytes a code page leaves unassigned decode to the C1 control of the same
// value, as Windows does, so that any byte string survives a round trip.
char16_t decodeByte(const CodePage &page, unsigned char byte)
{
    if (byte < 0x80)
        return byte;
    char16_t unit = page[byte - 0x80];
    return unit != 0 ? unit : char16_t(byte);
}

class Encoder {
public:
    explicit Encoder(const CodePage &page)
    {
        for (unsigned byte = 0x80; byte < 0x100; ++byte) {
            const char16_t unit = decodeByte(page, static_cast<unsigned char>(byte));
            m_bytes[unit] = static_cast<uint16_t>(kPresent | byte);
        }
    }

    /// Nothing when the code page lacks the character.
    bool encode(char32_t codePoint, char &byte) const
    {
        if (codePoint < 0x80) {
            byte = char(codePoint);
            return true;
        }
        if (codePoint > 0xFFFF || !(m_bytes[codePoint] & kPresent))
            return false;
        byte = char(m_bytes[codePoint] & 0xFF);
        return true;
    }

private:
    // Every path and name the program handles passes through here, so the
    // lookup is one index into a table of all 16-bit units.
    static constexpr uint16_t kPresent = 0x100;
    std::vector<uint16_t> m_bytes = std::vector<uint16_t>(0x10000, 0);
};

bool isAscii(std::string_view text)
{
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

const Encoder &ansiEncoder()
{
    static const Encoder encoder(codepages::kCp1251);
    return encoder;
}

void appendUtf8(std::string &out, char32_t cp)
{
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | (cp >> 6));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xE0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

// Decodes one UTF-8 sequence at pos and advances pos; malformed input
// (overlong forms, surrogates, truncation) yields U+FFFD and skips one byte.
char32_t nextUtf8(std::string_view text, size_t &pos)
{
    constexpr char32_t kBad = 0xFFFD;
    auto lead = static_cast<unsigned char>(text[pos++]);
    if (lead < 0x80)
        return lead;
    int extra = lead >= 0xF0 && lead < 0xF5 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC2 ? 1 : -1;
    if (extra < 0 || lead >= 0xF5 || pos + extra > text.size())
        return kBad;
    char32_t cp = lead & (0x3F >> extra);
    for (int i = 0; i < extra; ++i) {
        auto next = static_cast<unsigned char>(text[pos + i]);
        if ((next & 0xC0) != 0x80)
            return kBad;
        cp = (cp << 6) | (next & 0x3F);
    }
    static constexpr char32_t kMinimum[] = {0, 0x80, 0x800, 0x10000};
    if (cp < kMinimum[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return kBad;
    pos += extra;
    return cp;
}

std::string decodeToAnsi(std::string_view text, const CodePage &page)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        char byte = '?';
        ansiEncoder().encode(decodeByte(page, static_cast<unsigned char>(c)), byte);
        out += byte;
    }
    return out;
}

std::string mapBytes(std::string_view text, const std::array<unsigned char, 256> &map)
{
    std::string out(text);
    for (char &c : out)
        c = char(map[static_cast<unsigned char>(c)]);
    return out;
}

} // namespace

std::string ansiToUtf8(std::string_view ansi)
{
    if (isAscii(ansi))
        return std::string(ansi);
    // Every path of the catalogue passes through here on its way to the
    // file system, so each byte's UTF-8 form is looked up, not encoded.
    static const std::array<std::string, 256> kUtf8 = [] {
        std::array<std::string, 256> forms;
        for (unsigned byte = 0; byte < 256; ++byte)
            appendUtf8(forms[byte],
                       decodeByte(codepages::kCp1251, static_cast<unsigned char>(byte)));
        return forms;
    }();
    std::string out;
    out.reserve(ansi.size() * 2);
    for (char c : ansi)
        out += kUtf8[static_cast<unsigned char>(c)];
    return out;
}

bool utf8ToAnsiExact(std::string_view utf8, std::string &ansi)
{
    if (isAscii(utf8)) {
        ansi.assign(utf8);
        return true;
    }
    ansi.clear();
    ansi.reserve(utf8.size());
    bool exact = true;
    for (size_t pos = 0; pos < utf8.size();) {
        char byte = '?';
        if (!ansiEncoder().encode(nextUtf8(utf8, pos), byte))
            exact = false;
        ansi += byte;
    }
    return exact;
}

std::string utf8ToAnsi(std::string_view utf8)
{
    std::string ansi;
    utf8ToAnsiExact(utf8, ansi);
    return ansi;
}

std::u16string ansiToUtf16(std::string_view ansi)
{
    std::u16string out;
    out.reserve(ansi.size());
    for (char c : ansi)
        out += decodeByte(codepages::kCp1251, static_cast<unsigned char>(c));
    return out;
}

std::string utf16ToAnsi(std::u16string_view utf16)
{
    std::string out;
    out.reserve(utf16.size());
    for (size_t i = 0; i < utf16.size(); ++i) {
        char32_t cp = utf16[i];
        // A surrogate pair stands for one character that 1251 cannot hold.
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 &&
            utf16[i + 1] <= 0xDFFF)
            ++i;
        char byte = '?';
        ansiEncoder().encode(cp, byte);
        out += byte;
    }
    return out;
}

std::string oemToAnsi(std::string_view oem866)
{
    return decodeToAnsi(oem866, codepages::kCp866);
}

std::string koi8rToAnsi(std::string_view koi8r)
{
    return decodeToAnsi(koi8r, codepages::kKoi8r);
}

std::string ansiToKoi8r(std::string_view ansi)
{
    static const Encoder koi8r(codepages::kKoi8r);
    std::string out;
    out.reserve(ansi.size());
    for (char c : ansi) {
        char byte = '?';
        koi8r.encode(decodeByte(codepages::kCp1251, static_cast<unsigned char>(c)), byte);
        out += byte;
    }
    return out;
}

char upperLatin(char c)
{
    return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c;
}

std::string upperLatin(std::string_view text)
{
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), [](char c) { return upperLatin(c); });
    return out;
}

char upperAnsi(char c)
{
    return char(codepages::kUpper1251[static_cast<unsigned char>(c)]);
}
char lowerAnsi(char c)
{
    return char(codepages::kLower1251[static_cast<unsigned char>(c)]);
}
std::string upperAnsi(std::string_view text)
{
    return mapBytes(text, codepages::kUpper1251);
}
std::string lowerAnsi(std::string_view text)
{
    return mapBytes(text, codepages::kLower1251);
}

int compareTextInsensitive(std::string_view a, std::string_view b)
{
    size_t common = std::min(a.size(), b.size());
    for (size_t i = 0; i < common; ++i) {
        auto x = static_cast<unsigned char>(upperAnsi(a[i]));
        auto y = static_cast<unsigned char>(upperAnsi(b[i]));
        if (x != y)
            return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : a.size() < b.size() ? -1 : 1;
}

bool sameTextInsensitive(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && compareTextInsensitive(a, b) == 0;
}

bool matchesWildcards(std::string_view text, std::string_view pattern, Wildcards wildcards)
{
    auto same = [&](char a, char b) {
        return a == b || (wildcards.ignoreCase && upperAnsi(a) == upperAnsi(b));
    };
    // On a mismatch, go back to the last run wildcard and let it take one
    // more character.
    size_t t = 0, p = 0, runAt = std::string_view::npos, runText = 0;
    while (t < text.size()) {
        if (p < pattern.size() && pattern[p] == wildcards.anyRun) {
            runAt = p++;
            runText = t;
        } else if (p < pattern.size() &&
                   (pattern[p] == wildcards.anyOne || same(pattern[p], text[t]))) {
            ++t;
            ++p;
        } else if (runAt != std::string_view::npos) {
            p = runAt + 1;
            t = ++runText;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == wildcards.anyRun)
        ++p;
    return p == pattern.size();
}

std::string_view trimBlanks(std::string_view text)
{
    auto blank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}

} // namespace platform
