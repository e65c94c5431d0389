// A database made from nothing with the embedded engine: it opens like any
// catalogue, and an existing file or an unreachable folder is refused
// without a change to what is there.

#include "TestSupport.h"
#include "db/CreateDatabase.h"
#include "db/FbErrors.h"

#include "FileContents.h"

#include <gtest/gtest.h>

#include <string>

namespace {

namespace fs = std::filesystem;

class CreateDatabaseTest : public testing::TestWithParam<const char *> {
protected:
    dbtest::TempFolder m_folder;
};

TEST_P(CreateDatabaseTest, MakesADialect3DatabaseWithoutCharacterSet)
{
    const fs::path file = m_folder.native() / GetParam();
    db::CreateDatabase(file.string(), "CATALOGUE_OWNER", "secret");
    ASSERT_TRUE(fs::is_regular_file(file));

    dbtest::Form1 form(file);
    form.database.SetConnected(true);
    EXPECT_EQ(form.database.DatabaseSQLDialect(), 3);
    form.transaction.StartTransaction();
    EXPECT_EQ(dbtest::queryInteger(form.database, form.transaction,
                                   "select count(*) from RDB$DATABASE "
                                   "where RDB$CHARACTER_SET_NAME = 'NONE'"),
              1);
    EXPECT_EQ(dbtest::queryInteger(form.database, form.transaction,
                                   "select count(*) from MON$DATABASE "
                                   "where MON$OWNER = 'CATALOGUE_OWNER'"),
              1);
    // Writable: a table made and filled in it holds its row.
    dbtest::executeSql(form.database, form.transaction, "create table T (X integer)", nullptr);
    form.transaction.Commit();
    form.transaction.StartTransaction();
    dbtest::executeSql(form.database, form.transaction, "insert into T values (42)", nullptr);
    EXPECT_EQ(dbtest::queryInteger(form.database, form.transaction, "select X from T"), 42);
    form.transaction.Commit();
}

// An apostrophe in the path must not end the statement's file name early.
INSTANTIATE_TEST_SUITE_P(Names, CreateDatabaseTest,
                         testing::Values("catalogue.fdb", "O'Brien's catalogue.fdb"));

TEST(CreateDatabaseRefusal, AnExistingFileOrAMissingFolderIsRefusedAndLeftAlone)
{
    const dbtest::TempFolder folder;
    const fs::path existing = folder.write("catalogue.fdb", "the user's own data");
    const fs::path unreachable = folder.native() / "no-such-folder" / "catalogue.fdb";
    for (const fs::path &file : {existing, unreachable}) {
        const std::string message = dbtest::messageOf<db::EFbServerError>(
            [&] { db::CreateDatabase(file.string(), "SYSDBA", "secret"); });
        EXPECT_NE(message.find("I/O error during \"open O_CREAT\" operation for file \"" +
                               file.string() + "\""),
                  std::string::npos)
            << message;
    }
    EXPECT_EQ(testing_support::readFile(existing), "the user's own data");
    EXPECT_FALSE(fs::exists(unreachable.parent_path()));
}

} // namespace
