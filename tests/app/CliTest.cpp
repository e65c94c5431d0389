// dorvil-cli as a user runs it: a manager folder with a real catalogue and a
// real library, one run of the program, then its exit status, its output,
// last.log, Dorvil.ini and the database compared with what is expected.

#include "FileContents.h"
#include "LibraryFiles.h"
#include "OtherProgram.h"
#include "ProgramFolder.h"
#include "RunProgram.h"
#include "TestDatabase.h"

#include "platform/Text.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <map>
#include <ostream>
#include <set>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using testing_support::ProgramFolder;
using testing_support::readFile;

using Result = testing_support::ProgramResult;

Result runCli(const ProgramFolder &folder, const std::string &arguments)
{
    return testing_support::runProgram(DORVIL_CLI, arguments, folder.native());
}

std::string dirOf(const ProgramFolder &folder)
{
    return "--dir '" + folder.native("manager").string() + "'";
}

using testing_support::linesOf;

TEST(CliUsage, HelpVersionAndBadUsage)
{
    const ProgramFolder folder;
    Result help = runCli(folder, "--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("usage: dorvil-cli [--dir FOLDER] [--backup FOLDER] [--report FILE]\n"
                            "                  --run CHECK[,CHECK...]\n"
                            "       dorvil-cli --undo JOURNAL\n"),
              std::string::npos)
        << help.out;
    Result version = runCli(folder, "--version");
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "dorvil-cli " DORVIL_VERSION "\n");
    for (const char *bad :
         {"", "--run", "--run compare,bogus", "--run compare, --dir", "--verbose --run compare"}) {
        Result result = runCli(folder, dirOf(folder) + " " + bad);
        EXPECT_EQ(result.status, 2) << bad;
        EXPECT_NE(result.err.find("usage: dorvil-cli"), std::string::npos) << bad;
        EXPECT_FALSE(fs::exists(folder.native("manager/last.log"))) << bad;
    }
}

TEST(CliStartUp, MissingManagerSettingsEndTheRunAndWriteNothing)
{
    const ProgramFolder folder;
    fs::remove(folder.native("manager/bokvarddb.ini"));
    const std::string before = readFile(folder.native("manager/Dorvil.ini"));
    Result result = runCli(folder, dirOf(folder) + " --run duplicate-links");
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err,
              "Не могу найти " + platform::ansiToUtf8(folder.programDir()) + "bokvarddb.ini\n");
    EXPECT_EQ(result.out, "");
    EXPECT_FALSE(fs::exists(folder.native("manager/last.log")));
    EXPECT_EQ(readFile(folder.native("manager/Dorvil.ini")), before);
}

// A catalogue that cannot be opened: the user is told which file and why,
// no check runs, and the settings are still written.
struct UnopenableCatalogue {
    const char *name;
    void (*make)(const ProgramFolder &folder); ///< puts something at catalogue.bad
};

std::ostream &operator<<(std::ostream &out, const UnopenableCatalogue &row)
{
    return out << row.name;
}

class CliStartUpFails : public testing::TestWithParam<UnopenableCatalogue> {};

TEST_P(CliStartUpFails, RunsNoCheckButStillShutsDown)
{
    const ProgramFolder folder({}, 1, "MoveFiles=0\r\n");
    folder.write("library/a/book.zip", "book");
    GetParam().make(folder);
    folder.writeManagerSettings(1, folder.native("catalogue.bad").string());
    Result result = runCli(folder, dirOf(folder) + " --run compare,duplicate-links");
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find("catalogue.bad"), std::string::npos) << result.err;
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(readFile(folder.native("manager/last.log")), "");
    EXPECT_EQ(readFile(folder.native("library/a/book.zip")), "book");
    const std::string settings = readFile(folder.native("manager/Dorvil.ini"));
    EXPECT_NE(settings.find("MoveFiles=0\r\n"), std::string::npos) << settings;
    EXPECT_NE(settings.find("IdNotFound=0\r\n"), std::string::npos) << settings;
}

INSTANTIATE_TEST_SUITE_P(
    Catalogues, CliStartUpFails,
    testing::Values(UnopenableCatalogue{"Missing", [](const ProgramFolder &) {}},
                    UnopenableCatalogue{"NotADatabase",
                                        [](const ProgramFolder &folder) {
                                            folder.write("catalogue.bad",
                                                         std::string(40000, '\x5A'));
                                        }},
                    UnopenableCatalogue{"AFolder",
                                        [](const ProgramFolder &folder) {
                                            fs::create_directories(folder.native("catalogue.bad"));
                                        }}),
    [](const testing::TestParamInfo<UnopenableCatalogue> &row) { return row.param.name; });

