#include "platform/FileSystem.h"

#include "Descriptors.h"
#include "FolderStream.h"
#include "LastError.h"
#include "PathResolver.h"
#include "platform/Text.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <string>

namespace platform {

namespace detail {

bool writeAll(int fd, const char *data, size_t size)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        data += written;
        size -= size_t(written);
    }
    return true;
}

ssize_t readSome(int fd, char *buffer, size_t size)
{
    for (;;) {
        const ssize_t got = ::read(fd, buffer, size);
        if (got >= 0 || errno != EINTR)
            return got;
    }
}

bool writable(const struct stat &info)
{
    return (info.st_mode & S_IWUSR) != 0;
}

} // namespace detail

namespace {

namespace fs = std::filesystem;
using detail::failWith;
using detail::failWithErrno;
using detail::readSome;
using detail::writable;
using detail::writeAll;

fs::path parentOf(const fs::path &path)
{
    fs::path parent = path.parent_path();
    return parent.empty() && path.is_absolute() ? fs::path("/") : parent;
}

bool statPath(const fs::path &path, struct stat &info)
{
    return !path.empty() && stat(path.c_str(), &info) == 0;
}

class Descriptor {
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    ~Descriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }
    /// Closes now and reports whether the last writes were accepted.
    bool close()
    {
        int fd = m_fd;
        m_fd = -1;
        return ::close(fd) == 0;
    }

private:
    int m_fd;
};

