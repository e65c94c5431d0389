#include "db/DbDataSet.h"

#include "DbDataSetFilter.h"

#include "SqlText.h"
#include "db/FbErrors.h"

#include <stdexcept>

namespace db {

std::string RecordCountText(std::string_view selectText, bool derivedTableForm)
{
    if (derivedTableForm)
        return "Select Count(*) from (" + std::string(selectText) + ")";
    return sql::CountRewrite(selectText);
}

TDbDataSet::TDbDataSet(TComponent *owner, std::string name)
    : TFbDataSet(owner, std::move(name)), m_count(this, "CountQuery")
{
}

TDbDataSet::~TDbDataSet() = default;

std::string TDbDataSet::countText()
{
    std::string text;
    if (OnAskRecordCount)
        OnAskRecordCount(*this, text);
    if (!text.empty())
        return text;
    const TFbDatabase *database = SelectStatement().Database();
    const bool derivedTableForm =
        database != nullptr && database->ServerIsFirebird() && database->ServerVersionMajor() > 1;
    return RecordCountText(SelectSQL().Text(), derivedTableForm);
}

int TDbDataSet::ServerRecordCount()
{
    TFbQuery &select = SelectStatement();
    if (select.Transaction() == nullptr || !select.Transaction()->Active())
        return 0;
    m_count.Close();
    m_count.SetDatabase(select.Database());
    m_count.SetTransaction(select.Transaction());
    const std::string text = countText();
    // Compared line by line, so that a text ending in a line break does not
    // count as changed and the statement stays prepared.
    const std::vector<std::string> lines = SplitLines(text);
    if (lines != m_count.SQL().Lines())
        m_count.SQL().Assign(lines);
    if (lines.empty())
        return 0;
    for (int i = 0; i < m_count.Params().Count(); ++i) {
        TFbXSQLVAR &param = m_count.Params()[i];
        if (TFbXSQLVAR *source = select.Params().Find(param.Name()))
            param.Assign(*source);
    }
    m_count.Prepare();
    try {
        m_count.ExecQuery();
        const int count = m_count.Eof() ? 0 : m_count.Column(0).AsInteger();
        m_count.Close();
        return count;
    } catch (const std::exception &error) {
        throw std::runtime_error(
            FormatText("%s unable to get number of records", {FullComponentName(this)}) + "\r\n" +
            error.what());
    }
}

} // namespace db