// The embedded engine of another program holds the catalogue: the file and
// the engine's refusal are named, no check runs, no file moves.
TEST(CliStartUp, ACatalogueHeldByAnotherProgramIsNamedAndNothingRuns)
{
    const ProgramFolder folder;
    ASSERT_EQ(folder.failure, "");
    folder.write("library/a/book.zip", "book");
    const testing_support::OtherProgram holder(folder.native("catalogue.fdb").string());

    Result result = runCli(folder, dirOf(folder) + " --run compare");
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find("catalogue.fdb"), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("Database already opened with engine instance"), std::string::npos)
        << result.err;
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(readFile(folder.native("library/a/book.zip")), "book");
    EXPECT_TRUE(fs::is_empty(folder.native("moved")));
}

TEST(CliRun, LogGoesToStandardOutputInUtf8AndToLastLogIn1251)
{
    const ProgramFolder folder("insert into BOOK_AUTOR (ID, BOOKID, AUTORID) values (7, 1, 2);"
                               "insert into BOOK_AUTOR (ID, BOOKID, AUTORID) values (3, 1, 2);",
                               1, "DelDoubleRec=1\r\nIdNotFound=7\r\n");
    ASSERT_EQ(folder.failure, "");
    Result result = runCli(folder, dirOf(folder) + " --run duplicate-links");
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err, "");

    const std::vector<std::string> out = linesOf(result.out);
    ASSERT_EQ(out.size(), 5u) << result.out;
    EXPECT_EQ(out[0], "");
    EXPECT_EQ(out[1], "Поиск дублей bookid,autorid в таблице book_autor");
    EXPECT_EQ(out[3], "BOOKID=1 AUTORID=2 - 2");
    EXPECT_EQ(out[4], "  Почищено BOOKID=1 AUTORID=2");
    EXPECT_EQ(testing_support::queryValues(folder.native("catalogue.fdb"),
                                           "select ID from BOOK_AUTOR order by ID"),
              std::vector<std::string>{"3"});

    // last.log holds the same lines in 1251, each ended by CR LF.
    std::string expected;
    for (const std::string &line : out)
        expected += platform::utf8ToAnsi(line) + "\r\n";
    EXPECT_EQ(readFile(folder.native("manager/last.log")), expected);

    const std::string settings = readFile(folder.native("manager/Dorvil.ini"));
    EXPECT_NE(settings.find("IdNotFound=2\r\n"), std::string::npos) << settings;
    EXPECT_NE(settings.find("DelDoubleRec=1\r\n"), std::string::npos) << settings;
    EXPECT_EQ(settings.find("UserName=SYSDBA\r\n"), settings.rfind("UserName=")) << settings;
}

TEST(CliRun, CompareIsRefusedInWorkModeZeroAndTheOtherChecksStillRun)
{
    const ProgramFolder folder({}, 0);
    Result result = runCli(folder, dirOf(folder) + " --run compare,duplicate-links");
    EXPECT_EQ(result.status, 1);
    const std::vector<std::string> err = linesOf(result.err);
    ASSERT_GE(err.size(), 2u) << result.err;
    EXPECT_EQ(err[0], "Книги хранятся в базе! Сравнение файлов и базы лишено смысла!");
    EXPECT_NE(err[1].find("compare"), std::string::npos) << result.err;
    EXPECT_NE(result.out.find("Дубли не найдены\n"), std::string::npos) << result.out;
    EXPECT_EQ(result.out.find("Сверка базы с файлами"), std::string::npos) << result.out;
}

/// The lines of a run's log without the date line that follows each title.
std::vector<std::string> withoutDates(std::vector<std::string> lines, const std::string &title)
{
    for (size_t i = 0; i + 1 < lines.size(); ++i)
        if (lines[i] == title)
            lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(i) + 1);
    return lines;
}

std::string programFolder(const fs::path &native)
{
    return platform::ansiToUtf8(platform::programPath(native)) + "\\";
}

std::multiset<std::string> libraryFiles(const ProgramFolder &folder)
{
    return testing_support::fileContents({folder.native("library"), folder.native("moved")});
}

