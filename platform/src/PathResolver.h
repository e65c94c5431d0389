#pragma once
// Finds the native file for a program path. The libraries this program
// serves come from a case-insensitive file system, so a path that does not
// exist as spelt is looked up ignoring letter case, one component at a time,
// in folder listings cached until the run forgets them or changes the folder.

#include <sys/stat.h>

#include <filesystem>
#include <string_view>

namespace platform::detail {

std::filesystem::path resolvePath(std::string_view programPath);
/// stat() of what the program path names, resolved as by resolvePath.
bool statResolved(std::string_view programPath, struct stat &info);
/// Both at once: the native path, and whether something is there (its
/// stat(), errno set when not).
bool statNative(std::string_view programPath, std::filesystem::path &native, struct stat &info);
/// A native file name as the program lists it. A name that the program's
/// paths cannot spell (characters 1251 lacks, or a backslash, which would
/// read as a separator) gets "?" in their place and counts as lossy.
std::string listedName(const std::string &native, bool &lossy);
/// The run itself changed this native folder's entries.
void folderChanged(const std::filesystem::path &nativeFolder);
/// The run created this native file or folder, or removed it; nothing else
/// in its folder changed.
void entryAdded(const std::filesystem::path &nativeEntry);
void entryRemoved(const std::filesystem::path &nativeEntry);
/// The run moved or removed this native folder with everything below it.
void folderTreeChanged(const std::filesystem::path &nativeFolder);
void forgetAllListings();

} // namespace platform::detail
