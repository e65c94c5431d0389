#pragma once
// Text conversions. Inside the program all text is a byte string in code
// page 1251; these functions convert at the program's edges.

#include <string>
#include <string_view>

namespace platform {

std::string ansiToUtf8(std::string_view ansi);
/// Characters that code page 1251 lacks, and malformed UTF-8, become "?".
std::string utf8ToAnsi(std::string_view utf8);
/// Like utf8ToAnsi; returns false when any character had to become "?".
bool utf8ToAnsiExact(std::string_view utf8, std::string &ansi);

std::u16string ansiToUtf16(std::string_view ansi);
/// Characters that code page 1251 lacks become "?".
std::string utf16ToAnsi(std::u16string_view utf16);

/// The OEM-to-ANSI conversion of archive entry names: code page 866 to 1251.
std::string oemToAnsi(std::string_view oem866);
std::string koi8rToAnsi(std::string_view koi8r);
/// Characters that KOI8-R lacks become "?".
std::string ansiToKoi8r(std::string_view ansi);

/// Upper-cases the 26 Latin letters only.
char upperLatin(char c);
std::string upperLatin(std::string_view text);

/// Locale casing of code page 1251: Latin and Cyrillic letters, Ё/ё included.
char upperAnsi(char c);
char lowerAnsi(char c);
std::string upperAnsi(std::string_view text);
std::string lowerAnsi(std::string_view text);

/// Compares ignoring the letter case of Latin and Cyrillic letters;
/// negative, zero or positive like strcmp.
int compareTextInsensitive(std::string_view a, std::string_view b);
bool sameTextInsensitive(std::string_view a, std::string_view b);

/// The two wildcards of a pattern: one matching any run of characters, one
/// matching any single character.
struct Wildcards {
    char anyRun;
    char anyOne;
    bool ignoreCase;
};
/// Whether the whole text matches the pattern; the work grows with the
/// product of the lengths at most, whatever the pattern.
bool matchesWildcards(std::string_view text, std::string_view pattern, Wildcards wildcards);

/// The text without the characters up to the blank (controls included) at
/// both ends, as settings and filter texts are kept.
std::string_view trimBlanks(std::string_view text);

} // namespace platform