TEST(CliRun, CompareListsAndMovesAndLosesNothing)
{
    const ProgramFolder folder(
        "insert into BOOK (BOOKID, FILENAME) values (1, 'a\\1.zip');"
        "insert into BOOK (BOOKID, FILENAME) values (2, 'a\\gone.zip');"
        "insert into BOOK (BOOKID, FILENAME) values (3, 'КНИГИ\\Война.zip');");
    ASSERT_EQ(folder.failure, "");
    folder.write("library/a/1.zip", "one");
    folder.write("library/a/extra.zip", "extra");
    folder.write("library/Книги/война.zip", "war");
    folder.write("library/root.zip", "root");
    fs::create_directories(folder.native("library/empty"));
    const auto before = libraryFiles(folder);

    Result result = runCli(folder, dirOf(folder) + " --run compare");
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err, "");
    const std::string title = "Сверка базы с файлами";
    std::vector<std::string> out = withoutDates(linesOf(result.out), title);
    ASSERT_EQ(out.size(), 11u) << result.out;
    // The walk's lines come in the file system's listing order.
    std::sort(out.begin() + 7, out.begin() + 10);
    const std::string moved = programFolder(folder.native("moved"));
    EXPECT_EQ(out, (std::vector<std::string>{
                       "", title, "Ссылки из базы на несуществующие файлы", "a\\gone.zip",
                       "Найдено файлов - 1", "", "Файлы, для которых нет ссылки в базе",
                       programFolder(folder.native("library")) +
                           "empty\\ - пустая директория. Переношу в - " + moved + "empty",
                       "a\\extra.zip", "root.zip", "Найдено файлов - 2"}));

    EXPECT_EQ(readFile(folder.native("moved/a/extra.zip")), "extra");
    EXPECT_TRUE(fs::is_directory(folder.native("moved/empty")));
    EXPECT_EQ(readFile(folder.native("library/root.zip")), "root");
    EXPECT_EQ(libraryFiles(folder), before);
    // The comparison took the move folder from the edit box, with its backslash.
    EXPECT_NE(readFile(folder.native("manager/Dorvil.ini"))
                  .find("MoveTo=" + platform::utf8ToAnsi(moved) + "\r\n"),
              std::string::npos);
}

TEST(CliRun, ACheckEndingWithAnErrorMakesTheRunFail)
{
    const ProgramFolder folder("insert into BOOK (BOOKID, FILENAME) values (1, 'a.zip');");
    fs::remove_all(folder.native("library"));
    Result result = runCli(folder, dirOf(folder) + " --run compare");
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err,
              "Папка библиотеки не найдена: " + programFolder(folder.native("library")) + "\n");
    EXPECT_EQ(linesOf(result.out).size(), 3u) << result.out; // the run header alone
}

TEST(CliRun, DuplicateFilesKeepTheRecordsOfTheFilesOwnIdentifier)
{
    const ProgramFolder folder("insert into BOOK (BOOKID, FILENAME, OLDID, BOOKNAME) values (1, "
                               "'d\\shared.zip', 'ID-A', 'Книга 1');"
                               "insert into BOOK (BOOKID, FILENAME, OLDID, BOOKNAME) values (2, "
                               "'d\\shared.zip', 'ID-B', 'Книга 2');"
                               "insert into BOOK (BOOKID, FILENAME, OLDID, BOOKNAME) values (3, "
                               "'d\\shared.zip', '', 'Книга 3');"
                               "insert into BOOK (BOOKID, FILENAME, OLDID, BOOKNAME) values (4, "
                               "'e\\lost.zip', 'X', 'Book 4');"
                               "insert into BOOK (BOOKID, FILENAME, OLDID, BOOKNAME) values (5, "
                               "'e\\lost.zip', 'Y', 'Book 5');"
                               "insert into BOOK_AUTOR (ID, BOOKID, AUTORID) values (1, 2, 9);",
                               1, "DelDoubleRec=1\r\nIdNotFound=2\r\n");
    ASSERT_EQ(folder.failure, "");
    testing_support::writeZip(folder.native("library/d/shared.zip"),
                              {{"book.fb2", testing_support::fb2Document("ID-A")}});
    const auto before = libraryFiles(folder);

    Result result = runCli(folder, dirOf(folder) + " --run duplicate-files");
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err, "");
    const std::string title = "Поиск записей в базе, ссылающихся на один файл";
    EXPECT_EQ(withoutDates(linesOf(result.out), title),
              (std::vector<std::string>{
                  "", title, "d\\shared.zip - 3", "  fb2 file id - ID-A", "  Книга 1 ID - ID-A",
                  "  Книга 2 ID - ID-B", "  Книга 3 ID - ", "  Запись с ID ID-B удалена",
                  "e\\lost.zip - 2",
                  "  !!!! не могу извлечь ID fb2 файла! - файл " +
                      programFolder(folder.native("library")) + "e\\lost.zip не существует",
                  "  Book 4 ID - X", "  Book 5 ID - Y", "  Запись с ID X удалена",
                  "  Запись с ID Y удалена", "Найдено дублей -2"}));
    EXPECT_EQ(testing_support::queryValues(folder.native("catalogue.fdb"),
                                           "select BOOKID from BOOK order by BOOKID"),
              (std::vector<std::string>{"1", "3"}));
    // The procedure removed the deleted book's links with it.
    EXPECT_EQ(testing_support::queryValues(folder.native("catalogue.fdb"),
                                           "select count(*) from BOOK_AUTOR"),
              std::vector<std::string>{"0"});
    EXPECT_EQ(libraryFiles(folder), before);
}

