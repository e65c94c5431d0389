#pragma once
// The user's locale as the program needs it. Formats use the Windows
// picture letters: d, dd, M, MM, yy, yyyy for dates; h, hh, H, HH, m, mm,
// s, ss, tt for times; other characters are copied, text in '...' too.

#include <optional>
#include <string>
#include <string_view>

namespace platform {

struct LocaleFormats {
    std::string shortDateFormat = "dd.MM.yyyy";
    std::string longTimeFormat = "H:mm:ss";
    char decimalSeparator = ',';
};

/// The formats in force: those of the user's locale until setLocaleFormats
/// replaces them (tests fix them that way).
const LocaleFormats &localeFormats();
void setLocaleFormats(const LocaleFormats &formats);

struct DateTime {
    int year = 1899, month = 12, day = 30;
    int hour = 0, minute = 0, second = 0, millisecond = 0;
};

DateTime localNow();

/// Reads a date the way the user writes it: day, month and year numbers in
/// the order of the short date format, separated by any non-digit, and
/// optionally a time (hours, minutes, optional seconds) after a blank.
/// Two-digit years fall in 1950-2049. Nothing when the text is no valid date.
std::optional<DateTime> parseDateTime(std::string_view text,
                                      const LocaleFormats &formats = localeFormats());
/// Reads a time of day: hours, minutes and optional seconds separated by ':'.
std::optional<DateTime> parseTime(std::string_view text);
std::string formatDate(const DateTime &when, const LocaleFormats &formats = localeFormats());
std::string formatTime(const DateTime &when, const LocaleFormats &formats = localeFormats());

} // namespace platform
