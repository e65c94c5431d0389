#pragma once
// Profile (INI) files: "[section]" lines followed by "key=value" lines, in
// code page 1251. Reading follows the platform's profile rules: section and
// key names match ignoring letter case, blanks around a value are removed,
// one pair of matching quotes is removed, at most 2047 characters come back,
// and a missing file, section or key gives the default.

#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

class ProfileFile {
public:
    explicit ProfileFile(std::string path) : m_path(std::move(path)) {}

    const std::string &path() const { return m_path; }

    std::string readString(std::string_view section, std::string_view key,
                           std::string_view defaultValue) const;
    /// "0x" with at least one more character, or "$", starts hexadecimal;
    /// anything that is not a number gives the default.
    int32_t readInteger(std::string_view section, std::string_view key, int32_t defaultValue) const;
    /// Read as an integer with default 1 or 0; any non-zero number is true.
    bool readBool(std::string_view section, std::string_view key, bool defaultValue) const;

    /// Replaces only the key's value (creating the file, section or key) and
    /// keeps every other line byte for byte, with the file's own line ends.
    /// The file is replaced atomically. False when it cannot be written.
    bool writeString(std::string_view section, std::string_view key, std::string_view value);
    bool writeInteger(std::string_view section, std::string_view key, int32_t value);
    bool writeBool(std::string_view section, std::string_view key, bool value);

private:
    std::string m_path;
};

} // namespace platform
