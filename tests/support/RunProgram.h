#pragma once
// Runs one of the project's programs the way a user's shell would, and
// keeps what it wrote.

#include "FileContents.h"
#include "LibraryFiles.h"

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace testing_support {

struct ProgramResult {
    int status = -1;      ///< the exit status; -1 when the program did not exit
    std::string out, err; ///< standard output and error as written
};

/// Runs `program` with `arguments` (shell words, already quoted), standard
/// output and error going to files in `scratch`.
inline ProgramResult runProgram(const std::filesystem::path &program, const std::string &arguments,
                                const std::filesystem::path &scratch)
{
    const std::filesystem::path out = scratch / "stdout.txt", err = scratch / "stderr.txt";
    const std::string command = shellQuoted(program.string()) + " " + arguments + " >" +
                                shellQuoted(out.string()) + " 2>" + shellQuoted(err.string());
    ProgramResult result;
    const int raw = std::system(command.c_str());
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    result.out = readFile(out);
    result.err = readFile(err);
    return result;
}

/// A text split at line feeds; a final line feed starts no new line.
inline std::vector<std::string> linesOf(const std::string &text)
{
    std::vector<std::string> lines;
    for (size_t start = 0; start < text.size();) {
        const size_t end = text.find('\n', start);
        lines.push_back(text.substr(start, end - start));
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return lines;
}

} // namespace testing_support
