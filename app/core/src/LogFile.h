#pragma once

#include <string>
#include <vector>

namespace app {

/// Writes the log as 1251 text, every line followed by CR LF, replacing the
/// file. False, after an error box with the path and the system's reason,
/// when it cannot be written.
bool saveLog(const std::string &path, const std::vector<std::string> &lines);

} // namespace app
