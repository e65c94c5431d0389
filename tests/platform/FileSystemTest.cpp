#include "platform/FileSystem.h"
#include "platform/File.h"
#include "platform/Text.h"

#include "FileContents.h"
#include "ScopedEnvironment.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>

using namespace platform;
using testing_support::TempFolder;
namespace fs = std::filesystem;

namespace {

using testing_support::readFile;

class FileSystem : public testing::Test {
protected:
    void SetUp() override { forgetFolderListings(); }
    TempFolder m_temp;
};

TEST_F(FileSystem, ProgramPathsUseBackslashesAnd1251)
{
    m_temp.write("Книги/a.zip");
    std::string path = m_temp.program("Книги\\a.zip");
    EXPECT_EQ(path.find('/'), std::string::npos);
    EXPECT_NE(path.find("\xCA\xED\xE8\xE3\xE8"), std::string::npos);
    EXPECT_EQ(nativePath(path), m_temp.native() / "Книги" / "a.zip");
    EXPECT_TRUE(fileExists(path));
    EXPECT_FALSE(fileExists(m_temp.program("Книги\\")));
    EXPECT_TRUE(folderExists(m_temp.program("Книги\\")));
}

struct CaseLookup {
    const char *name;
    std::vector<std::string> onDisk; // UTF-8 paths below the folder
    std::string asked;               // UTF-8, backslashes
    std::string found;               // UTF-8 relative native path, empty: absent
};

std::ostream &operator<<(std::ostream &out, const CaseLookup &row)
{
    return out << row.name;
}

class CaseInsensitiveLookup : public FileSystem, public testing::WithParamInterface<CaseLookup> {};

TEST_P(CaseInsensitiveLookup, ResolvesComponentByComponent)
{
    const auto &row = GetParam();
    for (const auto &file : row.onDisk)
        m_temp.write(file);
    std::string asked = m_temp.program(row.asked);
    if (row.found.empty()) {
        EXPECT_FALSE(fileExists(asked));
    } else {
        EXPECT_TRUE(fileExists(asked));
        EXPECT_EQ(nativePath(asked), m_temp.native() / row.found);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Paths, CaseInsensitiveLookup,
    testing::Values(
        CaseLookup{"latin_file", {"Lib/Book.ZIP"}, "Lib\\book.zip", "Lib/Book.ZIP"},
        CaseLookup{"latin_folders", {"LIB/Sub/a.zip"}, "lib\\SUB\\A.ZIP", "LIB/Sub/a.zip"},
        CaseLookup{"cyrillic", {"Книги/Война.zip"}, "КНИГИ\\война.ZIP", "Книги/Война.zip"},
        CaseLookup{"cyrillic_yo", {"Ёлка/ёж.zip"}, "ёлка\\ЁЖ.zip", "Ёлка/ёж.zip"},
        CaseLookup{"exact_match_wins", {"d/a.zip", "d/A.zip"}, "d\\A.zip", "d/A.zip"},
        CaseLookup{"exact_match_wins_lower", {"d/a.zip", "d/A.zip"}, "d\\a.zip", "d/a.zip"},
        CaseLookup{"e_is_not_yo", {"d/Ёж.zip"}, "d\\Еж.zip", ""},
        CaseLookup{"missing", {"d/a.zip"}, "d\\b.zip", ""},
        CaseLookup{"missing_folder", {"d/a.zip"}, "x\\a.zip", ""}),
    [](const auto &row) { return std::string(row.param.name); });

// Listings are kept between lookups; what the program itself creates or
// deletes is entered into them, so the next lookup in any letter case
// sees it.
TEST_F(FileSystem, ListingsFollowWhatTheProgramCreatesAndDeletes)
{
    m_temp.write("d/Other.zip");
    EXPECT_FALSE(fileExists(m_temp.program("d\\doc.FB2"))); // the listing of d is read now
    ASSERT_TRUE(File::open(m_temp.program("d\\Doc.fb2"), File::Mode::CreateOrTruncate));
    EXPECT_TRUE(fileExists(m_temp.program("d\\doc.FB2")));
    EXPECT_EQ(nativePath(m_temp.program("d\\DOC.fb2")), m_temp.native() / "d" / "Doc.fb2");
    EXPECT_TRUE(deleteFile(m_temp.program("d\\DOC.FB2")));
    EXPECT_FALSE(fileExists(m_temp.program("d\\doc.fb2")));
    EXPECT_FALSE(std::filesystem::exists(m_temp.native() / "d" / "Doc.fb2"));
    EXPECT_TRUE(fileExists(m_temp.program("d\\other.ZIP")));
}

TEST_F(FileSystem, AFolderIsTheSameWhateverNameReachesIt)
{
    m_temp.write("Книги/a.zip");
    m_temp.write("other/b.zip");
    std::filesystem::create_directory_symlink(m_temp.native() / "Книги", m_temp.native() / "link");
    const auto books = folderIdentity(m_temp.program("Книги\\"));
    ASSERT_TRUE(books);
    EXPECT_EQ(folderIdentity(m_temp.program("link\\")), books);
    EXPECT_EQ(folderIdentity(m_temp.program("КНИГИ")), books);
    EXPECT_NE(folderIdentity(m_temp.program("other\\")), books);
    EXPECT_FALSE(folderIdentity(m_temp.program("Книги\\a.zip")));
    EXPECT_FALSE(folderIdentity(m_temp.program("none\\")));
}

TEST_F(FileSystem, UnrepresentableNamesAreListedWithQuestionMarksButNeverReached)
{
    m_temp.write("d/a\xC3\xA4.zip", "umlaut");
    m_temp.write("d/a?.zip", "literal");
    auto entries = listFolder(m_temp.program("d\\"));
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].name, "a?.zip");
    EXPECT_EQ(entries[1].name, "a?.zip");
    // The listed name could mean either file: no operation may pick one.
    std::string listed = m_temp.program("d\\a?.zip");
    EXPECT_FALSE(fileExists(listed));
    EXPECT_FALSE(deleteFile(listed));
    EXPECT_FALSE(moveFile(listed, m_temp.program("moved.zip")));
    EXPECT_EQ(readFile(m_temp.native() / "d/a\xC3\xA4.zip"), "umlaut");
    EXPECT_EQ(readFile(m_temp.native() / "d/a?.zip"), "literal");
}

