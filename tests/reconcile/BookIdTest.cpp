#include "BookId.h"

#include "DuplicateSupport.h"
#include "RunFixture.h"
#include "TestDatabase.h"

#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "zip/ZipReader.h"

#include <gtest/gtest.h>

#include <sys/mount.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <ostream>

namespace {

namespace fs = std::filesystem;
using reconcile_test::ansi;
using reconcile_test::ArchiveEntry;
using reconcile_test::fb2Document;

const std::string kNoId = "Не могу найти id";
const std::string kNoDocument = "Ошибка чтения zip-архива";

struct Outcome {
    bool read;
    std::string FileId; // UTF-8
    bool operator==(const Outcome &) const = default;
};

std::ostream &operator<<(std::ostream &out, const Outcome &o)
{
    return out << (o.read ? "read " : "failed ") << testing::PrintToString(o.FileId);
}

// The identifier needs no database: the run's folders and components only.
class BookIdFixture : public reconcile_test::RunFixture {
protected:
    void SetUp() override {}

    fs::path temp() const { return m_root.native() / "temp"; }

    Outcome extract(std::string_view fileNameUtf8)
    {
        const reconcile::Run current = run();
        std::string FileId;
        const bool read = reconcile::ExtractBookId(current, ansi(fileNameUtf8), FileId);
        return {read, platform::ansiToUtf8(FileId)};
    }

    // Every extraction leaves the temporary folder and the scratch list as
    // it found them, whatever its outcome.
    void expectNothingLeft() const
    {
        EXPECT_TRUE(fs::is_empty(temp())) << "a document stayed in the temporary folder";
        EXPECT_TRUE(m_state.ScratchList->empty());
    }

