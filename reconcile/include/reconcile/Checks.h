#pragma once
// The three checks. Each is the work of one button (or one --run name) and
// runs inside the run frame the program puts around it; an error it does not
// catch itself ends the run and reaches the frame.

#include "reconcile/Run.h"

namespace reconcile {

/// Database-versus-disk comparison: records whose file is missing, files no
/// record names, empty folders; moves surplus files and empty folders.
void CompareDatabaseWithDisk(Run &run);
/// Records that share one file: keeps those carrying the file's own
/// identifier, deletes or mends the others as the preferences allow.
void SearchDuplicateFiles(Run &run);
/// (book, author) links stored more than once: keeps the lowest ID.
void SearchDuplicateLinks(Run &run);

} // namespace reconcile
