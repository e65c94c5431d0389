#pragma once
// The parts of TDbDataSet's record filter that its header only names: the
// filter's view of the dataset's fields, and the index of one text field's
// values that lets a walk over a plain equality visit only its rows.

#include "FilterExpression.h"
#include "db/DbDataSet.h"

#include <algorithm>
#include <string>
#include <unordered_map>
#include <vector>

namespace db {

/// How the filter types a field of the given class.
filter::ValueType FilterValueType(const TField &field);

/// The position of one of the dataset's own fields.
inline int FieldIndexOf(const TDbDataSet &dataSet, const TField &field)
{
    int index = 0;
    while (&dataSet.Field(index) != &field)
        ++index;
    return index;
}

class TDbDataSet::FilterFieldAccess : public filter::FilterFields {
public:
    explicit FilterFieldAccess(TDbDataSet &dataSet) : m_dataSet(dataSet) {}

    filter::FieldRef fieldNamed(std::string_view name) override
    {
        const TField &field = m_dataSet.FieldNamed(name);
        return {FieldIndexOf(m_dataSet, field), FilterValueType(field), false};
    }

    filter::FilterValue fieldValue(int index) override { return m_dataSet.Field(index).Value(); }

private:
    TDbDataSet &m_dataSet;
};

// The cached rows of each value of one text field, in row order. Rows that
// are NULL have no value and are in no list: a plain equality never shows
// them.
class TDbDataSet::EqualityIndex {
public:
    EqualityIndex(const TDbDataSet &dataSet, int field) : m_field(field)
    {
        const TField &indexed = dataSet.Field(field);
        m_rows.reserve(size_t(dataSet.FetchedCount()));
        for (int row = 0; row < dataSet.FetchedCount(); ++row) {
            TFieldValue value = indexed.ValueAt(row);
            if (auto text = std::get_if<std::string>(&value))
                m_rows[std::move(*text)].push_back(row);
        }
    }

    int field() const { return m_field; }

    /// The nearest row from `row` on (or back) whose value is `value`;
    /// `rowCount` or -1 when there is none.
    int nearest(const std::string &value, int row, bool forward, int rowCount) const
    {
        auto found = m_rows.find(value);
        if (found == m_rows.end())
            return forward ? rowCount : -1;
        const std::vector<int> &rows = found->second;
        if (forward) {
            auto next = std::lower_bound(rows.begin(), rows.end(), row);
            return next == rows.end() ? rowCount : *next;
        }
        auto after = std::upper_bound(rows.begin(), rows.end(), row);
        return after == rows.begin() ? -1 : *(after - 1);
    }

private:
    int m_field;
    std::unordered_map<std::string, std::vector<int>> m_rows;
};

} // namespace db
