// Extracting entries: outputs, overwriting, failures of single entries and
// of whole runs, and what never leaves the destination folder.

#include "TestSupport.h"
#include "platform/FileSystem.h"
#include "zip/ZipReader.h"

#include <gtest/gtest.h>

namespace {

using namespace ziptest;
namespace fs = std::filesystem;

const uint32_t kEntryTime = 0x5A214C2E;

class ExtractTest : public testing::Test {
protected:
    void SetUp() override
    {
        m_reader.SetOverwriteMode(zip::TOverwriteMode::Always);
        m_reader.SetIncompleteZipMode(zip::TIncompleteZipMode::izAssumeBad);
        m_reader.SetDestDir(m_folder.program("out"));
    }

    void useArchive(const std::vector<TestEntry> &entries) { useBytes(buildZip(entries).bytes); }

    void useBytes(std::string_view bytes)
    {
        m_folder.write("book.zip", bytes);
        m_reader.SetZipName(m_folder.program("book.zip"));
        m_reader.ReadDirectory();
    }

    int extractEntry(int index)
    {
        m_reader.SetEntrySelected(index, true);
        return m_reader.ExtractSelected();
    }

    fs::path output(const std::string &name) const { return m_folder.native() / "out" / name; }
    bool outputFolderEmpty() const
    {
        return !fs::exists(m_folder.native() / "out") || fs::is_empty(m_folder.native() / "out");
    }