// Over a real server: another program holds one pair's rows, so its deletion
// is refused; the refusal is logged with the server's message and the next
// pair is cleaned all the same.
TEST(LoopbackServer, DuplicateLinksLogARefusedDeletionAndGoOn)
{
    const ProgramFolder folder({}, 1, "DelDoubleRec=1\r\n");
    const std::string database = "localhost/" DORVIL_FB_SERVER_PORT ":" DORVIL_FB_SERVER_DIR
                                 "/cli-links-" +
                                 std::to_string(getpid()) + ".fdb";
    ASSERT_EQ(testing_support::detail::runIsql(
                  database, 3, true,
                  "insert into BOOK_AUTOR (ID, BOOKID, AUTORID) values (1, 1, 2);"
                  "insert into BOOK_AUTOR (ID, BOOKID, AUTORID) values (2, 1, 2);"
                  "insert into BOOK_AUTOR (ID, BOOKID, AUTORID) values (3, 5, 6);"
                  "insert into BOOK_AUTOR (ID, BOOKID, AUTORID) values (4, 5, 6);",
                  folder.native("server-catalogue")),
              "");
    folder.writeManagerSettings(1, database);

    testing_support::OtherProgram other(database);
    other.hold("update BOOK_AUTOR set AUTORID = AUTORID where BOOKID = 1");
    Result result = runCli(folder, dirOf(folder) + " --run duplicate-links");
    other.release();
    EXPECT_EQ(result.status, 0) << result.err;
    const std::vector<std::string> out = linesOf(result.out);
    ASSERT_GE(out.size(), 7u) << result.out;
    EXPECT_EQ(out[3], "BOOKID=1 AUTORID=2 - 2");
    EXPECT_EQ(out[4], "  !!! Ошибка BOOKID=1 AUTORID=2 - Form1.DbQuery1:");
    EXPECT_NE(result.out.find("concurrent update"), std::string::npos) << result.out;
    EXPECT_EQ(out[out.size() - 2], "BOOKID=5 AUTORID=6 - 2");
    EXPECT_EQ(out.back(), "  Почищено BOOKID=5 AUTORID=6");
    EXPECT_EQ(other.values("select ID from BOOK_AUTOR order by ID"),
              (std::vector<std::string>{"1", "2", "3"}));
}

// ---------------------------------------------------------------------------
// Interrupts: a comparison long enough to be interrupted while it runs.

const char *const kFourBooksForTheWindow =
    "insert into BOOK (BOOKID, FILENAME) values (1, 'a\\1.zip');";

const char *const kManyMissingBooks =
    "set term ^;"
    "execute block as declare i integer = 1; begin"
    "  while (i <= 20000) do begin"
    "    insert into BOOK (BOOKID, FILENAME) values (:i, 'gone\\' || :i || '.zip');"
    "    i = i + 1;"
    "  end "
    "end^"
    "set term ;^";

// Starts dorvil-cli, interrupts it once `cue` shows on its standard output,
// and reads what it writes until it ends.
Result interruptCli(const ProgramFolder &folder, const std::string &cue)
{
    bool sent = false;
    return testing_support::runProgramWatched(
        DORVIL_CLI,
        {"--dir", folder.native("manager").string(), "--run", "compare,duplicate-links"},
        folder.native(), [&](const std::string &out, pid_t cli) {
            if (!sent && out.find(cue) != std::string::npos)
                sent = kill(cli, SIGINT) == 0;
        });
}

TEST(CliInterrupt, TheFirstStopsTheRunAsStopDoesAndTheLogAndSettingsAreSaved)
{
    const ProgramFolder folder(kManyMissingBooks);
    ASSERT_EQ(folder.failure, "");
    const Result run = interruptCli(folder, "gone\\1.zip");
    EXPECT_EQ(run.status, 128 + SIGINT);
    const std::vector<std::string> out = linesOf(run.out);
    ASSERT_NE(std::find(out.begin(), out.end(), "Поиск прерван"), out.end()) << run.out;
    EXPECT_LT(out.size(), 20000u) << "the comparison was not stopped";
    // The run ends after the stopped check: the link check never starts.
    EXPECT_EQ(run.out.find("bookid,autorid"), std::string::npos);
    const std::string saved = readFile(folder.native("manager/last.log"));
    EXPECT_NE(saved.find(platform::utf8ToAnsi("Поиск прерван")), std::string::npos);
    EXPECT_TRUE(fs::exists(folder.native("manager/Dorvil.ini")));
}

// Whether the process has its own handler for the signal yet.
bool catches(pid_t process, int signal)
{
    std::ifstream status("/proc/" + std::to_string(process) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.starts_with("SigCgt:"))
            return (std::stoull(line.substr(7), nullptr, 16) >> (signal - 1)) & 1;
    return false;
}

