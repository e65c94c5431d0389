#include "DuplicateSupport.h"

#include "FileContents.h"
#include "TempFolder.h"

#include "db/DbDataSet.h"
#include "db/DbQuery.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace reconcile_test {
namespace {

namespace fs = std::filesystem;

std::string shellQuoted(const std::string &text)
{
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

} // namespace

std::string fb2Document(std::string_view id)
{
    return "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n"
           "<FictionBook xmlns=\"http://www.gribuser.ru/xml/fictionbook/2.0\">\r\n"
           "<description><document-info>\r\n"
           "<id>" +
           std::string(id) +
           "</id>\r\n"
           "</document-info></description>\r\n"
           "<body><p>text</p></body></FictionBook>\r\n";
}

void writeZip(const fs::path &archive, const std::vector<ArchiveEntry> &entries, bool stored)
{
    testing_support::TempFolder staging;
    std::string names;
    for (const ArchiveEntry &entry : entries) {
        const fs::path file = staging.write(entry.name, entry.content);
        if (entry.readOnly)
            fs::permissions(file,
                            fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
        names += " " + shellQuoted(entry.name);
    }
    fs::create_directories(archive.parent_path());
    const std::string command = "cd " + shellQuoted(staging.native().string()) + " && zip -q -X " +
                                (stored ? "-0 " : "") + shellQuoted(archive.string()) + names;
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
}

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

std::multiset<std::string> fileContents(const fs::path &folder)
{
    std::multiset<std::string> contents;
    for (const fs::directory_entry &entry : fs::recursive_directory_iterator(folder))
        if (entry.is_regular_file())
            contents.insert(testing_support::readFile(entry.path()));
    return contents;
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
