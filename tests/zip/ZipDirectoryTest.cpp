// Reading an archive's directory: damaged and odd archives, names, times,
// the archive name, sorting and the event pump.

#include "TestSupport.h"
#include "platform/FileSystem.h"
#include "zip/ZipReader.h"

#include <gtest/gtest.h>

namespace {

using namespace ziptest;
namespace fs = std::filesystem;

BuiltArchive threeEntries()
{
    return buildZip({TestEntry::deflated("book.fb2", bookText(200)),
                     TestEntry::stored("notes/readme.txt", "read me"),
                     TestEntry::deflated("last.txt", bookText(50))});
}

void patch16(std::string &bytes, uint64_t offset, uint16_t value)
{
    bytes[offset] = char(value & 0xFF);
    bytes[offset + 1] = char(value >> 8);
}

class ReaderFixture {
protected:
    std::string writeArchive(std::string_view bytes, std::string_view name = "test.zip")
    {
        m_folder.write(name, bytes);
        return m_folder.program(name);
    }

    std::vector<std::string> fileNames()
    {
        std::vector<std::string> names;
        for (int i = 0; i < m_reader.EntryCount(); ++i)
            names.push_back(m_reader.EntryFileName(i));
        return names;
    }

    TempFolder m_folder;
    RecordingUserInterface m_ui;
    platform::ScopedUserInterface m_scopedUi{m_ui};
    zip::TZipReader m_reader;
};

// --- Damaged and odd archives --------------------------------------------

struct DamageCase {
    const char *name;
    std::function<std::string()> bytes;
    std::vector<std::string> fileNames; // expected entries, when it reads
    bool rebuilt = false;
    std::string error; // expected exception, when it does not
};

std::ostream &operator<<(std::ostream &out, const DamageCase &c)
{
    return out << c.name;
}

const std::vector<std::string> kThreeNames = {"book.fb2", "readme.txt", "last.txt"};

std::vector<DamageCase> damageCases()
{
    return {
        {"emptyFile", [] { return std::string(); }, {}, false, ""},
        {"shortFile",
         [] { return std::string("PK\5\6 too short"); },
         {},
         false,
         "EBadZipFile: Not a valid zip file!"},
        {"noSignatureAtAll",
         [] { return bookText(100); },
         {},
         false,
         "EBadZipFile: Not a valid zip file!"},
        {"bytesAfterEndRecord", [] { return threeEntries().bytes + bookText(20); }, kThreeNames,
         false, ""},
        {"secondEndRecordNearerTheEndWins",
         [] {
             BuiltArchive a = threeEntries();
             // An empty archive's end record in the trailing bytes.
             std::string empty = buildZip({}).bytes;
             return a.bytes + "junk" + empty;
         },
         {},
         false,
         ""},
        {"entryCountTooHigh",
         [] {
             BuiltArchive a = threeEntries();
             patch16(a.bytes, a.endRecordOffset + 8, 5);
             patch16(a.bytes, a.endRecordOffset + 10, 5);
             return a.bytes;
         },
         kThreeNames, true, ""},
        {"entryCountTooLow",
         [] {
             BuiltArchive a = threeEntries();
             patch16(a.bytes, a.endRecordOffset + 8, 1);
             patch16(a.bytes, a.endRecordOffset + 10, 1);
             return a.bytes;
         },
         {"book.fb2"},
         false,
         ""},
        {"truncatedInCentralDirectory",
         [] {
             BuiltArchive a = threeEntries();
             return a.bytes.substr(0, a.centralOffset + 50);
         },
         kThreeNames, true, ""},
        {"truncatedInsideLastEntryData",
         [] {
             BuiltArchive a = threeEntries();
             return a.bytes.substr(0, a.localOffsets[2] + 40);
         },
         kThreeNames, true, ""},
        {"dataDescriptorEntryWithoutSizesStopsTheScan",
         [] {
             TestEntry streamed = TestEntry::deflated("book.fb2", bookText(200));
             streamed.flags = 0x0008;
             std::string sizes = streamed.payload;
             BuiltArchive a = buildZip({streamed, TestEntry::stored("readme.txt", "text")});
             // Local header: CRC and sizes zero, as a streaming writer leaves them.
             for (uint64_t i = 14; i < 26; ++i)
                 a.bytes[i] = 0;
             return a.bytes.substr(0, a.centralOffset);
         },
         {"book.fb2"},
         true,
         ""},
        {"twoCentralHeadersForOneLocalHeader",
         [] {
             BuiltArchive a = buildZip(
                 {TestEntry::stored("a.txt", "aaa"), TestEntry::stored("b.txt", "bbb")}, {0, 1, 0});
             return a.bytes;
         },
         {"a.txt", "b.txt"},
         true,
         ""},
        {"damagedCentralSignature",
         [] {
             BuiltArchive a = threeEntries();
             a.bytes[a.centralOffset + 3] = 9;
             return a.bytes;
         },
         kThreeNames, true, ""},
    };
}

class DamagedArchiveTest : public ReaderFixture, public testing::TestWithParam<DamageCase> {};

TEST_P(DamagedArchiveTest, readsWhatCanBeReadOrRaises)
{
    const DamageCase &c = GetParam();
    m_reader.SetIncompleteZipMode(zip::TIncompleteZipMode::izAssumeBad);
    std::string path = writeArchive(c.bytes());
    m_reader.SetZipName(path);
    if (!c.error.empty()) {
        EXPECT_EQ(thrownBy([&] { m_reader.ReadDirectory(); }), c.error);
        EXPECT_EQ(m_reader.ZipName(), "");
        EXPECT_EQ(m_reader.EntryCount(), 0);
        return;
    }
    m_reader.ReadDirectory();
    EXPECT_EQ(fileNames(), c.fileNames);
    EXPECT_EQ(m_reader.RebuiltFromLocal(), c.rebuilt);
    EXPECT_EQ(m_reader.ZipName(), path);
}

INSTANTIATE_TEST_SUITE_P(Archives, DamagedArchiveTest, testing::ValuesIn(damageCases()),
                         [](const auto &param) { return std::string(param.param.name); });

class DirectoryTest : public ReaderFixture, public testing::Test {};

TEST_F(DirectoryTest, rebuiltEntriesAreCompletedFromTheCentralHeaders)
{
    BuiltArchive a = threeEntries();
    patch16(a.bytes, a.endRecordOffset + 10, 4);
    m_reader.SetIncompleteZipMode(zip::TIncompleteZipMode::izAssumeBad);
    m_reader.SetZipName(writeArchive(a.bytes));
    m_reader.ReadDirectory();
    ASSERT_TRUE(m_reader.RebuiltFromLocal());
    const zip::TZipEntryInfo &entry = m_reader.EntryInfo(1);
    EXPECT_EQ(entry.VersionMadeBy, 20);
    EXPECT_EQ(entry.ExternalAttributes, 0x20u);
    EXPECT_EQ(entry.CentralHeaderOffset, a.centralOffset + 46 + 8);
    EXPECT_EQ(entry.localHeaderOffset(), a.localOffsets[1]);
}

TEST_F(DirectoryTest, entriesComeInTheOrderOfTheirData)
{
    BuiltArchive a =
        buildZip({TestEntry::stored("first.txt", "1"), TestEntry::stored("second.txt", "2"),
                  TestEntry::stored("third.txt", "3")},
                 {2, 0, 1});
    m_reader.SetZipName(writeArchive(a.bytes));
    m_reader.ReadDirectory();
    EXPECT_EQ(fileNames(), (std::vector<std::string>{"first.txt", "second.txt", "third.txt"}));
}

TEST_F(DirectoryTest, endRecordOfALaterPartAsksForTheMissingPartFile)
{
    BuiltArchive a = threeEntries();
    patch16(a.bytes, a.endRecordOffset + 4, 1); // number of this disk
    m_reader.SetZipName(writeArchive(a.bytes, "book.zip"));
    std::string error = thrownBy([&] { m_reader.ReadDirectory(); });
    EXPECT_TRUE(error.starts_with("EFOpenError: Cannot open file \"" +
                                  m_folder.program("book.z01") + "\". "))
        << error;
    EXPECT_EQ(m_reader.ZipName(), "");
}

TEST_F(DirectoryTest, selfExtractorIsScannedFromItsDataInAnyLetterCase)
{
    // A stray signature inside the program part would spoil a scan from 0.
    std::string program(15000, 'x');
    program.replace(100, 30, std::string("PK\3\4\x14\0\0\0\0\0", 10) + std::string(20, '\xFF'));
    std::string locals = threeEntries().bytes;
    locals = locals.substr(0, threeEntries().centralOffset);
    m_reader.SetIncompleteZipMode(zip::TIncompleteZipMode::izAssumeBad);

    m_reader.SetZipName(writeArchive(program + locals, "setup.exe"));
    m_reader.ReadDirectory();
    EXPECT_EQ(fileNames(), kThreeNames);

    m_reader.SetZipName(writeArchive(program + locals, "setup.zip"));
    m_reader.ReadDirectory();
    EXPECT_EQ(m_reader.EntryCount(), 0);
}

TEST_F(DirectoryTest, sideFileStandsInForAMissingDirectory)
{
    BuiltArchive a = threeEntries();
    std::string directory = a.bytes.substr(a.centralOffset);
    m_folder.write("book.zfc", directory);
    m_reader.SetZipName(writeArchive(a.bytes.substr(0, a.centralOffset), "book.zip"));
    m_reader.SetDestDir(m_folder.program("out"));
    m_reader.SetOverwriteMode(zip::TOverwriteMode::Always);
    m_reader.ReadDirectory();
    EXPECT_FALSE(m_reader.RebuiltFromLocal());
    ASSERT_EQ(fileNames(), kThreeNames);
    m_reader.SetEntrySelected(1, true);
    EXPECT_EQ(m_reader.ExtractSelected(), 1);
    EXPECT_EQ(readFile(m_folder.native() / "out" / "readme.txt"), "read me");
}

// --- What happens without an end record, by mode ---------------------------

TEST_F(DirectoryTest, missingEndRecordByMode)
{
    BuiltArchive a = threeEntries();
    std::string path = writeArchive(a.bytes.substr(0, a.centralOffset));

    m_reader.SetZipName(path);
    m_reader.ReadDirectory(); // the default mode takes it for one part of several
    EXPECT_EQ(m_reader.EntryCount(), 0);
    EXPECT_EQ(m_reader.ZipName(), path);

    m_reader.SetIncompleteZipMode(zip::TIncompleteZipMode::izAssumeNotAZip);
    EXPECT_EQ(thrownBy([&] { m_reader.ReadDirectory(); }), "ENotAZipFile: Not a valid zip file!");
    EXPECT_EQ(m_reader.ZipName(), "");

    int calls = 0;
    m_reader.Events().OnInCompleteZip = [&](zip::TIncompleteZipMode &mode) {
        ++calls;
        mode = zip::TIncompleteZipMode::izAssumeBad;
    };
    m_reader.SetZipName(path);
    m_reader.ReadDirectory();
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(fileNames(), kThreeNames);
}

// --- The archive name -----------------------------------------------------

TEST_F(DirectoryTest, sameNameInOtherLetterCaseKeepsDirectoryAndMarks)
{
    std::string path = writeArchive(threeEntries().bytes, "Book.zip");
    m_reader.SetZipName(path);
    m_reader.ReadDirectory();
    m_reader.SetEntrySelected(2, true);
    m_reader.SetZipName(m_folder.program("BOOK.ZIP"));
    EXPECT_EQ(m_reader.ZipName(), path);
    ASSERT_EQ(m_reader.EntryCount(), 3);
    EXPECT_TRUE(m_reader.EntrySelected(2));
}

TEST_F(DirectoryTest, anotherNameDropsTheDirectoryEvenWhenItsFileIsMissing)
{
    m_reader.SetZipName(writeArchive(threeEntries().bytes));
    m_reader.ReadDirectory();
    m_reader.SetZipName(m_folder.program("missing.zip"));
    EXPECT_EQ(m_reader.EntryCount(), 0);
    std::string error = thrownBy([&] { m_reader.ReadDirectory(); });
    EXPECT_TRUE(error.starts_with("EFOpenError: Cannot open file \"" +
                                  m_folder.program("missing.zip") + "\". "))
        << error;
    EXPECT_EQ(m_reader.ZipName(), "");
}

TEST_F(DirectoryTest, indexOutsideTheDirectoryIsAListError)
{
    m_reader.SetZipName(writeArchive(threeEntries().bytes));
    m_reader.ReadDirectory();
    EXPECT_EQ(thrownBy([&] { m_reader.EntryFileName(3); }), "EListError: Index 3 is out of range");
    EXPECT_EQ(thrownBy([&] { m_reader.SetEntrySelected(-1, true); }),
              "EListError: Index -1 is out of range");
    EXPECT_EQ(m_reader.EntryCount(), 3);
}

// --- Names ----------------------------------------------------------------

struct NameCase {
    const char *name;
    std::string stored;
    uint16_t versionMadeBy;
    zip::TOEMConvert oem;
    std::string directory;
    std::string fileName;
};

std::ostream &operator<<(std::ostream &out, const NameCase &c)
{
    return out << c.name;
}

// "Книги/Ёлка.txt" in code page 866, and the same in code page 1251.
const std::string kOemName = "\x8A\xAD\xA8\xA3\xA8/\xF0\xAB\xAA\xA0.txt";
const std::string kAnsiDirectory = "\xCA\xED\xE8\xE3\xE8\\";
const std::string kAnsiFile = "\xA8\xEB\xEA\xE0.txt";
const std::string kOemDirectory = "\x8A\xAD\xA8\xA3\xA8\\";
const std::string kOemFile = "\xF0\xAB\xAA\xA0.txt";

std::vector<NameCase> nameCases()
{
    using zip::TOEMConvert;
    return {
        {"plain", "book.fb2", 20, TOEMConvert::oemAlways, "", "book.fb2"},
        {"folders", "a/b/book.fb2", 20, TOEMConvert::oemAlways, "a\\b\\", "book.fb2"},
        {"folderEntry", "a/b/", 20, TOEMConvert::oemAlways, "a\\b\\", ""},
        {"driveColon", "C:book.fb2", 20, TOEMConvert::oemAlways, "C:\\", "book.fb2"},
        {"dosHostConverted", kOemName, 20, TOEMConvert::oemAlways, kAnsiDirectory, kAnsiFile},
        {"flexibleConverts", kOemName, 20, TOEMConvert::oemFlexible, kAnsiDirectory, kAnsiFile},
        {"neverConverts", kOemName, 20, TOEMConvert::oemNever, kOemDirectory, kOemFile},
        {"unixHostKeptAsStored", kOemName, 0x031E, TOEMConvert::oemAlways, kOemDirectory, kOemFile},
    };
}

class EntryNameTest : public ReaderFixture, public testing::TestWithParam<NameCase> {};

TEST_P(EntryNameTest, isConvertedAndSplit)
{
    const NameCase &c = GetParam();
    TestEntry entry = TestEntry::stored(c.stored, "");
    entry.versionMadeBy = c.versionMadeBy;
    m_reader.SetOEMConvert(c.oem);
    m_reader.SetZipName(writeArchive(buildZip({entry}).bytes));
    m_reader.ReadDirectory();
    ASSERT_EQ(m_reader.EntryCount(), 1);
    EXPECT_EQ(m_reader.EntryInfo(0).Directory, c.directory);
    EXPECT_EQ(m_reader.EntryFileName(0), c.fileName);
}

INSTANTIATE_TEST_SUITE_P(Names, EntryNameTest, testing::ValuesIn(nameCases()),
                         [](const auto &param) { return std::string(param.param.name); });

// --- DOS date and time ------------------------------------------------------

struct ClampCase {
    uint32_t stored;
    uint32_t read;
};

std::ostream &operator<<(std::ostream &out, const ClampCase &c)
{
    return out << std::hex << c.stored << " -> " << c.read;
}

uint32_t dos(int year, int month, int day, int hour, int minute, int second)
{
    uint32_t date = uint32_t(((year - 1980) << 9) | (month << 5) | day);
    uint32_t time = uint32_t((hour << 11) | (minute << 5) | (second / 2));
    return (date << 16) | time;
}

class DosTimeTest : public ReaderFixture, public testing::TestWithParam<ClampCase> {};

TEST_P(DosTimeTest, isClampedWhenRead)
{
    TestEntry entry = TestEntry::stored("a.txt", "a");
    entry.dosDateTime = GetParam().stored;
    m_reader.SetZipName(writeArchive(buildZip({entry}).bytes));
    m_reader.ReadDirectory();
    EXPECT_EQ(m_reader.EntryInfo(0).DateTime, GetParam().read);
}

INSTANTIATE_TEST_SUITE_P(
    Values, DosTimeTest,
    testing::Values(ClampCase{dos(2020, 5, 17, 13, 45, 30), dos(2020, 5, 17, 13, 45, 30)},
                    ClampCase{dos(2020, 5, 17, 24, 0, 0), dos(2020, 5, 17, 23, 0, 0)},
                    ClampCase{dos(2020, 0, 17, 10, 0, 0), dos(2020, 1, 17, 10, 0, 0)},
                    ClampCase{dos(2020, 13, 0, 10, 0, 0), dos(2020, 12, 1, 10, 0, 0)},
                    ClampCase{dos(2020, 5, 17, 10, 63, 62), dos(2020, 5, 17, 10, 59, 58)},
                    ClampCase{dos(2105, 2, 31, 10, 0, 0), dos(2099, 2, 31, 10, 0, 0)}));

// --- Sorting ----------------------------------------------------------------

struct SortCase {
    zip::TZipSortMode mode;
    std::vector<std::string> order;
};

std::ostream &operator<<(std::ostream &out, const SortCase &c)
{
    return out << int(c.mode);
}

class SortModeTest : public ReaderFixture, public testing::TestWithParam<SortCase> {};

TEST_P(SortModeTest, ordersTheView)
{
    TestEntry old = TestEntry::deflated("z/Bravo.txt", bookText(40));
    old.dosDateTime = dos(2001, 1, 1, 0, 0, 0);
    TestEntry newest = TestEntry::stored("alpha.txt", std::string(300, 'a'));
    newest.dosDateTime = dos(2021, 1, 1, 0, 0, 0);
    TestEntry middle = TestEntry::deflated("a/charlie.txt", std::string(5000, 'c'));
    middle.dosDateTime = dos(2011, 1, 1, 0, 0, 0);
    m_reader.SetSortMode(GetParam().mode);
    m_reader.SetZipName(writeArchive(buildZip({old, newest, middle}).bytes));
    m_reader.ReadDirectory();
    EXPECT_EQ(fileNames(), GetParam().order);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, SortModeTest,
    testing::Values(
        SortCase{zip::TZipSortMode::ByNone, {"Bravo.txt", "alpha.txt", "charlie.txt"}},
        SortCase{zip::TZipSortMode::ByName, {"alpha.txt", "charlie.txt", "Bravo.txt"}},
        SortCase{zip::TZipSortMode::ByFileName, {"alpha.txt", "Bravo.txt", "charlie.txt"}},
        SortCase{zip::TZipSortMode::ByDate, {"alpha.txt", "charlie.txt", "Bravo.txt"}},
        SortCase{zip::TZipSortMode::ByUnCompressedSize, {"charlie.txt", "Bravo.txt", "alpha.txt"}},
        SortCase{zip::TZipSortMode::ByRate, {"alpha.txt", "Bravo.txt", "charlie.txt"}}));

// --- Event pump ---------------------------------------------------------------

TEST_F(DirectoryTest, pumpsEventsOncePerCentralHeaderUnlessTold)
{
    m_reader.SetZipName(writeArchive(threeEntries().bytes));
    m_reader.ReadDirectory();
    EXPECT_EQ(m_ui.eventPumps, 3);

    zip::TZipReader quiet;
    quiet.SetDoProcessMessages(false);
    quiet.SetZipName(m_reader.ZipName());
    quiet.ReadDirectory();
    EXPECT_EQ(m_ui.eventPumps, 3);
}

TEST_F(DirectoryTest, unchangedArchiveIsNotReadAgain)
{
    m_reader.SetZipName(writeArchive(threeEntries().bytes));
    m_reader.ReadDirectory();
    m_reader.SetEntrySelected(0, true);
    m_reader.ReadDirectory();
    EXPECT_EQ(m_ui.eventPumps, 3);
    EXPECT_TRUE(m_reader.EntrySelected(0));
}

// --- Lists ------------------------------------------------------------------

struct Number {
    int key;
    int tag;
};

class Numbers : public zip::TSortedObjectList<Number> {
public:
    using TSortedObjectList::TSortedObjectList;

protected:
    int Compare(const Number &a, const Number &b) const override { return a.key - b.key; }
};

TEST(SortedObjectList, appliesItsDuplicatePolicy)
{
    Numbers accept(true, zip::TDuplicates::Accept);
    accept.Add(new Number{2, 1});
    accept.Add(new Number{1, 2});
    EXPECT_EQ(accept.Add(new Number{2, 3}), 1); // before the equal item
    EXPECT_EQ(accept[2].tag, 1);

    Numbers ignore(true, zip::TDuplicates::Ignore);
    ignore.Add(new Number{2, 1});
    auto duplicate = std::make_unique<Number>(Number{2, 2});
    EXPECT_EQ(ignore.Add(duplicate.get()), -1);
    EXPECT_EQ(ignore.Count(), 1);

    Numbers error(true, zip::TDuplicates::Error);
    error.Add(new Number{2, 1});
    EXPECT_EQ(thrownBy([&] { error.Add(duplicate.get()); }), "EListError: Duplicate Object index");
    EXPECT_EQ(error.Find(Number{2, 0}), 0);
    EXPECT_EQ(error.Find(Number{3, 0}), -1);
}

} // namespace
