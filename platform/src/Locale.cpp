#include "platform/Locale.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <optional>
#include <vector>

namespace platform {

LocaleFormats userLocaleFormats(); // from the system's locale, Locale_posix.cpp

namespace {

std::optional<LocaleFormats> &fixedFormats()
{
    static std::optional<LocaleFormats> formats;
    return formats;
}

std::string number(int value, int digits)
{
    char text[16];
    std::snprintf(text, sizeof text, "%0*d", digits, value);
    return text;
}

int hour12(int hour)
{
    return hour % 12 == 0 ? 12 : hour % 12;
}

// Renders one run of a picture letter: `count` repetitions of `letter`.
// Letters without a meaning are copied as they stand.
std::string field(char letter, size_t count, const DateTime &when)
{
    int width = count >= 2 ? 2 : 1;
    switch (letter) {
    case 'd':
        return number(when.day, width);
    case 'M':
        return number(when.month, width);
    case 'y':
        return count >= 3 ? number(when.year, 4) : number(when.year % 100, width);
    case 'h':
        return number(hour12(when.hour), width);
    case 'H':
        return number(when.hour, width);
    case 'm':
        return number(when.minute, width);
    case 's':
        return number(when.second, width);
    case 't':
        return std::string(when.hour < 12 ? "AM" : "PM").substr(0, count >= 2 ? 2 : 1);
    default:
        return std::string(count, letter);
    }
}

std::string render(const std::string &picture, const DateTime &when)
{
    std::string out;
    for (size_t i = 0; i < picture.size();) {
        char letter = picture[i];
        if (letter == '\'' || letter == '"') {
            size_t close = picture.find(letter, i + 1);
            if (close == std::string::npos)
                close = picture.size();
            out += picture.substr(i + 1, close - i - 1);
            i = close + 1;
            continue;
        }
        size_t run = picture.find_first_not_of(letter, i);
        if (run == std::string::npos)
            run = picture.size();
        out += field(letter, run - i, when);
        i = run;
    }
    return out;
}

} // namespace

const LocaleFormats &localeFormats()
{
    static const LocaleFormats user = userLocaleFormats();
    return fixedFormats() ? *fixedFormats() : user;
}

void setLocaleFormats(const LocaleFormats &formats)
{
    fixedFormats() = formats;
}

DateTime localNow()
{
    auto now = std::chrono::system_clock::now();
    time_t seconds = std::chrono::system_clock::to_time_t(now);
    tm local{};
    localtime_r(&seconds, &local);
    auto millis =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()) % 1000;
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,      local.tm_hour,
            local.tm_min,         local.tm_sec,     int(millis.count())};
}

std::string formatDate(const DateTime &when, const LocaleFormats &formats)
{
    return render(formats.shortDateFormat, when);
}

std::string formatTime(const DateTime &when, const LocaleFormats &formats)
{
    return render(formats.longTimeFormat, when);
}

} // namespace platform

namespace platform {
namespace {

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Splits "12.03.2024" or "9:05" into its numbers; false on anything but
// digits and single separators, or more than `limit` numbers.
bool readNumbers(std::string_view text, std::string_view separators, size_t limit,
                 std::vector<int> &numbers)
{
    numbers.clear();
    size_t i = 0;
    while (i < text.size()) {
        if (!isDigit(text[i]) || numbers.size() == limit)
            return false;
        int value = 0;
        size_t digits = 0;
        for (; i < text.size() && isDigit(text[i]); ++i, ++digits) {
            if (digits == 4)
                return false;
            value = value * 10 + (text[i] - '0');
        }
        numbers.push_back(value);
        if (i < text.size()) {
            if (separators.find(text[i]) == std::string_view::npos || i + 1 == text.size())
                return false;
            ++i;
        }
    }
    return !numbers.empty();
}

bool validDate(int year, int month, int day)
{
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1)
        return false;
    bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return day <= kDays[month - 1] + (month == 2 && leap);
}

// The order of day, month and year in a picture, as the letters d, M, y.
std::string fieldOrder(const std::string &picture)
{
    std::string order;
    for (char letter : picture)
        if ((letter == 'd' || letter == 'M' || letter == 'y') &&
            order.find(letter) == std::string::npos)
            order += letter;
    return order.size() == 3 ? order : "dMy";
}

} // namespace

std::optional<DateTime> parseTime(std::string_view text)
{
    std::vector<int> numbers;
    if (!readNumbers(text, ":", 3, numbers) || numbers.size() < 2)
        return std::nullopt;
    DateTime when;
    when.hour = numbers[0];
    when.minute = numbers[1];
    when.second = numbers.size() > 2 ? numbers[2] : 0;
    if (when.hour > 23 || when.minute > 59 || when.second > 59)
        return std::nullopt;
    return when;
}

std::optional<DateTime> parseDateTime(std::string_view text, const LocaleFormats &formats)
{
    size_t blank = text.find(' ');
    std::string_view datePart = text.substr(0, blank);
    DateTime when;
    if (blank != std::string_view::npos) {
        auto time = parseTime(text.substr(blank + 1));
        if (!time)
            return std::nullopt;
        when = *time;
    }
    std::vector<int> numbers;
    if (!readNumbers(datePart, "./-", 3, numbers) || numbers.size() != 3)
        return std::nullopt;
    std::string order = fieldOrder(formats.shortDateFormat);
    for (size_t i = 0; i < 3; ++i) {
        int value = numbers[i];
        switch (order[i]) {
        case 'd':
            when.day = value;
            break;
        case 'M':
            when.month = value;
            break;
        default:
            when.year = value < 100 ? (value < 50 ? 2000 + value : 1900 + value) : value;
        }
    }
    if (!validDate(when.year, when.month, when.day))
        return std::nullopt;
    return when;
}

} // namespace platform
