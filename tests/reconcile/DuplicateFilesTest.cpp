#include "reconcile/Checks.h"

#include "DuplicateSupport.h"
#include "RunFixture.h"

#include "platform/FileSystem.h"
#include "platform/Text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <ostream>

namespace {

namespace fs = std::filesystem;
using reconcile_test::ansi;
using reconcile_test::fb2Document;

// The three lines every run begins with.
const std::vector<std::string> kHeader = {"", "Поиск записей в базе, ссылающихся на один файл",
                                          "10.12.2026 14:05:09"};

class DuplicateFiles : public reconcile_test::RunFixture {
protected:
    DuplicateFiles()
    {
        m_frontEnd.preferences.DelDoubleRec = true;
        m_frontEnd.preferences.MoveNotFound = true;
        // A library holding nothing reads as one whose disk is not mounted.
        m_root.write("library/unrelated.txt", "unrelated");
    }

    std::string lib() const { return platform::ansiToUtf8(library()); }
    std::string mov() const { return platform::ansiToUtf8(moved()); }
    fs::path databaseFile() const { return m_root.native() / "catalogue.fdb"; }

    /// A book archive in the library whose document carries `id`; the name
    /// as the catalogue writes it, with backslashes.
    void archive(std::string relativeUtf8, const std::string &id)
    {
        std::replace(relativeUtf8.begin(), relativeUtf8.end(), '\\', '/');
        ASSERT_NO_FATAL_FAILURE(reconcile_test::writeZip(nativeLibrary() / relativeUtf8,
                                                         {{"book.fb2", fb2Document(ansi(id))}}));
    }

    /// Runs the check as the program does after start-up, then ends it the
    /// way the run frame does (filter off, commit). Returns the log in UTF-8
    /// without the header, which is checked once. Nothing may be lost or
    /// duplicated among the files of the library and the move folder.
    std::vector<std::string> search()
    {
        const auto before = files();
        openBooks();
        reconcile::Run current = run();
        reconcile::SearchDuplicateFiles(current);
        m_components.DbDataSet1.SetFiltered(false);
        m_components.DbTransaction1.Commit();
        EXPECT_EQ(files(), before);
        return logAfterHeader();
    }

    std::vector<std::string> logAfterHeader() const
    {
        std::vector<std::string> lines;
        for (const std::string &line : m_frontEnd.lines)
            lines.push_back(platform::ansiToUtf8(line));
        EXPECT_GE(lines.size(), kHeader.size());
        EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + 3), kHeader);
        return {lines.begin() + 3, lines.end()};
    }

    std::multiset<std::string> files() const
    {
        return testing_support::fileContents({nativeLibrary(), nativeMoved()});
    }

    /// BOOKID=OLDID of every record, in BOOKID order (OLDID NULL as <null>).
    std::vector<std::string> records()
    {
        return reconcile_test::queryTexts(
            m_components.DbDatabase1, m_form,
            "select BOOKID || '=' || coalesce(OLDID, '<null>') from BOOK order by BOOKID");
    }

    void addNullOldId(int bookId, const std::string &fileName)
    {
        execute("insert into BOOK (BOOKID, FILENAME, BOOKNAME) values (" + std::to_string(bookId) +
                ", '" + fileName + "', 'b" + std::to_string(bookId) + "')");
    }
};

TEST_F(DuplicateFiles, NoSharedNameFindsNothing)
{
    addBook(1, "a.zip", "X");
    addBook(2, "b.zip", "X");
    EXPECT_EQ(search(), (std::vector<std::string>{"Найдено дублей -0"}));
}

