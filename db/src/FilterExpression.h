#pragma once
// Record filter expressions: parsed once when a dataset's filter is set,
// then evaluated against each cached row that navigation reaches.

#include "db/DbDataSet.h"
#include "db/FbFields.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace db {

namespace filter {

/// A value during evaluation: the values fields give (null, text, integer,
/// floating point, boolean, date-time) and constants of the same kinds.
using FilterValue = TFieldValue;
using DateValue = TDateTimeValue;

enum class ValueType {
    Null,
    Text,
    Integer,
    Float,
    Boolean,
    Date,
    Time,
    DateTime,
    Memo,
    Blob,
    Bytes
};

struct FieldRef {
    int index = -1;
    ValueType type = ValueType::Text;
    bool calculated = false; ///< calculated and lookup fields cannot be filtered on
};

/// What a filter needs of its dataset.
class FilterFields {
public:
    virtual ~FilterFields() = default;
    /// The field of that name; throws the dataset's "Field '%s' not found".
    virtual FieldRef fieldNamed(std::string_view name) = 0;
    /// The field's value in the row under test; texts as AsText gives them.
    virtual FilterValue fieldValue(int index) = 0;
};

} // namespace filter

/// A parsed filter.
class TExpressionParser {
public:
    /// Parses and types `text` (already trimmed, not blank); throws
    /// EDatabaseError "Can't parse Filter for:" CR LF and the reason.
    TExpressionParser(std::string_view text, TFilterOptions options, filter::FilterFields &fields);
    ~TExpressionParser();
    TExpressionParser(TExpressionParser &&) noexcept;
    TExpressionParser &operator=(TExpressionParser &&) noexcept;

    const std::string &Text() const { return m_text; }
    TFilterOptions Options() const { return m_options; }

    /// Whether the row under test passes; evaluation errors propagate.
    bool Evaluate(filter::FilterFields &fields);
    /// The dataset's fields were recreated: look them up again by name.
    void ForgetFields() { m_fieldCache.clear(); }

    /// A filter that is exactly `field = constant`, compared plainly, can be
    /// answered from an index of the field's values.
    struct PlainEquality {
        std::string fieldName;
        filter::FilterValue constant;
    };
    std::optional<PlainEquality> AsPlainEquality() const;

    struct Node;

private:
    friend class FilterBuilder;
    filter::FilterValue evaluate(int node, filter::FilterFields &fields);
    filter::FilterValue fieldValue(const Node &node, filter::FilterFields &fields);
    filter::FilterValue evaluateFunction(const Node &node, filter::FilterFields &fields);

    std::string m_text;
    TFilterOptions m_options;
    std::vector<Node> m_nodes;
    int m_root = -1;
    std::map<std::string, int> m_fieldCache;
};

} // namespace db
