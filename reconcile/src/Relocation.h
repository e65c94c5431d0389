#pragma once
// Moving files and folders out of the library into the move folder. Nothing
// is ever deleted or replaced here; a move that cannot be made is logged and
// the run goes on.

#include "reconcile/Run.h"

#include <string>

namespace reconcile {

/// Moves one file to MoveTo (keeping its folders below the library root
/// when SaveStructure is on), under a free name; logs a failure, and a
/// success when `logSuccess`.
void RelocateFile(const Run &run, const std::string &sourcePath, const std::string &relativePath,
                  const std::string &fileName, bool logSuccess);
/// Reports a folder found empty and moves it to MoveTo + its own name when
/// MoveTo exists and the folder is not the library root.
void RelocateFolder(const Run &run, const std::string &folderPath);
/// The target itself when no file has that name, else target + "." + the
/// smallest free k >= 1.
std::string MakeFreeName(const std::string &target);

} // namespace reconcile
