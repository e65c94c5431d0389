#pragma once
// Value renderings shared by statement columns and dataset fields: the
// server's dates and times, the general float format, exact decimals.

#include "platform/Locale.h"

#include <cstdint>
#include <string>

namespace db::values {

/// The server's day number (days since 17 November 1858) as a calendar date.
platform::DateTime DateOfDayNumber(std::int32_t dayNumber);
/// The server's time of day (1/10000 s) cut to whole milliseconds.
void SetTimeOfDay(platform::DateTime &when, std::uint32_t iscTime);

/// Days since 30 December 1899, the fraction being the time of day.
double DaysSince1899(std::int32_t dayNumber, std::uint32_t iscTime);
double DaysSince1899(const platform::DateTime &when);
/// The calendar date that many days after 30 December 1899, at midnight.
platform::DateTime DateOfDaysSince1899(std::int64_t days);

/// Short date; then a blank and the long time unless it is midnight (to the second).
std::string DateTimeText(const platform::DateTime &when);

/// Up to 15 significant digits, the locale's decimal separator.
std::string GeneralFloatText(double value);
/// The digits of `value` with the separator `-scale` places from the right,
/// trailing fraction zeros (and a bare separator) removed; "0" for zero.
std::string ScaledIntegerText(std::int64_t value, int scale);
/// The integer times 10^scale for scales between -18 and 18.
double Scaled(std::int64_t value, int scale);

/// The day number of the row encoding (1 means 1 January of year 1).
constexpr std::int32_t kRowDateOffset = 678576;
/// Milliseconds from the same origin.
double RowTimestamp(std::int32_t dayNumber, std::uint32_t iscTime);
platform::DateTime DateTimeOfRowTimestamp(double milliseconds);
platform::DateTime DateOfRowDate(std::int32_t rowDate);
platform::DateTime TimeOfRowTime(std::int32_t milliseconds);

} // namespace db::values