TEST_F(DuplicateFiles, RecordsCarryingTheFilesIdStayAndTheFileStays)
{
    ASSERT_NO_FATAL_FAILURE(archive("sub\\a.zip", "ID-A"));
    addBook(1, "sub\\a.zip", "ID-A", "Первая");
    addBook(2, "sub\\a.zip", "X", "Вторая");
    addBook(3, "sub\\a.zip", "ID-A", "Третья");
    addBook(4, "other.zip", "X", "Другая");
    EXPECT_EQ(search(), (std::vector<std::string>{"sub\\a.zip - 3", "  fb2 file id - ID-A",
                                                  "  Первая ID - ID-A", "  Вторая ID - X",
                                                  "  Третья ID - ID-A", "  Запись с ID X удалена",
                                                  "Найдено дублей -1"}));
    EXPECT_EQ(records(), (std::vector<std::string>{"1=ID-A", "3=ID-A", "4=X"}));
    EXPECT_TRUE(fs::exists(nativeLibrary() / "sub" / "a.zip"));
    EXPECT_EQ(*m_state.PairList, (std::vector<std::string>{"1=ID-A", "2=X", "3=ID-A"}));
}

// A group whose file carries an identifier no record has: records 1 and 2
// with other identifiers, 3 with an empty and 4 with a NULL OLDID.
struct PolicyCase {
    std::string name;
    bool deletion;
    int policy;
    bool idReadable;
    std::vector<std::string> expectedTail; // after the record lines; {lib}, {moved} replaced
    std::vector<std::string> expectedRecords;
    bool moved;
};

std::ostream &operator<<(std::ostream &out, const PolicyCase &c)
{
    return out << c.name;
}

class Policies : public DuplicateFiles, public testing::WithParamInterface<PolicyCase> {
protected:
    std::string expand(std::string line) const
    {
        for (const auto &[from, to] : {std::pair{std::string("{lib}"), lib()}, {"{moved}", mov()}})
            if (size_t at = line.find(from); at != std::string::npos)
                line.replace(at, from.size(), to);
        return line;
    }
};

const std::string kMovedLine = "  Файл {lib}sub\\a.zip перемещен в {moved}sub\\a.zip";
const std::string kNotMovedLine = "!!!! Не могу перенести файл {lib}sub\\a.zip в {moved}sub\\a.zip";
const std::string kPolicy0Line = "  !!!!ID не найден. Лишние записи не удаляются";
const std::vector<std::string> kAllKept = {"1=X1", "2=X2", "3=", "4=<null>"};

TEST_P(Policies, DecideWhatHappensToTheRecordsAndTheFile)
{
    const PolicyCase &c = GetParam();
    m_frontEnd.preferences.DelDoubleRec = c.deletion;
    m_frontEnd.preferences.IdNotFound = c.policy;
    if (c.idReadable) {
        ASSERT_NO_FATAL_FAILURE(archive("sub\\a.zip", "ID-A"));
    }
    addBook(1, "sub\\a.zip", "X1", "b1");
    addBook(2, "sub\\a.zip", "X2", "b2");
    addBook(3, "sub\\a.zip", "", "b3");
    addNullOldId(4, "sub\\a.zip");

    std::vector<std::string> expected = {"sub\\a.zip - 4",
                                         c.idReadable
                                             ? "  fb2 file id - ID-A"
                                             : "  !!!! не могу извлечь ID fb2 файла! - файл " +
                                                   lib() + "sub\\a.zip не существует",
                                         "  b1 ID - X1",
                                         "  b2 ID - X2",
                                         "  b3 ID - ",
                                         "  b4 ID - "};
    for (const std::string &line : c.expectedTail)
        expected.push_back(expand(line));
    expected.push_back("Найдено дублей -1");
    EXPECT_EQ(search(), expected);
    EXPECT_EQ(records(), c.expectedRecords);
    EXPECT_EQ(fs::exists(nativeMoved() / "sub" / "a.zip"), c.moved);
    // The pairs of the last group stay; empty identifiers make no pair.
    EXPECT_EQ(*m_state.PairList, (std::vector<std::string>{"1=X1", "2=X2"}));
}

