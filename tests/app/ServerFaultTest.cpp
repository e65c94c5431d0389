// dorvil-cli against a real server that refuses it or dies under it. The
// server killed while a check runs, then started again: the user is told,
// no file is lost, the catalogue holds what was committed, and a second run
// on the restarted server completes. These tests kill the server the other
// LoopbackServer tests use, so ctest runs no two of them at once.

#include "FileContents.h"
#include "FilePermissions.h"
#include "LibraryFiles.h"
#include "OtherProgram.h"
#include "ProgramFolder.h"
#include "RunProgram.h"
#include "TestDatabase.h"

#include <gtest/gtest.h>

#include <pwd.h>
#include <signal.h>
#include <sys/mount.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fstream>
#include <ostream>
#include <set>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using testing_support::ProgramFolder;

const std::string kServerDir = DORVIL_FB_SERVER_DIR;

pid_t serverPid()
{
    std::ifstream file(kServerDir + "/server.pid");
    pid_t pid = 0;
    file >> pid;
    return pid;
}

// A killed server is a zombie until its parent reaps it, and ours is not its
// parent: it runs while its process is there and is no zombie.
bool running(pid_t pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string field;
    for (int i = 0; i < 3 && stat >> field; ++i) {
    }
    return stat && field != "Z";
}

void killServer()
{
    const pid_t pid = serverPid();
    if (pid <= 0 || kill(pid, SIGKILL) != 0)
        return;
    while (running(pid))
        usleep(10000);
}

// The way the fixture starts it; empty when it runs, else what the script said.
std::string startServer()
{
    const std::string log = kServerDir + ".restart.log";
    const std::string command = std::string(DORVIL_START_SERVER) + " " + kServerDir +
                                " " DORVIL_FB_SERVER_PORT " testpass >" + log + " 2>&1";
    if (std::system(command.c_str()) == 0)
        return {};
    return testing_support::readFile(log);
}

// Whatever a test does, the server runs again when it ends, for the tests
// that follow.
struct ServerRestartedAfterwards {
    ~ServerRestartedAfterwards()
    {
        if (!running(serverPid()))
            startServer();
    }
};

// Starting the server again clears its run folder, so the catalogue lives
// in a folder of its own that the server's user may write.
class ServerCatalogueFolder {
public:
    ServerCatalogueFolder()
    {
        const passwd *firebird = getpwnam("firebird");
        if (!firebird || chown(m_folder.native().c_str(), firebird->pw_uid, firebird->pw_gid) != 0)
            failure = "cannot give " + m_folder.native().string() + " to user firebird";
    }
    std::string database() const
    {
        return "localhost/" DORVIL_FB_SERVER_PORT ":" +
               (m_folder.native() / "catalogue.fdb").string();
    }
    std::string failure;

private:
    testing_support::TempFolder m_folder{P_tmpdir};
};

std::string manyRows(int count, const std::string &insert)
{
    return "set term ^;"
           "execute block as declare i integer = 1; begin"
           "  while (i <= " +
           std::to_string(count) + ") do begin " + insert +
           ";"
           "    i = i + 1;"
           "  end "
           "end^"
           "set term ;^";
}

struct KilledCheck {
    const char *check;
    std::string catalogueSql;
    const char *settings; ///< for Dorvil.ini's [Compare] section
    const char *cue;      ///< the server is killed once this shows in the log
    const char *countSql; ///< what the catalogue holds, before and after
    std::vector<std::string> afterSecondRun;
};

std::ostream &operator<<(std::ostream &out, const KilledCheck &row)
{
    return out << row.check;
}

class ServerKilled : public testing::TestWithParam<KilledCheck> {};

