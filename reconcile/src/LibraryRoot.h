#pragma once
// Path safety for the checks. Program paths come from settings and database
// text, so before a check examines or moves anything it makes sure the
// library root is a real library folder, that a path built from database
// text stays below the folder it is joined to, and it compares folders by
// where they really are (letter case and links resolved), not as text.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace reconcile {

/// The real location of a library root that may be walked. Throws
/// std::runtime_error "Папка библиотеки не найдена: " + mountPoint when
/// mountPoint is empty or "\" (an empty setting) or names no existing folder,
/// and "Корень диска не может быть папкой библиотеки: " + mountPoint when it
/// resolves to the root of the file system.
std::filesystem::path CheckLibraryRoot(const std::string &mountPoint);

/// Whether a relative path from database text stays below the folder it is
/// joined to: false when one of its components (between backslashes or
/// slashes, the separators the platform maps) is "..".
bool StaysInside(std::string_view relativePath);

/// Where a program folder path really is: letter case resolved, links
/// followed. Nothing when it names no existing folder.
std::optional<std::filesystem::path> RealFolder(std::string_view folder);

/// Whether the real path `inner` is `outer` itself or lies below it.
bool IsAtOrBelow(const std::filesystem::path &inner, const std::filesystem::path &outer);

/// folder + relative with exactly one backslash between them, whether or not
/// the folder ends in one or the relative path begins with one; the relative
/// path alone when the folder is empty.
std::string JoinPath(std::string_view folder, std::string_view relative);

} // namespace reconcile
