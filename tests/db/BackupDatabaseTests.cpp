// The engine's own backup through the services interface: the standard
// restore tool turns the backup into a database with the rows as they were,
// and a backup that cannot be made says why and leaves what is there alone.

#include "TestSupport.h"
#include "db/BackupDatabase.h"

#include "FileContents.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <stdexcept>
#include <string>

namespace {

namespace fs = std::filesystem;

TEST(BackupDatabase, RestoresWithTheStandardToolToTheRowsAsTheyWere)
{
    const dbtest::TempFolder folder;
    const fs::path catalogue = folder.native() / "catalogue.fdb";
    ASSERT_EQ(testing_support::makeDatabase(
                  catalogue, 3, true,
                  "insert into BOOK (BOOKID, FILENAME, OLDID) values (1, 'a\\1.zip', 'O''Id');"
                  "insert into BOOK (BOOKID, FILENAME, OLDID) values (2, 'b\\2.zip', 'X');"),
              "");
    const fs::path backup = folder.native() / "catalogue.fbk";
    db::BackupDatabase(catalogue.string(), platform::programPath(backup), "SYSDBA", "testpass");
    ASSERT_TRUE(fs::is_regular_file(backup));

    const fs::path restored = folder.native() / "restored.fdb";
    const std::string command = "gbak -c -user SYSDBA -password testpass '" + backup.string() +
                                "' '" + restored.string() + "' 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    EXPECT_EQ(testing_support::queryValues(
                  restored, "select BOOKID, FILENAME, OLDID from BOOK order by BOOKID"),
              (std::vector<std::string>{"1", "a\\1.zip", "O'Id", "2", "b\\2.zip", "X"}));
}

TEST(BackupDatabase, AnExistingBackupFileOrAMissingCatalogueIsRefused)
{
    const dbtest::TempFolder folder;
    const fs::path catalogue = folder.native() / "catalogue.fdb";
    ASSERT_EQ(testing_support::makeDatabase(catalogue, 3, true), "");
    const fs::path existing = folder.write("taken.fbk", "the user's own file");
    EXPECT_THROW(db::BackupDatabase(catalogue.string(), platform::programPath(existing), "SYSDBA",
                                    "testpass"),
                 std::runtime_error);
    EXPECT_EQ(testing_support::readFile(existing), "the user's own file");

    const fs::path backup = folder.native() / "none.fbk";
    EXPECT_THROW(db::BackupDatabase((folder.native() / "none.fdb").string(),
                                    platform::programPath(backup), "SYSDBA", "testpass"),
                 std::exception);
    EXPECT_FALSE(fs::exists(backup));
}

} // namespace
