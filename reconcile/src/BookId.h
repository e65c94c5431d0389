#pragma once
// The identifier a book file carries: the content of the first id element of
// the first FB2 document in the book's ZIP archive.

#include "reconcile/Run.h"

#include <string>

namespace reconcile {

/// Reads the identifier of the archive MountPoint + fileName into FileId and
/// returns true; otherwise returns false with the reason in FileId. Faults of
/// the archive and of the document never escape; the document extracted into
/// TempDir is removed again before it returns.
bool ExtractBookId(const Run &run, const std::string &fileName, std::string &FileId);

} // namespace reconcile
