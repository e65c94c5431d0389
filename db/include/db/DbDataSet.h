#pragma once
// The dataset component the application places on its window: a cached
// dataset that can also ask the server how many rows its SELECT returns.

#include "db/FbDataSet.h"

#include <functional>
#include <string>

namespace db {

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

private:
    std::string countText();

    TFbQuery m_count;
};

/// The count statement for a SELECT: the derived-table form for Firebird 2
/// and later, the rewrite of the FROM and WHERE parts for other servers.
std::string RecordCountText(std::string_view selectText, bool derivedTableForm);

} // namespace db