INSTANTIATE_TEST_SUITE_P(
    IdNotFound, Policies,
    testing::Values(
        PolicyCase{"DeletionOffOnlyLists", false, 2, true, {}, kAllKept, false},
        PolicyCase{
            "ChangeNothingThenMove", true, 0, true, {kPolicy0Line, kMovedLine}, kAllKept, true},
        PolicyCase{"FirstRecordTakesTheIdLaterOnesGo",
                   true,
                   1,
                   true,
                   {"  Запись с ID X2 удалена", kMovedLine},
                   {"1=ID-A", "3=", "4=<null>"},
                   true},
        PolicyCase{"DeleteAll",
                   true,
                   2,
                   true,
                   {"  Запись с ID X1 удалена", "  Запись с ID X2 удалена", kMovedLine},
                   {"3=", "4=<null>"},
                   true},
        PolicyCase{"NoPolicyOnlyMoves", true, -1, true, {kMovedLine}, kAllKept, true},
        // The reason text must never become an OLDID.
        PolicyCase{"FirstRecordUnreadableIdChangesNothing",
                   true,
                   1,
                   false,
                   {kPolicy0Line, kNotMovedLine},
                   kAllKept,
                   false},
        PolicyCase{"DeleteAllUnreadableId",
                   true,
                   2,
                   false,
                   {"  Запись с ID X1 удалена", "  Запись с ID X2 удалена", kNotMovedLine},
                   {"3=", "4=<null>"},
                   false}),
    [](const testing::TestParamInfo<PolicyCase> &row) { return row.param.name; });

TEST_F(DuplicateFiles, FirstRecordPolicyWithoutIdentifiersChangesNothing)
{
    m_frontEnd.preferences.IdNotFound = 1;
    m_frontEnd.preferences.MoveNotFound = false;
    ASSERT_NO_FATAL_FAILURE(archive("a.zip", "ID-A"));
    addBook(1, "a.zip", "", "b1");
    addNullOldId(2, "a.zip");
    EXPECT_EQ(search(), (std::vector<std::string>{"a.zip - 2", "  fb2 file id - ID-A", "  b1 ID - ",
                                                  "  b2 ID - ", "Найдено дублей -1"}));
    EXPECT_EQ(records(), (std::vector<std::string>{"1=", "2=<null>"}));
    EXPECT_TRUE(m_state.PairList->empty());
}

// The move folder as read from the settings may lack its backslash; the
// file still lands inside it, and a file in the library root moves too.
TEST_F(DuplicateFiles, FileInTheLibraryRootMovesIntoAMoveFolderWithoutBackslash)
{
    m_state.MoveTo = m_root.program("moved");
    m_frontEnd.preferences.SaveStructure = false;
    ASSERT_NO_FATAL_FAILURE(archive("a.zip", "ID-A"));
    addBook(1, "a.zip", "X1", "b1");
    addBook(2, "a.zip", "X2", "b2");
    const std::vector<std::string> log = search();
    EXPECT_EQ(log.back(), "Найдено дублей -1");
    EXPECT_EQ(log[log.size() - 2], "  Файл " + lib() + "a.zip перемещен в " + mov() + "a.zip");
    EXPECT_TRUE(fs::exists(nativeMoved() / "a.zip"));
    EXPECT_FALSE(fs::exists(nativeLibrary() / "a.zip"));
}

TEST_F(DuplicateFiles, MoveNeedsAnExistingMoveFolder)
{
    m_state.MoveTo = m_root.program("nowhere\\");
    ASSERT_NO_FATAL_FAILURE(archive("a.zip", "ID-A"));
    addBook(1, "a.zip", "X1", "b1");
    addBook(2, "a.zip", "X2", "b2");
    const std::vector<std::string> log = search();
    EXPECT_EQ(log[log.size() - 2], "  !!!!ID не найден. Лишние записи не удаляются");
    EXPECT_TRUE(fs::exists(nativeLibrary() / "a.zip"));
    EXPECT_FALSE(fs::exists(m_root.native() / "nowhere"));
}

