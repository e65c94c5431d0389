#include "LogFile.h"

#include "platform/FileSystem.h"
#include "platform/UserInterface.h"

namespace app {

bool saveLog(const std::string &path, const std::vector<std::string> &lines)
{
    std::string content;
    for (const std::string &line : lines)
        content += line + "\r\n";
    if (platform::replaceWholeFile(path, content))
        return true;
    platform::userInterface().showError("Cannot create file \"" + path + "\". " +
                                        platform::lastErrorText());
    return false;
}

} // namespace app
