// Extracting one deflated FB2 document of about 500 KB from each of 1,000
// archives: the reader (ZipName, ReadDirectory, EntrySelected,
// ExtractSelected) against a bare loop that finds the entry and inflates it
// with zlib directly, CRC check included. Both run in turn, three rounds;
// the best round of each counts.

#include "BenchTiming.h"
#include "TestSupport.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "zip/ZipReader.h"

#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <stdexcept>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr int kArchives = 1000;
constexpr int kDistinctBooks = 20;
constexpr size_t kBookSize = 500 * 1024;

std::string makeBook(unsigned seed)
{
    static const char *const kWords[] = {"книга", "дорога",  "город",   "утро",   "свет",  "река",
                                         "вечер", "голос",   "окно",    "снег",   "ветер", "сад",
                                         "the",   "library", "chapter", "reader", "story", "night"};
    std::mt19937 random(seed);
    std::string text = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<FictionBook><description>"
                       "<document-info><id>" +
                       std::to_string(seed) + "</id></document-info></description><body>\n";
    while (text.size() < kBookSize) {
        text += "<p>";
        for (int i = 0; i < 12; ++i) {
            text += kWords[random() % std::size(kWords)];
            text += ' ';
        }
        text += std::to_string(random() % 100000) + "</p>\n";
    }
    return text + "</body></FictionBook>\n";
}

uint32_t le32(const unsigned char *p)
{
    return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24;
}
uint16_t le16(const unsigned char *p)
{
    return uint16_t(p[0] | p[1] << 8);
}

// The shortest honest path: end record, central directory, local header,
// inflate to a file, compare the CRC.
void bareExtract(const fs::path &archivePath, const fs::path &outFolder)
{
    std::FILE *in = std::fopen(archivePath.c_str(), "rb");
    if (!in)
        throw std::runtime_error("cannot open archive");
    std::fseek(in, 0, SEEK_END);
    long size = std::ftell(in);
    long tail = std::min<long>(size, 22 + 65535);
    std::vector<unsigned char> end(static_cast<size_t>(tail));
    std::fseek(in, size - tail, SEEK_SET);
    std::fread(end.data(), 1, end.size(), in);
    size_t pos = end.size() - 22;
    while (le32(&end[pos]) != 0x06054B50)
        --pos;
    uint32_t cdSize = le32(&end[pos + 12]), cdOffset = le32(&end[pos + 16]);
    std::vector<unsigned char> cd(cdSize);
    std::fseek(in, long(cdOffset), SEEK_SET);
    std::fread(cd.data(), 1, cd.size(), in);
    for (size_t p = 0; p + 46 <= cd.size();) {
        uint16_t nameLength = le16(&cd[p + 28]);
        std::string name(reinterpret_cast<char *>(&cd[p + 46]), nameLength);
        size_t next = p + 46 + nameLength + le16(&cd[p + 30]) + le16(&cd[p + 32]);
        if (name.size() < 4 || name.substr(name.size() - 4) != ".fb2") {
            p = next;
            continue;
        }
        uint32_t crc = le32(&cd[p + 16]), compressed = le32(&cd[p + 20]);
        unsigned char local[30];
        std::fseek(in, long(le32(&cd[p + 42])), SEEK_SET);
        std::fread(local, 1, 30, in);
        std::fseek(in, long(le16(&local[26]) + le16(&local[28])), SEEK_CUR);
        std::FILE *out = std::fopen((outFolder / name).c_str(), "wb");
        z_stream stream{};
        inflateInit2(&stream, -MAX_WBITS);
        std::vector<unsigned char> input(32768), output(32768);
        uint32_t left = compressed, actualCrc = 0;
        int status = Z_OK;
        while (status != Z_STREAM_END) {
            if (stream.avail_in == 0 && left > 0) {
                stream.avail_in =
                    uInt(std::fread(input.data(), 1, std::min<uint32_t>(left, 32768), in));
                left -= stream.avail_in;
                stream.next_in = input.data();
            }
            stream.next_out = output.data();
            stream.avail_out = uInt(output.size());
            status = inflate(&stream, Z_NO_FLUSH);
            if (status < 0)
                throw std::runtime_error("inflate failed");
            size_t produced = output.size() - stream.avail_out;
            actualCrc = uint32_t(crc32(actualCrc, output.data(), uInt(produced)));
            std::fwrite(output.data(), 1, produced, out);
        }
        inflateEnd(&stream);
        std::fclose(out);
        std::fclose(in);
        if (actualCrc != crc)
            throw std::runtime_error("CRC mismatch");
        return;
    }
    std::fclose(in);
    throw std::runtime_error("no FB2 entry");
}

void readerExtract(zip::TZipReader &reader, const std::string &archive)
{
    reader.SetZipName(archive);
    reader.ReadDirectory();
    for (int i = 0; i < reader.EntryCount(); ++i) {
        std::string name = platform::upperLatin(reader.EntryFileName(i));
        if (name.size() >= 4 && name.substr(name.size() - 4) == ".FB2") {
            reader.SetEntrySelected(i, true);
            break;
        }
    }
    if (reader.ExtractSelected() != 1)
        throw std::runtime_error("reader extracted nothing");
}

} // namespace

int main()
{
    ziptest::TempFolder folder;
    fs::create_directories(folder.native() / "bare");
    fs::create_directories(folder.native() / "reader");
    std::printf("making %d archives of one ~%zu KB FB2 document each...\n", kArchives,
                kBookSize / 1024);
    std::vector<std::string> archives;
    for (int book = 0; book < kDistinctBooks; ++book) {
        std::string bytes =
            ziptest::buildZip({ziptest::TestEntry::stored("cover.txt", "cover"),
                               ziptest::TestEntry::deflated("book.fb2", makeBook(unsigned(book)))})
                .bytes;
        for (int copy = book; copy < kArchives; copy += kDistinctBooks) {
            std::string name = "archive" + std::to_string(copy) + ".zip";
            folder.write(name, bytes);
            archives.push_back(name);
        }
    }

    zip::TZipReader reader;
    reader.SetIncompleteZipMode(zip::TIncompleteZipMode::izAssumeBad);
    reader.SetOverwriteMode(zip::TOverwriteMode::Always);
    reader.SetDestDir(folder.program("reader"));
    double bestBare = 1e9, bestReader = 1e9;
    for (int round = 0; round < 3; ++round) {
        double bare = bench::secondsOf([&] {
            for (const std::string &name : archives)
                bareExtract(folder.native() / name, folder.native() / "bare");
        });
        double viaReader = bench::secondsOf([&] {
            for (const std::string &name : archives)
                readerExtract(reader, folder.program(name));
        });
        std::printf("round %d: bare loop %.3f s, reader %.3f s\n", round + 1, bare, viaReader);
        bestBare = std::min(bestBare, bare);
        bestReader = std::min(bestReader, viaReader);
    }
    std::printf("best of 3: bare loop %.3f s (%.2f ms/archive), reader %.3f s (%.2f ms/archive)\n",
                bestBare, bestBare * 1000 / kArchives, bestReader, bestReader * 1000 / kArchives);
    std::printf("reader / bare = %.3f (target: at most 1.2)\n", bestReader / bestBare);
    return 0;
}
