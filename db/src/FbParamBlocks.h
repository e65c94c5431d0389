#pragma once
// Parameter buffers built from name=value lines: the database parameter
// buffer of an attach and the transaction parameter buffer of a start.

#include <string>
#include <string_view>
#include <vector>

namespace db {

/// The DPB for the lines; trims each line in place. Throws EFbClientError 9
/// for an unknown name, 8 for a known one that cannot be sent, and a
/// free-text client error for a value that is no integer or a text longer
/// than 255 bytes (the message never quotes a text value).
std::string BuildDPB(std::vector<std::string> &params);

/// The TPB for the lines; trims each line in place. Throws EFbClientError 11
/// for an unknown name and 10 for one that cannot be sent.
std::string BuildTPB(std::vector<std::string> &params);

/// Index of the first line that holds the name (ignoring case) first at its
/// start or after an eight-character prefix; -1 when none does.
int FindParamLine(const std::vector<std::string> &lines, std::string_view name);

/// The text after a line's first "=", empty without one.
std::string ParamValue(std::string_view line);

} // namespace db