// The window as a session's end meets it: the termination signal closes
// it as its close box does, saving the log and the settings.
TEST(WindowProgram, ATerminationSignalClosesTheWindowAndSavesItsFiles)
{
    const ProgramFolder folder(kFourBooksForTheWindow);
    ASSERT_EQ(folder.failure, "");
    fs::remove(folder.native("manager/Dorvil.ini"));
    const std::string dir = folder.native("manager").string();
    const pid_t child = fork();
    if (child == 0) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        execl(DORVIL_WINDOW, DORVIL_WINDOW, "--dir", dir.c_str(), static_cast<char *>(nullptr));
        _exit(127);
    }
    // Caught from before the window is shown; acted on once it runs.
    for (int i = 0; i < 1000 && !catches(child, SIGTERM); ++i)
        usleep(10000);
    kill(child, SIGTERM);
    int raw = 0;
    waitpid(child, &raw, 0);
    ASSERT_TRUE(WIFEXITED(raw)) << "ended by signal " << WTERMSIG(raw);
    EXPECT_EQ(WEXITSTATUS(raw), 0);
    EXPECT_TRUE(fs::exists(folder.native("manager/last.log")));
    EXPECT_TRUE(fs::exists(folder.native("manager/Dorvil.ini")));
}

// ---------------------------------------------------------------------------
// Hostile input: whatever the settings, the catalogue or the tree hold, the
// program ends with a status of its own (no crash, no hang) and every book
// file is still there.

struct HostileCase {
    const char *name;
    std::string catalogueSql;                     ///< rows for the catalogue
    void (*prepare)(const ProgramFolder &folder); ///< after the folder is made
};

std::ostream &operator<<(std::ostream &out, const HostileCase &row)
{
    return out << row.name;
}

class CliHostileInput : public testing::TestWithParam<HostileCase> {};

TEST_P(CliHostileInput, EndsWithItsOwnStatusAndLosesNoFile)
{
    const ProgramFolder folder(
        GetParam().catalogueSql, 1,
        "MoveFiles=1\r\nMoveEmptyDir=1\r\nDelDoubleRec=1\r\nIdNotFound=2\r\n");
    ASSERT_EQ(folder.failure, "");
    folder.write("library/a/book.zip", "book");
    GetParam().prepare(folder);
    const auto before =
        testing_support::fileContents({folder.native("library"), folder.native("moved")});
    Result result =
        runCli(folder, dirOf(folder) + " --run compare,duplicate-files,duplicate-links");
    EXPECT_TRUE(result.status == 0 || result.status == 1) << "status " << result.status << "\n"
                                                          << result.err;
    EXPECT_EQ(result.err.find("Sanitizer"), std::string::npos) << result.err;
    EXPECT_EQ(testing_support::fileContents({folder.native("library"), folder.native("moved")}),
              before);
}

std::string randomBytes(size_t count)
{
    std::string bytes(count, '\0');
    uint32_t state = 12345;
    for (char &byte : bytes) {
        state = state * 1103515245 + 12345;
        byte = char(state >> 23);
    }
    return bytes;
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, CliHostileInput,
    testing::Values(
        HostileCase{"SettingsOfRandomBytes",
                    {},
                    [](const ProgramFolder &folder) {
                        folder.write("manager/Dorvil.ini", randomBytes(65536));
                    }},
        HostileCase{"ASettingsLineOfAMegabyte",
                    {},
                    [](const ProgramFolder &folder) {
                        folder.write("manager/Dorvil.ini",
                                     "[Compare]\r\nMoveTo=" + std::string(1 << 20, 'm') + "\r\n");
                    }},
        HostileCase{"SettingsThatAreAFolder",
                    {},
                    [](const ProgramFolder &folder) {
                        fs::remove(folder.native("manager/Dorvil.ini"));
                        fs::create_directories(folder.native("manager/Dorvil.ini/inside"));
                    }},
        HostileCase{"ManagerSettingsOfRandomBytes",
                    {},
                    [](const ProgramFolder &folder) {
                        folder.write("manager/bokvarddb.ini", randomBytes(4096));
                    }},
        HostileCase{
            "FileNamesWithControlCharactersAndClimbingOut",
            "insert into BOOK (BOOKID, FILENAME, OLDID) values (1, 'a' || ascii_char(1) || "
            "ascii_char(9) || '.zip', 'X');"
            "insert into BOOK (BOOKID, FILENAME, OLDID) values (2, 'a' || ascii_char(1) || "
            "ascii_char(9) || '.zip', 'Y');"
            "insert into BOOK (BOOKID, FILENAME, OLDID) values (3, '..\\..\\moved\\x.zip', 'Z');"
            "insert into BOOK (BOOKID, FILENAME, OLDID) values (4, '..\\..\\moved\\x.zip', 'W');",
            [](const ProgramFolder &folder) { folder.write("moved/x.zip", "outside"); }},
        HostileCase{"NamesNoCodePageSpellsAndLongNamesDeepDown",
                    {},
                    [](const ProgramFolder &folder) {
                        folder.write("library/\xe4\xb8\xad\xe6\x96\x87/\xf0\x9f\x93\x9a.zip",
                                     "cjk");
                        std::string deep = "library";
                        for (int i = 0; deep.size() < 3000; ++i)
                            deep += "/" + std::string(250, char('a' + i % 26));
                        folder.write(deep + "/deep.zip", "deep");
                    }}),
    [](const testing::TestParamInfo<HostileCase> &row) { return row.param.name; });

