// The record filter of TDbDataSet: parsing when the filter or the dataset
// changes, the visibility test, and the index that lets a walk over a
// plain equality visit only the rows of its value.

#include "DbDataSetFilter.h"

#include "platform/Text.h"

#include <optional>

namespace db {
namespace {

std::string trimmed(const std::string &text)
{
    return std::string(platform::trimBlanks(text));
}

} // namespace

filter::ValueType FilterValueType(const TField &field)
{
    using filter::ValueType;
    switch (field.DataType()) {
    case ftString:
    case ftWideString:
    case ftGuid:
        return ValueType::Text;
    case ftSmallint:
    case ftInteger:
    case ftLargeint:
        return ValueType::Integer;
    case ftBoolean:
        return ValueType::Boolean;
    case ftFloat:
        return ValueType::Float;
    case ftBCD:
        return field.Size() == 0 ? ValueType::Integer : ValueType::Float;
    case ftDate:
        return ValueType::Date;
    case ftTime:
        return ValueType::Time;
    case ftDateTime:
        return ValueType::DateTime;
    case ftMemo:
        return ValueType::Memo;
    case ftBlob:
        return ValueType::Blob;
    default:
        return ValueType::Bytes;
    }
}

filter::FilterFields &TDbDataSet::filterFields()
{
    if (!m_fieldAccess)
        m_fieldAccess = std::make_unique<FilterFieldAccess>(*this);
    return *m_fieldAccess;
}

void TDbDataSet::SetFilter(const std::string &text)
{
    applyFilter(text, m_filterOptions);
}

void TDbDataSet::SetFilterOptions(TFilterOptions options)
{
    applyFilter(m_filter, options);
}

void TDbDataSet::applyFilter(const std::string &text, TFilterOptions options)
{
    if (Active()) {
        const std::string expression = trimmed(text);
        if (!m_parser || m_parser->Text() != expression || m_parser->Options() != options) {
            // Built aside, so that a parse error leaves the old filter in force.
            std::unique_ptr<TExpressionParser> parser;
            if (!expression.empty())
                parser = std::make_unique<TExpressionParser>(expression, options, filterFields());
            m_parser = std::move(parser);
            findPlainEquality();
        }
    } else {
        m_parser.reset();
    }
    m_filter = text;
    m_filterOptions = options;
    if (Active() && m_filtered)
        MoveFirst();
}

void TDbDataSet::SetFiltered(bool filtered)
{
    if (m_parser && m_parser->Text() != trimmed(m_filter))
        applyFilter(m_filter, m_filterOptions);
    m_filtered = filtered;
    if (Active())
        reposition();
}

void TDbDataSet::reposition()
{
    const int before = ActiveRow();
    const bool wasAtEnd = AtEnd();
    if (before < 0) {
        MoveFirst();
        return;
    }
    setCurrentIndex(before);
    TGetResult result = GetRecord(TGetMode::Current);
    if (wasAtEnd && result == TGetResult::Ok)
        result = GetRecord(TGetMode::Next);
    if (result != TGetResult::Ok || CurrentIndex() != before)
        MoveFirst();
}

void TDbDataSet::CursorOpened()
{
    m_index.reset();
    const std::string expression = trimmed(m_filter);
    if (expression.empty())
        m_parser.reset();
    else if (!m_parser || m_parser->Text() != expression || m_parser->Options() != m_filterOptions)
        m_parser = std::make_unique<TExpressionParser>(expression, m_filterOptions, filterFields());
    findPlainEquality();
}

void TDbDataSet::FieldsDestroying()
{
    if (m_parser)
        m_parser->ForgetFields();
    m_index.reset();
    m_equality.reset();
}

void TDbDataSet::findPlainEquality()
{
    m_equality.reset();
    auto plain = m_parser ? m_parser->AsPlainEquality() : std::nullopt;
    if (!plain)
        return;
    auto text = std::get_if<std::string>(&plain->constant);
    TField *field = FindField(plain->fieldName);
    if (!text || !field || FilterValueType(*field) != filter::ValueType::Text)
        return;
    m_equality = PlainEquality{FieldIndexOf(*this, *field), *text};
}

bool TDbDataSet::RecordVisible(int)
{
    if (!m_filtered)
        return true;
    if (m_parser && !m_parser->Evaluate(filterFields()))
        return false;
    return !OnFilterRecord || OnFilterRecord(*this);
}

int TDbDataSet::SkipKnownHidden(int row, bool forward)
{
    if (!m_filtered || !m_equality)
        return row;
    if (!m_index || m_index->field() != m_equality->field) {
        // The index must know every row, as a walk testing row by row would
        // fetch them all on its way to the end.
        FetchAll();
        m_index = std::make_unique<EqualityIndex>(*this, m_equality->field);
    }
    return m_index->nearest(m_equality->value, row, forward, FetchedCount());
}

} // namespace db