TEST_F(FileSystem, BackslashInANativeNameIsNeverReadAsASeparator)
{
    m_temp.write("d/a\\b.zip", "one file");
    m_temp.write("d/a/b.zip", "another file");
    auto entries = listFolder(m_temp.program("d\\"));
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].name, "a");
    EXPECT_EQ(entries[1].name, "a?b.zip");
    EXPECT_FALSE(deleteFile(m_temp.program("d\\a?b.zip")));
    EXPECT_EQ(readFile(m_temp.native() / "d/a\\b.zip"), "one file");
    EXPECT_EQ(readFile(m_temp.native() / "d/a/b.zip"), "another file");
}

TEST_F(FileSystem, LookupsStayTrueAcrossTheRunsOwnChanges)
{
    m_temp.write("Lib/Book.zip");
    std::string asked = m_temp.program("lib\\book.zip");
    EXPECT_TRUE(fileExists(asked));
    ASSERT_TRUE(moveFile(asked, m_temp.program("Lib\\Other.zip")));
    EXPECT_FALSE(fileExists(asked));
    EXPECT_TRUE(fileExists(m_temp.program("LIB\\OTHER.ZIP")));
    ASSERT_TRUE(deleteFile(m_temp.program("lib\\other.zip")));
    EXPECT_FALSE(fileExists(m_temp.program("lib\\other.zip")));
    ASSERT_TRUE(createFolders(m_temp.program("LIB\\New\\Deep\\")));
    EXPECT_TRUE(fs::is_directory(m_temp.native() / "Lib/New/Deep"));
    EXPECT_TRUE(folderExists(m_temp.program("lib\\new\\deep")));
}

