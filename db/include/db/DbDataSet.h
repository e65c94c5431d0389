#pragma once
// The dataset component the application places on its window: a cached
// dataset that can also ask the server how many rows its SELECT returns.

#include "db/FbDataSet.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace db {

enum TFilterOption : unsigned { foCaseInsensitive = 1u << 0, foNoPartialCompare = 1u << 1 };
using TFilterOptions = unsigned;

class TExpressionParser;
namespace filter {
class FilterFields;
}

class TDbDataSet : public TFbDataSet {
public:
    explicit TDbDataSet(TComponent *owner = nullptr, std::string name = {});
    ~TDbDataSet() override;

    /// The rows the SELECT would return, counted by the server; 0 while the
    /// transaction is not active. Errors of preparing the count propagate;
    /// a failing count throws std::runtime_error "<dataset> unable to get
    /// number of records" CR LF and the server's message.
    int ServerRecordCount();
    /// The private statement that runs the count.
    TFbQuery &CountStatement() { return m_count; }

    /// May supply the count statement's text in place of the derived one.
    std::function<void(TDbDataSet &, std::string &text)> OnAskRecordCount;

    // Record filter. A row is visible while Filtered when the Filter
    // expression holds for it and OnFilterRecord, if assigned, accepts it.

    const std::string &Filter() const { return m_filter; }
    /// On an open dataset the text is parsed at once: an error throws
    /// EDatabaseError "Can't parse Filter for:" CR LF and the reason, and the
    /// previous filter stays in force. A closed dataset parses it when it
    /// opens. While Filtered, moves to the first visible row.
    void SetFilter(const std::string &text);
    TFilterOptions FilterOptions() const { return m_filterOptions; }
    /// Rebuilds the filter like SetFilter, with the current text.
    void SetFilterOptions(TFilterOptions options);
    bool Filtered() const { return m_filtered; }
    /// On an open dataset, re-positions so that the current row is visible
    /// (or AtEnd is true).
    void SetFiltered(bool filtered);
    /// Called in the filter state: the fields show the row under test.
    std::function<bool(TDbDataSet &)> OnFilterRecord;

protected:
    bool RecordVisible(int row) override;
    int SkipKnownHidden(int row, bool forward) override;
    void CursorOpened() override;
    void FieldsDestroying() override;

private:
    class FilterFieldAccess;
    class EqualityIndex;

    /// A filter that is exactly a text field equal to a text constant.
    struct PlainEquality {
        int field;
        std::string value;
    };

    std::string countText();
    filter::FilterFields &filterFields();
    void applyFilter(const std::string &text, TFilterOptions options);
    void findPlainEquality();
    void reposition();

    TFbQuery m_count;
    std::string m_filter;
    TFilterOptions m_filterOptions = 0;
    bool m_filtered = false;
    std::unique_ptr<TExpressionParser> m_parser;
    std::unique_ptr<FilterFieldAccess> m_fieldAccess;
    std::optional<PlainEquality> m_equality;
    std::unique_ptr<EqualityIndex> m_index;
};

/// The count statement for a SELECT: the derived-table form for Firebird 2
/// and later, the rewrite of the FROM and WHERE parts for other servers.
std::string RecordCountText(std::string_view selectText, bool derivedTableForm);

} // namespace db