// ---------------------------------------------------------------------------
// The move journal and --undo.

// Every file (with its bytes) and folder (with a trailing slash) below a
// folder: two trees are equal exactly when nothing was moved, lost, changed
// or left behind.
std::map<std::string, std::string> treeOf(const fs::path &top)
{
    std::map<std::string, std::string> tree;
    for (const auto &entry : fs::recursive_directory_iterator(top)) {
        const std::string name = entry.path().lexically_relative(top).string();
        if (entry.is_directory())
            tree[name + "/"] = "";
        else
            tree[name] = readFile(entry.path());
    }
    return tree;
}

fs::path journalIn(const fs::path &folder)
{
    for (const auto &entry : fs::directory_iterator(folder))
        if (testing_support::isMoveJournal(entry.path()))
            return entry.path();
    return {};
}

Result undo(const ProgramFolder &folder, const fs::path &journal)
{
    return runCli(folder, "--undo " + testing_support::shellQuoted(journal.string()));
}

const char *const kLibraryWithSurplus =
    "insert into BOOK (BOOKID, FILENAME) values (1, 'kept\\a.zip');";

void writeLibraryWithSurplus(const ProgramFolder &folder)
{
    folder.write("library/kept/a.zip", "kept");
    folder.write("library/x/d.zip", "x-d");
    folder.write("library/y/d.zip", "y-d");
    folder.write("library/y/deeper/s.zip", "s");
    folder.write("library/root.zip", "root");
    fs::create_directories(folder.native("library/e/.hidden"));
    folder.write("library/e/.hidden/note", "hidden");
    folder.write("moved/d.zip", "was there before");
}

class CliUndo : public testing::TestWithParam<bool> {};

// Flat (names collide with each other and with a file already there) and
// with the structure kept, an empty folder among the moves: undo puts the
// tree back byte for byte, and a second undo finds everything back.
TEST_P(CliUndo, PutsTheTreeBackAsItWasAndASecondUndoDoesNothing)
{
    const bool keepStructure = GetParam();
    const ProgramFolder folder(kLibraryWithSurplus, 1,
                               std::string("MoveFiles=1\r\nMoveEmptyDir=1\r\nSaveStructure=") +
                                   (keepStructure ? "1" : "0") + "\r\n");
    ASSERT_EQ(folder.failure, "");
    writeLibraryWithSurplus(folder);
    const auto library = treeOf(folder.native("library"));
    const auto moved = treeOf(folder.native("moved"));

    Result run = runCli(folder, dirOf(folder) + " --run compare");
    ASSERT_EQ(run.status, 0) << run.err;
    ASSERT_NE(treeOf(folder.native("library")), library) << "the run moved nothing";
    const fs::path journal = journalIn(folder.native("moved"));
    ASSERT_FALSE(journal.empty());
    const std::string text = readFile(journal);
    EXPECT_NE(text.find("file\t" + programFolder(folder.native("library")) + "x\\d.zip\t"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("folder\t" + programFolder(folder.native("library")) + "e\\\t"),
              std::string::npos)
        << text;

    Result first = undo(folder, journal);
    EXPECT_EQ(first.status, 0) << first.out << first.err;
    EXPECT_EQ(linesOf(first.out).back(), "restored 4, already back 0, not restored 0") << first.out;
    EXPECT_EQ(treeOf(folder.native("library")), library);
    auto movedAfter = treeOf(folder.native("moved"));
    movedAfter.erase(journal.filename().string());
    EXPECT_EQ(movedAfter, moved);

    Result second = undo(folder, journal);
    EXPECT_EQ(second.status, 0) << second.out << second.err;
    EXPECT_EQ(second.out, "restored 0, already back 4, not restored 0\n");
    EXPECT_EQ(treeOf(folder.native("library")), library);
}

INSTANTIATE_TEST_SUITE_P(Moves, CliUndo, testing::Values(false, true),
                         [](const testing::TestParamInfo<bool> &row) {
                             return row.param ? "StructureKept" : "Flat";
                         });

// A moved file changed since, and a place taken since: both are reported
// and left alone, the other moves are taken back.
TEST(CliUndoRefuses, AChangedFileAndATakenPlaceAndTakesBackTheRest)
{
    const ProgramFolder folder(kLibraryWithSurplus, 1,
                               "MoveFiles=1\r\nMoveEmptyDir=1\r\nSaveStructure=1\r\n");
    ASSERT_EQ(folder.failure, "");
    writeLibraryWithSurplus(folder);
    ASSERT_EQ(runCli(folder, dirOf(folder) + " --run compare").status, 0);
    const fs::path journal = journalIn(folder.native("moved"));
    ASSERT_FALSE(journal.empty());
    folder.write("moved/x/d.zip", "changed since");
    folder.write("library/y/d.zip", "a new file in its place");

    Result result = undo(folder, journal);
    EXPECT_EQ(result.status, 1);
    const std::vector<std::string> out = linesOf(result.out);
    const std::string library = programFolder(folder.native("library"));
    EXPECT_NE(std::find(out.begin(), out.end(),
                        "not restored: " + library +
                            "x\\d.zip: " + programFolder(folder.native("moved")) +
                            "x\\d.zip has changed since it was moved"),
              out.end())
        << result.out;
    EXPECT_NE(std::find(out.begin(), out.end(),
                        "not restored: " + library + "y\\d.zip: its place is taken"),
              out.end())
        << result.out;
    EXPECT_EQ(out.back(), "restored 2, already back 0, not restored 2");
    EXPECT_EQ(readFile(folder.native("moved/x/d.zip")), "changed since");
    EXPECT_EQ(readFile(folder.native("moved/y/d.zip")), "y-d");
    EXPECT_EQ(readFile(folder.native("library/y/d.zip")), "a new file in its place");
    EXPECT_EQ(readFile(folder.native("library/y/deeper/s.zip")), "s");
    EXPECT_EQ(readFile(folder.native("library/e/.hidden/note")), "hidden");
}

TEST(CliUndoRefuses, AFileThatIsNoJournal)
{
    const ProgramFolder folder;
    folder.write("notes.txt", "file\tA\tB\t1\tff\n");
    Result result = undo(folder, folder.native("notes.txt"));
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find("is no move journal"), std::string::npos) << result.err;
    EXPECT_EQ(readFile(folder.native("notes.txt")), "file\tA\tB\t1\tff\n");
}