TEST_F(FileSystem, ListingIncludesHiddenEntriesWithTheirKind)
{
    m_temp.write("d/.keep");
    m_temp.write("d/b.zip");
    fs::create_directory(m_temp.native() / "d/sub");
    auto entries = listFolder(m_temp.program("d\\"));
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].name, ".keep");
    EXPECT_EQ(entries[0].kind, EntryKind::File);
    EXPECT_EQ(entries[1].name, "b.zip");
    EXPECT_EQ(entries[2].name, "sub");
    EXPECT_EQ(entries[2].kind, EntryKind::Folder);
    EXPECT_TRUE(listFolder(m_temp.program("none\\")).empty());
}

TEST_F(FileSystem, ReadOnlyFileIsNotDeletedNorOverwritten)
{
    fs::path file = m_temp.write("ro.txt", "keep");
    ASSERT_TRUE(setReadOnly(m_temp.program("ro.txt"), true));
    EXPECT_TRUE(isReadOnly(m_temp.program("ro.txt")));
    EXPECT_FALSE(deleteFile(m_temp.program("ro.txt")));
    EXPECT_FALSE(File::open(m_temp.program("ro.txt"), File::Mode::CreateOrTruncate));
    EXPECT_FALSE(replaceWholeFile(m_temp.program("ro.txt"), "lost"));
    EXPECT_EQ(readFile(file), "keep");
    ASSERT_TRUE(setReadOnly(m_temp.program("ro.txt"), false));
    EXPECT_TRUE(deleteFile(m_temp.program("ro.txt")));
    EXPECT_FALSE(fs::exists(file));
}

TEST_F(FileSystem, DeleteFileRefusesFolders)
{
    fs::create_directory(m_temp.native() / "d");
    EXPECT_FALSE(deleteFile(m_temp.program("d")));
    EXPECT_TRUE(fs::is_directory(m_temp.native() / "d"));
}

TEST_F(FileSystem, MoveNeverReplacesAnExistingFile)
{
    m_temp.write("a.zip", "source");
    m_temp.write("moved/a.zip", "target");
    EXPECT_FALSE(moveFile(m_temp.program("a.zip"), m_temp.program("moved\\a.zip")));
    // Another letter case names the same file on the library's file system.
    EXPECT_FALSE(moveFile(m_temp.program("a.zip"), m_temp.program("MOVED\\A.ZIP")));
    EXPECT_EQ(readFile(m_temp.native() / "a.zip"), "source");
    EXPECT_EQ(readFile(m_temp.native() / "moved/a.zip"), "target");
    EXPECT_TRUE(moveFile(m_temp.program("a.zip"), m_temp.program("moved\\a.zip.1")));
    EXPECT_EQ(readFile(m_temp.native() / "moved/a.zip.1"), "source");
}

TEST_F(FileSystem, MoveFailsIntoAMissingFolderOrOntoAFolder)
{
    m_temp.write("a.zip");
    fs::create_directory(m_temp.native() / "taken");
    EXPECT_FALSE(moveFile(m_temp.program("a.zip"), m_temp.program("none\\a.zip")));
    EXPECT_FALSE(moveFile(m_temp.program("a.zip"), m_temp.program("taken")));
    EXPECT_FALSE(moveFile(m_temp.program("gone.zip"), m_temp.program("b.zip")));
    EXPECT_FALSE(lastErrorText().empty());
    EXPECT_TRUE(fs::exists(m_temp.native() / "a.zip"));
}

// A folder on another file system than the build's temporary folder, or
// nothing when this machine has none.
std::optional<fs::path> otherFileSystem(const fs::path &here)
{
    struct stat mine, theirs;
    if (stat(here.c_str(), &mine) != 0)
        return std::nullopt;
    for (const char *candidate : {"/dev/shm", "/run/shm", "/tmp", "/var/tmp"}) {
        if (stat(candidate, &theirs) == 0 && theirs.st_dev != mine.st_dev &&
            access(candidate, W_OK) == 0)
            return fs::path(candidate);
    }
    return std::nullopt;
}