TEST_P(ServerKilled, MidCheckIsReportedLosesNothingAndASecondRunCompletes)
{
    const KilledCheck &row = GetParam();
    if (geteuid() != 0)
        GTEST_SKIP() << "restarting the loopback server needs root";
    const ServerRestartedAfterwards restarted;
    const ServerCatalogueFolder catalogue;
    ASSERT_EQ(catalogue.failure, "");
    const ProgramFolder folder({}, 1, row.settings);
    ASSERT_EQ(testing_support::detail::runIsql(catalogue.database(), 3, true, row.catalogueSql,
                                               folder.native("server-catalogue")),
              "");
    folder.writeManagerSettings(1, catalogue.database());
    folder.write("library/a/surplus.zip", "surplus");
    folder.write("library/b/other.zip", "other");
    const auto files = [&] {
        return testing_support::fileContents({folder.native("library"), folder.native("moved")});
    };
    const auto before = files();
    const fs::path scratch = folder.native("server-catalogue");
    const auto rowsBefore =
        testing_support::queryValues(catalogue.database(), row.countSql, scratch);
    const std::vector<std::string> arguments = {"--dir", folder.native("manager").string(), "--run",
                                                row.check};

    bool killed = false;
    const testing_support::ProgramResult first = testing_support::runProgramWatched(
        DORVIL_CLI, arguments, folder.native(), [&](const std::string &out, pid_t) {
            if (!killed && out.find(row.cue) != std::string::npos) {
                killServer();
                killed = true;
            }
        });
    ASSERT_TRUE(killed) << first.out;
    EXPECT_EQ(first.status, 1) << first.out << first.err;
    // The error that ended the check, in the server's words ("Error reading
    // data from the connection." or "Error writing data to the connection.").
    EXPECT_NE(first.err.find("Unsuccessful execution caused by a system error"), std::string::npos)
        << first.err;
    EXPECT_NE(first.err.find(" the connection."), std::string::npos) << first.err;
    EXPECT_EQ(files(), before);

    ASSERT_EQ(startServer(), "");
    // Nothing of the interrupted run was committed.
    EXPECT_EQ(testing_support::queryValues(catalogue.database(), row.countSql, scratch),
              rowsBefore);
    const testing_support::ProgramResult second = testing_support::runProgram(
        DORVIL_CLI, "--dir '" + arguments[1] + "' --run " + row.check, folder.native());
    EXPECT_EQ(second.status, 0) << second.err;
    EXPECT_EQ(second.err, "");
    EXPECT_EQ(testing_support::queryValues(catalogue.database(), row.countSql, scratch),
              row.afterSecondRun);
    EXPECT_EQ(files(), before);
}

INSTANTIATE_TEST_SUITE_P(
    Checks, ServerKilled,
    testing::Values(
        KilledCheck{"compare",
                    manyRows(20000, "insert into BOOK (BOOKID, FILENAME) values (:i, 'gone\\' || "
                                    ":i || '.zip')"),
                    "",
                    "gone\\1.zip",
                    "select count(*) from BOOK",
                    {"20000"}},
        KilledCheck{"duplicate-files",
                    manyRows(4000, "insert into BOOK (BOOKID, FILENAME, OLDID) values (:i, "
                                   "'gone\\' || (:i / 2) || '.zip', 'ID' || :i)"),
                    "DelDoubleRec=1\r\nIdNotFound=2\r\n",
                    "  Запись с ID",
                    "select count(*) from BOOK",
                    {"2"}},
        KilledCheck{"duplicate-links",
                    manyRows(4000, "insert into BOOK_AUTOR (ID, BOOKID, AUTORID) values (:i, "
                                   "(:i / 2), 1)"),
                    "DelDoubleRec=1\r\n",
                    "  Почищено",
                    "select count(*) from BOOK_AUTOR",
                    {"2001"}}),
    [](const testing::TestParamInfo<KilledCheck> &row) {
        std::string name = row.param.check;
        std::erase(name, '-');
        return name;
    });

