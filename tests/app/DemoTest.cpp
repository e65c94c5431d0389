// The demo library as a newcomer meets it: dorvil-demo makes it, dorvil-cli
// runs the three checks on it, and the log shows every kind of finding; the
// demo made again gives the same log, and the run loses no file.

#include "Digests.h"
#include "FileContents.h"
#include "LibraryFiles.h"
#include "RunProgram.h"
#include "ScopedEnvironment.h"
#include "TempFolder.h"

#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "zip/ZipReader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using testing_support::readFile;

using Result = testing_support::ProgramResult;
using testing_support::linesOf;

const fs::path kCheckReport = DORVIL_CHECK_REPORT;

/// The path as one word of a shell command.
std::string shellWord(const fs::path &path)
{
    return testing_support::shellQuoted(path.string());
}

class DemoTest : public testing::Test {
protected:
    DemoTest() { fs::create_directories(m_root.native() / "systemp"); }

    Result run(const std::string &program, const std::string &arguments) const
    {
        return testing_support::runProgram(program, arguments, m_root.native());
    }

    Result demo(const std::string &arguments) const { return run(DORVIL_DEMO, arguments); }

    /// A fresh demo in the test folder's sub-folder `name`.
    fs::path makeDemo(const std::string &name, const std::string &options = {}) const
    {
        const fs::path folder = m_root.native() / name;
        const Result made = demo(options + " " + shellWord(folder));
        EXPECT_EQ(made.status, 0) << made.err;
        EXPECT_EQ(made.err, "");
        EXPECT_EQ(made.out, "Demo library made in " + folder.string() + "; its manager folder is " +
                                (folder / "manager").string() + "\n");
        return folder;
    }

    /// The log of all three checks on the demo, as dorvil-cli prints it.
    std::vector<std::string> runChecks(const fs::path &folder) const
    {
        const Result checked =
            run(DORVIL_CLI, "--dir " + shellWord(folder / "manager") +
                                " --run compare,duplicate-files,duplicate-links");
        EXPECT_EQ(checked.status, 0) << checked.err;
        EXPECT_EQ(checked.err, "");
        return linesOf(checked.out);
    }

    std::string counts(const fs::path &folder) const
    {
        const Result counted = demo("--counts " + shellWord(folder));
        EXPECT_EQ(counted.status, 0) << counted.err;
        return counted.out;
    }

    testing_support::TempFolder m_root;
    // dorvil-cli extracts the documents it reads below the system
    // temporary folder: this test's own.
    testing_support::ScopedEnvironment m_tmpdir{"TMPDIR", (m_root.native() / "systemp").string()};
};

/// A folder of the demo as the log shows it: a program path, ending in a backslash.
std::string shown(const fs::path &folder)
{
    return platform::ansiToUtf8(platform::programPath(folder)) + "\\";
}

/// The content of every file under library/ and moved/ (the run's move
/// journal left out), in no order.
std::vector<std::string> contents(const fs::path &demo)
{
    std::vector<std::string> digests;
    for (const char *part : {"library", "moved"})
        for (const auto &entry : fs::recursive_directory_iterator(demo / part))
            if (entry.is_regular_file() && !testing_support::isMoveJournal(entry.path()))
                digests.push_back(testing_support::sha256Hex(readFile(entry.path())));
    std::sort(digests.begin(), digests.end());
    return digests;
}

bool holdsRun(const std::vector<std::string> &lines, const std::vector<std::string> &run)
{
    return std::search(lines.begin(), lines.end(), run.begin(), run.end()) != lines.end();
}

std::string joined(const std::vector<std::string> &lines)
{
    std::string text;
    for (const std::string &line : lines)
        text += line + "\n";
    return text;
}

const std::string kNoId = "  !!!! не могу извлечь ID fb2 файла! - ";
const std::string kIdNotFound = "  !!!!ID не найден. Лишние записи не удаляются";

