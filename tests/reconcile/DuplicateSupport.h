#pragma once
// What the duplicate-check tests need beside the run fixture: book archives
// made by the zip tool, a second attachment of the catalogue that holds rows
// the way another program would, the rows of a query, and the contents of a
// folder tree for the nothing-lost comparison.

#include "db/Component.h"
#include "db/DbDatabase.h"

#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace reconcile_test {

struct ArchiveEntry {
    std::string name; ///< path inside the archive, UTF-8, "/" between folders
    std::string content;
    bool readOnly = false;
};

/// An FB2 document whose id element holds `id`.
std::string fb2Document(std::string_view id);

/// Writes a ZIP archive with the zip tool (entries deflated, or stored when
/// `stored`). Fails the test when the tool fails.
void writeZip(const std::filesystem::path &archive, const std::vector<ArchiveEntry> &entries,
              bool stored = false);

/// Column 0 of every row of `sql`, as text, read in a transaction of its own.
std::vector<std::string> queryTexts(db::TDbDatabase &database, db::TComponent &owner,
                                    const std::string &sql);

/// The message of what `action` throws; "no error" when it throws nothing.
std::string thrownBy(const std::function<void()> &action);

/// The contents of every file under `folder`, as a multiset.
std::multiset<std::string> fileContents(const std::filesystem::path &folder);

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
