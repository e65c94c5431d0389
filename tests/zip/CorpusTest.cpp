// Every archive of the corpus through ReadDirectory and, entry by entry,
// ExtractSelected, compared with the expectations of its manifest (through
// data/corpus_table.tsv, generated from it by data/make_table.py).

#include "TestSupport.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "zip/ZipReader.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace {

using namespace ziptest;
namespace fs = std::filesystem;

const fs::path kDataFolder = ZIP_TEST_DATA;

struct CorpusEntry {
    int index = 0;
    std::string name;                 // Directory + FileName, code page 1251
    std::string fileName;             // code page 1251
    std::vector<std::string> fields;  // method ... dos_datetime, as in the table
    std::vector<std::string> outcome; // kind and its values
};

struct CorpusCase {
    std::string id;
    std::string file;
    std::vector<std::string> directory; // "ok" count rebuilt | "exception" class message
    std::vector<CorpusEntry> entries;
};

std::ostream &operator<<(std::ostream &out, const CorpusCase &c)
{
    return out << c.file;
}

std::vector<std::string> splitTabs(const std::string &line)
{
    std::vector<std::string> cells;
    std::stringstream in(line);
    for (std::string cell; std::getline(in, cell, '\t');)
        cells.push_back(cell);
    return cells;
}

std::string fromHex(const std::string &hex)
{
    std::string bytes;
    if (hex == "-")
        return bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes += char(std::stoi(hex.substr(i, 2), nullptr, 16));
    return bytes;
}

std::vector<CorpusCase> loadCorpus()
{
    std::vector<CorpusCase> cases;
    std::ifstream in(kDataFolder / "corpus_table.tsv");
    for (std::string line; std::getline(in, line);) {
        std::vector<std::string> cells = splitTabs(line);
        if (cells.empty() || cells[0].starts_with("#"))
            continue;
        if (cells[0] == "case") {
            cases.push_back({cells[1], cells[2], {cells.begin() + 3, cells.end()}, {}});
            continue;
        }
        CorpusEntry entry;
        entry.index = std::stoi(cells[1]);
        entry.name = fromHex(cells[2]);
        entry.fileName = fromHex(cells[3]);
        entry.fields.assign(cells.begin() + 4, cells.begin() + 14);
        entry.outcome.assign(cells.begin() + 14, cells.end());
        cases.back().entries.push_back(entry);
    }
    return cases;
}

std::string hex32(uint32_t value)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", value);
    return text;
}

// The entry record in the table's column order.
std::vector<std::string> recordFields(const zip::TZipEntryInfo &e)
{
    return {std::to_string(e.CompressionMethod),
            std::to_string(e.Flags),
            std::to_string(e.compressedSize()),
            std::to_string(e.uncompressedSize()),
            hex32(e.Crc32),
            std::to_string(e.localHeaderOffset()),
            std::to_string(e.diskStart()),
            std::to_string(e.VersionMadeBy),
            hex32(e.ExternalAttributes),
            hex32(e.DateTime)};
}

class CorpusTest : public testing::TestWithParam<CorpusCase> {
protected:
    void SetUp() override
    {
        m_reader.SetIncompleteZipMode(zip::TIncompleteZipMode::izAssumeBad);
        m_reader.SetOverwriteMode(zip::TOverwriteMode::Always);
    }

    std::string archivePath() const { return platform::programPath(kDataFolder / GetParam().file); }

    void checkExtraction(const CorpusEntry &expected);

    RecordingUserInterface m_ui;
    platform::ScopedUserInterface m_scopedUi{m_ui};
    zip::TZipReader m_reader;
};