bool syncFolder(const fs::path &folder)
{
    Descriptor dir(
        ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return dir.valid() && fsync(dir.get()) == 0;
}

bool renameNoReplace(const fs::path &from, const fs::path &to)
{
    return syscall(SYS_renameat2, AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) ==
           0;
}

bool copyContents(int source, int target)
{
    char buffer[1 << 16];
    for (;;) {
        const ssize_t got = readSome(source, buffer, sizeof buffer);
        if (got < 0)
            return false;
        if (got == 0)
            return true;
        if (!writeAll(target, buffer, size_t(got)))
            return false;
    }
}

// The move between file systems. The copy is written under a name of its
// own beside the target and takes the target's name only once it is whole
// and flushed, by a rename that replaces nothing; only then does the source
// go. A copy cut short (a full disk, the program killed) thus never leaves a
// partial file under the target's name, and the source is whole throughout.
bool copyThenRemove(const fs::path &from, const fs::path &to)
{
    Descriptor source(::open(from.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat info;
    if (!source.valid() || fstat(source.get(), &info) != 0)
        return failWithErrno();
    std::string partial = to.native() + std::string(kPartialCopyMarker) + "XXXXXX";
    Descriptor target(mkostemp(partial.data(), O_CLOEXEC));
    if (!target.valid())
        return failWithErrno();
    const timespec times[2] = {info.st_atim, info.st_mtim};
    bool copied = fchmod(target.get(), info.st_mode & 07777) == 0 &&
                  copyContents(source.get(), target.get()) && futimens(target.get(), times) == 0 &&
                  fsync(target.get()) == 0;
    copied = target.close() && copied;
    if (!copied) {
        int reason = errno;
        unlink(partial.c_str());
        return failWith(reason);
    }
    bool named = renameNoReplace(partial, to);
    if (!named && errno == EINVAL) // no no-replace renames: a link claims the name as safely
        named = link(partial.c_str(), to.c_str()) == 0 && unlink(partial.c_str()) == 0;
    if (!named) {
        int reason = errno;
        unlink(partial.c_str());
        return failWith(reason);
    }
    if (syncFolder(parentOf(to)) && unlink(from.c_str()) == 0)
        return true;
    // The source could not go: taking the copy back leaves the one file.
    int reason = errno;
    unlink(to.c_str());
    return failWith(reason);
}

uint16_t dosDate(const tm &t)
{
    return uint16_t(((t.tm_year - 80) << 9) | ((t.tm_mon + 1) << 5) | t.tm_mday);
}
uint16_t dosTime(const tm &t)
{
    return uint16_t((t.tm_hour << 11) | (t.tm_min << 5) | (t.tm_sec / 2));
}

} // namespace

fs::path nativePath(std::string_view path)
{
    return detail::resolvePath(path);
}

std::string programPath(const fs::path &native)
{
    std::string ansi = utf8ToAnsi(native.native());
    std::replace(ansi.begin(), ansi.end(), '/', '\\');
    return ansi;
}

bool isPartialCopyName(std::string_view name)
{
    return name.find(kPartialCopyMarker) != std::string_view::npos;
}

std::string withTrailingBackslash(std::string folder)
{
    if (folder.empty() || folder.back() != '\\')
        folder += '\\';
    return folder;
}

void forgetFolderListings()
{
    detail::forgetAllListings();
}

bool fileExists(std::string_view path)
{
    struct stat info;
    return detail::statResolved(path, info) && !S_ISDIR(info.st_mode);
}

bool folderExists(std::string_view path)
{
    struct stat info;
    return detail::statResolved(path, info) && S_ISDIR(info.st_mode);
}

std::optional<FolderIdentity> folderIdentity(std::string_view path)
{
    struct stat info;
    if (!detail::statResolved(path, info) || !S_ISDIR(info.st_mode))
        return std::nullopt;
    return FolderIdentity{static_cast<uint64_t>(info.st_dev), static_cast<uint64_t>(info.st_ino)};
}

bool createFolders(std::string_view path)
{
    fs::path native = nativePath(path);
    if (native.empty())
        return failWith(ENOENT);
    std::error_code error;
    fs::create_directories(native, error);
    for (fs::path folder = native; !folder.empty() && folder != folder.root_path();
         folder = folder.parent_path())
        detail::folderChanged(parentOf(folder));
    if (fs::is_directory(native))
        return true;
    return failWith(error ? error.value() : ENOTDIR);
}

std::vector<FolderEntry> listFolder(std::string_view folder)
{
    std::vector<FolderEntry> entries;
    fs::path native = nativePath(folder);
    detail::FolderStream dir(native);
    if (!dir.isOpen()) {
        failWithErrno();
        return entries;
    }
    const int folderFd = dir.descriptor();
    while (dirent *item = dir.next()) {
        std::string name = item->d_name;
        if (name == "." || name == "..")
            continue;
        bool lossy = false;
        FolderEntry entry{detail::listedName(name, lossy), EntryKind::Other, false, false};
        struct stat info;
        // The entry's type comes with the listing on most file systems, which
        // saves a second stat per entry.
        entry.symlink = item->d_type == DT_UNKNOWN
                            ? fstatat(folderFd, item->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0 &&
                                  S_ISLNK(info.st_mode)
                            : item->d_type == DT_LNK;
        if (fstatat(folderFd, item->d_name, &info, 0) == 0) {
            entry.kind = S_ISDIR(info.st_mode)   ? EntryKind::Folder
                         : S_ISREG(info.st_mode) ? EntryKind::File
                                                 : EntryKind::Other;
            entry.readOnly = !writable(info);
        }
        entries.push_back(std::move(entry));
    }
    // A stable order by name, whatever order the file system keeps.
    std::stable_sort(entries.begin(), entries.end(), [](const auto &a, const auto &b) {
        return compareTextInsensitive(a.name, b.name) < 0;
    });
    return entries;
}

bool deleteFile(std::string_view path)
{
    fs::path native;
    struct stat info;
    if (!detail::statNative(path, native, info))
        return failWithErrno();
    if (S_ISDIR(info.st_mode))
        return failWith(EISDIR);
    if (!writable(info))
        return failWith(EACCES);
    if (unlink(native.c_str()) != 0)
        return failWithErrno();
    detail::entryRemoved(native);
    return true;
}

bool deleteEmptyFolder(std::string_view path)
{
    fs::path native = nativePath(path);
    while (native.has_relative_path() && native.filename().empty())
        native = native.parent_path();
    if (native.empty() || rmdir(native.c_str()) != 0)
        return failWithErrno();
    detail::folderTreeChanged(native);
    detail::entryRemoved(native);
    return true;
}

std::optional<std::string> readWholeFile(std::string_view path)
{
    fs::path native = nativePath(path);
    Descriptor file(native.empty() ? -1 : ::open(native.c_str(), O_RDONLY | O_CLOEXEC));
    if (!file.valid()) {
        failWithErrno();
        return std::nullopt;
    }
    std::string content;
    char buffer[1 << 16];
    for (;;) {
        const ssize_t got = readSome(file.get(), buffer, sizeof buffer);
        if (got < 0) {
            failWithErrno();
            return std::nullopt;
        }
        if (got == 0)
            return content;
        content.append(buffer, size_t(got));
    }
}

bool replaceWholeFile(std::string_view path, std::string_view content)
{
    fs::path native;
    struct stat old;
    bool existed = detail::statNative(path, native, old);
    if (native.empty())
        return failWith(ENOENT);
    if (existed && (S_ISDIR(old.st_mode) || !writable(old)))
        return failWith(S_ISDIR(old.st_mode) ? EISDIR : EACCES);
    std::string temp = native.native() + ".XXXXXX";
    Descriptor file(mkostemp(temp.data(), O_CLOEXEC));
    if (!file.valid())
        return failWithErrno();
    mode_t mode = existed ? old.st_mode & 07777 : 0666 & ~[] {
        mode_t mask = umask(0);
        umask(mask);
        return mask;
    }();
    bool written = writeAll(file.get(), content.data(), content.size()) &&
                   fchmod(file.get(), mode) == 0 && fsync(file.get()) == 0;
    written = file.close() && written;
    if (!written || rename(temp.c_str(), native.c_str()) != 0) {
        int reason = errno;
        unlink(temp.c_str());
        return failWith(reason);
    }
    detail::folderChanged(parentOf(native));
    syncFolder(parentOf(native));
    return true;
}

namespace {

// Resolves both ends of a move; false when the source is missing or not of
// the kind the move takes.
bool resolveMove(std::string_view from, std::string_view to, bool folder, fs::path &source,
                 fs::path &target)
{
    source = nativePath(from);
    target = nativePath(to);
    struct stat info;
    if (!statPath(source, info))
        return failWithErrno();
    if (bool(S_ISDIR(info.st_mode)) != folder)
        return failWith(folder ? ENOTDIR : EISDIR);
    if (target.empty())
        return failWith(ENOENT);
    return true;
}

} // namespace

bool moveFile(std::string_view from, std::string_view to)
{
    fs::path source, target;
    if (!resolveMove(from, to, false, source, target))
        return false;
    bool moved = renameNoReplace(source, target);
    if (!moved && errno == EINVAL) {
        // File systems without no-replace renames: a hard link fails on an
        // existing name just as atomically.
        moved = link(source.c_str(), target.c_str()) == 0;
        if (moved && unlink(source.c_str()) != 0) {
            int reason = errno;
            unlink(target.c_str());
            return failWith(reason);
        }
    }
    if (!moved && errno == EXDEV)
        moved = copyThenRemove(source, target);
    else if (!moved)
        failWithErrno();
    detail::folderChanged(parentOf(source));
    detail::folderChanged(parentOf(target));
    return moved;
}

bool moveFolder(std::string_view from, std::string_view to)
{
    fs::path source, target;
    if (!resolveMove(from, to, true, source, target))
        return false;
    bool moved = renameNoReplace(source, target);
    if (!moved && errno == EINVAL && mkdir(target.c_str(), 0700) == 0) {
        // Without no-replace renames, claim the name first: rename may then
        // replace only the empty folder made here.
        moved = rename(source.c_str(), target.c_str()) == 0;
        if (!moved) {
            int reason = errno;
            rmdir(target.c_str());
            errno = reason;
        }
    }
    if (!moved)
        return failWithErrno();
    detail::folderTreeChanged(source);
    detail::folderChanged(parentOf(source));
    detail::folderChanged(parentOf(target));
    return true;
}

std::optional<DosDateTime> fileDosTime(std::string_view path)
{
    struct stat info;
    fs::path native;
    if (!detail::statNative(path, native, info)) {
        failWithErrno();
        return std::nullopt;
    }
    tm local{};
    if (!localtime_r(&info.st_mtim.tv_sec, &local) || local.tm_year < 80 || local.tm_year > 207) {
        failWith(EOVERFLOW);
        return std::nullopt;
    }
    return DosDateTime{dosDate(local), dosTime(local)};
}

bool setFileDosTime(std::string_view path, DosDateTime when)
{
    tm local{};
    local.tm_year = 80 + (when.date >> 9);
    local.tm_mon = ((when.date >> 5) & 0x0F) - 1;
    local.tm_mday = when.date & 0x1F;
    local.tm_hour = when.time >> 11;
    local.tm_min = (when.time >> 5) & 0x3F;
    local.tm_sec = (when.time & 0x1F) * 2;
    local.tm_isdst = -1;
    time_t seconds = mktime(&local);
    if (seconds == time_t(-1))
        return failWith(EINVAL);
    const timespec times[2] = {{0, UTIME_OMIT}, {seconds, 0}};
    fs::path native = nativePath(path);
    if (native.empty() || utimensat(AT_FDCWD, native.c_str(), times, 0) != 0)
        return failWithErrno();
    return true;
}

bool setReadOnly(std::string_view path, bool readOnly)
{
    fs::path native;
    struct stat info;
    if (!detail::statNative(path, native, info))
        return failWithErrno();
    mode_t mode =
        readOnly ? info.st_mode & ~mode_t(S_IWUSR | S_IWGRP | S_IWOTH) : info.st_mode | S_IWUSR;
    if (chmod(native.c_str(), mode & 07777) != 0)
        return failWithErrno();
    return true;
}

bool isReadOnly(std::string_view path)
{
    struct stat info;
    return detail::statResolved(path, info) && !writable(info);
}

std::string systemTempFolder()
{
    const char *configured = std::getenv("TMPDIR");
    return withTrailingBackslash(programPath(configured && *configured ? configured : "/tmp"));
}

std::string programFileFolder()
{
    std::error_code error;
    fs::path self = fs::read_symlink("/proc/self/exe", error);
    return withTrailingBackslash(programPath(error ? fs::current_path() : self.parent_path()));
}

} // namespace platform
