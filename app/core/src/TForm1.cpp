#include "app/TForm1.h"

#include "LogFile.h"
#include "RunFrame.h"

#include "reconcile/Checks.h"

#include "platform/FileSystem.h"
#include "platform/Profile.h"
#include "platform/Text.h"
#include "platform/UserInterface.h"

#include <algorithm>

namespace app {
namespace {

const std::string kCannotFind = platform::utf8ToAnsi("Не могу найти ");
const std::string kBooksInDatabase =
    platform::utf8ToAnsi("Книги хранятся в базе! Сравнение файлов и базы лишено смысла!");

const char *const kManagerSettings = "bokvarddb.ini";
const char *const kOwnSettings = "Dorvil.ini";
const char *const kCommon = "Common";
const char *const kCompare = "Compare";

} // namespace

TForm1::TForm1(FrontEnd &frontEnd, std::string programDir, const reconcile::Clock &clock)
    : db::TComponent(nullptr, "Form1"), m_frontEnd(frontEnd), m_clock(clock),
      m_programDirOverride(std::move(programDir))
{
}

TForm1::~TForm1() = default;

bool TForm1::FormShow()
{
    try {
        if (!StartUp())
            return false;
        m_frontEnd.ShowSettings(*this, MoveTo);
        Components.Connect(DataBaseFile, UserName, Password);
        DbDataSet1.SetActive(true);
        m_frontEnd.SetBusy(false);
        if (WorkMode == 0)
            platform::userInterface().showMessage(kBooksInDatabase);
        return true;
    } catch (const std::exception &error) {
        platform::userInterface().showError(error.what());
        return false;
    }
}

bool TForm1::FormDestroy()
{
    // Nothing was read, so there is nothing to keep.
    if (!m_startUpRan)
        return true;
    if (!SettingsMissing) {
        static_cast<reconcile::Preferences &>(*this) = m_frontEnd.CurrentPreferences();
        if (!saveLog(ProgramDir + "last.log", m_frontEnd.LogLines()))
            return false;
    }
    return ShutDown();
}

reconcile::Run TForm1::CurrentRun()
{
    return reconcile::Run{*this, Components.view(), m_frontEnd, m_clock};
}

bool TForm1::btnCompareClick()
{
    reconcile::Run run = CurrentRun();
    return runFramed(
        [&] {
            StopRequested = false;
            m_frontEnd.SetBusy(true);
            platform::userInterface().setBusyCursor(true);
            DbDataSet1.DisableControls();
        },
        [&] { reconcile::CompareDatabaseWithDisk(run); },
        {[&] { m_frontEnd.SetBusy(false); },
         [&] { platform::userInterface().setBusyCursor(false); },
         [&] { DbDataSet1.EnableControls(); }});
}

bool TForm1::btnDoubleSearchClick()
{
    return runDuplicateCheck(reconcile::SearchDuplicateFiles);
}

bool TForm1::btnDoubleBookAutorRelClick()
{
    return runDuplicateCheck(reconcile::SearchDuplicateLinks);
}

bool TForm1::runDuplicateCheck(void (*check)(reconcile::Run &))
{
    reconcile::Run run = CurrentRun();
    return runFramed([&] { m_frontEnd.SetBusy(true); }, [&] { check(run); },
                     {[&] { DbDataSet1.SetFiltered(false); }, [&] { DbTransaction1.Commit(); },
                      [&] { DbDataSet1.SetActive(true); }, [&] { m_frontEnd.SetBusy(false); }});
}

bool TForm1::StartUp()
{
    m_startUpRan = true;
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
    BackupFolder = settings.readBool("Safety", "BackupBeforeChanges", false) ? ProgramDir : "";
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
