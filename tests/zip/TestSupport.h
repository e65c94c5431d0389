#pragma once
// Helpers for the archive reader's tests: temporary folders, a user
// interface that records what it is asked, archives written byte by byte,
// and SHA-256 for comparing outputs with the corpus manifest.

#include "Digests.h"
#include "FileContents.h"
#include "RecordingUserInterface.h"
#include "TempFolder.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace ziptest {

using testing_support::TempFolder;

using testing_support::crc32Of;
using testing_support::readFile;
using testing_support::sha256Hex;
/// Raw Deflate data (no zlib header) of bytes.
std::string deflateRaw(std::string_view bytes);
/// FB2-like paragraphs that compress well, one per line.
std::string bookText(int lines);

using testing_support::RecordingUserInterface;

/// One entry of an archive written by ZipBuilder. The payload is written
/// as it is; sizes and CRC default to those of the content.
struct TestEntry {
    std::string name;
    std::string payload;
    uint16_t method = 0;
    uint16_t flags = 0;
    uint32_t crc = 0;
    uint32_t compressedSize = 0;
    uint32_t uncompressedSize = 0;
    uint32_t dosDateTime = 0x5A214C2E; // 2025-01-01 09:33:28
    uint16_t versionMadeBy = 20;       // MS-DOS host
    uint32_t externalAttributes = 0x20;

    static TestEntry stored(std::string name, std::string content);
    static TestEntry deflated(std::string name, std::string content);
};

struct BuiltArchive {
    std::string bytes;
    std::vector<uint64_t> localOffsets;
    uint64_t centralOffset = 0;
    uint64_t endRecordOffset = 0;
};

/// Local records, central directory and end record, in that order; the
/// central headers in the order given by centralOrder (default: as added).
BuiltArchive buildZip(const std::vector<TestEntry> &entries, std::vector<size_t> centralOrder = {});

/// "Class: message" of what action throws, or "no exception".
std::string thrownBy(const std::function<void()> &action);

} // namespace ziptest
