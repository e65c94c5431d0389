#include "FbValues.h"

#include <cmath>
#include <cstdio>

namespace db::values {

namespace {

// Civil dates and day counts from 1 January 1970 (Howard Hinnant's
// algorithms for the proleptic Gregorian calendar).
void civilFromDays(std::int64_t days, int &year, int &month, int &day)
{
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const auto dayOfEra = static_cast<unsigned>(days - era * 146097);
    const unsigned yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const unsigned monthIndex = (5 * dayOfYear + 2) / 153;
    day = static_cast<int>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
    month = static_cast<int>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
    year = static_cast<int>(static_cast<std::int64_t>(yearOfEra) + era * 400 + (month <= 2));
}

std::int64_t daysFromCivil(int year, int month, int day)
{
    year -= month <= 2;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const auto yearOfEra = static_cast<unsigned>(year - era * 400);
    const unsigned dayOfYear =
        (153 * static_cast<unsigned>(month > 2 ? month - 3 : month + 9) + 2) / 5 +
        static_cast<unsigned>(day) - 1;
    const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + static_cast<std::int64_t>(dayOfEra) - 719468;
}

// The server counts days from 17 November 1858.
constexpr std::int64_t kDayNumberOf1970 = 40587;
constexpr std::int32_t kDayNumberOf1899 = 15018;

} // namespace

platform::DateTime DateOfDayNumber(std::int32_t dayNumber)
{
    platform::DateTime when;
    civilFromDays(dayNumber - kDayNumberOf1970, when.year, when.month, when.day);
    when.hour = when.minute = when.second = when.millisecond = 0;
    return when;
}

void SetTimeOfDay(platform::DateTime &when, std::uint32_t iscTime)
{
    std::uint32_t milliseconds = iscTime / 10;
    when.millisecond = static_cast<int>(milliseconds % 1000);
    milliseconds /= 1000;
    when.second = static_cast<int>(milliseconds % 60);
    milliseconds /= 60;
    when.minute = static_cast<int>(milliseconds % 60);
    when.hour = static_cast<int>(milliseconds / 60);
}

double DaysSince1899(std::int32_t dayNumber, std::uint32_t iscTime)
{
    return static_cast<double>(dayNumber - kDayNumberOf1899) +
           static_cast<double>(iscTime / 10) / 86400000.0;
}

double DaysSince1899(const platform::DateTime &when)
{
    const std::int64_t days =
        daysFromCivil(when.year, when.month, when.day) - daysFromCivil(1899, 12, 30);
    const double milliseconds =
        ((when.hour * 60.0 + when.minute) * 60.0 + when.second) * 1000.0 + when.millisecond;
    return static_cast<double>(days) + milliseconds / 86400000.0;
}

platform::DateTime DateOfDaysSince1899(std::int64_t days)
{
    platform::DateTime when;
    civilFromDays(days + kDayNumberOf1899 - kDayNumberOf1970, when.year, when.month, when.day);
    return when;
}

std::string DateTimeText(const platform::DateTime &when)
{
    std::string text = platform::formatDate(when);
    if (when.hour != 0 || when.minute != 0 || when.second != 0)
        text += " " + platform::formatTime(when);
    return text;
}

std::string GeneralFloatText(double value)
{
    char buffer[64];
    const int length = std::snprintf(buffer, sizeof buffer, "%.15g", value);
    std::string text(buffer, length > 0 ? static_cast<size_t>(length) : 0);
    for (char &c : text)
        if (c == '.')
            c = platform::localeFormats().decimalSeparator;
    return text;
}

std::string ScaledIntegerText(std::int64_t value, int scale)
{
    const bool negative = value < 0;
    // The magnitude of the smallest value does not fit the signed type.
    const std::uint64_t magnitude =
        negative ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    std::string digits = std::to_string(magnitude);
    if (scale >= 0) {
        if (magnitude != 0)
            digits.append(static_cast<size_t>(scale), '0');
        return (negative ? "-" : "") + digits;
    }
    const auto places = static_cast<size_t>(-scale);
    if (digits.size() <= places)
        digits.insert(0, places - digits.size() + 1, '0');
    std::string whole = digits.substr(0, digits.size() - places);
    std::string fraction = digits.substr(digits.size() - places);
    while (!fraction.empty() && fraction.back() == '0')
        fraction.pop_back();
    std::string text = negative && magnitude != 0 ? "-" : "";
    text += whole;
    if (!fraction.empty())
        text += platform::localeFormats().decimalSeparator + fraction;
    return text;
}

double Scaled(std::int64_t value, int scale)
{
    static constexpr double kPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8, 1e9,
                                         1e10, 1e11, 1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18};
    if (scale == 0)
        return static_cast<double>(value);
    if (scale < 0 && scale >= -18)
        return static_cast<double>(value) / kPowers[-scale];
    if (scale > 0 && scale <= 18)
        return static_cast<double>(value) * kPowers[scale];
    return static_cast<double>(value) * std::pow(10.0, scale);
}

double RowTimestamp(std::int32_t dayNumber, std::uint32_t iscTime)
{
    return (static_cast<double>(dayNumber) + kRowDateOffset) * 86400000.0 +
           static_cast<double>(iscTime / 10);
}

platform::DateTime DateOfRowDate(std::int32_t rowDate)
{
    return DateOfDayNumber(rowDate - kRowDateOffset);
}

platform::DateTime TimeOfRowTime(std::int32_t milliseconds)
{
    platform::DateTime when;
    SetTimeOfDay(when, static_cast<std::uint32_t>(milliseconds) * 10);
    return when;
}

platform::DateTime DateTimeOfRowTimestamp(double milliseconds)
{
    const auto total = static_cast<std::int64_t>(std::floor(milliseconds));
    std::int64_t days = total / 86400000;
    std::int64_t rest = total % 86400000;
    if (rest < 0) {
        rest += 86400000;
        --days;
    }
    platform::DateTime when = DateOfRowDate(static_cast<std::int32_t>(days));
    SetTimeOfDay(when, static_cast<std::uint32_t>(rest) * 10);
    return when;
}

} // namespace db::values