std::vector<std::string> namesIn(const fs::path &folder)
{
    std::vector<std::string> names;
    for (const auto &entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST_F(FileSystem, MoveCrossesFileSystems)
{
    TempFolder local(fs::current_path());
    auto elsewhere = otherFileSystem(local.native());
    if (!elsewhere)
        GTEST_SKIP() << "no second writable file system found beside " << local.native();
    TempFolder remote(*elsewhere);
    fs::path source = local.write("book.zip", std::string(200000, 'b'));
    ASSERT_TRUE(setFileDosTime(local.program("book.zip"), {0x5A21, 0x6000}));
    remote.write("taken.zip", "other");

    EXPECT_FALSE(moveFile(local.program("book.zip"), remote.program("taken.zip")));
    EXPECT_EQ(readFile(remote.native() / "taken.zip"), "other");

    ASSERT_TRUE(moveFile(local.program("book.zip"), remote.program("book.zip")));
    EXPECT_FALSE(fs::exists(source));
    EXPECT_EQ(readFile(remote.native() / "book.zip"), std::string(200000, 'b'));
    EXPECT_EQ(namesIn(remote.native()), (std::vector<std::string>{"book.zip", "taken.zip"}));
    auto time = fileDosTime(remote.program("book.zip"));
    ASSERT_TRUE(time);
    EXPECT_EQ(*time, (DosDateTime{0x5A21, 0x6000}));
    // Folders do not cross file systems.
    fs::create_directory(local.native() / "dir");
    EXPECT_FALSE(moveFolder(local.program("dir"), remote.program("dir")));
    EXPECT_TRUE(fs::is_directory(local.native() / "dir"));
}

// A move cut short by the program's end: the source is whole, nothing
// lies under the target's name, and what is left is marked unfinished.
TEST_F(FileSystem, AMoveKilledDuringTheCopyLosesNothing)
{
    TempFolder local(fs::current_path());
    auto elsewhere = otherFileSystem(local.native());
    if (!elsewhere)
        GTEST_SKIP() << "no second writable file system found beside " << local.native();
    TempFolder remote(*elsewhere);
    std::string content(size_t(256) << 20, '\0');
    for (size_t i = 0; i < content.size(); i += 4096)
        content[i] = char(i / 4096);
    const fs::path source = local.write("big.zip", content);

    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0)
        _exit(moveFile(local.program("big.zip"), remote.program("big.zip")) ? 0 : 1);
    // Killed as soon as anything of the copy shows in the target folder.
    bool copying = false;
    for (int i = 0; i < 200000 && !copying; ++i) {
        copying = !fs::is_empty(remote.native());
        if (!copying)
            usleep(50);
    }
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    if (!copying && WIFEXITED(status))
        GTEST_SKIP() << "the copy ended before it could be interrupted";
    ASSERT_TRUE(copying);

    EXPECT_TRUE(readFile(source) == content) << "the source changed";
    EXPECT_FALSE(fs::exists(remote.native() / "big.zip"));
    for (const std::string &name : namesIn(remote.native()))
        EXPECT_TRUE(isPartialCopyName(name)) << name;
}

// A target file system that fills up during the copy: the move fails and
// leaves neither a target nor an unfinished copy.
TEST_F(FileSystem, AMoveOntoAFullFileSystemFailsAndLeavesNoCopy)
{
    TempFolder local(fs::current_path());
    TempFolder mountPoint;
    if (mount("tmpfs", mountPoint.native().c_str(), "tmpfs", 0, "size=1m") != 0)
        GTEST_SKIP() << "cannot mount a small tmpfs here (" << std::strerror(errno)
                     << "); a full file system needs root";
    const std::string content(3 << 20, 'f');
    const fs::path source = local.write("book.zip", content);
    const std::string target = platform::programPath(mountPoint.native() / "book.zip");

    const bool moved = moveFile(local.program("book.zip"), target);
    const std::vector<std::string> left = namesIn(mountPoint.native());
    umount(mountPoint.native().c_str());
    EXPECT_FALSE(moved);
    EXPECT_FALSE(lastErrorText().empty());
    EXPECT_TRUE(readFile(source) == content);
    EXPECT_TRUE(left.empty()) << left.front();
}

TEST_F(FileSystem, MoveFolderTakesItsContentsAndNeverReplaces)
{
    m_temp.write("lib/x/y/book.zip", "b");
    fs::create_directories(m_temp.native() / "moved/taken");
    ASSERT_TRUE(moveFolder(m_temp.program("lib\\x\\y\\"), m_temp.program("moved\\y")));
    EXPECT_EQ(readFile(m_temp.native() / "moved/y/book.zip"), "b");
    EXPECT_FALSE(folderExists(m_temp.program("lib\\x\\y\\")));
    fs::create_directories(m_temp.native() / "lib/z/taken");
    EXPECT_FALSE(moveFolder(m_temp.program("lib\\z\\taken\\"), m_temp.program("moved\\taken")));
    EXPECT_TRUE(fs::is_directory(m_temp.native() / "lib/z/taken"));
}

TEST_F(FileSystem, DosTimeRoundTripsAsLocalTime)
{
    m_temp.write("f");
    // 2024-01-15 13:45:30
    DosDateTime when{uint16_t((44 << 9) | (1 << 5) | 15), uint16_t((13 << 11) | (45 << 5) | 15)};
    ASSERT_TRUE(setFileDosTime(m_temp.program("f"), when));
    auto read = fileDosTime(m_temp.program("f"));
    ASSERT_TRUE(read);
    EXPECT_EQ(*read, when);
}

TEST_F(FileSystem, ReplaceWholeFileWritesNewAndExistingFiles)
{
    ASSERT_TRUE(replaceWholeFile(m_temp.program("new.ini"), "a=1\r\n"));
    EXPECT_EQ(readWholeFile(m_temp.program("NEW.INI")), "a=1\r\n");
    ASSERT_TRUE(replaceWholeFile(m_temp.program("new.ini"), "b"));
    EXPECT_EQ(readWholeFile(m_temp.program("new.ini")), "b");
    EXPECT_EQ(std::distance(fs::directory_iterator(m_temp.native()), fs::directory_iterator()), 1);
    EXPECT_FALSE(readWholeFile(m_temp.program("none.ini")));
}

TEST_F(FileSystem, FileReadsWritesAndSeeks)
{
    auto file = File::open(m_temp.program("data.bin"), File::Mode::CreateOrTruncate);
    ASSERT_TRUE(file);
    ASSERT_TRUE(file->write("hello world", 11));
    ASSERT_TRUE(file->seek(6));
    char buffer[16] = {};
    EXPECT_EQ(file->read(buffer, sizeof buffer), 5u);
    EXPECT_STREQ(buffer, "world");
    EXPECT_EQ(file->size(), 11u);
    ASSERT_TRUE(file->resize(5));
    EXPECT_EQ(file->size(), 5u);
    EXPECT_FALSE(File::open(m_temp.program("none.bin"), File::Mode::Read));
}

TEST(SystemFolders, TempFolderFollowsTmpdir)
{
    testing_support::ScopedEnvironment tmpdir("TMPDIR", "/var/tmp/x");
    EXPECT_EQ(systemTempFolder(), "\\var\\tmp\\x\\");
    tmpdir.set(std::nullopt);
    EXPECT_EQ(systemTempFolder(), "\\tmp\\");
    EXPECT_EQ(programFileFolder().back(), '\\');
    EXPECT_TRUE(folderExists(programFileFolder()));
}

} // namespace
