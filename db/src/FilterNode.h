#pragma once
// The tree a filter text is parsed into. Operators and function names are
// resolved when the text is parsed, so the evaluator switches over closed
// sets and never compares names row by row.

#include "FilterExpression.h"
#include "FilterLexer.h"

#include <cstddef>
#include <string>
#include <vector>

namespace db::filter {

enum class NodeKind {
    Field,
    Constant,
    Not,
    IsNull,
    IsNotNull,
    Logical,
    Compare,
    Like,
    In,
    Arithmetic,
    Function
};

enum class LogicalOp { And, Or };

/// The functions a filter may call. The aggregates are known so that the
/// parser can reject them by name; none of them is ever evaluated.
enum class FilterFunction {
    Upper,
    Lower,
    Substring,
    Trim,
    TrimLeft,
    TrimRight,
    Year,
    Month,
    Day,
    Hour,
    Minute,
    Second,
    GetDate,
    Date,
    Time,
    Sum,
    Min,
    Max,
    Avg,
    Count
};

constexpr bool isAggregate(FilterFunction function)
{
    return function == FilterFunction::Sum || function == FilterFunction::Min ||
           function == FilterFunction::Max || function == FilterFunction::Avg ||
           function == FilterFunction::Count;
}

} // namespace db::filter

namespace db {

struct TExpressionParser::Node {
    filter::NodeKind kind = filter::NodeKind::Constant;
    filter::TokenKind op = filter::TokenKind::End; ///< of comparisons and arithmetic
    std::vector<int> children;
    std::string name; ///< of a field
    filter::FilterValue value;
    filter::ValueType type = filter::ValueType::Null;
    bool aggregate = false;
    bool recordVarying = false;
    bool caseInsensitive = false;
    size_t prefixLength = 0; ///< non-zero: compare only that many leading characters
    int depth = 1;
    filter::LogicalOp logical = filter::LogicalOp::And;              ///< of a Logical node
    filter::FilterFunction function = filter::FilterFunction::Upper; ///< of a Function node
};

} // namespace db