    TempFolder m_folder;
    RecordingUserInterface m_ui;
    platform::ScopedUserInterface m_scopedUi{m_ui};
    zip::TZipReader m_reader;
};

TEST_F(ExtractTest, selectedEntryIsWrittenWithItsTimeAndMarkCleared)
{
    std::string text = bookText(3000); // several blocks of input and output
    useArchive({TestEntry::stored("readme.txt", "x"), TestEntry::deflated("dir/book.fb2", text)});
    EXPECT_EQ(extractEntry(1), 1);
    EXPECT_EQ(readFile(output("book.fb2")), text);
    EXPECT_FALSE(fs::exists(output("readme.txt")));
    std::optional<platform::DosDateTime> when =
        platform::fileDosTime(m_folder.program("out\\book.fb2"));
    ASSERT_TRUE(when);
    EXPECT_EQ((uint32_t(when->date) << 16) | when->time, kEntryTime);
    EXPECT_FALSE(m_reader.EntrySelected(1));
    EXPECT_EQ(m_reader.ExtractSelected(), 0);
}

// How many of this process's descriptors are open on the archive.
int openOnArchive(const fs::path &archive)
{
    int count = 0;
    for (const auto &fd : fs::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        if (fs::read_symlink(fd.path(), error) == archive)
            ++count;
    }
    return count;
}

TEST_F(ExtractTest, keptOpenArchiveServesTheExtractionAndClosesWhenAsked)
{
    m_reader.SetKeepZipOpen(true);
    useArchive({TestEntry::deflated("book.fb2", bookText(10))});
    const fs::path archive = m_folder.native() / "book.zip";
    EXPECT_EQ(openOnArchive(archive), 1);
    EXPECT_EQ(extractEntry(0), 1);
    EXPECT_EQ(openOnArchive(archive), 1) << "the extraction opened the archive again";
    m_reader.CloseArchive();
    EXPECT_EQ(openOnArchive(archive), 0);
    EXPECT_EQ(readFile(output("book.fb2")), bookText(10));
}

TEST_F(ExtractTest, readOnlyAttributeIsKept)
{
    TestEntry entry = TestEntry::stored("book.fb2", "text");
    entry.externalAttributes = 0x21;
    useArchive({entry});
    EXPECT_EQ(extractEntry(0), 1);
    EXPECT_TRUE(platform::isReadOnly(m_folder.program("out\\book.fb2")));
}

TEST_F(ExtractTest, destinationFolderIsCreatedAndOneTrailingBackslashIgnored)
{
    m_reader.SetDestDir(m_folder.program("a\\b\\c\\"));
    EXPECT_EQ(m_reader.DestDir(), m_folder.program("a\\b\\c"));
    useArchive({TestEntry::stored("book.fb2", "text")});
    EXPECT_EQ(extractEntry(0), 1);
    EXPECT_EQ(readFile(m_folder.native() / "a" / "b" / "c" / "book.fb2"), "text");
}

TEST_F(ExtractTest, emptyStoredEntryGivesAnEmptyFile)
{
    useArchive({TestEntry::stored("empty.txt", "")});
    EXPECT_EQ(extractEntry(0), 1);
    EXPECT_TRUE(fs::exists(output("empty.txt")));
    EXPECT_EQ(fs::file_size(output("empty.txt")), 0u);
}

TEST_F(ExtractTest, twoEntriesWithOneFileNameBothCountAndTheSecondStays)
{
    useArchive(
        {TestEntry::stored("a/book.fb2", "first"), TestEntry::stored("b/book.fb2", "second")});
    m_reader.SetEntrySelected(0, true);
    m_reader.SetEntrySelected(1, true);
    EXPECT_EQ(m_reader.ExtractSelected(), 2);
    EXPECT_EQ(readFile(output("book.fb2")), "second");
}

TEST_F(ExtractTest, selectedFolderEntryIsNotTakenAndKeepsItsMark)
{
    useArchive({TestEntry::stored("notes/", ""), TestEntry::stored("notes/a.txt", "a")});
    EXPECT_EQ(extractEntry(0), 0);
    EXPECT_TRUE(m_reader.EntrySelected(0));
    EXPECT_TRUE(outputFolderEmpty());
}

TEST_F(ExtractTest, archiveRewrittenAfterMarkingIsReadAgainAndMarksAreLost)
{
    useArchive({TestEntry::stored("book.fb2", "old text")});
    m_reader.SetEntrySelected(0, true);
    m_folder.write("book.zip", buildZip({TestEntry::stored("book.fb2", "new text")}).bytes);
    platform::setFileDosTime(m_folder.program("book.zip"), {0x5A21, 0x4C2E});
    EXPECT_EQ(m_reader.ExtractSelected(), 0);
    EXPECT_FALSE(m_reader.EntrySelected(0));
}

TEST_F(ExtractTest, rewriteWithinTheSameTwoSecondsIsNoticedByTheSize)
{
    useArchive({TestEntry::stored("book.fb2", "old text")});
    std::optional<platform::DosDateTime> when = platform::fileDosTime(m_reader.ZipName());
    ASSERT_TRUE(when);
    m_reader.SetEntrySelected(0, true);
    m_folder.write("book.zip",
                   buildZip({TestEntry::stored("longer/book.fb2", "new and longer text")}).bytes);
    platform::setFileDosTime(m_reader.ZipName(), *when);
    EXPECT_EQ(m_reader.ExtractSelected(), 0);
    EXPECT_EQ(m_reader.EntryInfo(0).Directory, "longer\\");
}

// --- Existing output files --------------------------------------------------

TEST_F(ExtractTest, existingFileIsReplaced)
{
    useArchive({TestEntry::stored("book.fb2", "new")});
    m_folder.write("out/book.fb2", "an older and longer text");
    EXPECT_EQ(extractEntry(0), 1);
    EXPECT_EQ(readFile(output("book.fb2")), "new");
}

TEST_F(ExtractTest, readOnlyFileSkipsTheEntryUnlessItMayBeReplaced)
{
    std::vector<std::pair<zip::TSkipReason, int>> skips;
    m_reader.Events().OnSkippingFile = [&](zip::TSkipReason reason, const std::string &,
                                           int index) { skips.emplace_back(reason, index); };
    useArchive({TestEntry::stored("book.fb2", "new")});
    m_folder.write("out/book.fb2", "old");
    platform::setReadOnly(m_folder.program("out\\book.fb2"), true);

    EXPECT_EQ(extractEntry(0), 0);
    EXPECT_EQ(readFile(output("book.fb2")), "old");
    ASSERT_EQ(skips.size(), 1u);
    EXPECT_EQ(skips[0].first, zip::TSkipReason::srCreateError);

    m_reader.SetReplaceReadOnly(true);
    EXPECT_EQ(extractEntry(0), 1);
    EXPECT_EQ(readFile(output("book.fb2")), "new");
}

struct OverwriteCase {
    const char *name;
    zip::TOverwriteMode mode;
    uint32_t fileTime; // DOS time of the existing file
    int answer;        // of the message box
    bool replaced;
};

std::ostream &operator<<(std::ostream &out, const OverwriteCase &c)
{
    return out << c.name;
}

class OverwriteTest : public ExtractTest, public testing::WithParamInterface<OverwriteCase> {};

TEST_P(OverwriteTest, decidesByMode)
{
    const OverwriteCase &c = GetParam();
    m_reader.SetOverwriteMode(c.mode);
    m_ui.boxAnswer = c.answer;
    useArchive({TestEntry::stored("book.fb2", "new")});
    m_folder.write("out/book.fb2", "old");
    platform::setFileDosTime(m_folder.program("out\\book.fb2"),
                             {uint16_t(c.fileTime >> 16), uint16_t(c.fileTime)});
    EXPECT_EQ(extractEntry(0), c.replaced ? 1 : 0);
    EXPECT_EQ(readFile(output("book.fb2")), c.replaced ? "new" : "old");
    if (c.mode == zip::TOverwriteMode::Prompt) {
        ASSERT_EQ(m_ui.boxes.size(), 1u);
        EXPECT_EQ(m_ui.boxes[0].text, "Replace existing file book.fb2?");
        EXPECT_EQ(m_ui.boxes[0].caption, "File Exists Alert");
        EXPECT_EQ(m_ui.boxes[0].flags, platform::mb::YesNo);
    } else {
        EXPECT_TRUE(m_ui.boxes.empty());
    }
}

const uint32_t kOlder = 0x4A214C2E;
const uint32_t kNewer = 0x6A214C2E;

INSTANTIATE_TEST_SUITE_P(
    Modes, OverwriteTest,
    testing::Values(
        OverwriteCase{"never", zip::TOverwriteMode::Never, kOlder, 0, false},
        OverwriteCase{"promptYes", zip::TOverwriteMode::Prompt, kOlder, platform::mb::IdYes, true},
        OverwriteCase{"promptNo", zip::TOverwriteMode::Prompt, kOlder, platform::mb::IdNo, false},
        OverwriteCase{"ifNewerAndEntryIsNewer", zip::TOverwriteMode::ifNewer, kOlder, 0, true},
        OverwriteCase{"ifNewerAndEntryIsOlder", zip::TOverwriteMode::ifNewer, kNewer, 0, false},
        OverwriteCase{"ifOlderAndEntryIsOlder", zip::TOverwriteMode::ifOlder, kNewer, 0, true},
        OverwriteCase{"ifOlderAndEntryIsNewer", zip::TOverwriteMode::ifOlder, kOlder, 0, false}),
    [](const auto &param) { return std::string(param.param.name); });

// --- Entries that fail on their own -------------------------------------------

TEST_F(ExtractTest, crcMismatchDeletesTheOutput)
{
    TestEntry entry = TestEntry::deflated("book.fb2", bookText(100));
    uint32_t stored = entry.crc ^ 1;
    entry.crc = stored;
    std::vector<uint32_t> reported;
    m_reader.Events().OnBadCRC = [&](uint32_t calculated, uint32_t expected, int) {
        reported = {calculated, expected};
    };
    useArchive({entry});
    EXPECT_EQ(extractEntry(0), 0);
    EXPECT_TRUE(outputFolderEmpty());
    EXPECT_EQ(reported, (std::vector<uint32_t>{stored ^ 1, stored}));
}

TEST_F(ExtractTest, moreDataThanDeclaredFailsOnlyThatEntry)
{
    TestEntry tooLong = TestEntry::deflated("book.fb2", bookText(100));
    tooLong.uncompressedSize -= 10;
    useArchive({tooLong, TestEntry::stored("readme.txt", "text")});
    m_reader.SetEntrySelected(0, true);
    m_reader.SetEntrySelected(1, true);
    EXPECT_EQ(m_reader.ExtractSelected(), 1);
    EXPECT_FALSE(fs::exists(output("book.fb2")));
    EXPECT_TRUE(fs::exists(output("readme.txt")));
}

TEST_F(ExtractTest, outputHoldsOnlyTheBytesWrittenWhenDataFallsShort)
{
    // A stored entry whose declared size exceeds its data but whose CRC
    // matches the data: the file must not be padded to the declared size.
    TestEntry entry = TestEntry::stored("book.fb2", "ten bytes!");
    entry.uncompressedSize = 20;
    useArchive({entry});
    EXPECT_EQ(extractEntry(0), 1);
    EXPECT_EQ(readFile(output("book.fb2")), "ten bytes!");
}

TEST_F(ExtractTest, encryptedEntryIsSkipped)
{
    TestEntry entry = TestEntry::stored("book.fb2", std::string(12, 'k') + "secret");
    entry.flags = 0x0001;
    std::vector<zip::TSkipReason> reasons;
    m_reader.Events().OnSkippingFile = [&](zip::TSkipReason reason, const std::string &, int) {
        reasons.push_back(reason);
    };
    useArchive({entry});
    EXPECT_EQ(extractEntry(0), 0);
    EXPECT_TRUE(outputFolderEmpty());
    EXPECT_EQ(reasons, std::vector<zip::TSkipReason>{zip::TSkipReason::srBadPassword});
}

class UnknownMethodTest : public ExtractTest, public testing::WithParamInterface<uint16_t> {};

TEST_P(UnknownMethodTest, isReportedAndLeavesNoFile)
{
    TestEntry entry = TestEntry::stored("book.fb2", bookText(10));
    entry.method = GetParam();
    useArchive({entry});
    EXPECT_EQ(extractEntry(0), 0);
    EXPECT_TRUE(outputFolderEmpty());
    ASSERT_EQ(m_ui.boxes.size(), 1u);
    EXPECT_EQ(m_ui.boxes[0].text, "Unknown Compression Method");
    EXPECT_EQ(m_ui.boxes[0].caption, "Zip Error");
    EXPECT_EQ(m_ui.boxes[0].flags, platform::mb::Ok);
}

TEST_P(UnknownMethodTest, goesToTheMessageHookWhenOneIsSet)
{
    std::vector<std::string> messages;
    m_reader.Events().OnHandleMessage = [&](int id, const std::string &text,
                                            const std::string &caption, unsigned, int &) {
        messages.push_back(std::to_string(id) + " " + text + " / " + caption);
    };
    TestEntry entry = TestEntry::stored("book.fb2", bookText(10));
    entry.method = GetParam();
    useArchive({entry});
    EXPECT_EQ(extractEntry(0), 0);
    EXPECT_EQ(messages, std::vector<std::string>{"197 Unknown Compression Method / Zip Error"});
    EXPECT_TRUE(m_ui.boxes.empty());
}

INSTANTIATE_TEST_SUITE_P(Methods, UnknownMethodTest, testing::Values(9, 12, 14, 99));

// --- Failures that end the run -------------------------------------------------

struct DataErrorCase {
    const char *name;
    std::function<std::string()> bytes; // an archive whose entry 0 is damaged
    std::string error;
};

std::ostream &operator<<(std::ostream &out, const DataErrorCase &c)
{
    return out << c.name;
}

std::string cutInsideData(const TestEntry &entry)
{
    BuiltArchive a = buildZip({entry});
    // Keep the directory but let the data run past the end of the file.
    std::string directory = a.bytes.substr(a.centralOffset);
    uint32_t offset = uint32_t(a.centralOffset - 100);
    std::string bytes = a.bytes.substr(0, offset) + directory;
    uint64_t end = bytes.size() - 22;
    for (int i = 0; i < 4; ++i)
        bytes[end + 16 + uint64_t(i)] = char(offset >> (8 * i));
    return bytes;
}

std::vector<DataErrorCase> dataErrorCases()
{
    return {
        {"storedDataCutOff", [] { return cutInsideData(TestEntry::stored("b", bookText(100))); },
         "EFatalUnzipError: Premature end of file reached"},
        {"deflatedDataCutOff",
         [] { return cutInsideData(TestEntry::deflated("b", bookText(3000))); },
         "EFatalUnzipError: Premature end of file reached"},
        {"corruptDeflate",
         [] {
             TestEntry entry = TestEntry::deflated("b", bookText(100));
             entry.payload[0] = char(entry.payload[0] | 0x06); // reserved block type
             return buildZip({entry}).bytes;
         },
         "EZCompressionError: error"},
        {"deflateStopsBeforeItsEnd",
         [] {
             TestEntry entry = TestEntry::deflated("b", bookText(3000));
             entry.payload.resize(entry.payload.size() / 2);
             entry.compressedSize = uint32_t(entry.payload.size());
             return buildZip({entry}).bytes;
         },
         "EZCompressionError: error"},
    };
}

class DataErrorTest : public ExtractTest, public testing::WithParamInterface<DataErrorCase> {};

TEST_P(DataErrorTest, endsTheRunWithItsMessage)
{
    int completions = -1;
    m_reader.Events().OnUnzipComplete = [&](int count) { completions = count; };
    useBytes(GetParam().bytes());
    m_reader.SetEntrySelected(0, true);
    EXPECT_EQ(thrownBy([&] { m_reader.ExtractSelected(); }), GetParam().error);
    EXPECT_EQ(completions, 0);
    EXPECT_FALSE(m_reader.EntrySelected(0));
    EXPECT_TRUE(fs::exists(output("b"))) << "the partly written file stays";
}

INSTANTIATE_TEST_SUITE_P(Entries, DataErrorTest, testing::ValuesIn(dataErrorCases()),
                         [](const auto &param) { return std::string(param.param.name); });

// --- Names that must not leave the destination folder ---------------------------

struct PathCase {
    const char *name;
    std::string stored;
    bool recreateDirs;
    std::string written; // below the destination folder; empty: nothing is written
};

std::ostream &operator<<(std::ostream &out, const PathCase &c)
{
    return out << c.name;
}

class PathSafetyTest : public ExtractTest, public testing::WithParamInterface<PathCase> {};

TEST_P(PathSafetyTest, staysInsideTheDestinationFolder)
{
    const PathCase &c = GetParam();
    m_reader.SetDestDir(m_folder.program("jail\\out"));
    m_reader.SetRecreateDirs(c.recreateDirs);
    useArchive({TestEntry::stored(c.stored, "payload")});
    int count = extractEntry(0);

    std::vector<std::string> files;
    for (const auto &entry : fs::recursive_directory_iterator(m_folder.native()))
        if (entry.is_regular_file() && entry.path().filename() != "book.zip")
            files.push_back(fs::relative(entry.path(), m_folder.native()).generic_string());
    if (c.written.empty()) {
        EXPECT_EQ(count, 0);
        EXPECT_TRUE(files.empty()) << files[0];
    } else {
        EXPECT_EQ(count, 1);
        EXPECT_EQ(files, std::vector<std::string>{"jail/out/" + c.written});
    }
}

INSTANTIATE_TEST_SUITE_P(
    Names, PathSafetyTest,
    testing::Values(PathCase{"parentSlash", "../evil.txt", false, "evil.txt"},
                    PathCase{"parentBackslash", "..\\..\\evil.txt", false, "evil.txt"},
                    PathCase{"absolute", "/tmp/evil.txt", false, "evil.txt"},
                    PathCase{"drive", "C:\\evil.txt", false, "evil.txt"},
                    PathCase{"dotDot", "a/..", false, ""}, PathCase{"dot", "a/.", false, ""},
                    PathCase{"recreatedParent", "a/../../evil.txt", true, "a/evil.txt"},
                    PathCase{"recreatedAbsolute", "/tmp/x/evil.txt", true, "tmp/x/evil.txt"},
                    PathCase{"recreatedDrive", "C:/x/evil.txt", true, "x/evil.txt"},
                    PathCase{"recreatedDriveRelative", "C:..\\evil.txt", true, "evil.txt"}),
    [](const auto &param) { return std::string(param.param.name); });

// --- Other ways of choosing entries ------------------------------------------------

TEST_F(ExtractTest, filesListChoosesByPatternAndIsEmptiedByTheRun)
{
    useArchive({TestEntry::stored("a/Book.FB2", "1"), TestEntry::stored("b/notes.txt", "2"),
                TestEntry::stored("c/other.fb2", "3")});
    m_reader.FilesList() = {"*.fb2"};
    EXPECT_EQ(m_reader.Extract(), 2);
    EXPECT_TRUE(m_reader.FilesList().empty());
    EXPECT_TRUE(fs::exists(output("Book.FB2")));
    EXPECT_TRUE(fs::exists(output("other.fb2")));
    EXPECT_FALSE(fs::exists(output("notes.txt")));

    m_reader.FilesList() = {"b\\n?tes.*"};
    EXPECT_EQ(m_reader.Extract(), 1);
    EXPECT_TRUE(fs::exists(output("notes.txt")));
}

TEST_F(ExtractTest, recreatedFoldersLoseTheirRootPrefix)
{
    useArchive({TestEntry::stored("library/", ""), TestEntry::stored("library/x/book.fb2", "1"),
                TestEntry::stored("other/y.txt", "2")});
    m_reader.SetRecreateDirs(true);
    m_reader.SetRootDir("LIBRARY");
    EXPECT_EQ(m_reader.RelativePathList(), std::vector<std::string>{"LIBRARY\\"});
    m_reader.SetDoAll(true);
    EXPECT_EQ(m_reader.Extract(), 3);
    EXPECT_EQ(readFile(output("x/book.fb2")), "1");
    EXPECT_EQ(readFile(output("other/y.txt")), "2");
}

TEST_F(ExtractTest, pumpsEventsPerEntryAndPerBlock)
{
    useArchive(
        {TestEntry::stored("a.txt", std::string(70000, 'a')), TestEntry::stored("b.txt", "b")});
    m_ui.eventPumps = 0;
    EXPECT_EQ(extractEntry(0), 1);
    // Two entries looked at, three stored blocks of at most 32768 bytes.
    EXPECT_EQ(m_ui.eventPumps, 5);
}

} // namespace
