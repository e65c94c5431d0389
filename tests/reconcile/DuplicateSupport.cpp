#include "DuplicateSupport.h"

#include "FileContents.h"
#include "TempFolder.h"

#include "db/DbDataSet.h"
#include "db/DbQuery.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace reconcile_test {
namespace fs = std::filesystem;

std::vector<std::string> queryTexts(db::TDbDatabase &database, db::TComponent &owner,
                                    const std::string &sql)
{
    db::TDbTransaction transaction(&owner, "ReadTransaction");
    transaction.SetDefaultDatabase(&database);
    db::TDbDataSet result(&owner, "ReadQuery");
    result.SetDatabase(&database);
    result.SetTransaction(&transaction);
    result.SelectSQL().SetText(sql);
    result.Open();
    std::vector<std::string> texts;
    for (result.MoveFirst(); !result.AtEnd(); result.MoveNext())
        texts.push_back(result.Field(0).AsText());
    result.Close();
    transaction.Commit();
    return texts;
}

std::string thrownBy(const std::function<void()> &action)
{
    try {
        action();
    } catch (const std::exception &error) {
        return error.what();
    }
    return "no error";
}

OtherAttachment::OtherAttachment(const fs::path &database)
{
    m_database.SetSQLDialect(3);
    m_database.SetDefaultTransaction(&m_transaction);
    m_transaction.SetDefaultDatabase(&m_database);
    m_database.ConnectParams().SetUserName("SYSDBA");
    m_database.ConnectParams().SetPassword("testpass");
    m_database.SetDBName(database.string());
    m_database.SetConnected(true);
    m_transaction.StartTransaction();
}

OtherAttachment::~OtherAttachment()
{
    try {
        if (m_transaction.Active())
            m_transaction.Rollback();
        m_database.SetConnected(false);
    } catch (const std::exception &) {
        // The test has its verdict already; a failed rollback only ends the attachment.
    }
}

void OtherAttachment::execute(const std::string &sql)
{
    db::TDbQuery statement(&m_owner, "Statement");
    statement.SetDatabase(&m_database);
    statement.SetTransaction(&m_transaction);
    statement.SQL().SetText(sql);
    statement.ExecQuery();
}

std::string OtherAttachment::transactionNumber()
{
    db::TDbDataSet result(&m_owner, "Number");
    result.SetDatabase(&m_database);
    result.SetTransaction(&m_transaction);
    result.SelectSQL().SetText("select CURRENT_TRANSACTION from RDB$DATABASE");
    result.Open();
    result.MoveFirst();
    std::string number = result.Field(0).AsText();
    result.Close();
    return number;
}

} // namespace reconcile_test
