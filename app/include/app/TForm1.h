#pragma once
// The main window object's state and its life frame: the folders, the two
// settings files, the preferences and the working lists. The window shows
// and edits this state; it holds no widgets so that the console front end
// and the tests drive it the same way.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace app {

class TForm1 {
public:
    /// `programDir` replaces the folder of the program's own file (the
    /// --dir option); empty means that folder.
    explicit TForm1(std::string programDir = {});

    /// Start-up: finds bokvarddb.ini, prepares the temporary folder and the
    /// working lists, reads both settings files. False, after telling the
    /// user and asking the event loop to end, when bokvarddb.ini is missing.
    bool StartUp();
    /// Shutdown: writes Dorvil.ini (unless start-up found no settings),
    /// releases the working lists and deletes the files left in TempDir.
    /// False, after an error message box, when Dorvil.ini cannot be written.
    bool ShutDown();

    /// Deletes every file below `folder` (which ends in a backslash) but those
    /// whose names begin with "."; folders stay. Stops at the first file that
    /// cannot be deleted and returns false.
    static bool DeleteFolderFiles(const std::string &folder);

    std::string ProgramDir;
    std::string DataBaseFile;
    std::string MountPoint;
    int32_t WorkMode = 0;
    std::string MoveTo;
    std::string TempDir;
    std::string UserName;
    std::string Password;

    bool MoveFiles = true;
    bool MoveEmptyDir = true;
    bool SaveStructure = true;
    bool DelDoubleRec = false;
    int32_t IdNotFound = 0; ///< -1: no policy chosen; 0 to 2: the policy
    bool MoveNotFound = false;

    std::optional<std::vector<std::string>> ScratchList;
    std::optional<std::vector<std::string>> PairList; ///< name=value lines

    int32_t BookCount = 0;
    bool StopRequested = false;
    bool SettingsMissing = false;

private:
    void readManagerSettings();
    void readOwnSettings();
    bool writeOwnSettings();

    std::string m_programDirOverride;
};

} // namespace app