TEST_F(DemoTest, TheLogShowsEveryKindOfFindingAndNoFileIsLost)
{
    const fs::path folder = makeDemo("demo");
    const std::string library = shown(folder / "library"), moved = shown(folder / "moved");
    const std::vector<std::string> before = contents(folder);
    EXPECT_EQ(counts(folder), "BOOK 57\nBOOK_AUTOR 68\n");

    const std::vector<std::string> log = runChecks(folder);
    const std::vector<std::vector<std::string>> expectedRuns = {
        // Records whose file is missing.
        {"Ссылки из базы на несуществующие файлы", "Классика\\Чехов Антон\\Вишнёвый сад.zip",
         "Фантастика\\Ефремов Иван\\Туманность Андромеды.zip",
         "English\\Wilde Oscar\\The Picture of Dorian Gray.zip", "Найдено файлов - 3"},
        // Surplus files, in the root and deeper, and empty folders.
        {"English\\Stevenson Robert Louis\\Treasure Island (copy).zip",
         library + "English\\To sort\\ - пустая директория. Переношу в - " + moved + "To sort",
         "Классика\\Гоголь Николай\\Черновики\\Мёртвые души, том 2.zip", "Прочти меня.txt",
         "Сказки.zip", "Фантастика\\Беляев Александр\\Голова профессора Доуэля.zip",
         library + "Фантастика\\Новые поступления\\ - пустая директория. Переношу в - " + moved +
             "Новые поступления",
         "Фантастика\\Стругацкие\\Thumbs.db", "Найдено файлов - 6"},
        // A shared file some records match: the others are deleted.
        {"Классика\\Достоевский Фёдор\\Идиот.zip - 3",
         "  fb2 file id - F2D6A0C4-1869-4E3B-9A57-1D0C2B3A4E5F",
         "  Идиот ID - F2D6A0C4-1869-4E3B-9A57-1D0C2B3A4E5F",
         "  Идиот (старое издание) ID - F2D6A0C4-1868-4E3B-9A57-1D0C2B3A4E5F",
         "  Идиот (без ID) ID - ", "  Запись с ID F2D6A0C4-1868-4E3B-9A57-1D0C2B3A4E5F удалена"},
        // One no record matches: the first takes the file's identifier, the
        // others are deleted, the file is moved out.
        {"Классика\\Тургенев Иван\\Отцы и дети.zip - 2",
         "  fb2 file id - 9C3A5E7F-1862-4B2D-8F1A-3C5E7A9B2D4F",
         "  Отцы и дети ID - 9C3A5E7F-0001-4B2D-8F1A-3C5E7A9B2D4F",
         "  Отцы и дети (исправленное) ID - 9C3A5E7F-0002-4B2D-8F1A-3C5E7A9B2D4F",
         "  Запись с ID 9C3A5E7F-0002-4B2D-8F1A-3C5E7A9B2D4F удалена",
         "  Файл " + library + "Классика\\Тургенев Иван\\Отцы и дети.zip перемещен в " + moved +
             "Классика\\Тургенев Иван\\Отцы и дети.zip"},
        // Shared files whose identifier cannot be read.
        {"Классика\\Лермонтов Михаил\\Герой нашего времени.zip - 2",
         kNoId + "Not a valid zip file!"},
        {"English\\Carroll Lewis\\Alice's Adventures in Wonderland.zip - 2",
         kNoId + "Ошибка чтения zip-архива"},
        {"Фантастика\\Стругацкие\\Трудно быть богом.zip - 2", kNoId + "Не могу найти id",
         "  Трудно быть богом ID - C1D3E5F7-1964-4A2B-9C4D-7E9A1B3C5D7E",
         "  Трудно быть богом (журнальный вариант) ID - C1D3E5F7-0002-4A2B-9C4D-7E9A1B3C5D7E",
         kIdNotFound,
         "  Файл " + library + "Фантастика\\Стругацкие\\Трудно быть богом.zip перемещен в " +
             moved + "Фантастика\\Стругацкие\\Трудно быть богом.zip"},
        {"Найдено дублей -7"},
        // Duplicate author links.
        {"Поиск дублей bookid,autorid в таблице book_autor"},
        {"BOOKID=1 AUTORID=1 - 2", "  Почищено BOOKID=1 AUTORID=1", "BOOKID=19 AUTORID=9 - 3",
         "  Почищено BOOKID=19 AUTORID=9", "BOOKID=19 AUTORID=10 - 2",
         "  Почищено BOOKID=19 AUTORID=10"},
    };
    for (const std::vector<std::string> &expected : expectedRuns)
        EXPECT_TRUE(holdsRun(log, expected)) << joined(expected) << "---- in ----\n" << joined(log);

    // A record naming its file in another letter case is no finding.
    for (const char *name : {"Классика\\Пушкин Александр\\евгений онегин.zip",
                             "Классика\\Пушкин Александр\\Евгений Онегин.zip",
                             "english\\Austen Jane\\EMMA.zip", "English\\Austen Jane\\Emma.zip"})
        EXPECT_EQ(std::count(log.begin(), log.end(), name), 0) << name;
    EXPECT_TRUE(
        fs::is_regular_file(folder / "library/Классика/Пушкин Александр/Евгений Онегин.zip"));
    EXPECT_TRUE(fs::is_regular_file(folder / "library/English/Austen Jane/Emma.zip"));

    // Surplus files deeper down went out with their folders, those in the
    // root stayed; empty folders went out too.
    EXPECT_TRUE(fs::is_regular_file(folder / "moved/Классика/Гоголь Николай/Черновики/"
                                             "Мёртвые души, том 2.zip"));
    EXPECT_TRUE(fs::is_regular_file(folder / "library/Прочти меня.txt"));
    EXPECT_TRUE(fs::is_directory(folder / "moved/Новые поступления"));
    EXPECT_FALSE(fs::exists(folder / "library/Фантастика/Новые поступления"));

    EXPECT_EQ(contents(folder), before);
    // Every move of the run can be taken back from its journal.
    const auto journal = std::find_if(
        fs::directory_iterator(folder / "moved"), fs::directory_iterator(),
        [](const auto &entry) { return testing_support::isMoveJournal(entry.path()); });
    EXPECT_NE(journal, fs::directory_iterator());
    // Four records deleted with their links, five surplus links.
    EXPECT_EQ(counts(folder), "BOOK 53\nBOOK_AUTOR 59\n");
}

