// ReadDirectory of one archive of 50,000 entries, next to Info-ZIP's
// "unzip -l" on the same archive (when unzip is installed).

#include "BenchTiming.h"
#include "TestSupport.h"
#include "zip/ZipReader.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr int kEntries = 50000;
constexpr int kRounds = 5;

} // namespace

int main()
{
    ziptest::TempFolder folder;
    std::vector<ziptest::TestEntry> entries;
    for (int i = 0; i < kEntries; ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "authors/a%03d/book%05d.fb2", i % 500, i);
        entries.push_back(ziptest::TestEntry::stored(name, "<id>" + std::to_string(i) + "</id>"));
    }
    folder.write("big.zip", ziptest::buildZip(entries).bytes);
    std::string archive = folder.program("big.zip");

    double best = 1e9;
    for (int round = 0; round < kRounds; ++round) {
        zip::TZipReader reader;
        best = std::min(best, bench::secondsOf([&] {
                            reader.SetZipName(archive);
                            reader.ReadDirectory();
                        }));
        if (reader.EntryCount() != kEntries) {
            std::printf("read %d entries, expected %d\n", reader.EntryCount(), kEntries);
            return 1;
        }
    }
    std::printf("ReadDirectory, %d entries: %.1f ms (best of %d)\n", kEntries, best * 1000,
                kRounds);

    std::string command = "unzip -l '" + (folder.native() / "big.zip").string() + "' > /dev/null";
    double bestUnzip = 1e9;
    for (int round = 0; round < kRounds; ++round) {
        int status = 0;
        bestUnzip =
            std::min(bestUnzip, bench::secondsOf([&] { status = std::system(command.c_str()); }));
        if (status != 0) {
            std::printf("unzip -l not available (status %d)\n", status);
            return 0;
        }
    }
    std::printf("unzip -l, same archive: %.1f ms (best of %d, process start included)\n",
                bestUnzip * 1000, kRounds);
    return 0;
}
