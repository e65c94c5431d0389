#include "app/TForm1.h"

#include "platform/FileSystem.h"
#include "platform/Profile.h"
#include "platform/UserInterface.h"

#include <algorithm>

namespace app {
namespace {

// Texts in code page 1251.
const std::string kCannotFind =
    "\xCD\xE5 \xEC\xEE\xE3\xF3 \xED\xE0\xE9\xF2\xE8 "; // "Не могу найти "

const char *const kManagerSettings = "bokvarddb.ini";
const char *const kOwnSettings = "Dorvil.ini";
const char *const kCommon = "Common";
const char *const kCompare = "Compare";

} // namespace

TForm1::TForm1(std::string programDir) : m_programDirOverride(std::move(programDir)) {}

bool TForm1::StartUp()
{
    SettingsMissing = false;
    ProgramDir = platform::withTrailingBackslash(
        m_programDirOverride.empty() ? platform::programFileFolder() : m_programDirOverride);
    if (!platform::fileExists(ProgramDir + kManagerSettings)) {
        SettingsMissing = true;
        platform::userInterface().showMessage(kCannotFind + ProgramDir + kManagerSettings);
        platform::userInterface().requestQuit();
        return false;
    }
    TempDir = platform::systemTempFolder() + "Dorvil\\";
    // A folder that cannot be made is not reported here: the identifier
    // extraction that needs it reports its own reason.
    platform::createFolders(TempDir);
    ScratchList.emplace();
    PairList.emplace();
    readManagerSettings();
    readOwnSettings();
    return true;
}

void TForm1::readManagerSettings()
{
    platform::ProfileFile settings(ProgramDir + kManagerSettings);
    DataBaseFile = settings.readString(kCommon, "DataBaseFile", "");
    MountPoint = platform::withTrailingBackslash(settings.readString(kCommon, "MountPoint", ""));
    WorkMode = settings.readInteger(kCommon, "WorkMode", 0);
}

void TForm1::readOwnSettings()
{
    platform::ProfileFile settings(ProgramDir + kOwnSettings);
    MoveTo = settings.readString(kCompare, "MoveTo", "");
    MoveFiles = settings.readBool(kCompare, "MoveFiles", true);
    MoveEmptyDir = settings.readBool(kCompare, "MoveEmptyDir", true);
    SaveStructure = settings.readBool(kCompare, "SaveStructure", true);
    DelDoubleRec = settings.readBool(kCompare, "DelDoubleRec", false);
    IdNotFound = std::clamp(settings.readInteger(kCompare, "IdNotFound", 0), -1, 2);
    MoveNotFound = settings.readBool(kCompare, "MoveNotFound", false);
    UserName = settings.readString(kCompare, "UserName", "sysdba");
    Password = settings.readString(kCompare, "Password", "plumbrick");
}

bool TForm1::ShutDown()
{
    if (!SettingsMissing && !writeOwnSettings()) {
        platform::userInterface().showError("Unable to write to " + ProgramDir + kOwnSettings);
        return false;
    }
    ScratchList.reset();
    PairList.reset();
    if (!TempDir.empty())
        DeleteFolderFiles(TempDir);
    return true;
}

bool TForm1::writeOwnSettings()
{
    platform::ProfileFile settings(ProgramDir + kOwnSettings);
    return settings.writeString(kCompare, "MoveTo", MoveTo) &&
           settings.writeBool(kCompare, "MoveFiles", MoveFiles) &&
           settings.writeBool(kCompare, "MoveEmptyDir", MoveEmptyDir) &&
           settings.writeBool(kCompare, "SaveStructure", SaveStructure) &&
           settings.writeBool(kCompare, "DelDoubleRec", DelDoubleRec) &&
           settings.writeInteger(kCompare, "IdNotFound", IdNotFound) &&
           settings.writeBool(kCompare, "MoveNotFound", MoveNotFound);
}

bool TForm1::DeleteFolderFiles(const std::string &folder)
{
    bool success = true;
    for (const auto &entry : platform::listFolder(folder)) {
        if (!success)
            break;
        if (entry.name.starts_with('.'))
            continue;
        if (entry.kind == platform::EntryKind::Folder) {
            // A linked folder may lie outside the temporary folder: its
            // files are not ours to delete.
            if (!entry.symlink)
                success = DeleteFolderFiles(folder + entry.name + "\\");
        } else
            success = platform::deleteFile(folder + entry.name);
    }
    return success;
}

} // namespace app
