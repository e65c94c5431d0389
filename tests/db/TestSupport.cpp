#include "TestSupport.h"

#include "FbClient.h"
#include "Internals.h"

#include <gtest/gtest.h>

#include <vector>

namespace dbtest {

void executeSql(db::TFbDatabase &database, db::TFbTransaction &transaction, std::string_view sql,
                const db::TComponent *sender)
{
    const db::IFbClientLibrary &library = *db::detail::Internals::clientLibrary(database);
    const std::string text(sql);
    if (library.isc_dsql_execute_immediate(
            db::StatusVector(), db::detail::Internals::handlePointer(database),
            db::detail::Internals::handlePointer(transaction), 0, text.c_str(),
            static_cast<unsigned short>(database.SQLDialect()), nullptr) != 0)
        db::RaiseServerError(library, sender);
}

std::optional<long long> queryInteger(db::TFbDatabase &database, db::TFbTransaction &transaction,
                                      std::string_view sql)
{
    const db::IFbClientLibrary &library = *db::detail::Internals::clientLibrary(database);
    std::vector<char> area(XSQLDA_LENGTH(1));
    auto *output = reinterpret_cast<XSQLDA *>(area.data());
    output->version = SQLDA_VERSION1;
    output->sqln = 1;
    output->sqld = 1;
    ISC_INT64 value = 0;
    short nullIndicator = 0;
    output->sqlvar[0].sqltype = SQL_INT64 + 1;
    output->sqlvar[0].sqllen = sizeof value;
    output->sqlvar[0].sqldata = reinterpret_cast<ISC_SCHAR *>(&value);
    output->sqlvar[0].sqlind = &nullIndicator;
    const std::string text(sql);
    if (library.isc_dsql_exec_immed2(
            db::StatusVector(), db::detail::Internals::handlePointer(database),
            db::detail::Internals::handlePointer(transaction), 0, text.c_str(),
            static_cast<unsigned short>(database.SQLDialect()), nullptr, output) != 0)
        db::RaiseServerError(library, &transaction);
    if (nullIndicator != 0)
        return std::nullopt;
    return value;
}

Form1::Form1(const std::filesystem::path &file, std::string password)
{
    database.SetDBName(file.string());
    database.SetDBParams({"user_name=SYSDBA", "password=" + password, "sql_role_name="});
    database.SetSQLDialect(3);
    database.SetDefaultTransaction(&transaction);
    transaction.SetDefaultDatabase(&database);
}

} // namespace dbtest