// ---------------------------------------------------------------------------
// The catalogue backup before changes.

const char *const kSharedFileRows =
    "insert into BOOK (BOOKID, FILENAME, OLDID) values (1, 'd\\shared.zip', 'ID-A');"
    "insert into BOOK (BOOKID, FILENAME, OLDID) values (2, 'd\\shared.zip', 'ID-B');"
    "insert into BOOK (BOOKID, FILENAME, OLDID) values (3, 'e\\other.zip', 'ID-C');";

fs::path onlyFileIn(const fs::path &folder)
{
    std::vector<fs::path> files;
    for (const auto &entry : fs::directory_iterator(folder))
        files.push_back(entry.path());
    return files.size() == 1 ? files.front() : fs::path();
}

// A deleting run with --backup: the backup, restored with the standard tool,
// holds the row the run deleted; the log names the backup.
TEST(CliBackup, BeforeTheFirstDeletionAndRestoresToTheRowsAsTheyWere)
{
    const ProgramFolder folder(kSharedFileRows, 1, "DelDoubleRec=1\r\nIdNotFound=0\r\n");
    ASSERT_EQ(folder.failure, "");
    testing_support::writeZip(folder.native("library/d/shared.zip"),
                              {{"book.fb2", testing_support::fb2Document("ID-A")}});
    fs::create_directories(folder.native("backups"));

    Result result =
        runCli(folder, dirOf(folder) + " --backup '" + folder.native("backups").string() +
                           "' --run duplicate-files");
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(testing_support::queryValues(folder.native("catalogue.fdb"),
                                           "select BOOKID from BOOK order by BOOKID"),
              (std::vector<std::string>{"1", "3"}));
    const fs::path backup = onlyFileIn(folder.native("backups"));
    ASSERT_FALSE(backup.empty());
    EXPECT_EQ(backup.extension(), ".fbk");
    const std::vector<std::string> out = linesOf(result.out);
    EXPECT_NE(std::find(out.begin(), out.end(),
                        "Копия базы перед изменениями: " + programFolder(backup.parent_path()) +
                            backup.filename().string()),
              out.end())
        << result.out;

    const fs::path restored = folder.native("restored.fdb");
    const std::string command = "gbak -c -user SYSDBA -password testpass '" + backup.string() +
                                "' '" + restored.string() + "' >/dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_EQ(testing_support::queryValues(restored, "select BOOKID from BOOK order by BOOKID"),
              (std::vector<std::string>{"1", "2", "3"}));
}

