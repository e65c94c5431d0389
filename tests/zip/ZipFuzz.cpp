// Arbitrary bytes as an archive: the directory is read and every entry is
// extracted into a temporary folder. Besides the sanitizers' checks, the
// target stops when anything appears outside the destination folder.

#include "platform/FileSystem.h"
#include "platform/UserInterface.h"
#include "zip/ZipReader.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

class SilentUserInterface : public platform::UserInterface {
public:
    int messageBox(std::string_view, std::string_view, unsigned) override
    {
        return platform::mb::IdOk;
    }
    void showMessage(std::string_view) override {}
    void showError(std::string_view) override {}
    std::optional<std::string> chooseFolder(std::string_view, std::string_view) override
    {
        return std::nullopt;
    }
    void processEvents() override {}
    void setBusyCursor(bool) override {}
    void requestQuit() override {}
};

const fs::path &workFolder()
{
    static const fs::path folder = [] {
        fs::path path = fs::temp_directory_path() / ("dorvil-zip-fuzz-" + std::to_string(getpid()));
        fs::create_directories(path);
        return path;
    }();
    return folder;
}

// Stops unless folder holds nothing but the allowed names.
void checkOnly(const fs::path &folder, std::initializer_list<const char *> allowed)
{
    if (!fs::exists(folder))
        return;
    for (const auto &entry : fs::directory_iterator(folder))
        if (std::find(allowed.begin(), allowed.end(), entry.path().filename().string()) ==
            allowed.end())
            std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static SilentUserInterface ui;
    static platform::ScopedUserInterface scopedUi(ui);
    const fs::path &root = workFolder();
    fs::remove_all(root / "out");
    {
        std::ofstream archive(root / "fuzz.zip", std::ios::binary | std::ios::trunc);
        archive.write(reinterpret_cast<const char *>(data), std::streamsize(size));
    }
    std::string rootProgramPath = platform::programPath(root);
    for (bool recreateDirs : {false, true}) {
        zip::TZipReader reader;
        reader.SetIncompleteZipMode(zip::TIncompleteZipMode::izAssumeBad);
        reader.SetOverwriteMode(zip::TOverwriteMode::Always);
        reader.SetRecreateDirs(recreateDirs);
        reader.SetDestDir(rootProgramPath + "\\out\\dest");
        try {
            reader.SetZipName(rootProgramPath + "\\fuzz.zip");
            reader.ReadDirectory();
            for (int i = 0; i < reader.EntryCount(); ++i)
                reader.SetEntrySelected(i, true);
            reader.ExtractSelected();
        } catch (const std::exception &) {
            // Damaged archives raise; only crashes and escapes are faults.
        }
        checkOnly(root, {"fuzz.zip", "out"});
        checkOnly(root / "out", {"dest"});
    }
    return 0;
}
