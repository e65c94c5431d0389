#pragma once
// A ZIP archive written in memory, just enough for the demo library: every
// entry deflated, one fixed file time, no extra fields, no comments.

#include <cstdint>
#include <string>
#include <string_view>

namespace demo {

class ZipWriter {
public:
    /// `name` is stored as given (plain ASCII keeps every reader happy).
    /// Throws std::runtime_error when zlib fails.
    void addEntry(std::string_view name, std::string_view data);
    /// The whole archive: the entries, the central directory and the end record.
    std::string finish() const;

private:
    std::string m_entries;
    std::string m_directory;
    std::uint16_t m_count = 0;
};

} // namespace demo
