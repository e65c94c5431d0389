// Settings files are edited by hand: whatever bytes they hold, reading must
// not fail and a written value must read back as written.

#include "platform/FileSystem.h"
#include "platform/Profile.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <stdlib.h>

namespace {

std::string settingsPath()
{
    static const std::string path = [] {
        std::string folder =
            (std::filesystem::temp_directory_path() / "dorvil-fuzz-XXXXXX").string();
        if (!mkdtemp(folder.data()))
            std::abort();
        return platform::programPath(folder) + "\\settings.ini";
    }();
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::string path = settingsPath();
    if (!platform::replaceWholeFile(path, std::string(reinterpret_cast<const char *>(data), size)))
        std::abort();
    platform::ProfileFile profile(path);
    for (const char *key : {"MoveTo", "MoveFiles", "IdNotFound"}) {
        if (profile.readString("Compare", key, "").size() > 2047)
            std::abort();
        profile.readInteger("Compare", key, 0);
    }
    if (!profile.writeString("Compare", "IdNotFound", "2") ||
        profile.readInteger("Compare", "IdNotFound", 0) != 2)
        std::abort();
    return 0;
}