// Apostrophes are doubled in the filter and in the UPDATE: the records of
// exactly that name are listed, and the identifier is written exactly.
TEST_F(DuplicateFiles, ApostrophesInNamesAndIdentifiers)
{
    m_frontEnd.preferences.IdNotFound = 1;
    m_frontEnd.preferences.MoveNotFound = false;
    ASSERT_NO_FATAL_FAILURE(archive("O'Brien.zip", "O'Brien's id"));
    ASSERT_NO_FATAL_FAILURE(archive("Д'Артаньян и Ко.zip", "д'А"));
    addBook(1, "O'Brien.zip", "X1", "b1");
    addBook(2, "O'Brien.zip", "X2", "b2");
    addBook(3, "O'Brien.zip.bak", "X3", "b3");
    addBook(4, "Д'Артаньян и Ко.zip", "д'А", "b4");
    addBook(5, "Д'Артаньян и Ко.zip", "Y", "b5");
    EXPECT_EQ(search(),
              (std::vector<std::string>{
                  "O'Brien.zip - 2", "  fb2 file id - O'Brien's id", "  b1 ID - X1", "  b2 ID - X2",
                  "  Запись с ID X2 удалена", "Д'Артаньян и Ко.zip - 2", "  fb2 file id - д'А",
                  "  b4 ID - д'А", "  b5 ID - Y", "  Запись с ID Y удалена", "Найдено дублей -2"}));
    EXPECT_EQ(records(), (std::vector<std::string>{"1=O'Brien's id", "3=X3", ansi("4=д'А")}));
}

// "*" is a legal last character of a file name; the filter must not take
// it for a prefix match and list (and delete) other files' records.
TEST_F(DuplicateFiles, NameEndingInStarIsMatchedExactly)
{
    m_frontEnd.preferences.IdNotFound = 2;
    addBook(1, "abc*", "S1", "b1");
    addBook(2, "abc*", "S2", "b2");
    addBook(3, "abcdef.zip", "T", "b3");
    addBook(4, "abc", "U", "b4");
    const std::vector<std::string> log = search();
    EXPECT_EQ(std::vector<std::string>(log.begin(), log.begin() + 6),
              (std::vector<std::string>{"abc* - 2",
                                        "  !!!! не могу извлечь ID fb2 файла! - файл " + lib() +
                                            "abc* не существует",
                                        "  b1 ID - S1", "  b2 ID - S2", "  Запись с ID S1 удалена",
                                        "  Запись с ID S2 удалена"}));
    EXPECT_EQ(records(), (std::vector<std::string>{"3=T", "4=U"}));
}

// NULL names form a group of their own; the filter for "" would list the
// records with an empty name instead, and IS NULL would list both kinds.
// Neither kind names a file, so nothing is moved.
TEST_F(DuplicateFiles, NullAndEmptyNamesAreSeparateGroups)
{
    m_frontEnd.preferences.IdNotFound = 2;
    for (int id : {1, 2})
        execute("insert into BOOK (BOOKID, OLDID, BOOKNAME) values (" + std::to_string(id) +
                ", 'N" + std::to_string(id) + "', 'n" + std::to_string(id) + "')");
    addBook(3, "", "E3", "e3");
    addBook(4, "", "E4", "e4");
    addBook(5, "keep.zip", "K", "k");
    const std::string noFile =
        "  !!!! не могу извлечь ID fb2 файла! - файл " + lib() + " не существует";
    EXPECT_EQ(search(),
              (std::vector<std::string>{
                  " - 2", noFile, "  n1 ID - N1", "  n2 ID - N2", "  Запись с ID N1 удалена",
                  "  Запись с ID N2 удалена", " - 2", noFile, "  e3 ID - E3", "  e4 ID - E4",
                  "  Запись с ID E3 удалена", "  Запись с ID E4 удалена", "Найдено дублей -2"}));
    EXPECT_EQ(records(), (std::vector<std::string>{"5=K"}));
}

