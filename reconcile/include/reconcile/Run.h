#pragma once
// What a check runs against: the state it shares with the program around it,
// the database and archive components it uses, and its front end (a window
// or a terminal). A check is a function of a Run; it never knows which front
// end it talks to.

#include "platform/Locale.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace db {
class TDbTransaction;
class TDbDataSet;
class TDbQuery;
} // namespace db
namespace zip {
class TZipReader;
}

namespace reconcile {

class MoveJournal;
struct ReportCheck;
struct RunReport;

/// The state a run shares with the program: set at start-up, read and changed
/// by the checks. Folder paths end in a backslash (MoveTo once a comparison
/// has set it).
struct RunState {
    std::string MountPoint; ///< the library root; book file names are relative to it
    std::string MoveTo;     ///< where surplus files and empty folders go; may be empty
    std::string TempDir;    ///< empty until start-up has set it
    int32_t WorkMode = 0;   ///< 0: the books are kept inside the database
    /// Working lists, created at start-up and released at shutdown.
    std::optional<std::vector<std::string>> ScratchList;
    std::optional<std::vector<std::string>> PairList; ///< name=value lines
    int32_t BookCount = 0;
    /// Set by the front end's Stop (the button, a signal); the comparison
    /// tests it, the duplicate checks ignore it.
    bool StopRequested = false;
    /// When the run began (its header's time), and the journal of its moves.
    platform::DateTime RunStart;
    std::shared_ptr<MoveJournal> Journal;
    /// Where a backup of the catalogue goes before a run's first deletion
    /// or update; empty: no backup. BackedUp is set once it is made.
    std::string BackupFolder;
    bool BackedUp = false;
    /// Where the checks note what they found and did; null: nobody asked.
    RunReport *Report = nullptr;
};

/// The user's choices, read from the front end at the moment a check needs
/// one, never copied at the start of a run.
struct Preferences {
    bool MoveFiles = true;
    bool MoveEmptyDir = true;
    bool SaveStructure = true;
    bool DelDoubleRec = false;
    int32_t IdNotFound = 0; ///< -1: no policy chosen; 0 to 2: the policy
    bool MoveNotFound = false;
    bool operator==(const Preferences &) const = default;
};

/// The components the checks use; the program owns them.
struct Components {
    db::TDbTransaction &DbTransaction1;
    db::TDbDataSet &DbDataSet1;    ///< every row of BOOK
    db::TDbDataSet &tblDoubleBook; ///< the grouping queries
    db::TDbQuery &DbQuery1;        ///< every modification
    zip::TZipReader &ZipReader1;
};

/// What a check asks of its front end. Events (repaint, clicks, Stop) are
/// processed through platform::userInterface().processEvents(), which the
/// archive reader calls as well.
class FrontEnd {
public:
    virtual ~FrontEnd() = default;
    /// Appends one line to the log; a text holding line breaks shows as
    /// several lines, an empty text as a blank line.
    virtual void AddLine(std::string_view text) = 0;
    /// Shows a percentage from 0 to 100 (the caller clamps).
    virtual void SetProgress(int percent) = 0;
    /// Buttons for a run (true) or for idle (false).
    virtual void SetBusy(bool busy) = 0;
    /// The preferences as the user has them set right now.
    virtual Preferences CurrentPreferences() = 0;
    /// The text of the move-folder edit box, untrimmed.
    virtual std::string MoveToText() = 0;
};

/// Where a run's time comes from; tests set it.
class Clock {
public:
    virtual ~Clock() = default;
    virtual platform::DateTime now() const = 0;
};
/// The local time of the system.
const Clock &systemClock();

/// One check's view of the program.
struct Run {
    RunState &state;
    Components components;
    FrontEnd &frontEnd;
    const Clock &clock;

    void AddLine(std::string_view text) const { frontEnd.AddLine(text); }
    /// A blank line, the title, and the local date and time (the date alone
    /// at 00:00:00).
    void RunHeader(std::string_view title) const;
    /// Clamps to 0..100 and hands the value on.
    void SetProgress(int percent) const;
    Preferences CurrentPreferences() const { return frontEnd.CurrentPreferences(); }
    /// Lets the front end repaint and handle pending events.
    void ProcessEvents() const;
    /// The report entry of the running check; null when no report is kept.
    ReportCheck *Reported() const;
    /// Runs `work`, a single call that may take longer than the window may
    /// go without events (a count over the whole catalogue), on a thread of
    /// its own while this thread goes on processing events every few
    /// milliseconds; an exception of `work` is thrown here. Nothing else
    /// may use `work`'s components meanwhile.
    void ProcessEventsDuring(const std::function<void()> &work) const;
};

/// The date and time line of a run header: the short date, then a blank and
/// the long time unless the time is 00:00:00.
std::string RunHeaderTime(const platform::DateTime &when);

/// The comparison's progress after `done` rows or files of a pass: done ÷
/// bookCount × 50, rounded half to even, plus `passBase` (0 for the database
/// pass, 50 for the disk pass). With no book rows a pass counts as complete.
int PassProgress(int64_t done, int32_t bookCount, int passBase);

} // namespace reconcile