/// The log without what differs from one demo to the next: the date line
/// of each run header and the demo's own folder.
std::vector<std::string> comparable(const std::vector<std::string> &log, const fs::path &folder)
{
    const std::string prefix = platform::ansiToUtf8(platform::programPath(folder));
    std::vector<std::string> kept;
    for (size_t i = 0; i < log.size(); ++i) {
        if (i >= 2 && log[i - 2].empty() &&
            (log[i - 1] == "Сверка базы с файлами" ||
             log[i - 1] == "Поиск записей в базе, ссылающихся на один файл" ||
             log[i - 1] == "Поиск дублей bookid,autorid в таблице book_autor"))
            continue;
        std::string line = log[i];
        for (size_t at = line.find(prefix); at != std::string::npos; at = line.find(prefix, at))
            line.replace(at, prefix.size(), "<demo>");
        kept.push_back(line);
    }
    return kept;
}

// The report of a run on the demo, which holds every kind of finding, agrees
// with the report's shape and with the run's log; a report that differs from
// the log in one count is caught.
TEST_F(DemoTest, TheReportAgreesWithItsShapeAndWithTheLog)
{
    const fs::path folder = makeDemo("demo");
    const fs::path report = m_root.native() / "report.json";
    const Result result =
        run(DORVIL_CLI, "--dir " + shellWord(folder / "manager") + " --report " +
                            shellWord(report) + " --run compare,duplicate-files,duplicate-links");
    ASSERT_EQ(result.status, 0) << result.err;
    testing_support::writeFile(m_root.native() / "log.txt", result.out);
    const std::string check = "python3 " + shellWord(kCheckReport) + " ";
    const std::string logFile = " " + shellWord(m_root.native() / "log.txt");
    EXPECT_EQ(std::system((check + shellWord(report) + logFile).c_str()), 0);

    std::string tampered = readFile(report);
    const size_t deleted = tampered.find("\"deleted\": ");
    ASSERT_NE(deleted, std::string::npos);
    tampered.insert(deleted + 11, "1");
    testing_support::writeFile(m_root.native() / "tampered.json", tampered);
    EXPECT_NE(
        std::system((check + shellWord(m_root.native() / "tampered.json") + logFile + " >/dev/null")
                        .c_str()),
        0);
}

TEST_F(DemoTest, AReplacedOrASecondDemoGivesTheSameLog)
{
    const fs::path first = makeDemo("first");
    const std::vector<std::string> log = comparable(runChecks(first), first);
    ASSERT_GT(log.size(), 50u);

    makeDemo("first", "--replace");
    EXPECT_EQ(comparable(runChecks(first), first), log);

    const fs::path second = makeDemo("second-demo");
    EXPECT_EQ(comparable(runChecks(second), second), log);
}