// A name that climbs out of the library: its archive is not read and the
// file it points to is never moved.
TEST_F(DuplicateFiles, NameLeavingTheLibraryIsNeitherReadNorMoved)
{
    m_frontEnd.preferences.IdNotFound = 0;
    ASSERT_NO_FATAL_FAILURE(
        reconcile_test::writeZip(m_root.native() / "outside.zip", {{"x.fb2", fb2Document("X1")}}));
    ASSERT_NO_FATAL_FAILURE(archive("keep.zip", "K"));
    addBook(1, "..\\outside.zip", "X1", "b1");
    addBook(2, "..\\outside.zip", "X2", "b2");
    EXPECT_EQ(search(), (std::vector<std::string>{"..\\outside.zip - 2",
                                                  "  !!!! не могу извлечь ID fb2 файла! - файл " +
                                                      lib() + "..\\outside.zip не существует",
                                                  "  b1 ID - X1", "  b2 ID - X2",
                                                  "  !!!!ID не найден. Лишние записи не удаляются",
                                                  "Найдено дублей -1"}));
    EXPECT_TRUE(fs::exists(m_root.native() / "outside.zip"));
    EXPECT_TRUE(fs::is_empty(nativeMoved()));
}

// A deletion refused by the database (another attachment holds the row)
// is logged with the server's message and the next record follows.
TEST_F(DuplicateFiles, RefusedDeletionIsLoggedAndTheRunGoesOn)
{
    ASSERT_NO_FATAL_FAILURE(archive("a.zip", "ID-A"));
    addBook(1, "a.zip", "ID-A", "b1");
    addBook(2, "a.zip", "X2", "b2");
    addBook(3, "a.zip", "X3", "b3");
    reconcile_test::OtherAttachment other(databaseFile());
    other.execute("update BOOK set BOOKNAME = 'held' where BOOKID = 2");
    const std::string holder = other.transactionNumber();
    EXPECT_EQ(search(), (std::vector<std::string>{
                            "a.zip - 3", "  fb2 file id - ID-A", "  b1 ID - ID-A", "  b2 ID - X2",
                            "  b3 ID - X3",
                            "  !!!!Не могу удалить запись с ID ! X2 - Form1.DbQuery1:", "Deadlock.",
                            "Deadlock.", "Update conflicts with concurrent update.",
                            "Concurrent transaction number is " + holder + ".",
                            "At procedure 'DELBOOK' line: 5, col: 3.", "  Запись с ID X3 удалена",
                            "Найдено дублей -1"}));
    EXPECT_EQ(records(), (std::vector<std::string>{"1=ID-A", "2=X2"}));
}

// A refused update is not logged; no record of the group is deleted, and
// the move still follows.
TEST_F(DuplicateFiles, RefusedUpdateDeletesNothingAndStillMoves)
{
    m_frontEnd.preferences.IdNotFound = 1;
    ASSERT_NO_FATAL_FAILURE(archive("a.zip", "ID-A"));
    addBook(1, "a.zip", "X1", "b1");
    addBook(2, "a.zip", "X2", "b2");
    reconcile_test::OtherAttachment other(databaseFile());
    other.execute("update BOOK set BOOKNAME = 'held' where BOOKID = 1");
    EXPECT_EQ(search(), (std::vector<std::string>{
                            "a.zip - 2", "  fb2 file id - ID-A", "  b1 ID - X1", "  b2 ID - X2",
                            "  Файл " + lib() + "a.zip перемещен в " + mov() + "a.zip",
                            "Найдено дублей -1"}));
    EXPECT_EQ(records(), (std::vector<std::string>{"1=X1", "2=X2"}));
}

// The check box is read when the group's records have been listed, not at
// the start of the run: a change made while the archive is read counts.
class SwitchingUserInterface : public testing_support::RecordingUserInterface {
public:
    explicit SwitchingUserInterface(reconcile::Preferences &preferences)
        : m_preferences(preferences)
    {
    }
    void processEvents() override { m_preferences.DelDoubleRec = true; }

private:
    reconcile::Preferences &m_preferences;
};

