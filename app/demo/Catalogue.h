#pragma once
// The demo's catalogue database, made and read with the embedded engine
// through the program's own database components.

#include "DemoContent.h"

#include <string>
#include <string_view>
#include <vector>

namespace demo {

/// The user the demo's catalogue belongs to, and the password Dorvil.ini
/// holds for it (the embedded engine does not check it).
extern const char *const kUserName;
extern const char *const kPassword;

/// The statements of an isql script, without comments: SET TERM changes the
/// terminator and SET SQL DIALECT must name dialect 3 (both are isql's own and
/// never reach the server); COMMIT is kept as a statement. Throws
/// std::runtime_error for a statement left without terminator.
std::vector<std::string> scriptStatements(std::string_view script);

/// Creates the database file (which must not exist), runs the catalogue
/// schema and inserts the content's rows. Throws the database layer's errors.
void makeCatalogue(const std::string &file, const DemoContent &content);

struct CatalogueCounts {
    long long books = 0; ///< rows of BOOK
    long long links = 0; ///< rows of BOOK_AUTOR
};

/// Throws the database layer's errors.
CatalogueCounts countCatalogue(const std::string &file);

} // namespace demo
