#include "platform/File.h"

#include "Descriptors.h"
#include "LastError.h"
#include "PathResolver.h"
#include "platform/FileSystem.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace platform {

std::optional<File> File::open(std::string_view path, Mode mode)
{
    std::filesystem::path native;
    struct stat info;
    bool existed = detail::statNative(path, native, info);
    if (native.empty()) {
        detail::failWith(ENOENT);
        return std::nullopt;
    }
    // Writing to a file with the read-only attribute is refused even for root.
    if (mode != Mode::Read && existed && !detail::writable(info)) {
        detail::failWith(EACCES);
        return std::nullopt;
    }
    int flags = O_CLOEXEC;
    switch (mode) {
    case Mode::Read:
        flags |= O_RDONLY;
        break;
    case Mode::ReadWrite:
        flags |= O_RDWR;
        break;
    case Mode::CreateOrTruncate:
        flags |= O_RDWR | O_CREAT | O_TRUNC;
        break;
    }
    int fd = ::open(native.c_str(), flags, 0666);
    if (fd < 0) {
        detail::failWithErrno();
        return std::nullopt;
    }
    if (!existed)
        detail::entryAdded(native);
    return File(fd);
}

File::File(File &&other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}

File &File::operator=(File &&other) noexcept
{
    if (this != &other) {
        close();
        m_fd = std::exchange(other.m_fd, -1);
    }
    return *this;
}

File::~File()
{
    close();
}

size_t File::read(void *buffer, size_t size)
{
    size_t total = 0;
    while (total < size) {
        const ssize_t got =
            detail::readSome(m_fd, static_cast<char *>(buffer) + total, size - total);
        if (got <= 0) {
            if (got < 0)
                detail::failWithErrno();
            break;
        }
        total += size_t(got);
    }
    return total;
}

bool File::write(const void *buffer, size_t size)
{
    return detail::writeAll(m_fd, static_cast<const char *>(buffer), size) ||
           detail::failWithErrno();
}

bool File::seek(uint64_t position)
{
    if (lseek(m_fd, off_t(position), SEEK_SET) < 0)
        return detail::failWithErrno();
    return true;
}

uint64_t File::position() const
{
    off_t at = lseek(m_fd, 0, SEEK_CUR);
    return at < 0 ? 0 : uint64_t(at);
}

std::optional<uint64_t> File::size() const
{
    struct stat info;
    if (fstat(m_fd, &info) != 0) {
        detail::failWithErrno();
        return std::nullopt;
    }
    return uint64_t(info.st_size);
}

std::optional<FileStamp> File::stamp() const
{
    struct stat info;
    if (fstat(m_fd, &info) != 0) {
        detail::failWithErrno();
        return std::nullopt;
    }
    return FileStamp{uint64_t(info.st_size),
                     int64_t(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec};
}

bool File::resize(uint64_t size)
{
    if (ftruncate(m_fd, off_t(size)) != 0)
        return detail::failWithErrno();
    return true;
}

bool File::flush()
{
    if (fsync(m_fd) != 0)
        return detail::failWithErrno();
    return true;
}

void File::close()
{
    if (m_fd >= 0)
        ::close(std::exchange(m_fd, -1));
}

} // namespace platform