TEST_F(DuplicateFiles, DeletionCheckBoxIsReadWhenTheGroupNeedsIt)
{
    m_frontEnd.preferences.DelDoubleRec = false;
    m_frontEnd.preferences.IdNotFound = 2;
    m_frontEnd.preferences.MoveNotFound = false;
    SwitchingUserInterface switching(m_frontEnd.preferences);
    platform::ScopedUserInterface scoped(switching);
    ASSERT_NO_FATAL_FAILURE(archive("a.zip", "ID-A"));
    addBook(1, "a.zip", "X1", "b1");
    addBook(2, "a.zip", "X2", "b2");
    const std::vector<std::string> log = search();
    EXPECT_EQ(std::vector<std::string>(log.end() - 3, log.end()),
              (std::vector<std::string>{"  Запись с ID X1 удалена", "  Запись с ID X2 удалена",
                                        "Найдено дублей -1"}));
    EXPECT_TRUE(records().empty());
}

// Without a usable library every archive would look missing and the
// policy for unreadable identifiers would delete every shared record.
struct RootCase {
    std::string name;
    std::string mountPoint; // below the test folder; "\\" alone for an empty setting
    std::string message;    // followed by the mount point
};

std::ostream &operator<<(std::ostream &out, const RootCase &c)
{
    return out << c.name;
}

class LibraryRoots : public DuplicateFiles, public testing::WithParamInterface<RootCase> {};

TEST_P(LibraryRoots, EndTheRunBeforeAnythingIsTouched)
{
    m_frontEnd.preferences.IdNotFound = 2;
    addBook(1, "a.zip", "X1");
    addBook(2, "a.zip", "X2");
    if (GetParam().name == "Empty") {
        fs::remove(nativeLibrary() / "unrelated.txt");
    } else {
        ASSERT_NO_FATAL_FAILURE(archive("a.zip", "ID-A"));
    }
    m_state.MountPoint =
        GetParam().mountPoint == "\\" ? "\\" : m_root.program(GetParam().mountPoint);
    openBooks();
    reconcile::Run current = run();
    EXPECT_EQ(platform::ansiToUtf8(
                  reconcile_test::thrownBy([&] { reconcile::SearchDuplicateFiles(current); })),
              GetParam().message + platform::ansiToUtf8(m_state.MountPoint));
    EXPECT_TRUE(logAfterHeader().empty());
    m_components.DbTransaction1.Commit();
    EXPECT_EQ(records(), (std::vector<std::string>{"1=X1", "2=X2"}));
}

INSTANTIATE_TEST_SUITE_P(
    MountPoint, LibraryRoots,
    testing::Values(RootCase{"Missing", "unmounted\\", "Папка библиотеки не найдена: "},
                    RootCase{"EmptySetting", "\\", "Папка библиотеки не найдена: "},
                    RootCase{"FileSystemRoot", "library\\..\\..\\..\\..\\..\\..\\..\\..\\",
                             "Корень диска не может быть папкой библиотеки: "},
                    RootCase{"Empty", "library\\", "Папка библиотеки пуста: "}),
    [](const testing::TestParamInfo<RootCase> &row) { return row.param.name; });

// Errors other than those of single modifications end the run; the frame
// around it reports them.
TEST_F(DuplicateFiles, ClosedBookDatasetEndsTheRun)
{
    ASSERT_NO_FATAL_FAILURE(archive("a.zip", "ID-A"));
    addBook(1, "a.zip", "X1", "b1");
    addBook(2, "a.zip", "X2", "b2");
    reconcile::Run current = run();
    EXPECT_EQ(reconcile_test::thrownBy([&] { reconcile::SearchDuplicateFiles(current); }),
              "DbDataSet1: Cannot perform this operation on a closed dataset");
    EXPECT_EQ(logAfterHeader(), (std::vector<std::string>{"a.zip - 2", "  fb2 file id - ID-A"}));
}

} // namespace
