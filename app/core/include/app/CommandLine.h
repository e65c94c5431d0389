#pragma once

#include <string>
#include <vector>

namespace app {

/// The checks as dorvil-cli names them.
enum class Check { Compare, DuplicateFiles, DuplicateLinks };
const char *checkName(Check check);

enum class Program { Window, Console };

struct CommandLine {
    std::string programDir;    ///< from --dir, in 1251; empty: the program's own folder
    std::vector<Check> checks; ///< from --run, in the given order
    std::string undoJournal;   ///< from --undo, in 1251: take a run's moves back instead
    std::string backupDir;     ///< from --backup, in 1251: back the catalogue up before changes
    std::string reportFile;    ///< from --report, a native path: the run's JSON report
    bool help = false;
    bool version = false;
};

/// Reads the program's arguments (UTF-8). Throws std::invalid_argument with
/// a message for the user on an unknown option or check, a missing value, or
/// (for dorvil-cli) neither or both of --run and --undo.
CommandLine parseCommandLine(const std::vector<std::string> &arguments,
                             Program program = Program::Window);

/// The usage text of the program.
std::string usage(Program program);

} // namespace app
