#include "app/CommandLine.h"

#include "platform/FileSystem.h"

#include <stdexcept>

namespace app {

CommandLine parseCommandLine(const std::vector<std::string> &arguments)
{
    CommandLine line;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string &argument = arguments[i];
        if (argument == "--dir") {
            if (i + 1 == arguments.size() || arguments[i + 1].empty())
                throw std::invalid_argument("--dir needs a folder");
            line.programDir = platform::programPath(std::filesystem::absolute(arguments[++i]));
        } else {
            throw std::invalid_argument("unknown argument: " + argument);
        }
    }
    return line;
}

} // namespace app