TEST_P(CorpusTest, directoryMatchesManifest)
{
    const CorpusCase &c = GetParam();
    m_reader.SetZipName(archivePath());
    if (c.directory[0] == "exception") {
        EXPECT_EQ(thrownBy([&] { m_reader.ReadDirectory(); }),
                  c.directory[1] + ": " + c.directory[2]);
        EXPECT_EQ(m_reader.ZipName(), "");
        return;
    }
    m_reader.ReadDirectory();
    ASSERT_EQ(m_reader.EntryCount(), std::stoi(c.directory[1]));
    EXPECT_EQ(m_reader.RebuiltFromLocal(), c.directory[2] == "1");
    for (const CorpusEntry &expected : c.entries) {
        SCOPED_TRACE("entry " + std::to_string(expected.index));
        const zip::TZipEntryInfo &actual = m_reader.EntryInfo(expected.index);
        EXPECT_EQ(m_reader.EntryFileName(expected.index), expected.fileName);
        EXPECT_EQ(actual.Directory + actual.FileName, expected.name);
        EXPECT_EQ(recordFields(actual), expected.fields);
    }
}

TEST_P(CorpusTest, eachEntryExtractsAsManifestSays)
{
    const CorpusCase &c = GetParam();
    if (c.directory[0] == "exception") {
        TempFolder dest;
        m_reader.SetZipName(archivePath());
        m_reader.SetDestDir(dest.program());
        EXPECT_EQ(thrownBy([&] { m_reader.ExtractSelected(); }),
                  c.directory[1] + ": " + c.directory[2]);
        return;
    }
    for (const CorpusEntry &expected : c.entries) {
        SCOPED_TRACE("entry " + std::to_string(expected.index));
        checkExtraction(expected);
    }
}

void CorpusTest::checkExtraction(const CorpusEntry &expected)
{
    TempFolder dest;
    zip::TZipReader reader;
    reader.SetIncompleteZipMode(zip::TIncompleteZipMode::izAssumeBad);
    reader.SetOverwriteMode(zip::TOverwriteMode::Always);
    reader.SetZipName(archivePath());
    reader.SetDestDir(dest.program());
    reader.ReadDirectory();
    reader.SetEntrySelected(expected.index, true);
    m_ui.boxes.clear();

    const std::vector<std::string> &outcome = expected.outcome;

    const fs::path output = dest.native() / platform::ansiToUtf8(expected.fileName);
    const std::string &kind = outcome[0];
    if (kind == "exception") {
        EXPECT_EQ(thrownBy([&] { reader.ExtractSelected(); }), outcome[1] + ": " + outcome[2]);
        return;
    }
    int count = reader.ExtractSelected();
    if (kind == "written") {
        EXPECT_EQ(count, 1);
        ASSERT_TRUE(fs::exists(output));
        std::string bytes = readFile(output);
        EXPECT_EQ(bytes.size(), std::stoul(outcome[1]));
        EXPECT_EQ(sha256Hex(bytes), outcome[2]);
        return;
    }
    EXPECT_EQ(count, 0);
    EXPECT_TRUE(fs::is_empty(dest.native())) << "no output may remain";
    EXPECT_EQ(reader.EntrySelected(expected.index), kind == "folder");
    if (kind == "unknownmethod") {
        ASSERT_EQ(m_ui.boxes.size(), 1u);
        EXPECT_EQ(m_ui.boxes[0].text, outcome[1]);
        EXPECT_EQ(m_ui.boxes[0].caption, outcome[2]);
        EXPECT_EQ(m_ui.boxes[0].flags, platform::mb::Ok);
    } else {
        EXPECT_TRUE(m_ui.boxes.empty());
    }
}

INSTANTIATE_TEST_SUITE_P(Manifest, CorpusTest, testing::ValuesIn(loadCorpus()),
                         [](const testing::TestParamInfo<CorpusCase> &param) {
                             std::string name = param.param.id;
                             for (char &ch : name)
                                 if (!std::isalnum(static_cast<unsigned char>(ch)))
                                     ch = '_';
                             return name;
                         });

TEST(CorpusTable, coversEveryArchiveOfTheManifest)
{
    std::vector<CorpusCase> cases = loadCorpus();
    EXPECT_EQ(cases.size(), 29u);
    for (const CorpusCase &c : cases)
        EXPECT_TRUE(fs::exists(kDataFolder / c.file)) << c.file;
}

} // namespace
