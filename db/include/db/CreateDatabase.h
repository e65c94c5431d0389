#pragma once
// Making a new, empty database file, for tools that build a catalogue from
// scratch instead of opening one the library manager made.

#include <string>

namespace db {

/// Creates the database file `path` (a local path goes to the embedded
/// engine) with SQL dialect 3 and character set NONE, owned by `user`, and
/// detaches again. An existing file is never replaced. Throws EFbServerError
/// when the engine refuses, and what loading the client library throws.
void CreateDatabase(const std::string &path, const std::string &user, const std::string &password);

} // namespace db
