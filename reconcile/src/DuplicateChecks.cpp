#include "DuplicateChecks.h"

#include "db/DbDataSet.h"
#include "db/DbDatabase.h"
#include "db/DbQuery.h"

#include <exception>

namespace reconcile {

void OpenGroupingQuery(const Run &run, const std::string &selectText)
{
    db::TDbDataSet &groups = run.components.tblDoubleBook;
    if (groups.Active())
        groups.Close();
    run.components.DbTransaction1.StartTransaction();
    groups.SelectSQL().SetText(selectText);
    groups.Open();
    groups.MoveFirst();
}

bool ExecuteModification(const Run &run, const std::string &statement, std::string &ErrorText)
{
    ErrorText.clear();
    try {
        db::TDbQuery &query = run.components.DbQuery1;
        query.SQL().SetText(statement);
        query.ExecQuery();
        return true;
    } catch (const std::exception &error) {
        ErrorText = error.what();
        return false;
    }
}

} // namespace reconcile
