// How much the existence checks of a library walk cost when many files are
// missing or spelt in another letter case: the comparison asks once per
// book record. Prints its figures; asserts nothing.

#include "BenchTiming.h"
#include "platform/FileSystem.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

namespace {

using bench::secondsSince;

constexpr int kFolders = 100;
constexpr int kFilesPerFolder = 200;

template <class MakeName> double timeLookups(const std::string &root, MakeName makeName, int &found)
{
    found = 0;
    auto start = std::chrono::steady_clock::now();
    for (int folder = 0; folder < kFolders; ++folder)
        for (int file = 0; file < kFilesPerFolder; ++file)
            found += platform::fileExists(root + makeName(folder, file));
    return secondsSince(start);
}

} // namespace

int main()
{
    fs::path base = fs::temp_directory_path() / "dorvil-bench-paths";
    fs::remove_all(base);
    for (int folder = 0; folder < kFolders; ++folder) {
        fs::create_directories(base / ("Author" + std::to_string(folder)));
        for (int file = 0; file < kFilesPerFolder; ++file)
            std::ofstream(base / ("Author" + std::to_string(folder)) /
                          ("Book" + std::to_string(file) + ".zip"));
    }
    std::string root = platform::programPath(base) + "\\";
    auto name = [](const char *author, const char *book, int folder, int file) {
        return author + std::to_string(folder) + "\\" + book + std::to_string(file) + ".zip";
    };
    const int total = kFolders * kFilesPerFolder;
    int found = 0;
    struct Run {
        const char *what;
        double seconds;
        int found;
    } runs[4];
    runs[0] = {"exact spelling",
               timeLookups(
                   root, [&](int d, int f) { return name("Author", "Book", d, f); }, found),
               found};
    platform::forgetFolderListings();
    runs[1] = {"other letter case, listings not cached",
               timeLookups(
                   root, [&](int d, int f) { return name("AUTHOR", "book", d, f); }, found),
               found};
    runs[2] = {"other letter case, listings cached",
               timeLookups(
                   root, [&](int d, int f) { return name("AUTHOR", "book", d, f); }, found),
               found};
    runs[3] = {"missing files",
               timeLookups(
                   root, [&](int d, int f) { return name("Author", "Gone", d, f); }, found),
               found};
    std::printf("%d lookups in %d folders of %d files\n", total, kFolders, kFilesPerFolder);
    for (const auto &run : runs)
        std::printf("  %-42s %8.3f s  %6.2f us/lookup  found %d\n", run.what, run.seconds,
                    run.seconds * 1e6 / total, run.found);
    fs::remove_all(base);
}