TEST_F(DemoTest, ArchivesAreSoundForTheProjectsReaderAndForUnzip)
{
    const fs::path folder = makeDemo("demo");
    const fs::path notAZip = folder / "library/Классика/Лермонтов Михаил/Герой нашего времени.zip";
    const fs::path out = m_root.native() / "extracted";
    fs::create_directories(out);
    int archives = 0;
    for (const auto &entry : fs::recursive_directory_iterator(folder / "library")) {
        if (entry.path().extension() != ".zip")
            continue;
        ++archives;
        const bool planted = entry.path() == notAZip;
        zip::TZipReader reader;
        // As the program's reader is set: an archive without end record is no archive.
        reader.SetIncompleteZipMode(zip::TIncompleteZipMode::izAssumeBad);
        reader.SetOverwriteMode(zip::TOverwriteMode::Always);
        reader.SetDestDir(platform::programPath(out));
        reader.SetZipName(platform::programPath(entry.path()));
        if (planted) {
            EXPECT_THROW(reader.ReadDirectory(), std::exception);
        } else {
            reader.ReadDirectory();
            ASSERT_GT(reader.EntryCount(), 0) << entry.path();
            reader.SetDoAll(true);
            EXPECT_EQ(reader.Extract(), reader.EntryCount()) << entry.path();
        }
        const Result tested = run("unzip", "-tq " + shellWord(entry.path()));
        EXPECT_EQ(tested.status == 0, !planted) << entry.path() << "\n" << tested.out;
    }
    EXPECT_EQ(archives, 49);
}

struct RefusalCase {
    const char *name;
    const char *existing;   ///< files made first, below the test folder, one a line
    const char *markerText; ///< a marker of other text than the demo's, or nothing
    const char *options;
    const char *target; ///< below the test folder; empty for none at all
    int status;
    const char *message; ///< part of standard error
};

void PrintTo(const RefusalCase &refusal, std::ostream *out)
{
    *out << refusal.name;
}

class DemoRefusal : public DemoTest, public testing::WithParamInterface<RefusalCase> {};

TEST_P(DemoRefusal, DeletesNothingThatIsNotADemo)
{
    const RefusalCase &refusal = GetParam();
    const fs::path target = m_root.native() / refusal.target;
    std::vector<fs::path> kept;
    for (const std::string &name : linesOf(refusal.existing))
        kept.push_back(m_root.write(name, "own data"));
    if (refusal.markerText)
        kept.push_back(
            m_root.write(std::string(refusal.target) + "/.dorvil-demo", refusal.markerText));
    const bool existed = fs::exists(target);

    const std::string folder = *refusal.target ? shellWord(target) : "";
    const Result result = demo(std::string(refusal.options) + " " + folder);
    EXPECT_EQ(result.status, refusal.status);
    EXPECT_NE(result.err.find(refusal.message), std::string::npos) << result.err;
    EXPECT_EQ(result.out, "");
    for (const fs::path &file : kept)
        EXPECT_EQ(readFile(file), refusal.markerText && file.filename() == ".dorvil-demo"
                                      ? refusal.markerText
                                      : "own data")
            << file;
    EXPECT_EQ(fs::exists(target), existed);
    EXPECT_FALSE(fs::exists(target / "manager"));
}

INSTANTIATE_TEST_SUITE_P(
    Folders, DemoRefusal,
    testing::Values(RefusalCase{"NotEmpty", "shelf/book.zip", nullptr, "", "shelf", 1,
                                "is not empty; give --replace"},
                    RefusalCase{
                        "NotADemo", "shelf/book.zip\nshelf/sub/other.zip", nullptr, "--replace",
                        "shelf", 1,
                        "is no demo library (it holds no .dorvil-demo); nothing was deleted"},
                    RefusalCase{"ForeignMarker", "shelf/book.zip", "mine\n", "--replace", "shelf",
                                1, "is no demo library"},
                    RefusalCase{"NotAFolder", "shelf/book.zip", nullptr, "--replace",
                                "shelf/book.zip", 1, "exists and is not a folder"},
                    RefusalCase{"PathOutsideAscii", "", nullptr, "", "Библиотека", 1,
                                "whose path is plain ASCII"},
                    RefusalCase{"NoFolder", "", nullptr, "--replace", "", 2, "usage: dorvil-demo"},
                    RefusalCase{"CountsWithReplace", "", nullptr, "--counts --replace", "x", 2,
                                "usage: dorvil-demo"}),
    [](const testing::TestParamInfo<RefusalCase> &row) { return std::string(row.param.name); });

TEST_F(DemoTest, ReplaceTakesAwayWhatWasAddedToAnEarlierDemo)
{
    const fs::path folder = makeDemo("demo");
    m_root.write("demo/library/added.zip");
    m_root.write("demo/notes/mine.txt");
    const std::vector<std::string> fresh = contents(makeDemo("reference"));
    makeDemo("demo", "--replace");
    EXPECT_FALSE(fs::exists(folder / "library/added.zip"));
    EXPECT_FALSE(fs::exists(folder / "notes"));
    EXPECT_EQ(contents(folder), fresh);
    EXPECT_EQ(counts(folder), "BOOK 57\nBOOK_AUTOR 68\n");
}

} // namespace
