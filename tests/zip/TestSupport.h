#pragma once
// Helpers for the archive reader's tests: temporary folders, a user
// interface that records what it is asked, archives written byte by byte,
// and SHA-256 for comparing outputs with the corpus manifest.

#include "platform/UserInterface.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ziptest {

class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder &) = delete;
    TempFolder &operator=(const TempFolder &) = delete;

    const std::filesystem::path &native() const { return m_native; }
    /// The folder as a program path, without a trailing backslash.
    std::string program() const;
    /// program() + "\" + name.
    std::string program(std::string_view name) const;

private:
    std::filesystem::path m_native;
};

void writeFile(const std::filesystem::path &path, std::string_view bytes);
std::string readFile(const std::filesystem::path &path);
std::string sha256Hex(std::string_view bytes);
uint32_t crc32Of(std::string_view bytes);
/// Raw Deflate data (no zlib header) of bytes.
std::string deflateRaw(std::string_view bytes);

struct MessageBoxCall {
    std::string text;
    std::string caption;
    unsigned flags = 0;
};

class RecordingUserInterface : public platform::UserInterface {
public:
    int messageBox(std::string_view text, std::string_view caption, unsigned flags) override;
    void showMessage(std::string_view text) override;
    void showError(std::string_view text) override;
    std::optional<std::string> chooseFolder(std::string_view, std::string_view) override;
    void processEvents() override { ++eventPumps; }
    void setBusyCursor(bool) override {}
    void requestQuit() override {}

    int answer = platform::mb::IdOk; ///< what every message box answers
    std::vector<MessageBoxCall> boxes;
    int eventPumps = 0;
};

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
