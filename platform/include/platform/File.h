#pragma once
// An open file with explicit positioning, for readers and writers that keep
// their own buffers. Opening takes a program path (see FileSystem.h).

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace platform {

/// What shows that a file changed: its size and its modification time.
struct FileStamp {
    uint64_t size = 0;
    int64_t modifiedNanoseconds = 0;
    bool operator==(const FileStamp &) const = default;
};

class File {
public:
    enum class Mode {
        Read,             ///< existing file, read only
        ReadWrite,        ///< existing file
        CreateOrTruncate, ///< read and write; created, or emptied when it exists
    };

    /// Nothing when the file cannot be opened; the reason is in lastErrorText().
    static std::optional<File> open(std::string_view path, Mode mode);

    File(File &&other) noexcept;
    File &operator=(File &&other) noexcept;
    File(const File &) = delete;
    File &operator=(const File &) = delete;
    ~File();

    /// Reads up to size bytes; fewer only at the end of the file or on error.
    size_t read(void *buffer, size_t size);
    /// Writes all bytes; false when the file system refuses.
    bool write(const void *buffer, size_t size);
    bool seek(uint64_t position);
    uint64_t position() const;
    /// The current size; nothing when the file system cannot tell.
    std::optional<uint64_t> size() const;
    /// The size and modification time in one look; nothing when the file
    /// system cannot tell.
    std::optional<FileStamp> stamp() const;
    bool resize(uint64_t size);
    bool flush();
    void close();
    bool isOpen() const { return m_fd >= 0; }

private:
    explicit File(int fd) : m_fd(fd) {}
    int m_fd = -1;
};

} // namespace platform
