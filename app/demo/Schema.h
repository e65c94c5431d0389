#pragma once
// The catalogue schema, as the tests' catalogues are made from it; the text
// is built into the program from the schema script.

namespace demo {

/// The isql script that makes the catalogue's tables, indexes, generators
/// and the procedure DELBOOK.
extern const char *const kCatalogueSchema;

} // namespace demo
