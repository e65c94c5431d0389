#pragma once
// A fresh folder for one test, removed with everything in it afterwards.

#include "platform/FileSystem.h"
#include "platform/Text.h"

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <string_view>

#include <stdlib.h>

namespace testing_support {

class TempFolder {
public:
    explicit TempFolder(const std::filesystem::path &under = std::filesystem::temp_directory_path())
    {
        std::string pattern = (under / "dorvil-test-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            throw std::runtime_error("cannot create a temporary folder under " + under.string());
        m_native = pattern;
    }
    TempFolder(const TempFolder &) = delete;
    TempFolder &operator=(const TempFolder &) = delete;
    ~TempFolder()
    {
        std::error_code ignored;
        // Read-only files and folders made by a test must not block the cleanup.
        for (auto &entry : std::filesystem::recursive_directory_iterator(m_native, ignored))
            std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::add, ignored);
        std::filesystem::remove_all(m_native, ignored);
    }

    const std::filesystem::path &native() const { return m_native; }

    /// The folder as a program path (1251, backslashes), without a trailing backslash.
    std::string program() const { return platform::programPath(m_native); }
    /// program() + "\" + the UTF-8 path below it, converted to 1251.
    std::string program(std::string_view relativeUtf8) const
    {
        return program() + "\\" + platform::utf8ToAnsi(std::string(relativeUtf8));
    }

    /// Writes a file (UTF-8 relative path), creating its folders. Throws
    /// when it cannot be written, so a test never runs on missing input.
    std::filesystem::path write(std::string_view relativeUtf8, std::string_view content = "x") const
    {
        std::filesystem::path path = m_native / std::filesystem::path(std::string(relativeUtf8));
        std::filesystem::create_directories(path.parent_path());
        std::ofstream out(path, std::ios::binary);
        out.write(content.data(), static_cast<std::streamsize>(content.size()));
        if (!out)
            throw std::runtime_error("cannot write " + path.string());
        return path;
    }

private:
    std::filesystem::path m_native;
};

} // namespace testing_support