// The settings ask for it too: the backup then goes into the manager folder.
TEST(CliBackup, AskedForInTheSettingsGoesIntoTheManagerFolder)
{
    const ProgramFolder folder(
        kSharedFileRows, 1,
        "DelDoubleRec=1\r\nIdNotFound=0\r\n[Safety]\r\nBackupBeforeChanges=1\r\n");
    ASSERT_EQ(folder.failure, "");
    testing_support::writeZip(folder.native("library/d/shared.zip"),
                              {{"book.fb2", testing_support::fb2Document("ID-A")}});
    Result result = runCli(folder, dirOf(folder) + " --run duplicate-files");
    EXPECT_EQ(result.status, 0) << result.err;
    int backups = 0;
    for (const auto &entry : fs::directory_iterator(folder.native("manager")))
        backups += entry.path().extension() == ".fbk";
    EXPECT_EQ(backups, 1);
}

// A backup that cannot be made (its folder is a file) stops the run before
// any change, with the reason in an error message.
TEST(CliBackup, AFailedBackupChangesNothing)
{
    const ProgramFolder folder(kSharedFileRows, 1, "DelDoubleRec=1\r\nIdNotFound=0\r\n");
    ASSERT_EQ(folder.failure, "");
    testing_support::writeZip(folder.native("library/d/shared.zip"),
                              {{"book.fb2", testing_support::fb2Document("ID-A")}});
    folder.write("not-a-folder", "a file");

    Result result =
        runCli(folder, dirOf(folder) + " --backup '" + folder.native("not-a-folder").string() +
                           "' --run duplicate-files");
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find("Не удалось сделать копию базы, ничего не изменено: "),
              std::string::npos)
        << result.err;
    EXPECT_EQ(testing_support::queryValues(folder.native("catalogue.fdb"),
                                           "select BOOKID from BOOK order by BOOKID"),
              (std::vector<std::string>{"1", "2", "3"}));
}

// The report of a small run, as a whole: what was found, what was deleted
// and kept, and the counts.
TEST(CliReport, HoldsWhatTheRunFoundAndDid)
{
    const ProgramFolder folder(std::string(kSharedFileRows) +
                                   "insert into BOOK_AUTOR (ID, BOOKID, AUTORID) values (7, 3, 2);"
                                   "insert into BOOK_AUTOR (ID, BOOKID, AUTORID) values (8, 3, 2);",
                               1, "DelDoubleRec=1\r\nIdNotFound=0\r\n");
    ASSERT_EQ(folder.failure, "");
    testing_support::writeZip(folder.native("library/d/shared.zip"),
                              {{"book.fb2", testing_support::fb2Document("ID-A")}});
    const fs::path report = folder.native("report.json");
    Result result = runCli(folder, dirOf(folder) + " --report '" + report.string() +
                                       "' --run duplicate-files,duplicate-links");
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(readFile(report), R"({
  "checks": [
    {
      "check": "duplicate-files",
      "ranToEnd": true,
      "groups": [
        {
          "file": "d\\shared.zip",
          "idRead": true,
          "id": "ID-A",
          "records": [
            {"bookId": 1, "name": "", "oldId": "ID-A", "kept": true},
            {"bookId": 2, "name": "", "oldId": "ID-B", "kept": false}
          ],
          "changes": [
            {"action": "delete", "bookId": 2, "oldId": "ID-B", "done": true}
          ]
        }
      ],
      "moves": [],
      "counts": {
        "groups": 1,
        "deleted": 1,
        "updated": 0,
        "notChanged": 0,
        "moved": 0,
        "notMoved": 0
      }
    },
    {
      "check": "duplicate-links",
      "ranToEnd": true,
      "pairs": [
        {"bookId": 3, "autorId": 2, "links": 2, "cleaned": true}
      ],
      "counts": {
        "pairs": 1,
        "cleaned": 1,
        "notCleaned": 0
      }
    }
  ]
}
)");
}

// A move that failed is in the report with the reason, and the report of
// the comparison agrees with its log.
TEST(CliReport, AFailedMoveGivesItsReason)
{
    const ProgramFolder folder({}, 1, "MoveFiles=1\r\nSaveStructure=0\r\n");
    ASSERT_EQ(folder.failure, "");
    folder.write("library/x/c.zip", "c");
    fs::create_directories(folder.native("moved/c.zip"));
    const fs::path report = folder.native("report.json");
    Result result =
        runCli(folder, dirOf(folder) + " --report '" + report.string() + "' --run compare");
    ASSERT_EQ(result.status, 0) << result.err;
    const std::string text = readFile(report);
    const std::string moved = programFolder(folder.native("moved"));
    EXPECT_NE(text.find(", \"target\": \"" + testing_support::jsonEscaped(moved) +
                        "c.zip\", \"moved\": false, \"reason\": \""),
              std::string::npos)
        << text;
    testing_support::writeFile(folder.native("log.txt"), result.out);
    EXPECT_EQ(std::system(("python3 '" + std::string(DORVIL_CHECK_REPORT) + "' '" +
                           report.string() + "' '" + folder.native("log.txt").string() + "'")
                              .c_str()),
              0);
}

} // namespace
