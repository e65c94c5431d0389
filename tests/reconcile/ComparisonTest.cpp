#include "reconcile/Checks.h"

#include "NameList.h"

#include "FileContents.h"
#include "FilePermissions.h"
#include "LibraryFiles.h"
#include "RunFixture.h"

#include "platform/Text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <ostream>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using reconcile_test::ansi;
using testing_support::readFile;
using Lines = std::vector<std::string>;

/// Lets a test act at the n-th event pump: press Stop, change a
/// preference, remove a file under the walk's feet.
class EventHook : public testing_support::RecordingUserInterface {
public:
    void processEvents() override
    {
        RecordingUserInterface::processEvents();
        if (onPump)
            onPump(eventPumps);
    }
    std::function<void(int pump)> onPump;
};

class Comparison : public reconcile_test::RunFixture {
protected:
    void books(const std::vector<std::string> &fileNames)
    {
        for (const std::string &name : fileNames)
            addBook(++m_lastBookId, name);
    }
    /// A file below the library (UTF-8, slashes) holding its own path, so
    /// that every file of a test has different contents.
    void file(const std::string &relative) { m_root.write("library/" + relative, relative); }
    void folder(const std::string &relative)
    {
        fs::create_directories(nativeLibrary() / fs::path(relative));
    }
    void link(const std::string &at, const fs::path &to)
    {
        fs::create_directories((m_root.native() / at).parent_path());
        fs::create_symlink(to, m_root.native() / at);
    }

    /// Runs the comparison and returns the log after its run header. Files
    /// under the library and the move folder must be, as a multiset of
    /// contents, what they were before.
    Lines compare(bool filesStay = true)
    {
        openBooks();
        const std::multiset<std::string> before =
            filesStay ? contents() : std::multiset<std::string>{};
        m_frontEnd.lines.clear();
        reconcile::Run current = run();
        reconcile::CompareDatabaseWithDisk(current);
        if (filesStay) {
            EXPECT_EQ(contents(), before) << "a file was lost or duplicated";
        }
        const Lines &lines = m_frontEnd.lines;
        const auto headerEnd = lines.begin() + std::min<std::ptrdiff_t>(3, std::ssize(lines));
        EXPECT_EQ(Lines(lines.begin(), headerEnd),
                  (Lines{"", ansi("Сверка базы с файлами"), "10.12.2026 14:05:09"}));
        return Lines(headerEnd, lines.end());
    }

    /// UTF-8 log lines with {lib}, {moved} and {root} standing for the
    /// library, the move folder and the test folder (program paths).
    Lines expected(const std::vector<std::string> &utf8) const
    {
        Lines lines;
        for (const std::string &line : utf8) {
            std::string text = ansi(line);
            for (auto [token, value] : {std::pair<std::string, std::string>{"{lib}", library()},
                                        {"{moved}", moved()},
                                        {"{root}", m_root.program() + "\\"}})
                for (size_t at; (at = text.find(token)) != std::string::npos;)
                    text.replace(at, token.size(), value);
            lines.push_back(text);
        }
        return lines;
    }

