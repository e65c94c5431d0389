#pragma once
// A copy of a catalogue made by the database engine's own backup, through
// the services interface of the client library: the standard restore tool
// turns it back into a database holding the rows as they were.

#include <string>

namespace db {

/// Backs `database` (a local path goes to the embedded engine, "host:path"
/// to that server's service manager) up into `backupFile`, which must not
/// exist yet. Throws std::runtime_error when the file exists or the backup
/// did not complete, EFbServerError when the engine refuses, and what
/// loading the client library throws.
void BackupDatabase(const std::string &database, const std::string &backupFile,
                    const std::string &user, const std::string &password);

} // namespace db
