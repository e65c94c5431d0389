#pragma once
// The file system as the rest of the program sees it: paths are code page
// 1251 text with backslashes, as the settings and the database hold them.
// Functions that can fail return false (or nothing) and leave the reason in
// lastErrorText(), the way the system calls they stand in for do.

#include <compare>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

/// Maps a program path to the native file system: backslashes become
/// slashes, 1251 text becomes UTF-8. A path that does not exist with its
/// exact letter case is looked up case-insensitively, component by
/// component (an exact match always wins). A component that names only
/// entries whose native names cannot be written in 1251 resolves to nothing
/// that exists, so such a file is never reached through a wrong name.
std::filesystem::path nativePath(std::string_view path);
/// Maps a native path back: slashes become backslashes, UTF-8 becomes 1251
/// (characters that 1251 lacks become "?").
std::string programPath(const std::filesystem::path &native);
/// The folder path ending in one backslash (an empty path becomes "\\").
std::string withTrailingBackslash(std::string folder);

/// Drops every cached folder listing; call at the start of a run so that the
/// case-insensitive lookups see changes that other programs made meanwhile.
void forgetFolderListings();

enum class EntryKind { File, Folder, Other };

struct FolderEntry {
    std::string name;                  ///< in 1251; unrepresentable characters as "?"
    EntryKind kind = EntryKind::Other; ///< of the entry a symbolic link points to
    bool readOnly = false;
    bool symlink = false;
};

bool fileExists(std::string_view path); ///< a folder does not count
bool folderExists(std::string_view path);

/// What tells a folder apart whatever name it is reached by (links followed):
/// the device and the index of its node.
struct FolderIdentity {
    uint64_t device = 0;
    uint64_t node = 0;
    auto operator<=>(const FolderIdentity &) const = default;
};
/// Nothing when the path names no existing folder.
std::optional<FolderIdentity> folderIdentity(std::string_view path);
/// Creates the folder and any missing parents; true when it exists afterwards.
bool createFolders(std::string_view path);
/// Every entry but "." and "..", hidden ones included; empty when the folder
/// cannot be read.
std::vector<FolderEntry> listFolder(std::string_view folder);
bool deleteFile(std::string_view path);
/// Removes a folder that holds nothing; false for any other.
bool deleteEmptyFolder(std::string_view path);

std::optional<std::string> readWholeFile(std::string_view path);
/// Writes beside the file, flushes it to disk and renames it over the old
/// one, so that a crash leaves either the old or the new content.
bool replaceWholeFile(std::string_view path, std::string_view content);

/// Moves a file, never replacing an existing target; across file systems
/// it copies under a name marked as a partial copy, flushes, renames the
/// copy into place and then removes the source. On failure the source stays
/// and no file under the target's name remains; a copy cut short by the
/// program's end may leave a file whose name isPartialCopyName recognises.
bool moveFile(std::string_view from, std::string_view to);
/// What the name of an unfinished copy of moveFile holds.
inline constexpr std::string_view kPartialCopyMarker = ".dorvil-partial-";
/// Whether a file name is that of an unfinished copy: not a library file.
bool isPartialCopyName(std::string_view name);
/// Moves a folder with everything in it, never replacing an existing target;
/// within one file system only.
bool moveFolder(std::string_view from, std::string_view to);

/// A file's last-write time as a DOS date and time of the local time zone.
struct DosDateTime {
    uint16_t date = 0;
    uint16_t time = 0;
    bool operator==(const DosDateTime &) const = default;
};
std::optional<DosDateTime> fileDosTime(std::string_view path);
bool setFileDosTime(std::string_view path, DosDateTime when);
/// The Windows read-only attribute, as the absence of write permission.
bool setReadOnly(std::string_view path, bool readOnly);
bool isReadOnly(std::string_view path);

/// $TMPDIR, else /tmp, as a program path ending in a backslash.
std::string systemTempFolder();
/// The folder of the running program's own file, ending in a backslash.
std::string programFileFolder();

/// The reason for the last failure of a function of this header on this
/// thread, in 1251.
std::string lastErrorText();

} // namespace platform
