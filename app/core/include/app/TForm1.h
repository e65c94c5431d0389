#pragma once
// The main window object without its widgets: the folders, the two settings
// files, the preferences, the working lists, the components, and the life
// frame around them (start-up, its completion, the runs, shutdown). Both
// front ends, the window and dorvil-cli, drive it the same way.

#include "app/FrontEnd.h"

#include "reconcile/ComponentSet.h"
#include "reconcile/Run.h"

#include "db/Component.h"

#include <string>

namespace app {

class TForm1 : public db::TComponent, public reconcile::RunState, public reconcile::Preferences {
public:
    /// `programDir` replaces the folder of the program's own file (the
    /// --dir option); empty means that folder.
    explicit TForm1(FrontEnd &frontEnd, std::string programDir = {},
                    const reconcile::Clock &clock = reconcile::systemClock());
    ~TForm1() override;

    /// Window shown: start-up, the settings shown, then connecting and
    /// opening the book list, buttons idle, the WorkMode-0 warning. An error
    /// is shown in an error box and leaves the buttons as they were. True
    /// when start-up completed.
    bool FormShow();
    /// Window destroyed: last.log, then shutdown. False when either failed
    /// (the user has been told).
    bool FormDestroy();

    /// The three checks, each inside its run frame. False when the run
    /// ended with an error (shown in an error box).
    bool btnCompareClick();
    bool btnDoubleSearchClick();
    bool btnDoubleBookAutorRelClick();
    void btnStopClick() { StopRequested = true; }

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

    reconcile::Run CurrentRun();

    std::string ProgramDir;
    std::string DataBaseFile;
    std::string UserName;
    std::string Password;
    bool SettingsMissing = false;

    reconcile::ComponentSet Components{*this};
    db::TDbDatabase &DbDatabase1 = Components.DbDatabase1;
    db::TDbTransaction &DbTransaction1 = Components.DbTransaction1;
    db::TDbDataSet &DbDataSet1 = Components.DbDataSet1;
    db::TDbDataSet &tblDoubleBook = Components.tblDoubleBook;
    db::TDbQuery &DbQuery1 = Components.DbQuery1;
    zip::TZipReader &ZipReader1 = Components.ZipReader1;

private:
    bool runDuplicateCheck(void (*check)(reconcile::Run &));
    void readManagerSettings();
    void readOwnSettings();
    bool writeOwnSettings();

    FrontEnd &m_frontEnd;
    const reconcile::Clock &m_clock;
    std::string m_programDirOverride;
    bool m_startUpRan = false;
};

} // namespace app
