#include "platform/Locale.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <optional>

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
