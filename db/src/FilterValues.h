#pragma once
// The values a filter computes with, and how they compare and convert:
// shared by the parser, which types and converts constants, and the
// evaluator, which works on the values of each row.

#include "FilterExpression.h"
#include "FilterLexer.h"
#include "platform/Locale.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace db::filter {

bool isNull(const FilterValue &value);
bool isTrue(const FilterValue &value);
/// The whole text as an integer, or nothing.
std::optional<int64_t> readInteger(std::string_view text);
/// The whole text as a number with the locale's decimal separator, or nothing.
std::optional<double> readFloat(std::string_view text);
/// Filter dates count whole seconds.
platform::DateTime wholeSeconds(platform::DateTime when);
platform::DateTime dateTimeOf(double days);
std::string asText(const FilterValue &value);
/// Throws EDatabaseError "Could not convert variant of type (String) into
/// type (Double)" for a text that is neither a number nor a date.
double asNumber(const FilterValue &value);
/// Orders two non-null values: texts byte for byte, everything else as numbers.
int compareValues(const FilterValue &left, const FilterValue &right);
/// Whether an order (-1, 0, 1) satisfies the comparison operator.
bool holds(TokenKind op, int order);
/// The operator that says the same with its operands swapped.
TokenKind mirrored(TokenKind op);
bool isComparable(ValueType type);
bool isNumeric(ValueType type);

} // namespace db::filter
