#include "Relocation.h"
#include "LibraryRoot.h"

#include "FileContents.h"
#include "LibraryFiles.h"
#include "RunFixture.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using reconcile_test::ansi;
using testing_support::readFile;

class Relocation : public reconcile_test::RunFixture {
protected:
    void SetUp() override {} // no database: relocation works on the tree alone

    fs::path book(const std::string &relativeUtf8, const std::string &content)
    {
        return m_root.write("library/" + relativeUtf8, content);
    }
    /// Relocates library\<relative> (UTF-8, backslashes) as the comparison does.
    bool relocate(const std::string &relativeUtf8, bool logSuccess = false)
    {
        const std::string relative = ansi(relativeUtf8);
        return reconcile::RelocateFile(run(), library() + relative, relative,
                                       std::string(reconcile::NamePart(relative)), logSuccess);
    }
    std::vector<std::string> filesIn(const fs::path &folder) const
    {
        std::vector<std::string> names;
        for (const auto &entry : fs::recursive_directory_iterator(folder))
            if (!entry.is_directory() && !testing_support::isMoveJournal(entry.path()))
                names.push_back(entry.path().lexically_relative(folder).string());
        std::sort(names.begin(), names.end());
        return names;
    }
};

TEST_F(Relocation, KeepStructureCreatesTheFoldersBelowTheMoveFolder)
{
    book("sub/deep/a.zip", "A");
    EXPECT_TRUE(relocate("sub\\deep\\a.zip"));
    EXPECT_EQ(readFile(nativeMoved() / "sub/deep/a.zip"), "A");
    EXPECT_FALSE(fs::exists(nativeLibrary() / "sub/deep/a.zip"));
    EXPECT_TRUE(m_frontEnd.lines.empty()) << "successes are logged only when asked";
}

TEST_F(Relocation, SuccessLineShowsSourceAndTarget)
{
    m_frontEnd.preferences.SaveStructure = false;
    book("б/в.zip", "B");
    EXPECT_TRUE(relocate("б\\в.zip", true));
    EXPECT_EQ(m_frontEnd.lines,
              std::vector<std::string>{ansi("  Файл ") + library() + ansi("б\\в.zip перемещен в ") +
                                       moved() + ansi("в.zip")});
}

struct FreeNameCase {
    const char *name;
    std::vector<std::string> filesInMoved; ///< files already there
    std::vector<std::string> foldersInMoved;
    const char *expectedTarget;
    bool moves;
};
std::ostream &operator<<(std::ostream &out, const FreeNameCase &row)
{
    return out << row.name;
}

class FreeName : public Relocation, public testing::WithParamInterface<FreeNameCase> {};

