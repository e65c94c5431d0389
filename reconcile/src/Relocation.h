#pragma once
// Moving files and folders out of the library into the move folder. Nothing
// is ever deleted or replaced here; a move that cannot be made is logged and
// the run goes on.

#include "reconcile/Run.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace reconcile {

/// Moves one file to MoveTo (keeping its folders below the library root
/// when SaveStructure is on), under a free name; logs a failure, and a
/// success when `logSuccess`. The target is MoveTo and the relative path
/// (or the name) joined by exactly one backslash. Refuses, logging the
/// failure, when MoveTo is empty, no existing folder, or the library root
/// itself, and when the relative path or the name would lead out of MoveTo
/// (a ".." component, a name holding a separator). True when moved.
bool RelocateFile(const Run &run, const std::string &sourcePath, const std::string &relativePath,
                  const std::string &fileName, bool logSuccess);
/// Reports a folder found empty and moves it to MoveTo + its own name when
/// `mayMove`, MoveTo exists and the folder is not the library root.
void RelocateFolder(const Run &run, const std::string &folderPath, bool mayMove = true);
/// The target itself when no file has that name, else target + "." + the
/// smallest free k >= 1.
std::string MakeFreeName(const std::string &target);

/// The files in a folder and all folders below it (links not followed).
uint64_t FilesInside(const std::string &folder);

/// Everything up to and including the last separator (backslash or slash);
/// empty when there is none.
std::string_view FolderPart(std::string_view path);
/// Everything after the last separator.
std::string_view NamePart(std::string_view path);
/// The path without the separators it ends in (a root keeps its own).
std::string_view WithoutEndSeparators(std::string_view path);

} // namespace reconcile
