#pragma once

#include <string>
#include <vector>

namespace app {

struct CommandLine {
    std::string programDir; ///< from --dir, in 1251; empty: the program's own folder
};

/// Reads the program's arguments (UTF-8). Throws std::invalid_argument with
/// a message for the user on an unknown option or a missing value.
CommandLine parseCommandLine(const std::vector<std::string> &arguments);

} // namespace app