TEST_P(FreeName, FlatMoveTakesTheFirstFreeNameAndNeverReplaces)
{
    const FreeNameCase &row = GetParam();
    m_frontEnd.preferences.SaveStructure = false;
    for (const std::string &name : row.filesInMoved)
        m_root.write("moved/" + name, "old " + name);
    for (const std::string &name : row.foldersInMoved)
        fs::create_directories(nativeMoved() / name);
    book("x/a.zip", "new");

    EXPECT_EQ(relocate("x\\a.zip"), row.moves);
    for (const std::string &name : row.filesInMoved)
        EXPECT_EQ(readFile(nativeMoved() / name), "old " + name);
    if (row.moves) {
        EXPECT_EQ(readFile(nativeMoved() / row.expectedTarget), "new");
        EXPECT_TRUE(m_frontEnd.lines.empty());
    } else {
        EXPECT_EQ(readFile(nativeLibrary() / "x/a.zip"), "new");
        EXPECT_EQ(m_frontEnd.lines, std::vector<std::string>{ansi("!!!! Не могу перенести файл ") +
                                                             library() + "x\\a.zip" + ansi(" в ") +
                                                             moved() + row.expectedTarget});
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, FreeName,
    testing::Values(FreeNameCase{"Free", {}, {}, "a.zip", true},
                    FreeNameCase{"TakenOnce", {"a.zip"}, {}, "a.zip.1", true},
                    FreeNameCase{"TakenTwice", {"a.zip", "a.zip.1"}, {}, "a.zip.2", true},
                    FreeNameCase{"OnlySuffixTaken", {"a.zip.1"}, {}, "a.zip", true},
                    FreeNameCase{"GapIsFilled", {"a.zip", "a.zip.2"}, {}, "a.zip.1", true},
                    // Only files count when looking for a free name.
                    FreeNameCase{"FolderOfTheTargetsName", {}, {"a.zip"}, "a.zip", false},
                    FreeNameCase{
                        "FolderOfTheSuffixedName", {"a.zip"}, {"a.zip.1"}, "a.zip.1", false}),
    [](const auto &row) { return std::string(row.param.name); });

TEST_F(Relocation, TargetJoinsTheMoveFolderWithOneBackslash)
{
    m_frontEnd.preferences.SaveStructure = false;
    m_state.MoveTo = m_root.program("moved"); // as Dorvil.ini may hold it
    book("x/q.zip", "Q");
    EXPECT_TRUE(relocate("x\\q.zip", true));
    EXPECT_EQ(readFile(nativeMoved() / "q.zip"), "Q");
    EXPECT_FALSE(fs::exists(m_root.native() / "movedq.zip"));
    EXPECT_EQ(m_frontEnd.lines,
              std::vector<std::string>{ansi("  Файл ") + library() + "x\\q.zip" +
                                       ansi(" перемещен в ") + moved() + "q.zip"});

    m_frontEnd.preferences.SaveStructure = true;
    book("y/r.zip", "R");
    EXPECT_TRUE(relocate("\\y\\r.zip")); // a record's name may begin with a backslash
    EXPECT_EQ(readFile(nativeMoved() / "y/r.zip"), "R");
}

struct RefusalCase {
    const char *name;
    const char *moveTo; ///< below the test folder; "" for none, "=lib" for the library root
    bool saveStructure;
    const char *relative;
    const char *fileName;
};
std::ostream &operator<<(std::ostream &out, const RefusalCase &row)
{
    return out << row.name;
}

class Refusal : public Relocation, public testing::WithParamInterface<RefusalCase> {};

TEST_P(Refusal, NothingMovesAndTheFailureIsLogged)
{
    const RefusalCase &row = GetParam();
    m_frontEnd.preferences.SaveStructure = row.saveStructure;
    const std::string moveTo = row.moveTo;
    m_state.MoveTo = moveTo.empty()     ? ""
                     : moveTo == "=lib" ? m_root.program("LIBRARY\\") // letter case differs
                                        : m_root.program(moveTo);
    book("x/a.zip", "A");
    m_root.write("outside.zip", "O");
    const std::string source = library() + "x\\a.zip";

    EXPECT_FALSE(reconcile::RelocateFile(run(), source, row.relative, row.fileName, true));
    EXPECT_EQ(readFile(nativeLibrary() / "x/a.zip"), "A");
    EXPECT_EQ(filesIn(m_root.native()),
              (std::vector<std::string>{"library/x/a.zip", "outside.zip"}));
    EXPECT_FALSE(fs::exists(m_root.native() / "gone"));
    ASSERT_EQ(m_frontEnd.lines.size(), 1u);
    EXPECT_TRUE(m_frontEnd.lines[0].starts_with(ansi("!!!! Не могу перенести файл ") + source +
                                                ansi(" в ")))
        << m_frontEnd.lines[0];
}

INSTANTIATE_TEST_SUITE_P(
    Rows, Refusal,
    testing::Values(RefusalCase{"NoMoveFolder", "", true, "x\\a.zip", "a.zip"},
                    // Keep-structure mode creates folders: a missing move
                    // folder must not be made on the way.
                    RefusalCase{"MissingMoveFolder", "gone\\", true, "x\\a.zip", "a.zip"},
                    RefusalCase{"MoveFolderIsTheLibraryRoot", "=lib", false, "x\\a.zip", "a.zip"},
                    RefusalCase{"ClimbingRelativePath", "moved\\", true, "..\\..\\b.zip", "b.zip"},
                    RefusalCase{"ClimbingWithSlashes", "moved\\", true, "x/../../b.zip", "b.zip"},
                    RefusalCase{"NameWithASeparator", "moved\\", false, "x\\a.zip", "..\\a.zip"},
                    RefusalCase{"NameIsDotDot", "moved\\", false, "x\\..", ".."}),
    [](const auto &row) { return std::string(row.param.name); });

TEST_F(Relocation, VanishedSourceIsLoggedAndLeavesNoTarget)
{
    EXPECT_FALSE(relocate("x\\gone.zip"));
    EXPECT_EQ(m_frontEnd.lines,
              std::vector<std::string>{ansi("!!!! Не могу перенести файл ") + library() +
                                       "x\\gone.zip" + ansi(" в ") + moved() + "x\\gone.zip"});
    EXPECT_TRUE(filesIn(nativeMoved()).empty());
}

TEST_F(Relocation, EmptyFoldersMoveUnderTheirOwnNameWithoutSuffix)
{
    fs::create_directories(nativeLibrary() / "x/y");
    fs::create_directories(nativeLibrary() / "z/y");
    const std::string first = library() + "x\\y\\";
    const std::string second = library() + "z\\y\\";
    reconcile::RelocateFolder(run(), first);
    reconcile::RelocateFolder(run(), second);

    const std::string report = ansi(" - пустая директория. Переношу в - ");
    EXPECT_EQ(
        m_frontEnd.lines,
        (std::vector<std::string>{first + report + moved() + "y", second + report + moved() + "y",
                                  ansi("!!! Не могу перенести директорию в - ") + moved() + "y"}));
    EXPECT_TRUE(fs::is_directory(nativeMoved() / "y"));
    EXPECT_FALSE(fs::exists(nativeLibrary() / "x/y"));
    EXPECT_TRUE(fs::is_directory(nativeLibrary() / "z/y"));
}

TEST_F(Relocation, FolderReportWithoutAMoveFolderShowsTheNameAlone)
{
    fs::create_directories(nativeLibrary() / "x");
    m_state.MoveTo.clear();
    reconcile::RelocateFolder(run(), library() + "x\\");
    EXPECT_EQ(
        m_frontEnd.lines,
        std::vector<std::string>{library() + "x\\" + ansi(" - пустая директория. Переношу в - x")});
    EXPECT_TRUE(fs::is_directory(nativeLibrary() / "x"));
}

TEST_F(Relocation, FoldersThatMustStayAreReportedButNotMoved)
{
    fs::create_directories(nativeLibrary() / "keep");
    // The library root itself, a folder the caller forbids, and any folder
    // while the move folder is the library root under another spelling.
    reconcile::RelocateFolder(run(), library());
    reconcile::RelocateFolder(run(), library() + "keep\\", false);
    m_state.MoveTo = m_root.program("Library");
    reconcile::RelocateFolder(run(), library() + "keep\\");
    EXPECT_EQ(m_frontEnd.lines.size(), 3u);
    EXPECT_TRUE(fs::is_directory(nativeLibrary() / "keep"));
    EXPECT_TRUE(filesIn(nativeMoved()).empty());
    EXPECT_FALSE(fs::exists(nativeMoved() / "library"));
}

TEST_F(Relocation, FolderMoveJoinsAMoveFolderWithoutBackslash)
{
    fs::create_directories(nativeLibrary() / "x/y");
    m_state.MoveTo = m_root.program("moved");
    reconcile::RelocateFolder(run(), library() + "x\\y\\");
    EXPECT_EQ(m_frontEnd.lines, std::vector<std::string>{
                                    library() + "x\\y\\" +
                                    ansi(" - пустая директория. Переношу в - ") + moved() + "y"});
    EXPECT_TRUE(fs::is_directory(nativeMoved() / "y"));
    EXPECT_FALSE(fs::exists(m_root.native() / "movedy"));
}

struct PathCase {
    const char *path;
    bool staysInside;
    const char *folderPart;
    const char *namePart;
};
std::ostream &operator<<(std::ostream &out, const PathCase &row)
{
    return out << '"' << row.path << '"';
}

class PathPieces : public testing::TestWithParam<PathCase> {};

TEST_P(PathPieces, SplitAtEitherSeparator)
{
    const PathCase &row = GetParam();
    EXPECT_EQ(reconcile::StaysInside(row.path), row.staysInside);
    EXPECT_EQ(reconcile::FolderPart(row.path), row.folderPart);
    EXPECT_EQ(reconcile::NamePart(row.path), row.namePart);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, PathPieces,
    testing::Values(PathCase{"a.zip", true, "", "a.zip"}, PathCase{"", true, "", ""},
                    PathCase{"sub\\deep\\a.zip", true, "sub\\deep\\", "a.zip"},
                    PathCase{"sub/a.zip", true, "sub/", "a.zip"},
                    PathCase{"..\\a.zip", false, "..\\", "a.zip"},
                    PathCase{"a\\..\\b.zip", false, "a\\..\\", "b.zip"},
                    PathCase{"a/../b.zip", false, "a/../", "b.zip"},
                    PathCase{"a\\..", false, "a\\", ".."}, PathCase{"..", false, "", ".."},
                    PathCase{"a..b\\...\\..c.zip", true, "a..b\\...\\", "..c.zip"},
                    // A colon is part of a name on this platform.
                    PathCase{"Том: 1.zip", true, "", "Том: 1.zip"}));

TEST(JoinPath, OneBackslashBetweenFolderAndPath)
{
    EXPECT_EQ(reconcile::JoinPath("\\m\\Moved\\", "q.zip"), "\\m\\Moved\\q.zip");
    EXPECT_EQ(reconcile::JoinPath("\\m\\Moved", "q.zip"), "\\m\\Moved\\q.zip");
    EXPECT_EQ(reconcile::JoinPath("\\m\\Moved\\", "\\\\a\\q.zip"), "\\m\\Moved\\a\\q.zip");
    EXPECT_EQ(reconcile::JoinPath("", "x"), "x");
}

} // namespace