// Several faults in one duplicate-file run: another program holds a record
// the check deletes, the temporary folder is full, the move folder is
// read-only, and the user interrupts. Each is reported where it happens,
// the check runs to its end (it ignores Stop), and nothing is lost.
TEST(LoopbackServer, DuplicateFilesUnderSeveralFaultsAtOnceLoseNothing)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "a full temporary folder needs root to mount a small tmpfs";
    const ServerCatalogueFolder catalogue;
    ASSERT_EQ(catalogue.failure, "");
    const ProgramFolder folder({}, 1, "DelDoubleRec=1\r\nIdNotFound=2\r\nMoveNotFound=1\r\n");
    const fs::path scratch = folder.native("server-catalogue");
    ASSERT_EQ(testing_support::detail::runIsql(
                  catalogue.database(), 3, true,
                  "insert into BOOK (BOOKID, FILENAME, OLDID, BOOKNAME) values (1, "
                  "'a\\held.zip', 'ID-A', 'Book 1');"
                  "insert into BOOK (BOOKID, FILENAME, OLDID, BOOKNAME) values (2, "
                  "'a\\held.zip', 'ID-X', 'Book 2');"
                  "insert into BOOK (BOOKID, FILENAME, OLDID, BOOKNAME) values (3, "
                  "'b\\big.zip', 'ID-B', 'Book 3');"
                  "insert into BOOK (BOOKID, FILENAME, OLDID, BOOKNAME) values (4, "
                  "'b\\big.zip', 'ID-Y', 'Book 4');",
                  scratch),
              "");
    folder.writeManagerSettings(1, catalogue.database());
    ASSERT_NO_FATAL_FAILURE(testing_support::writeZip(
        folder.native("library/a/held.zip"), {{"book.fb2", testing_support::fb2Document("ID-A")}}));
    std::string big = testing_support::fb2Document("ID-B");
    for (int i = 0; big.size() < 400000; ++i)
        big += "<p>line " + std::to_string(i) + " of the book</p>\r\n";
    ASSERT_NO_FATAL_FAILURE(
        testing_support::writeZip(folder.native("library/b/big.zip"), {{"book.fb2", big}}));
    const auto files = [&] {
        return testing_support::fileContents({folder.native("library"), folder.native("moved")});
    };
    const auto before = files();

    testing_support::OtherProgram other(catalogue.database());
    other.hold("update BOOK set OLDID = OLDID where BOOKID = 2");

    const fs::path temporary = folder.native("systemp");
    ASSERT_EQ(mount("tmpfs", temporary.c_str(), "tmpfs", 0, "size=64k"), 0) << std::strerror(errno);
    fs::permissions(folder.native("moved"), fs::perms::owner_read | fs::perms::owner_exec);
    bool interrupted = false;
    const testing_support::ProgramResult run = testing_support::runProgramWatched(
        DORVIL_CLI, {"--dir", folder.native("manager").string(), "--run", "duplicate-files"},
        folder.native(),
        [&](const std::string &out, pid_t cli) {
            if (!interrupted && out.find("a\\held.zip - 2") != std::string::npos)
                interrupted = kill(cli, SIGINT) == 0;
        },
        testing_support::dropOverridingCapabilitiesForGood);
    std::vector<std::string> leftInTemporary;
    for (const auto &entry : fs::recursive_directory_iterator(temporary))
        if (!entry.is_directory())
            leftInTemporary.push_back(entry.path().string());
    umount(temporary.c_str());
    fs::permissions(folder.native("moved"), fs::perms::owner_all);
    other.release();

    EXPECT_TRUE(interrupted) << run.out;
    EXPECT_EQ(run.status, 128 + SIGINT) << run.err;
    const std::vector<std::string> log = testing_support::linesOf(run.out);
    const auto logged = [&](const std::string &start) {
        return std::find_if(log.begin(), log.end(),
                            [&](const std::string &line) { return line.starts_with(start); });
    };
    ASSERT_NE(logged("  fb2 file id - ID-A"), log.end()) << run.out;
    const auto refused = logged("  !!!!Не могу удалить запись с ID ! ID-X - ");
    ASSERT_NE(refused, log.end()) << run.out;
    EXPECT_NE(run.out.find("concurrent update"), std::string::npos) << run.out;
    EXPECT_NE(logged("  !!!! не могу извлечь ID fb2 файла! - Cant write uncompressed file"),
              log.end())
        << run.out;
    EXPECT_NE(logged("  Запись с ID ID-B удалена"), log.end()) << run.out;
    EXPECT_NE(logged("  Запись с ID ID-Y удалена"), log.end()) << run.out;
    const auto moveFailed = logged("!!!! Не могу перенести файл ");
    ASSERT_NE(moveFailed, log.end()) << run.out;
    EXPECT_NE(moveFailed->find("big.zip"), std::string::npos) << *moveFailed;
    EXPECT_EQ(log.back(), "Найдено дублей -2");

    EXPECT_EQ(leftInTemporary, std::vector<std::string>{});
    EXPECT_EQ(files(), before);
    EXPECT_EQ(testing_support::queryValues(catalogue.database(),
                                           "select BOOKID from BOOK order by BOOKID", scratch),
              (std::vector<std::string>{"1", "2"}));
    EXPECT_TRUE(fs::exists(folder.native("manager/last.log")));
}

TEST(LoopbackServer, AWrongPasswordEndsTheRunWithTheServersMessage)
{
    const ProgramFolder folder;
    std::string settings = testing_support::readFile(folder.native("manager/Dorvil.ini"));
    settings.replace(settings.find("Password=testpass"), 17, "Password=not-the-password");
    folder.write("manager/Dorvil.ini", settings);
    folder.write("library/a/book.zip", "book");
    folder.writeManagerSettings(1, "localhost/" DORVIL_FB_SERVER_PORT ":" + kServerDir +
                                       "/no-such.fdb");
    const testing_support::ProgramResult result = testing_support::runProgram(
        DORVIL_CLI, "--dir '" + folder.native("manager").string() + "' --run compare",
        folder.native());
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find("Your user name and password are not defined"), std::string::npos)
        << result.err;
    EXPECT_EQ(result.err.find("not-the-password"), std::string::npos) << result.err;
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(testing_support::readFile(folder.native("library/a/book.zip")), "book");
}

} // namespace
