#pragma once
// An open directory stream, closed by its owner on every way out.

#include <dirent.h>

#include <filesystem>

namespace platform::detail {

class FolderStream {
public:
    /// Check isOpen(); on failure errno holds the reason.
    explicit FolderStream(const std::filesystem::path &folder)
        : m_dir(folder.empty() ? nullptr : opendir(folder.c_str()))
    {
    }
    ~FolderStream()
    {
        if (m_dir)
            closedir(m_dir);
    }
    FolderStream(const FolderStream &) = delete;
    FolderStream &operator=(const FolderStream &) = delete;

    bool isOpen() const { return m_dir != nullptr; }
    /// The next entry, or null at the end (or on a read error).
    dirent *next() { return readdir(m_dir); }
    /// The descriptor for the *at() calls on the stream's entries.
    int descriptor() const { return dirfd(m_dir); }

private:
    DIR *m_dir;
};

} // namespace platform::detail
