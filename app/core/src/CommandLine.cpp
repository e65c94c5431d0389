#include "app/CommandLine.h"

#include "platform/FileSystem.h"

#include <array>
#include <stdexcept>
#include <string_view>

namespace app {
namespace {

constexpr std::array kChecks{Check::Compare, Check::DuplicateFiles, Check::DuplicateLinks};

Check checkNamed(std::string_view name)
{
    for (Check check : kChecks)
        if (name == checkName(check))
            return check;
    throw std::invalid_argument("unknown check: " + std::string(name));
}

std::vector<Check> checkList(std::string_view names)
{
    std::vector<Check> checks;
    for (size_t start = 0;;) {
        const size_t comma = names.find(',', start);
        checks.push_back(checkNamed(names.substr(start, comma - start)));
        if (comma == std::string_view::npos)
            return checks;
        start = comma + 1;
    }
}

} // namespace

const char *checkName(Check check)
{
    switch (check) {
    case Check::Compare:
        return "compare";
    case Check::DuplicateFiles:
        return "duplicate-files";
    case Check::DuplicateLinks:
        return "duplicate-links";
    }
    return "";
}

CommandLine parseCommandLine(const std::vector<std::string> &arguments, Program program)
{
    CommandLine line;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string &argument = arguments[i];
        const bool console = program == Program::Console;
        auto value = [&]() -> const std::string & {
            if (i + 1 == arguments.size() || arguments[i + 1].empty())
                throw std::invalid_argument(argument + " needs a value");
            return arguments[++i];
        };
        if (argument == "--dir")
            line.programDir = platform::programPath(std::filesystem::absolute(value()));
        else if (console && argument == "--run")
            line.checks = checkList(value());
        else if (console && argument == "--report")
            line.reportFile = std::filesystem::absolute(value()).string();
        else if (console && argument == "--backup")
            line.backupDir = platform::programPath(std::filesystem::absolute(value()));
        else if (console && argument == "--undo")
            line.undoJournal = platform::programPath(std::filesystem::absolute(value()));
        else if (console && argument == "--help")
            line.help = true;
        else if (console && argument == "--version")
            line.version = true;
        else
            throw std::invalid_argument("unknown argument: " + argument);
    }
    if (program == Program::Console && !line.help && !line.version) {
        if (line.checks.empty() && line.undoJournal.empty())
            throw std::invalid_argument("--run is required");
        if (!line.checks.empty() && !line.undoJournal.empty())
            throw std::invalid_argument("--undo runs no checks: give --run or --undo");
    }
    return line;
}

std::string usage(Program program)
{
    if (program == Program::Window)
        return "usage: dorvil [--dir FOLDER]\n";
    return "usage: dorvil-cli [--dir FOLDER] [--backup FOLDER] [--report FILE]\n"
           "                  --run CHECK[,CHECK...]\n"
           "       dorvil-cli --undo JOURNAL\n"
           "       dorvil-cli --help | --version\n"
           "\n"
           "Runs the checks of the library manager folder FOLDER (default: the\n"
           "program's own folder) without a window, in the given order, as if\n"
           "their buttons had been clicked. CHECK is one of:\n"
           "  compare          database-versus-disk comparison\n"
           "  duplicate-files  records that share one file\n"
           "  duplicate-links  duplicate (book, author) links\n"
           "\n"
           "The preferences come from Dorvil.ini. Log lines go to standard output,\n"
           "messages to standard error; last.log and Dorvil.ini are written at the end.\n"
           "--backup FOLDER (or [Safety] BackupBeforeChanges=1 in Dorvil.ini, into the\n"
           "manager folder) backs the catalogue up with the engine's own backup before\n"
           "a run's first deletion or update; a failed backup stops the run unchanged.\n"
           "\n"
           "--report FILE writes, at the end, a JSON document of what each check found\n"
           "and did (the README describes its shape).\n"
           "\n"
           "Every move a check makes is written to a journal in the move folder,\n"
           "\"Dorvil-moves DATE TIME.txt\". --undo JOURNAL moves back every file and\n"
           "folder that is still as it was moved and whose place is free, never\n"
           "replacing anything, and lists the moves it could not take back.\n"
           "\n"
           "Exit status: 0 every check ran to its end, 1 start-up failed or a check\n"
           "failed or could not run (--undo: a move could not be taken back), 2 bad\n"
           "usage.\n"
           "\n"
           "An interrupt (Ctrl+C, SIGTERM) stops the comparison as the Stop button does;\n"
           "the running duplicate check goes on to its end; no further check starts;\n"
           "last.log and Dorvil.ini are still written; the exit status is then 128 plus\n"
           "the signal's number. A second interrupt ends the program at once, saving\n"
           "and committing nothing.\n";
}

} // namespace app
