#pragma once
// What the duplicate-check tests need beside the run fixture and the book
// files: a second attachment of the catalogue that holds rows
// the way another program would, and the rows of a query.

#include "db/Component.h"
#include "db/DbDatabase.h"

#include "LibraryFiles.h"

#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace reconcile_test {

using testing_support::ArchiveEntry;
using testing_support::fb2Document;
using testing_support::writeZip;

/// Column 0 of every row of `sql`, as text, read in a transaction of its own.
std::vector<std::string> queryTexts(db::TDbDatabase &database, db::TComponent &owner,
                                    const std::string &sql);

/// The message of what `action` throws; "no error" when it throws nothing.
std::string thrownBy(const std::function<void()> &action);

/// A second attachment of a database with a transaction of the program's
/// kind (write, nowait, read committed) that stays open until destruction,
/// so the rows it changes stay locked for every other transaction.
class OtherAttachment {
public:
    explicit OtherAttachment(const std::filesystem::path &database);
    ~OtherAttachment();
    OtherAttachment(const OtherAttachment &) = delete;
    OtherAttachment &operator=(const OtherAttachment &) = delete;

    void execute(const std::string &sql);
    /// The number the server gave the open transaction.
    std::string transactionNumber();

private:
    db::TComponent m_owner{nullptr, "Other"};
    db::TDbDatabase m_database{&m_owner, "Database"};
    db::TDbTransaction m_transaction{&m_owner, "Transaction"};
};

} // namespace reconcile_test
