#pragma once
// Shared helpers of the database tests: a temporary folder, test databases
// created by isql, and SQL run directly through the client library.

#include "db/Component.h"
#include "db/DbDatabase.h"

#include "TempFolder.h"
#include "TestDatabase.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace dbtest {

using testing_support::TempFolder;

/// The message of the Error that action throws, or "(no error)".
template <typename Error, typename F> std::string messageOf(F &&action)
{
    try {
        action();
    } catch (const Error &error) {
        return error.what();
    }
    return "(no error)";
}

using testing_support::createDatabase;

/// Runs one statement in the transaction through the client library; a
/// failure becomes the server error with the sender named.
void executeSql(db::TFbDatabase &database, db::TFbTransaction &transaction, std::string_view sql,
                const db::TComponent *sender);

/// The single integer that a singleton SELECT gives; nothing for NULL.
std::optional<long long> queryInteger(db::TFbDatabase &database, db::TFbTransaction &transaction,
                                      std::string_view sql);

/// A window with a connection and a transaction named as the application
/// names them, attached as SYSDBA (the embedded engine checks no password).
struct Form1 {
    db::TComponent form{nullptr, "Form1"};
    db::TDbDatabase database{&form, "DbDatabase1"};
    db::TDbTransaction transaction{&form, "DbTransaction1"};

    explicit Form1(const std::filesystem::path &file, std::string password = "testpass");
};

} // namespace dbtest
