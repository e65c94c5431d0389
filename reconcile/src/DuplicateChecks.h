#pragma once
// What the two duplicate checks share: the grouping query in the scratch
// dataset, and modifications whose failure is reported, not raised.

#include "reconcile/Run.h"

#include <string>

namespace reconcile {

/// Closes tblDoubleBook if open, makes sure the transaction runs, replaces
/// its SELECT by `selectText`, opens it and moves to the first row. Throws
/// the database layer's errors.
void OpenGroupingQuery(const Run &run, const std::string &selectText);

/// Clears ErrorText and executes one statement through DbQuery1. A failure
/// is caught: its message goes to ErrorText and the result is false. Before
/// the run's first one, when BackupFolder is set, backs the catalogue up and
/// logs the backup's path; a failed backup throws std::runtime_error.
bool ExecuteModification(const Run &run, const std::string &statement, std::string &ErrorText);

} // namespace reconcile
