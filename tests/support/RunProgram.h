#pragma once
// Runs one of the project's programs the way a user's shell would, and
// keeps what it wrote.

#include "FileContents.h"
#include "LibraryFiles.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

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

/// Runs `program` with `arguments` and reads its standard output while it
/// runs: after each read, `watch` gets all of it so far and the program's
/// process id, to act on the program at a point of its output. Standard
/// error goes to a file in `scratch`. `beforeStart` runs in the child
/// process just before the program starts.
inline ProgramResult
runProgramWatched(const std::filesystem::path &program, const std::vector<std::string> &arguments,
                  const std::filesystem::path &scratch,
                  const std::function<void(const std::string &out, pid_t program)> &watch,
                  void (*beforeStart)() = nullptr)
{
    const std::filesystem::path err = scratch / "stderr.txt";
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0)
        return {};
    const pid_t child = fork();
    if (child == 0) {
        dup2(pipeEnds[1], STDOUT_FILENO);
        close(pipeEnds[0]);
        close(pipeEnds[1]);
        if (!freopen(err.c_str(), "w", stderr))
            _exit(127);
        std::vector<char *> argv{const_cast<char *>(program.c_str())};
        for (const std::string &argument : arguments)
            argv.push_back(const_cast<char *>(argument.c_str()));
        argv.push_back(nullptr);
        if (beforeStart)
            beforeStart();
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    close(pipeEnds[1]);
    ProgramResult result;
    char buffer[4096];
    for (ssize_t got; (got = read(pipeEnds[0], buffer, sizeof buffer)) > 0;) {
        result.out.append(buffer, static_cast<size_t>(got));
        watch(result.out, child);
    }
    close(pipeEnds[0]);
    int raw = 0;
    waitpid(child, &raw, 0);
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
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