    /// Files and folders (with a trailing slash) below a folder, sorted;
    /// links are shown as such and not followed; move journals left out.
    static std::vector<std::string> tree(const fs::path &top)
    {
        std::vector<std::string> names;
        for (const auto &entry :
             fs::recursive_directory_iterator(top, fs::directory_options::skip_permission_denied)) {
            if (testing_support::isMoveJournal(entry.path()))
                continue;
            std::string name = entry.path().lexically_relative(top).string();
            if (entry.is_symlink())
                name += "@";
            else if (entry.is_directory())
                name += "/";
            names.push_back(name);
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    std::multiset<std::string> contents() const
    {
        return testing_support::fileContents({nativeLibrary(), nativeMoved()});
    }

    int m_lastBookId = 0;
    EventHook m_events;
    platform::ScopedUserInterface m_scopedEvents{m_events};
};

const std::string kMissing = "Ссылки из базы на несуществующие файлы";
const std::string kSurplus = "Файлы, для которых нет ссылки в базе";
const std::string kFound = "Найдено файлов - ";
const std::string kStopped = "Поиск прерван";
const std::string kEmpty = " - пустая директория. Переношу в - ";

// ---------------------------------------------------------------------------
// Small libraries, as the user meets them.

struct LibraryCase {
    const char *name;
    std::vector<std::string> books;        ///< FILENAME of each row, in order
    std::vector<std::string> files;        ///< below the library
    std::vector<std::string> folders;      ///< below the library, empty
    std::vector<std::string> movedBefore;  ///< files already in the move folder
    std::vector<std::string> movedFolders; ///< folders already in the move folder
    reconcile::Preferences preferences;
    std::string moveToText;              ///< the edit box; "{moved}" unless the row says otherwise
    std::vector<std::string> log;        ///< after the run header
    std::vector<std::string> movedAfter; ///< tree() of the move folder
};
std::ostream &operator<<(std::ostream &out, const LibraryCase &row)
{
    return out << row.name;
}

reconcile::Preferences withPreferences(bool moveFiles, bool saveStructure, bool moveEmptyDir)
{
    reconcile::Preferences preferences;
    preferences.MoveFiles = moveFiles;
    preferences.SaveStructure = saveStructure;
    preferences.MoveEmptyDir = moveEmptyDir;
    return preferences;
}
const reconcile::Preferences kAllOn = withPreferences(true, true, true);

class SmallLibrary : public Comparison, public testing::WithParamInterface<LibraryCase> {};

TEST_P(SmallLibrary, LogAndMovesAreWhatTheUserExpects)
{
    const LibraryCase &row = GetParam();
    books(row.books);
    for (const std::string &name : row.files)
        file(name);
    for (const std::string &name : row.folders)
        folder(name);
    for (const std::string &name : row.movedBefore)
        m_root.write("moved/" + name, "already moved " + name);
    for (const std::string &name : row.movedFolders)
        fs::create_directories(nativeMoved() / name);
    m_frontEnd.preferences = row.preferences;
    m_frontEnd.moveToText = expected({row.moveToText}).front();

    EXPECT_EQ(compare(), expected(row.log));
    EXPECT_EQ(tree(nativeMoved()), row.movedAfter);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, SmallLibrary,
    testing::Values(
        LibraryCase{"TwoRecordsOfOneMissingFile",
                    {"a\\x.zip", "a\\y.zip", "a\\x.zip"},
                    {"a/y.zip"},
                    {},
                    {},
                    {},
                    kAllOn,
                    "{moved}",
                    {kMissing, "a\\x.zip", "a\\x.zip", kFound + "2", "", kSurplus, kFound + "0"},
                    {}},
        LibraryCase{"EmptyFileNameAndAFolderName",
                    {"", "a", "a\\b.zip"},
                    {"a/b.zip"},
                    {},
                    {},
                    {},
                    kAllOn,
                    "{moved}",
                    {kMissing, "", "a", kFound + "2", "", kSurplus, kFound + "0"},
                    {}},
        LibraryCase{"OnlyLetterCaseDiffers",
                    {"Книги\\Война и мир.zip", "Dir\\File.ZIP", "Ёлки\\ёж.zip"},
                    {"книги/ВОЙНА И МИР.zip", "dir/file.zip", "ёлки/ЁЖ.zip"},
                    {},
                    {},
                    {},
                    kAllOn,
                    "{moved}",
                    {kMissing, kFound + "0", "", kSurplus, kFound + "0"},
                    {}},
        LibraryCase{
            "SurplusInTheRootIsListedDeeperIsMovedWithItsFolders",
            {"sub\\kept.zip"},
            {"root.zip", "sub/b.zip", "sub/kept.zip", "sub/deep/a.zip", "папка/файл.zip"},
            {},
            {},
            {},
            kAllOn,
            "{moved}",
            {kMissing, kFound + "0", "", kSurplus, "root.zip", "sub\\b.zip", "sub\\deep\\a.zip",
             "папка\\файл.zip", kFound + "4"},
            {"sub/", "sub/b.zip", "sub/deep/", "sub/deep/a.zip", "папка/", "папка/файл.zip"}},
        // What a move between file systems cut short left is no book: not
        // listed, not moved, but its folder is not empty either.
        LibraryCase{"UnfinishedCopyOfAnInterruptedMoveIsNoBook",
                    {},
                    {"x/a.zip.dorvil-partial-Ab12Cd", "y/b.zip"},
                    {},
                    {},
                    {},
                    kAllOn,
                    "{moved}",
                    {kMissing, kFound + "0", "", kSurplus, "y\\b.zip", kFound + "1"},
                    {"y/", "y/b.zip"}},
        LibraryCase{"FlatMovesResolveCollisions",
                    {},
                    {"x/a.zip", "x/b.zip", "x/c.zip", "y/a.zip"},
                    {},
                    {"a.zip", "b.zip.1"},
                    {"c.zip"},
                    withPreferences(true, false, true),
                    "{moved}",
                    {kMissing, kFound + "0", "", kSurplus, "x\\a.zip", "x\\b.zip", "x\\c.zip",
                     "!!!! Не могу перенести файл {lib}x\\c.zip в {moved}c.zip", "y\\a.zip",
                     kFound + "4"},
                    {"a.zip", "a.zip.1", "a.zip.2", "b.zip", "b.zip.1", "c.zip/"}},
        LibraryCase{"EmptyFolders",
                    {},
                    {"g/.git/config", "h/.hidden"},
                    {"e/f", "k", "x/y", "z/y"},
                    {},
                    {},
                    kAllOn,
                    "{moved}",
                    {kMissing, kFound + "0", "", kSurplus, "{lib}e\\f\\" + kEmpty + "{moved}f",
                     "{lib}g\\" + kEmpty + "{moved}g", "h\\.hidden",
                     "{lib}k\\" + kEmpty + "{moved}k", "{lib}x\\y\\" + kEmpty + "{moved}y",
                     "{lib}z\\y\\" + kEmpty + "{moved}y",
                     "!!! Не могу перенести директорию в - {moved}y", kFound + "1"},
                    {"f/", "g/", "g/.git/", "g/.git/config", "h/", "h/.hidden", "k/", "y/"}},
        LibraryCase{"AnEmptyLibraryRootIsReportedButStays",
                    {},
                    {},
                    {},
                    {},
                    {},
                    kAllOn,
                    "{moved}",
                    {kMissing, kFound + "0", "", kSurplus, "{lib}" + kEmpty + "{moved}library",
                     kFound + "0"},
                    {}},
        LibraryCase{"MoveFolderMissing",
                    {},
                    {"x/a.zip"},
                    {"y"},
                    {},
                    {},
                    kAllOn,
                    "{root}gone",
                    {kMissing, kFound + "0", "", kSurplus, "x\\a.zip", "{lib}y\\" + kEmpty + "y",
                     kFound + "1"},
                    {}},
        LibraryCase{"MoveFilesOff",
                    {},
                    {"x/a.zip"},
                    {"y"},
                    {},
                    {},
                    withPreferences(false, true, true),
                    "{moved}",
                    {kMissing, kFound + "0", "", kSurplus, "x\\a.zip",
                     "{lib}y\\" + kEmpty + "{moved}y", kFound + "1"},
                    {"y/"}},
        LibraryCase{"MoveEmptyDirOff",
                    {},
                    {"x/a.zip"},
                    {"y"},
                    {},
                    {},
                    withPreferences(true, true, false),
                    "{moved}",
                    {kMissing, kFound + "0", "", kSurplus, "x\\a.zip", kFound + "1"},
                    {"x/", "x/a.zip"}},
        LibraryCase{"NamesClimbingOutOfTheLibraryNameNoFile",
                    {"..\\outside.zip", "a\\..\\b.zip", "a/../b.zip"},
                    {"../outside.zip", "b.zip", "a/c.zip"},
                    {},
                    {},
                    {},
                    kAllOn,
                    "{moved}",
                    {kMissing, "..\\outside.zip", "a\\..\\b.zip", "a/../b.zip", kFound + "3", "",
                     kSurplus, "a\\c.zip", "b.zip", kFound + "2"},
                    {"a/", "a/c.zip"}}),
    [](const auto &row) { return std::string(row.param.name); });

// ---------------------------------------------------------------------------
// The run's results, progress and events.

TEST_F(Comparison, ResultListsHoldOnlyThisRunsFindings)
{
    m_state.PairList->push_back("stale=1");
    m_state.ScratchList->push_back("stale");
    books({"gone.zip", "x\\kept.zip", "also gone.zip"});
    file("x/kept.zip");
    file("x/surplus.zip");
    m_frontEnd.moveToText = m_root.program("moved"); // no backslash: one is added
    compare();
    EXPECT_EQ(*m_state.PairList, (Lines{"gone.zip", "also gone.zip"}));
    EXPECT_EQ(*m_state.ScratchList, (Lines{"x\\surplus.zip"}));
    EXPECT_EQ(m_state.MoveTo, moved());
    EXPECT_EQ(m_state.BookCount, 3);

    // The next run starts again from the first row.
    m_frontEnd.moveToText = m_root.program("gone");
    compare();
    EXPECT_EQ(*m_state.PairList, (Lines{"gone.zip", "also gone.zip"}));
    EXPECT_EQ(m_state.MoveTo, "");
}

TEST_F(Comparison, ProgressAndEventsAfterEveryRowAndEveryFile)
{
    books({"a.zip", "b.zip", "c.zip", "d.zip"});
    file("a.zip");
    folder("sub/.git");
    file("sub/x.zip");
    compare();
    EXPECT_EQ(m_frontEnd.progress, (std::vector<int>{12, 25, 38, 50, 62, 75}));
    EXPECT_EQ(m_events.eventPumps, 6);
}

TEST_F(Comparison, MoreFilesThanRowsHoldsTheGaugeAtItsEnd)
{
    books({"a.zip"});
    for (const char *name : {"a.zip", "b.zip", "c.zip"})
        file(name);
    compare();
    EXPECT_EQ(m_frontEnd.progress, (std::vector<int>{50, 100, 100, 100}));
}

TEST_F(Comparison, StopDuringTheDatabasePass)
{
    books({"gone1.zip", "here.zip", "gone2.zip", "gone3.zip"});
    file("here.zip");
    file("x/surplus.zip");
    m_events.onPump = [this](int pump) { m_state.StopRequested = pump == 3; };
    EXPECT_EQ(compare(),
              expected({kMissing, "gone1.zip", "gone2.zip", kStopped, kFound + "2", "", kStopped}));
    EXPECT_EQ(m_events.eventPumps, 3);
    EXPECT_TRUE(fs::exists(nativeLibrary() / "x/surplus.zip"));
}

TEST_F(Comparison, StopDuringTheDiskPassEndsEveryLevelAndReportsNoEmptyFolder)
{
    books({"a\\here.zip"});
    file("a/b/1.zip");
    file("a/b/2.zip");
    file("a/here.zip");
    folder("a/c");
    folder("z");
    // Pump 1 is the book row, pump 2 the first file.
    m_events.onPump = [this](int pump) { m_state.StopRequested = pump == 2; };
    EXPECT_EQ(compare(), expected({kMissing, kFound + "0", "", kSurplus, "a\\b\\1.zip", kStopped,
                                   kFound + "1"}));
    EXPECT_EQ(tree(nativeMoved()), (std::vector<std::string>{"a/", "a/b/", "a/b/1.zip"}));
}

TEST_F(Comparison, StopDuringTheDiskPassBeforeAnySurplusLeavesOutTheCount)
{
    books({"a\\1.zip", "a\\2.zip"});
    file("a/1.zip");
    file("a/2.zip");
    file("a/3.zip");
    m_events.onPump = [this](int pump) { m_state.StopRequested = pump == 3; };
    EXPECT_EQ(compare(), expected({kMissing, kFound + "0", "", kSurplus, kStopped}));
}

TEST_F(Comparison, MovePreferencesAreReadAtEachMove)
{
    file("x/1.zip");
    file("x/2.zip");
    file("x/3.zip");
    m_events.onPump = [this](int pump) {
        if (pump == 1)
            m_frontEnd.preferences.SaveStructure = false;
        if (pump == 2)
            m_frontEnd.preferences.MoveFiles = false;
    };
    compare();
    EXPECT_EQ(tree(nativeMoved()), (std::vector<std::string>{"2.zip", "x/", "x/1.zip"}));
}

TEST_F(Comparison, FileRemovedDuringTheWalkIsListedAndItsMoveFails)
{
    file("x/1.zip");
    file("x/2.zip");
    m_events.onPump = [this](int pump) {
        if (pump == 1)
            fs::remove(nativeLibrary() / "x/2.zip");
    };
    EXPECT_EQ(
        compare(false),
        expected({kMissing, kFound + "0", "", kSurplus, "x\\1.zip", "x\\2.zip",
                  "!!!! Не могу перенести файл {lib}x\\2.zip в {moved}x\\2.zip", kFound + "2"}));
    EXPECT_EQ(tree(nativeMoved()), (std::vector<std::string>{"x/", "x/1.zip"}));
}

TEST_F(Comparison, DatabaseErrorsEndTheRun)
{
    m_frontEnd.lines.clear();
    reconcile::Run current = run(); // the book dataset was never opened
    try {
        reconcile::CompareDatabaseWithDisk(current);
        FAIL() << "no error";
    } catch (const std::exception &error) {
        EXPECT_STREQ(error.what(), "DbDataSet1: Cannot perform this operation on a closed dataset");
    }
    EXPECT_EQ(m_frontEnd.lines.back(), ansi(kMissing));
}

// ---------------------------------------------------------------------------
// The library root and the move folder, compared where they really are.

struct RootCase {
    const char *name;
    std::string mountPoint; ///< {root} for the test folder
    std::string message;
};
std::ostream &operator<<(std::ostream &out, const RootCase &row)
{
    return out << row.name;
}

class LibraryRoot : public Comparison, public testing::WithParamInterface<RootCase> {};

TEST_P(LibraryRoot, ThatNamesNoLibraryEndsTheRunAfterItsHeader)
{
    const RootCase &row = GetParam();
    books({"a.zip"});
    file("x/a.zip");
    folder("empty");
    link("toRoot", "/");
    m_root.write("plain.txt");
    m_state.PairList->push_back("stale");
    const std::string mountPoint = expected({row.mountPoint}).front();
    m_state.MountPoint = mountPoint;
    try {
        compare();
        FAIL() << "no error";
    } catch (const std::runtime_error &error) {
        EXPECT_EQ(error.what(), ansi(row.message) + mountPoint);
    }
    EXPECT_EQ(m_frontEnd.lines.size(), 3u) << "only the run header";
    EXPECT_TRUE(m_state.PairList->empty());
    EXPECT_TRUE(tree(nativeMoved()).empty());
    EXPECT_TRUE(fs::exists(nativeLibrary() / "x/a.zip"));
    EXPECT_TRUE(fs::exists(nativeLibrary() / "empty"));
}

const std::string kNotFound = "Папка библиотеки не найдена: ";
const std::string kDriveRoot = "Корень диска не может быть папкой библиотеки: ";

INSTANTIATE_TEST_SUITE_P(Rows, LibraryRoot,
                         testing::Values(RootCase{"EmptySetting", "\\", kNotFound},
                                         RootCase{"EmptyText", "", kNotFound},
                                         RootCase{"Missing", "{root}unmounted\\", kNotFound},
                                         RootCase{"AFile", "{root}plain.txt\\", kNotFound},
                                         RootCase{"FileSystemRoot", "/\\", kDriveRoot},
                                         RootCase{"ClimbingToTheRoot", "\\tmp\\..\\", kDriveRoot},
                                         RootCase{"LinkToTheRoot", "{root}toRoot\\", kDriveRoot}),
                         [](const auto &row) { return std::string(row.param.name); });

TEST_F(Comparison, LibraryRootInOtherLetterCaseIsFound)
{
    books({"x\\a.zip"});
    file("x/a.zip");
    m_state.MountPoint = m_root.program("LIBRARY\\");
    EXPECT_EQ(compare(), expected({kMissing, kFound + "0", "", kSurplus, kFound + "0"}));
}

TEST_F(Comparison, MoveFolderInsideTheLibraryIsPassedOver)
{
    file("Moved/earlier.zip");
    file("x/a.zip");
    folder("Moved/empty");
    // Another letter case and no backslash: still the same folder.
    m_frontEnd.moveToText = library() + "MOVED";
    EXPECT_EQ(compare(),
              expected({kMissing, kFound + "0", "", kSurplus, "x\\a.zip", kFound + "1"}));
    EXPECT_EQ(tree(nativeLibrary() / "Moved"),
              (std::vector<std::string>{"earlier.zip", "empty/", "x/", "x/a.zip"}));

    // The next run does not find this run's moves again.
    EXPECT_EQ(compare(),
              expected({kMissing, kFound + "0", "", kSurplus, "{lib}x\\" + kEmpty + "{lib}MOVED\\x",
                        "!!! Не могу перенести директорию в - {lib}MOVED\\x", kFound + "0"}));
}

TEST_F(Comparison, FolderHoldingTheMoveFolderIsNotMovedIntoIt)
{
    folder("outer/Moved");
    m_frontEnd.moveToText = library() + "outer\\Moved\\";
    EXPECT_EQ(compare(),
              expected({kMissing, kFound + "0", "", kSurplus,
                        "{lib}outer\\" + kEmpty + "{lib}outer\\Moved\\outer", kFound + "0"}));
    EXPECT_TRUE(fs::is_directory(nativeLibrary() / "outer/Moved"));
}

TEST_F(Comparison, MoveFolderThatIsTheLibraryRootMovesNothing)
{
    file("x/a.zip");
    folder("y");
    link("rootLink", nativeLibrary());
    m_frontEnd.moveToText = m_root.program("rootLink");
    EXPECT_EQ(compare(), expected({kMissing, kFound + "0", "", kSurplus, "x\\a.zip",
                                   "{lib}y\\" + kEmpty + "{root}rootLink\\y", kFound + "1"}));
    EXPECT_EQ(tree(nativeLibrary()), (std::vector<std::string>{"x/", "x/a.zip", "y/"}));
}

// ---------------------------------------------------------------------------
// Links, and names and trees the platform finds hard.

TEST_F(Comparison, LinksBackIntoTheLibraryAreNotWalked)
{
    books({"real\\b.zip"});
    file("real/b.zip");
    file("a/s.zip");
    link("library/a/loop", "..");
    link("library/a/self", ".");
    link("library/alias", "real");
    link("library/onlyLink/toReal", "../real");
    EXPECT_EQ(compare(),
              expected({kMissing, kFound + "0", "", kSurplus, "a\\s.zip", kFound + "1"}));
    EXPECT_EQ(tree(nativeMoved()), (std::vector<std::string>{"a/", "a/s.zip"}));
    EXPECT_TRUE(fs::exists(nativeLibrary() / "real/b.zip"));
}

TEST_F(Comparison, LinkOutOfTheLibraryIsWalkedOnceAndNothingThereIsMoved)
{
    m_root.write("outside/o.zip", "outside o");
    fs::create_directories(m_root.native() / "outside/empty");
    link("outside/back", ".");
    link("outside/up", nativeLibrary());
    link("library/ext", m_root.native() / "outside");
    link("library/ext2", m_root.native() / "outside");
    EXPECT_EQ(compare(), expected({kMissing, kFound + "0", "", kSurplus,
                                   "{lib}ext\\empty\\" + kEmpty + "{moved}empty", "ext\\o.zip",
                                   kFound + "1"}));
    EXPECT_TRUE(tree(nativeMoved()).empty());
    EXPECT_EQ(tree(m_root.native() / "outside"),
              (std::vector<std::string>{"back@", "empty/", "o.zip", "up@"}));
}

TEST_F(Comparison, LinkedFileMovesAsALinkAndItsFileStays)
{
    m_root.write("target.zip", "target");
    link("library/x/l.zip", m_root.native() / "target.zip");
    EXPECT_EQ(compare(),
              expected({kMissing, kFound + "0", "", kSurplus, "x\\l.zip", kFound + "1"}));
    EXPECT_EQ(tree(nativeMoved()), (std::vector<std::string>{"x/", "x/l.zip@"}));
    EXPECT_EQ(readFile(m_root.native() / "target.zip"), "target");
}

TEST_F(Comparison, NamesCodePage1251CannotSpellAreListedButNeverMoved)
{
    file("x/\u4e2d.zip");
    file("y/\u4e2d/b.zip");
    EXPECT_EQ(compare(), expected({kMissing, kFound + "0", "", kSurplus, "x\\?.zip",
                                   "!!!! Не могу перенести файл {lib}x\\?.zip в {moved}x\\?.zip",
                                   kFound + "1"}));
    EXPECT_TRUE(fs::exists(nativeLibrary() / "x/\u4e2d.zip"));
    EXPECT_TRUE(fs::exists(nativeLibrary() / "y/\u4e2d/b.zip"));
}

// Permissions the program meets in a user's library, as they bind a user
// (root included: the test drops what overrides them). Each permission is
// restored before the files are compared.
struct PermissionCase {
    const char *name;
    const char *folder; ///< below the test folder, whose permission is changed
    fs::perms permission;
    std::vector<std::string> log;
};

std::ostream &operator<<(std::ostream &out, const PermissionCase &row)
{
    return out << row.name;
}

class ComparisonPermissions : public Comparison,
                              public testing::WithParamInterface<PermissionCase> {};

TEST_P(ComparisonPermissions, LeaveEveryFileWhereItIs)
{
    const PermissionCase &row = GetParam();
    file("locked/book.zip");
    file("free/other.zip");
    const fs::path changed = m_root.native() / row.folder;
    Lines log;
    {
        const testing_support::FilePermissionsBind binding;
        fs::permissions(changed, row.permission);
        const std::multiset<std::string> before = [&] {
            fs::permissions(changed, fs::perms::owner_all);
            auto files = contents();
            fs::permissions(changed, row.permission);
            return files;
        }();
        log = compare(false);
        fs::permissions(changed, fs::perms::owner_all);
        EXPECT_EQ(contents(), before) << "a file was lost or duplicated";
    }
    EXPECT_EQ(log, expected(row.log));
    EXPECT_EQ(readFile(nativeLibrary() / "locked/book.zip"), "locked/book.zip");
}

// The log when the locked folder's file is neither reported nor moved.
const std::vector<std::string> kOnlyTheFreeFile = {kMissing, kFound + "0",      "",
                                                   kSurplus, "free\\other.zip", kFound + "1"};

INSTANTIATE_TEST_SUITE_P(
    Library, ComparisonPermissions,
    testing::Values(
        // Neither listed nor entered, listed but not entered, entered but
        // not listed: the folder's files are not reported and stay.
        PermissionCase{"FolderNeitherListedNorEntered", "library/locked", fs::perms::none,
                       kOnlyTheFreeFile},
        PermissionCase{"FolderListedButNotEntered", "library/locked", fs::perms::owner_read,
                       kOnlyTheFreeFile},
        PermissionCase{"FolderEnteredButNotListed", "library/locked", fs::perms::owner_exec,
                       kOnlyTheFreeFile},
        // A surplus file in a folder that may not change cannot be moved.
        PermissionCase{"SurplusFileThatCannotBeMoved",
                       "library/locked",
                       fs::perms::owner_read | fs::perms::owner_exec,
                       {kMissing, kFound + "0", "", kSurplus, "free\\other.zip", "locked\\book.zip",
                        "!!!! Не могу перенести файл {lib}locked\\book.zip в "
                        "{moved}locked\\book.zip",
                        kFound + "2"}},
        // A read-only move folder takes no file at all.
        PermissionCase{"ReadOnlyMoveFolder",
                       "moved",
                       fs::perms::owner_read | fs::perms::owner_exec,
                       {kMissing, kFound + "0", "", kSurplus, "free\\other.zip",
                        "!!!! Не могу перенести файл {lib}free\\other.zip в "
                        "{moved}free\\other.zip",
                        "locked\\book.zip",
                        "!!!! Не могу перенести файл {lib}locked\\book.zip в "
                        "{moved}locked\\book.zip",
                        kFound + "2"}}),
    [](const testing::TestParamInfo<PermissionCase> &row) { return row.param.name; });

// A hundred thousand files in one folder: every one is listed once, in the
// listing's name order, and the folder's books are all still there.
TEST_F(Comparison, AHundredThousandFilesInOneFolder)
{
    constexpr int kFiles = 100000;
    fs::create_directories(nativeLibrary() / "big");
    for (int i = 0; i < kFiles; ++i)
        std::ofstream(nativeLibrary() / "big" / ("b" + std::to_string(i) + ".zip"));
    m_frontEnd.preferences.MoveFiles = false;
    const Lines log = compare();
    ASSERT_EQ(log.size(), size_t(kFiles) + 5);
    EXPECT_EQ(log.back(), ansi(kFound + std::to_string(kFiles)));
    const std::vector<std::string> listed(log.begin() + 4, log.end() - 1);
    EXPECT_EQ(std::set<std::string>(listed.begin(), listed.end()).size(), size_t(kFiles));
    EXPECT_TRUE(std::is_sorted(listed.begin(), listed.end(), [](const auto &a, const auto &b) {
        return platform::compareTextInsensitive(a, b) < 0;
    }));
    EXPECT_EQ(
        std::distance(fs::directory_iterator(nativeLibrary() / "big"), fs::directory_iterator()),
        kFiles);
}

TEST_F(Comparison, TreeDeeperThanAHundredLevels)
{
    std::string deep;
    std::string relative;
    for (int level = 0; level < 120; ++level) {
        deep += "d/";
        relative += "d\\";
    }
    file(deep + "deep.zip");
    folder(deep + "empty");
    EXPECT_EQ(compare(),
              expected({kMissing, kFound + "0", "", kSurplus, relative + "deep.zip",
                        "{lib}" + relative + "empty\\" + kEmpty + "{moved}empty", kFound + "1"}));
    EXPECT_TRUE(fs::exists(nativeMoved() / (deep + "deep.zip")));
    EXPECT_TRUE(fs::is_directory(nativeMoved() / "empty"));
}

// ---------------------------------------------------------------------------
// The name list.

TEST(NameList, SortedWithDuplicatesComparedIgnoringLetterCase)
{
    reconcile::NameList names;
    const std::vector<std::string> input{"b\\x.zip", "A.ZIP", "ё.zip", "Б.zip", "a.zip",
                                         "Ё.ZIP",    "я.zip", "Z.zip", "",      "b\\X.zip"};
    for (const std::string &name : input)
        names.Add(platform::upperLatin(ansi(name)));
    names.Sort();

    std::vector<std::string> byPlatform;
    for (const std::string &name : input)
        byPlatform.push_back(platform::upperAnsi(ansi(name)));
    std::stable_sort(byPlatform.begin(), byPlatform.end(), [](const auto &a, const auto &b) {
        return platform::compareTextInsensitive(a, b) < 0;
    });
    EXPECT_EQ(names.Names(), byPlatform);
    EXPECT_EQ(names.Count(), input.size());

    for (const char *present : {"a.zip", "B\\x.ZIP", "ё.ZIP", "б.ZIP", "Я.zip", ""})
        EXPECT_TRUE(names.Contains(ansi(present))) << present;
    for (const char *absent : {"a.zi", "a.zip ", "b\\y.zip", "е.zip", "Ж.zip"})
        EXPECT_FALSE(names.Contains(ansi(absent))) << absent;
}

// Sorted in steps for the window's sake: more names than one step takes,
// in an order that makes every merge interleave, with duplicates in case.
TEST(NameList, SortInStepsKeepsTheOrderOfOneSort)
{
    reconcile::NameList names;
    std::vector<std::string> expected;
    for (int i = 0; i < 40000; ++i) {
        const std::string name =
            "f" + std::to_string((i * 7919) % 20011) + (i % 2 ? ".zip" : ".ZIP");
        names.Add(name);
        expected.push_back(platform::upperAnsi(name));
    }
    std::stable_sort(expected.begin(), expected.end());
    int steps = 0;
    names.Sort([&] { ++steps; });
    EXPECT_EQ(names.Names(), expected);
    EXPECT_GT(steps, 4);
    EXPECT_TRUE(names.Contains("F19.zip"));
    EXPECT_FALSE(names.Contains("F20011.zip"));
}

} // namespace
