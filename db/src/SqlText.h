#pragma once
// Scans of SQL texts that need no server: the statement's kind from its
// first keyword, the parameter markers, and the count statement derived
// from a SELECT for servers that cannot count over a derived table.

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace db::sql {

/// The kind of a text by its first keyword after blanks and comments.
enum TStatementKind {
    skOther = 0,
    skSelect = 1,
    skUpdate = 2,
    skInsert = 3,
    skDelete = 4,
    skExecuteProcedure = 5,
    skDDL = 6,
    skExecuteBlock = 7,
};

TStatementKind ClassifyStatement(std::string_view text);

/// Whether the text holds nothing but blanks and control characters.
bool IsBlankText(std::string_view text);

/// Whether a ":" or "?" outside strings and comments, or the macro
/// character, occurs from the second character on.
bool HasParameterMarkers(std::string_view text);

/// A comment or a string that the text never closes.
class SqlScanError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct ParameterScan {
    std::string textToSend;         ///< every :name and ? replaced by ?
    std::vector<std::string> names; ///< one per marker, in order; empty for ?
};

/// Throws SqlScanError "EOF in comment detected" or "EOF in string detected".
ParameterScan ScanParameters(std::string_view text);

/// "Select Count(*) " with the FROM part of a SELECT and its WHERE
/// condition; empty when the text is no SELECT or has no FROM.
std::string CountRewrite(std::string_view selectText);

} // namespace db::sql
