// dorvil-cli as a user runs it: a manager folder with a real catalogue and a
// real library, one run of the program, then its exit status, its output,
// last.log, Dorvil.ini and the database compared with what is expected.

#include "FileContents.h"
#include "ProgramFolder.h"

#include "platform/Text.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using testing_support::ProgramFolder;
using testing_support::readFile;

struct Result {
    int status = -1;
    std::string out, err; ///< as written, UTF-8
};

Result runCli(const ProgramFolder &folder, const std::string &arguments)
{
    const fs::path out = folder.native("stdout.txt"), err = folder.native("stderr.txt");
    const std::string command = std::string("'") + DORVIL_CLI + "' " + arguments + " >'" +
                                out.string() + "' 2>'" + err.string() + "'";
    Result result;
    const int raw = std::system(command.c_str());
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    result.out = readFile(out);
    result.err = readFile(err);
    return result;
}

std::string dirOf(const ProgramFolder &folder)
{
    return "--dir '" + folder.native("manager").string() + "'";
}

std::vector<std::string> splitAt(const std::string &text, const std::string &separator)
{
    std::vector<std::string> lines;
    for (size_t start = 0; start < text.size();) {
        const size_t end = text.find(separator, start);
        lines.push_back(text.substr(start, end - start));
        if (end == std::string::npos)
            break;
        start = end + separator.size();
    }
    return lines;
}

TEST(CliUsage, HelpVersionAndBadUsage)
{
    const ProgramFolder folder;
    Result help = runCli(folder, "--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("usage: dorvil-cli [--dir FOLDER] --run CHECK[,CHECK...]"),
              std::string::npos);
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

TEST(CliStartUp, AFailedConnectionRunsNoCheckButStillShutsDown)
{
    const ProgramFolder folder({}, 1, "MoveFiles=0\r\n");
    folder.writeManagerSettings(1, folder.native("no-such.fdb").string());
    Result result = runCli(folder, dirOf(folder) + " --run duplicate-links");
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find("no-such.fdb"), std::string::npos) << result.err;
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(readFile(folder.native("manager/last.log")), "");
    const std::string settings = readFile(folder.native("manager/Dorvil.ini"));
    EXPECT_NE(settings.find("MoveFiles=0\r\n"), std::string::npos) << settings;
    EXPECT_NE(settings.find("IdNotFound=0\r\n"), std::string::npos) << settings;
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

    const std::vector<std::string> out = splitAt(result.out, "\n");
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
    const std::vector<std::string> err = splitAt(result.err, "\n");
    ASSERT_GE(err.size(), 2u) << result.err;
    EXPECT_EQ(err[0], "Книги хранятся в базе! Сравнение файлов и базы лишено смысла!");
    EXPECT_NE(err[1].find("compare"), std::string::npos) << result.err;
    EXPECT_NE(result.out.find("Дубли не найдены\n"), std::string::npos) << result.out;
    EXPECT_EQ(result.out.find("Сверка базы с файлами"), std::string::npos) << result.out;
}

} // namespace