    std::string libraryUtf8() const { return platform::ansiToUtf8(library()); }
};

struct DocumentCase {
    std::string name;
    std::vector<ArchiveEntry> entries;
    Outcome expected;
    bool stored = false;
};

std::ostream &operator<<(std::ostream &out, const DocumentCase &c)
{
    return out << c.name;
}

class Documents : public BookIdFixture, public testing::WithParamInterface<DocumentCase> {};

TEST_P(Documents, YieldTheTextBetweenTheFirstTags)
{
    ASSERT_NO_FATAL_FAILURE(reconcile_test::writeZip(nativeLibrary() / "shelf" / "book.zip",
                                                     GetParam().entries, GetParam().stored));
    EXPECT_EQ(extract("shelf\\book.zip"), GetParam().expected);
    expectNothingLeft();
}

INSTANTIATE_TEST_SUITE_P(
    Id, Documents,
    testing::Values(
        DocumentCase{"FirstFb2EntryInAnyCase",
                     {{"a.txt", fb2Document("txt")},
                      {"b.FB2", fb2Document("b-id")},
                      {"c.fb2", fb2Document("c-id")}},
                     {true, "b-id"}},
        DocumentCase{"EntryInASubFolder", {{"books/x.fb2", fb2Document("x-id")}}, {true, "x-id"}},
        DocumentCase{"StoredEntry", {{"x.fb2", fb2Document("stored")}}, {true, "stored"}, true},
        DocumentCase{"BlanksKept", {{"x.fb2", fb2Document(" abc ")}}, {true, " abc "}},
        DocumentCase{"EmptyIdIsRead", {{"x.fb2", fb2Document("")}}, {true, ""}},
        DocumentCase{"FirstOfTwoIds", {{"x.fb2", "<id>one</id><id>two</id>"}}, {true, "one"}},
        DocumentCase{"LoneLineBreaksComeBackAsCrLf",
                     {{"x.fb2", "<id>first\nsecond\rthird</id>"}},
                     {true, "first\r\nsecond\r\nthird"}},
        DocumentCase{"CrLfStaysOneBreakUpToTheCloseTag",
                     {{"x.fb2", "<id>\r\na\r\n\rb\n</id>"}},
                     {true, "\r\na\r\n\r\nb\r\n"}},
        DocumentCase{"CloseTagBeforeOpenTag", {{"x.fb2", "</id> <id>x"}}, {false, kNoId}},
        DocumentCase{"NoIdElement", {{"x.fb2", "<FictionBook/>"}}, {false, kNoId}},
        DocumentCase{"TagsAreCaseSensitive", {{"x.fb2", "<ID>x</ID>"}}, {false, kNoId}},
        DocumentCase{
            "ZeroByteEndsTheText", {{"x.fb2", std::string("<id>a\0b</id>", 12)}}, {false, kNoId}},
        DocumentCase{"NoFb2Entry",
                     {{"fb2", "<id>a</id>"}, {"x.fb2.txt", "<id>b</id>"}},
                     {false, kNoDocument}}),
    [](const testing::TestParamInfo<DocumentCase> &row) { return row.param.name; });

// Archives of the reader's corpus, read under their own names, with the
// outcome its manifest gives for each.
struct CorpusCase {
    std::string file;
    Outcome expected;
};

std::ostream &operator<<(std::ostream &out, const CorpusCase &c)
{
    return out << c.file;
}

const fs::path kCorpus =
    fs::path(testing_support::kCatalogueSchema).parent_path().parent_path().parent_path() / "zip" /
    "data";

class Corpus : public BookIdFixture, public testing::WithParamInterface<CorpusCase> {};

TEST_P(Corpus, GivesTheManifestsOutcome)
{
    const fs::path source = kCorpus / GetParam().file;
    fs::copy_file(source, nativeLibrary() / source.filename());
    EXPECT_EQ(extract(source.filename().string()), GetParam().expected);
    expectNothingLeft();
}

INSTANTIATE_TEST_SUITE_P(
    Manifest, Corpus,
    testing::Values(
        CorpusCase{"sound/first-fb2.zip", {true, "E00FA729-26DB-51DB-9CF4-8B1E80540476"}},
        CorpusCase{"sound/infozip-zip64.zip", {true, "DDCCDB78-4432-52BB-B58C-13D792EE39ED"}},
        CorpusCase{"fb2-id/id-blanks.zip", {true, " ab c "}},
        CorpusCase{"fb2-id/id-lf-split.zip", {true, "first-part\r\nsecond-part"}},
        CorpusCase{"fb2-id/id-utf16.zip", {false, kNoId}},
        CorpusCase{"legacy/implode-hwzip.zip", {true, "BF2B0E56-E880-5EA5-A198-90BF664C21C4"}},
        CorpusCase{"names/dos866-hwzip.zip", {true, "E436B091-9ECC-5D7C-AF14-ED6B50F044A1"}},
        CorpusCase{"damage/sfx-15000.EXE", {true, "38311D48-9B0B-58A3-A065-52A997475406"}},
        CorpusCase{"damage/empty-file.zip", {false, kNoDocument}},
        CorpusCase{"damage/end-record-in-comment.zip", {false, kNoDocument}},
        CorpusCase{"damage/short-21-bytes.zip", {false, "Not a valid zip file!"}},
        CorpusCase{"damage/truncated-in-stored-data.zip", {false, "Premature end of file reached"}},
        CorpusCase{"damage/crc-mismatch.zip", {false, "Unzip error"}},
        CorpusCase{"damage/method12-bzip2.zip", {false, "Unzip error"}},
        CorpusCase{"damage/corrupt-deflate.zip", {false, "error"}}));

class BookId : public BookIdFixture {};

// A document that would expand beyond what any book needs (a ZIP bomb, or a
// size that lies) is not extracted at all.
TEST_F(BookId, ADocumentDeclaringMoreThan512MiBIsNotExtracted)
{
    const fs::path archive = nativeLibrary() / "bomb.zip";
    ASSERT_NO_FATAL_FAILURE(
        reconcile_test::writeZip(archive, {{"x.fb2", fb2Document("id")}}, true));
    std::string bytes = testing_support::readFile(archive);
    const uint32_t declared = (512u << 20) + 1;
    for (const auto &[signature, sizeOffset] :
         {std::pair<std::string, size_t>{"PK\x03\x04", 22}, {"PK\x01\x02", 24}}) {
        const size_t header = bytes.find(signature);
        ASSERT_NE(header, std::string::npos);
        for (int i = 0; i < 4; ++i)
            bytes[header + sizeOffset + i] = char((declared >> (8 * i)) & 0xFF);
    }
    testing_support::writeFile(archive, bytes);

    EXPECT_EQ(extract("bomb.zip"), (Outcome{false, "Файл fb2 слишком велик"}));
    expectNothingLeft();
}

// The temporary folder's file system fills up during the extraction: the
// reason is given, no partial document is left, and the identifier counts
// as unread (so the unreadable-identifier rules of the policies apply).
TEST_F(BookId, AFullTemporaryFolderGivesTheReasonAndLeavesNoPartialDocument)
{
    fs::create_directories(temp());
    if (mount("tmpfs", temp().c_str(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "cannot mount a small tmpfs here (" << std::strerror(errno)
                     << "); a full file system needs root";
    std::string big = "<FictionBook><description><id>big-id</id></description><body>";
    for (int i = 0; big.size() < 400000; ++i)
        big += "<p>строка " + std::to_string(i) + " текста книги</p>";
    big += "</body></FictionBook>";
    ASSERT_NO_FATAL_FAILURE(
        reconcile_test::writeZip(nativeLibrary() / "big.zip", {{"big.fb2", big}}));

    const Outcome outcome = extract("big.zip");
    const bool empty = fs::is_empty(temp());
    umount(temp().c_str());
    EXPECT_EQ(outcome, (Outcome{false, "Cant write uncompressed file"}));
    EXPECT_TRUE(empty) << "a partial document stayed";
}

TEST_F(BookId, NamesThatNameNoArchiveAreReportedMissing)
{
    std::filesystem::create_directories(nativeLibrary() / "folder.zip");
    for (const std::string name : {"nope.zip", "folder.zip", "", "пропал\\книга.zip"})
        EXPECT_EQ(extract(name),
                  (Outcome{false, "файл " + libraryUtf8() + name + " не существует"}))
            << name;
    expectNothingLeft();
}

// An archive outside the library is never opened through a name that
// climbs out of it, even though it exists and holds a good identifier.
TEST_F(BookId, NameLeavingTheLibraryIsNotOpened)
{
    ASSERT_NO_FATAL_FAILURE(
        reconcile_test::writeZip(m_root.native() / "outside.zip", {{"x.fb2", fb2Document("out")}}));
    for (const std::string name : {"..\\outside.zip", "a\\..\\..\\outside.zip", "../outside.zip"})
        EXPECT_EQ(extract(name),
                  (Outcome{false, "файл " + libraryUtf8() + name + " не существует"}))
            << name;
    EXPECT_EQ(m_components.ZipReader1.ZipName(), "");
}

TEST_F(BookId, ReadOnlyDocumentIsRemovedAndDoesNotBlockTheNextRead)
{
    ASSERT_NO_FATAL_FAILURE(reconcile_test::writeZip(nativeLibrary() / "a.zip",
                                                     {{"book.fb2", fb2Document("first"), true}}));
    ASSERT_NO_FATAL_FAILURE(reconcile_test::writeZip(nativeLibrary() / "b.zip",
                                                     {{"book.fb2", fb2Document("second"), true}}));
    EXPECT_EQ(extract("a.zip"), (Outcome{true, "first"}));
    expectNothingLeft();
    EXPECT_EQ(extract("b.zip"), (Outcome{true, "second"}));
    expectNothingLeft();
}

// A read-only copy of the same name, left by an earlier run, would make the
// reader skip the entry.
TEST_F(BookId, StaleReadOnlyCopyInTheTemporaryFolderIsReplaced)
{
    ASSERT_NO_FATAL_FAILURE(
        reconcile_test::writeZip(nativeLibrary() / "a.zip", {{"book.fb2", fb2Document("fresh")}}));
    const std::string stale = m_state.TempDir + "book.fb2";
    ASSERT_TRUE(platform::replaceWholeFile(stale, fb2Document("stale")));
    ASSERT_TRUE(platform::setReadOnly(stale, true));
    EXPECT_EQ(extract("a.zip"), (Outcome{true, "fresh"}));
    expectNothingLeft();
}

// Another program (a virus scanner, say) takes the document away between
// the extraction and the reading.
TEST_F(BookId, DocumentThatCannotBeOpenedGivesTheOpenError)
{
    ASSERT_NO_FATAL_FAILURE(
        reconcile_test::writeZip(nativeLibrary() / "a.zip", {{"book.fb2", fb2Document("x")}}));
    const std::string document = m_state.TempDir + "book.fb2";
    m_components.ZipReader1.Events().OnEndUnzip = [&](int, const std::string &) {
        platform::deleteFile(document);
    };
    const Outcome outcome = extract("a.zip");
    ASSERT_FALSE(platform::readWholeFile(document));
    EXPECT_EQ(outcome, (Outcome{false, platform::ansiToUtf8("Cannot open file \"" + document +
                                                            "\". " + platform::lastErrorText())}));
    expectNothingLeft();
}

TEST_F(BookId, ReaderProcessesEventsWhileItReads)
{
    ASSERT_NO_FATAL_FAILURE(
        reconcile_test::writeZip(nativeLibrary() / "a.zip", {{"book.fb2", fb2Document("x")}}));
    EXPECT_EQ(extract("a.zip"), (Outcome{true, "x"}));
    EXPECT_GT(m_ui.eventPumps, 0);
    EXPECT_EQ(m_components.ZipReader1.DestDir() + "\\", m_state.TempDir);
}

} // namespace
