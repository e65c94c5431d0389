// Decoding throughput of the legacy decoders on the test archives, next to
// Info-ZIP UnZip extracting the same archives to a pipe in the same run.
//
// Both figures are the fastest of repeated runs. Our figure covers the decoder with a CRC-32 over
// its output (what the reader's flush adds), with the compressed data already in memory. UnZip's
// figure is measured as `unzip -p ARCHIVE > /dev/null`, less the time of
// `unzip -p ARCHIVE no-such-entry` (start-up and directory reading), so both
// are about decoding. UnZip does not decode Reduce.
//
// Usage: bench_zip_legacy [seconds per measurement, default 0.5]

#include "BenchTiming.h"
#include "LegacyTestSupport.h"

#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using bench::secondsSince;
using legacy_test::Bytes;

// The fixtures name their archives relative to this folder.
const std::string kZipTestsDir = ZIP_TESTS_DIR;

// A fixture with its compressed bytes, read once before timing.
struct Entry {
    legacy_test::StreamFixture fixture;
    Bytes data;
};

// The entries of every archive, in the order of the fixture list.
std::vector<std::pair<std::string, std::vector<Entry>>> archives()
{
    std::vector<std::pair<std::string, std::vector<Entry>>> result;
    for (legacy_test::StreamFixture &fixture : legacy_test::streamFixtures()) {
        if (result.empty() || result.back().first != fixture.archive)
            result.push_back({fixture.archive, {}});
        Bytes data = fixture.data();
        result.back().second.push_back({std::move(fixture), std::move(data)});
    }
    return result;
}

class Input : public zip::legacy::ByteInput {
public:
    explicit Input(const Bytes &bytes) : m_bytes(bytes) {}

protected:
    bool refill() override
    {
        if (m_offset == m_bytes.size())
            return false;
        const std::size_t count = std::min<std::size_t>(32768, m_bytes.size() - m_offset);
        setBlock({m_bytes.data() + m_offset, count});
        m_offset += count;
        return true;
    }

private:
    const Bytes &m_bytes;
    std::size_t m_offset = 0;
};

class Output : public zip::legacy::ByteOutput {
public:
    explicit Output(std::uint8_t *buffer) : ByteOutput({buffer, 32768}) {}
    std::uint32_t crc() const { return m_crc; }

protected:
    void flush(std::span<const std::uint8_t> block) override
    {
        m_crc = std::uint32_t(::crc32(m_crc, block.data(), uInt(block.size())));
    }

private:
    std::uint32_t m_crc = 0;
};

// Decodes every entry once; false when one does not match its CRC.
bool decodeAll(const std::vector<Entry> &entries, zip::legacy::WorkArea &work, std::uint8_t *buffer)
{
    bool sound = true;
    for (const Entry &entry : entries) {
        Input input(entry.data);
        Output output(buffer);
        zip::legacy::decodeMethod(entry.fixture.method, entry.fixture.flags, entry.data.size(),
                                  entry.fixture.uncompressedSize, input, output, work);
        sound = sound && output.crc() == entry.fixture.crc32;
    }
    return sound;
}

// Fastest of the runs of work made within `budget` seconds (at least
// minRuns): single runs vary far more than the work measured.
template <class F> double fastestRun(double budget, int minRuns, F &&work)
{
    double fastest = 1e9;
    int runs = 0;
    const auto start = Clock::now();
    do {
        fastest = std::min(fastest, bench::secondsOf(work));
        ++runs;
    } while (secondsSince(start) < budget || runs < minRuns);
    return fastest;
}

// Process start-up varies most, hence at least 5 runs; -1 when the command
// cannot be run.
double timeCommand(const std::string &command, double budget)
{
    bool failed = false;
    const double fastest =
        fastestRun(budget, 5, [&] { failed = failed || std::system(command.c_str()) == -1; });
    return failed ? -1 : fastest;
}

bool unzipDecodes(int method)
{
    return method == 1 || method == 6;
}

// UnZip's decoding speed in MB/s over copies of the archive.
double unzipSpeed(const std::string &archive, std::uint64_t outBytes, double budget)
{
    namespace fs = std::filesystem;
    const fs::path folder = fs::temp_directory_path() / "dorvil-legacy-bench";
    fs::remove_all(folder);
    fs::create_directories(folder);
    const std::uint64_t copies = std::max<std::uint64_t>(1, 16'000'000 / outBytes);
    for (std::uint64_t i = 0; i < copies; ++i)
        fs::copy_file(kZipTestsDir + "/" + archive, folder / ("copy" + std::to_string(i) + ".zip"));
    const std::string pattern = "'" + (folder / "*.zip").string() + "'";
    const double whole = timeCommand("unzip -p " + pattern + " > /dev/null 2>&1", budget);
    const double startUp =
        timeCommand("unzip -p " + pattern + " no-such-entry > /dev/null 2>&1", budget);
    fs::remove_all(folder);
    return double(outBytes * copies) / std::max(whole - startUp, 1e-6) / 1e6;
}

} // namespace

int main(int argc, char **argv)
{
    const double budget = argc > 1 ? std::atof(argv[1]) : 0.5;
    const bool haveUnzip = std::system("unzip -v > /dev/null 2>&1") == 0;
    auto work = std::make_unique<zip::legacy::WorkArea>();
    auto buffer = std::make_unique<std::uint8_t[]>(32768);

    std::printf("%-44s %6s %9s %9s %12s %12s %9s\n", "archive", "method", "in KiB", "out KiB",
                "ours MB/s", "unzip MB/s", "ratio");
    for (const auto &[archive, entries] : archives()) {
        std::uint64_t outBytes = 0, inBytes = 0;
        for (const Entry &entry : entries) {
            outBytes += entry.fixture.uncompressedSize;
            inBytes += entry.data.size();
        }
        if (!decodeAll(entries, *work, buffer.get())) {
            std::printf("%-44s decodes wrongly\n", archive.c_str());
            return 1;
        }
        const double fastest =
            fastestRun(budget, 1, [&] { decodeAll(entries, *work, buffer.get()); });
        const double ours = double(outBytes) / fastest / 1e6;

        const int method = entries.front().fixture.method;
        std::string theirs = "n/a", ratio = "-";
        if (haveUnzip && unzipDecodes(method)) {
            const double mbPerSecond = unzipSpeed(archive, outBytes, budget);
            char text[32];
            std::snprintf(text, sizeof text, "%.1f", mbPerSecond);
            theirs = text;
            std::snprintf(text, sizeof text, "%.2f", ours / mbPerSecond);
            ratio = text;
        }
        std::printf("%-44s %6d %9.1f %9.1f %12.1f %12s %9s\n", archive.c_str(), method,
                    double(inBytes) / 1024, double(outBytes) / 1024, ours, theirs.c_str(),
                    ratio.c_str());
    }
    std::printf("MB/s: megabytes of decoded output per second. unzip MB/s: one process over copies "
                "of the archive, less its start-up and directory reading; ratio: ours / unzip.\n");
    return 0;
}
