// Evaluates a parsed filter against the row under test. Every node kind,
// operator and function was resolved by the parser; what is left here is
// computing with the row's values.

#include "FilterExpression.h"

#include "FbValues.h"
#include "FilterLexer.h"
#include "FilterNode.h"
#include "FilterValues.h"
#include "platform/Locale.h"
#include "platform/Text.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace db {

using namespace filter;

using Node = TExpressionParser::Node;

bool TExpressionParser::Evaluate(FilterFields &fields)
{
    return isTrue(evaluate(m_root, fields));
}

FilterValue TExpressionParser::fieldValue(const Node &node, FilterFields &fields)
{
    auto cached = m_fieldCache.find(node.name);
    if (cached == m_fieldCache.end())
        cached = m_fieldCache.emplace(node.name, fields.fieldNamed(node.name).index).first;
    return fields.fieldValue(cached->second);
}

FilterValue TExpressionParser::evaluate(int index, FilterFields &fields)
{
    const Node &node = m_nodes[size_t(index)];
    auto child = [&](size_t i) { return evaluate(node.children[i], fields); };
    switch (node.kind) {
    case NodeKind::Constant:
        return node.value;
    case NodeKind::Field:
        return fieldValue(node, fields);
    case NodeKind::Not: {
        FilterValue operand = child(0);
        return isNull(operand) ? FilterValue{} : FilterValue{!isTrue(operand)};
    }
    case NodeKind::IsNull:
    case NodeKind::IsNotNull: {
        FilterValue operand = child(0);
        auto text = std::get_if<std::string>(&operand);
        bool empty = isNull(operand) || (text && text->empty());
        return node.kind == NodeKind::IsNull ? empty : !empty;
    }
    case NodeKind::Logical: {
        // AND looks right only when the left is true, OR only when it is false.
        bool left = isTrue(child(0));
        switch (node.logical) {
        case LogicalOp::And:
            if (!left)
                return false;
            break;
        case LogicalOp::Or:
            if (left)
                return true;
            break;
        }
        return isTrue(child(1));
    }
    case NodeKind::Compare: {
        FilterValue left = child(0), right = child(1);
        bool leftNull = isNull(left), rightNull = isNull(right);
        if (leftNull || rightNull) {
            bool same = leftNull && rightNull;
            if (node.op == TokenKind::Equal)
                return same;
            if (node.op == TokenKind::NotEqual)
                return !same;
            return false;
        }
        if (node.caseInsensitive || node.prefixLength) {
            std::string a = asText(left), b = asText(right);
            if (node.caseInsensitive) {
                a = platform::upperAnsi(a);
                b = platform::upperAnsi(b);
            }
            if (node.prefixLength)
                a = a.substr(0, node.prefixLength);
            left = a;
            right = b;
        }
        return holds(node.op, compareValues(left, right));
    }
    case NodeKind::Like: {
        std::string value = asText(child(0)), pattern = asText(child(1));
        if (node.caseInsensitive) {
            value = platform::upperAnsi(value);
            pattern = platform::upperAnsi(pattern);
        }
        if (node.prefixLength)
            value = value.substr(0, node.prefixLength);
        return platform::matchesWildcards(value, pattern, {'%', '_', false});
    }
    case NodeKind::In: {
        FilterValue left = child(0);
        for (size_t i = 1; i < node.children.size(); ++i) {
            FilterValue item = child(i);
            if (isNull(left) || isNull(item) ? isNull(left) && isNull(item)
                                             : compareValues(left, item) == 0)
                return true;
        }
        return false;
    }
    case NodeKind::Arithmetic: {
        FilterValue left = child(0), right = child(1);
        if (isNull(left) || isNull(right))
            return {};
        if (node.type == ValueType::Text)
            return asText(left) + asText(right);
        auto a = std::get_if<int64_t>(&left), b = std::get_if<int64_t>(&right);
        if (a && b) {
            int64_t result = 0;
            bool overflow = node.op == TokenKind::Plus    ? __builtin_add_overflow(*a, *b, &result)
                            : node.op == TokenKind::Minus ? __builtin_sub_overflow(*a, *b, &result)
                            : node.op == TokenKind::Star  ? __builtin_mul_overflow(*a, *b, &result)
                                                          : true;
            if (!overflow)
                return result;
        }
        double x = asNumber(left), y = asNumber(right);
        switch (node.op) {
        case TokenKind::Plus:
            return x + y;
        case TokenKind::Minus:
            return x - y;
        case TokenKind::Star:
            return x * y;
        default:
            return y == 0 ? FilterValue{} : FilterValue{x / y};
        }
    }
    case NodeKind::Function:
        return evaluateFunction(node, fields);
    }
    return {};
}

FilterValue TExpressionParser::evaluateFunction(const Node &node, FilterFields &fields)
{
    if (node.function == FilterFunction::GetDate)
        return DateValue{values::DaysSince1899(wholeSeconds(platform::localNow()))};
    std::vector<FilterValue> arguments;
    for (int child : node.children)
        arguments.push_back(evaluate(child, fields));
    if (std::any_of(arguments.begin(), arguments.end(), isNull))
        return {};
    auto text = [&] { return asText(arguments[0]); };
    auto when = [&] { return dateTimeOf(asNumber(arguments[0])); };
    switch (node.function) {
    case FilterFunction::Upper:
        return platform::upperAnsi(text());
    case FilterFunction::Lower:
        return platform::lowerAnsi(text());
    case FilterFunction::Trim:
    case FilterFunction::TrimLeft:
    case FilterFunction::TrimRight: {
        std::string trimmed = text();
        size_t first =
            node.function == FilterFunction::TrimRight ? 0 : trimmed.find_first_not_of(' ');
        if (first == std::string::npos)
            return std::string();
        size_t last = node.function == FilterFunction::TrimLeft ? trimmed.size() - 1
                                                                : trimmed.find_last_not_of(' ');
        return trimmed.substr(first, last - first + 1);
    }
    case FilterFunction::Substring: {
        std::string whole = text();
        double from = std::max(1.0, asNumber(arguments[1]));
        double length =
            arguments.size() > 2 ? std::max(0.0, asNumber(arguments[2])) : double(whole.size());
        if (from > double(whole.size()))
            return std::string();
        return whole.substr(size_t(from) - 1, size_t(std::min(length, double(whole.size()))));
    }
    case FilterFunction::Date:
        return DateValue{std::floor(asNumber(arguments[0]))};
    case FilterFunction::Time: {
        double days = asNumber(arguments[0]);
        return DateValue{days - std::floor(days)};
    }
    case FilterFunction::Year:
        return int64_t(when().year);
    case FilterFunction::Month:
        return int64_t(when().month);
    case FilterFunction::Day:
        return int64_t(when().day);
    case FilterFunction::Hour:
        return int64_t(when().hour);
    case FilterFunction::Minute:
        return int64_t(when().minute);
    case FilterFunction::Second:
        return int64_t(when().second);
    case FilterFunction::GetDate:
        break; // answered above, before any argument is evaluated
    case FilterFunction::Sum:
    case FilterFunction::Min:
    case FilterFunction::Max:
    case FilterFunction::Avg:
    case FilterFunction::Count:
        break; // the parser rejects every filter that holds an aggregate
    }
    throw std::logic_error("filter function that is never evaluated");
}

} // namespace db
