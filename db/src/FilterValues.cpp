#include "FilterValues.h"

#include "FbValues.h"
#include "db/FbErrors.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace db::filter {

namespace {

[[noreturn]] void cannotConvert(const char *from, const char *to)
{
    throw EDatabaseError(std::string("Could not convert variant of type (") + from +
                         ") into type (" + to + ")");
}

int sign(double difference)
{
    return (difference > 0) - (difference < 0);
}

} // namespace

bool isNull(const FilterValue &value)
{
    return std::holds_alternative<std::monostate>(value);
}

bool isTrue(const FilterValue &value)
{
    auto flag = std::get_if<bool>(&value);
    return flag && *flag;
}

std::optional<int64_t> readInteger(std::string_view text)
{
    int64_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

std::optional<double> readFloat(std::string_view text)
{
    std::string plain(text);
    std::replace(plain.begin(), plain.end(), platform::localeFormats().decimalSeparator, '.');
    double value = 0;
    auto [end, error] = std::from_chars(plain.data(), plain.data() + plain.size(), value);
    if (plain.empty() || error != std::errc() || end != plain.data() + plain.size())
        return std::nullopt;
    return value;
}

platform::DateTime wholeSeconds(platform::DateTime when)
{
    when.millisecond = 0;
    return when;
}

platform::DateTime dateTimeOf(double days)
{
    // Dates run from 1 January of year 1 to 31 December 9999; any other day
    // count (a NaN included) names no date.
    constexpr double kFirstDay = -693593, kDayAfterLast = 2958466;
    if (!(days >= kFirstDay && days < kDayAfterLast))
        cannotConvert("Double", "Date");
    double whole = std::floor(days);
    platform::DateTime when = values::DateOfDaysSince1899(int64_t(whole));
    int seconds = int(std::lround((days - whole) * 86400.0));
    when.hour = std::min(seconds / 3600, 23);
    when.minute = seconds / 60 % 60;
    when.second = seconds % 60;
    return when;
}

std::string asText(const FilterValue &value)
{
    struct Visitor {
        std::string operator()(std::monostate) const { return {}; }
        std::string operator()(const std::string &text) const { return text; }
        std::string operator()(int64_t number) const { return std::to_string(number); }
        std::string operator()(double number) const { return values::GeneralFloatText(number); }
        std::string operator()(bool flag) const { return flag ? "True" : "False"; }
        std::string operator()(DateValue date) const
        {
            return values::DateTimeText(dateTimeOf(date.days));
        }
    };
    return std::visit(Visitor{}, value);
}

double asNumber(const FilterValue &value)
{
    if (auto integer = std::get_if<int64_t>(&value))
        return double(*integer);
    if (auto number = std::get_if<double>(&value))
        return *number;
    if (auto flag = std::get_if<bool>(&value))
        return *flag ? 1 : 0;
    if (auto date = std::get_if<DateValue>(&value))
        return date->days;
    if (auto text = std::get_if<std::string>(&value)) {
        if (auto number = readFloat(*text))
            return *number;
        if (auto date = platform::parseDateTime(*text))
            return values::DaysSince1899(*date);
    }
    cannotConvert("String", "Double");
}

int compareValues(const FilterValue &left, const FilterValue &right)
{
    auto leftText = std::get_if<std::string>(&left);
    auto rightText = std::get_if<std::string>(&right);
    if (leftText && rightText) {
        int order = leftText->compare(*rightText);
        return (order > 0) - (order < 0);
    }
    auto leftInteger = std::get_if<int64_t>(&left);
    auto rightInteger = std::get_if<int64_t>(&right);
    if (leftInteger && rightInteger)
        return (*leftInteger > *rightInteger) - (*leftInteger < *rightInteger);
    return sign(asNumber(left) - asNumber(right));
}

bool holds(TokenKind op, int order)
{
    switch (op) {
    case TokenKind::Equal:
        return order == 0;
    case TokenKind::NotEqual:
        return order != 0;
    case TokenKind::Less:
        return order < 0;
    case TokenKind::LessEqual:
        return order <= 0;
    case TokenKind::Greater:
        return order > 0;
    default:
        return order >= 0;
    }
}

TokenKind mirrored(TokenKind op)
{
    switch (op) {
    case TokenKind::Less:
        return TokenKind::Greater;
    case TokenKind::LessEqual:
        return TokenKind::GreaterEqual;
    case TokenKind::Greater:
        return TokenKind::Less;
    case TokenKind::GreaterEqual:
        return TokenKind::LessEqual;
    default:
        return op;
    }
}

bool isComparable(ValueType type)
{
    return type != ValueType::Memo && type != ValueType::Blob && type != ValueType::Bytes;
}

bool isNumeric(ValueType type)
{
    return type == ValueType::Integer || type == ValueType::Float || type == ValueType::Date ||
           type == ValueType::Time || type == ValueType::DateTime;
}

} // namespace db::filter
