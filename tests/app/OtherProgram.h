#pragma once
// Another program attached to the catalogue while dorvil-cli runs: it holds
// rows with an update it has not committed, so that the check's change of
// them meets a lock conflict, and reads the catalogue afterwards.

#include "db/DbDataSet.h"
#include "db/DbDatabase.h"
#include "db/DbQuery.h"

#include <string>
#include <vector>

namespace testing_support {

class OtherProgram {
public:
    /// Attaches to `database` (a file or a server's connect string).
    explicit OtherProgram(const std::string &database)
    {
        m_connection.SetSQLDialect(3);
        m_connection.SetDefaultTransaction(&m_transaction);
        m_transaction.SetDefaultDatabase(&m_connection);
        m_connection.SetDBName(database);
        m_connection.SetDBParams({"user_name=SYSDBA", "password=testpass"});
        m_connection.SetConnected(true);
    }

    /// Runs an update and keeps it uncommitted until release().
    void hold(const std::string &update)
    {
        m_transaction.StartTransaction();
        db::TDbQuery query(&m_owner, "Hold");
        query.SetDatabase(&m_connection);
        query.SetTransaction(&m_transaction);
        query.SQL().SetText(update);
        query.ExecQuery();
    }
    void release() { m_transaction.Rollback(); }

    /// The first column of every row a query gives, as text.
    std::vector<std::string> values(const std::string &select)
    {
        m_transaction.StartTransaction();
        db::TDbDataSet rows(&m_owner, "Rows");
        rows.SetDatabase(&m_connection);
        rows.SetTransaction(&m_transaction);
        rows.SelectSQL().SetText(select);
        rows.Open();
        std::vector<std::string> values;
        for (rows.MoveFirst(); !rows.AtEnd(); rows.MoveNext())
            values.push_back(rows.Field(0).AsText());
        rows.Close();
        m_transaction.Rollback();
        return values;
    }

private:
    db::TComponent m_owner{nullptr, "Other"};
    db::TDbDatabase m_connection{&m_owner, "Database"};
    db::TDbTransaction m_transaction{&m_owner, "Transaction"};
};

} // namespace testing_support
