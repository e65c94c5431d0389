// The database-versus-disk comparison: book rows whose file is missing, then
// files under the library root that no row names, with the moves of surplus
// files and empty folders the user allows.
//
// Folders are told apart by where they really are (letter case resolved,
// links followed), because a program path is only one of the names a folder
// can be reached by:
// - the library root must be a real library folder, not missing (an
//   unmounted disk would make every book look missing) and not the root of
//   the file system (which would walk and move the whole system);
// - the move folder, when it lies in the library, is passed over by the walk,
//   so files moved in this run are not found again and moved into themselves;
//   a move folder that is the library root moves nothing;
// - symbolic links: the walk enters each real folder at most once. A link to
//   a folder inside the library is only a second name of a folder the walk
//   reaches by its own path (or of one of its parents, a loop): it counts as
//   an entry but is not walked, so no book is listed, and moved, under a name
//   its record does not use. A link to a folder outside the library is walked
//   like any other folder, but nothing found there is moved: that would take
//   files from outside the library. A link to a file is listed like a file and
//   moved like one; the move takes the link, the file it points to stays.

#include "reconcile/Checks.h"
#include "reconcile/RunReport.h"

#include "FolderPrefetch.h"
#include "LibraryRoot.h"
#include "NameList.h"
#include "Relocation.h"

#include "db/DbDataSet.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"

#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <system_error>
#include <vector>

namespace reconcile {
namespace {

namespace fs = std::filesystem;

const std::string kTitle = platform::utf8ToAnsi("Сверка базы с файлами");
const std::string kMissingTitle = platform::utf8ToAnsi("Ссылки из базы на несуществующие файлы");
const std::string kSurplusTitle = platform::utf8ToAnsi("Файлы, для которых нет ссылки в базе");
const std::string kStopped = platform::utf8ToAnsi("Поиск прерван");
const std::string kFoundFiles = platform::utf8ToAnsi("Найдено файлов - ");

std::vector<std::string> &clearedList(std::optional<std::vector<std::string>> &list)
{
    if (!list)
        return list.emplace();
    list->clear();
    return *list;
}

// An empty listing is either an empty folder or one that could not be read;
// only the first may be reported and moved, since moving an unreadable folder
// would take books nobody has looked at.
bool canList(std::string_view folder)
{
    const fs::path native = platform::nativePath(folder);
    std::error_code error;
    fs::directory_iterator listing(native, error);
    return !native.empty() && !error;
}

class DiskPass {
public:
    /// Starts reading the library's listings ahead; the walk comes later.
    DiskPass(Run &run, const NameList &names, fs::path libraryReal,
             std::vector<std::string> &surplus)
        : m_run(run), m_names(names), m_libraryReal(std::move(libraryReal)),
          m_moveReal(run.state.MoveTo.empty() ? std::nullopt : RealFolder(run.state.MoveTo)),
          m_moveIsLibrary(m_moveReal && *m_moveReal == m_libraryReal), m_surplus(surplus),
          m_prefetch(run.state.MountPoint, m_libraryReal, m_moveReal)
    {
    }

    /// Walks the library root, once the name list is complete and sorted;
    /// the number of surplus files found.
    int64_t walk()
    {
        if (const auto root = platform::folderIdentity(m_run.state.MountPoint))
            m_visited.insert(*root);
        WalkFolder(m_run.state.MountPoint, m_libraryReal, false, true);
        return m_found;
    }

private:
    // `real` is where the folder really is; `outside` says that it was
    // reached through a link leading out of the library; `readAhead` that
    // its listing was read ahead.
    void WalkFolder(const std::string &folder, const fs::path &real, bool outside, bool readAhead)
    {
        RunState &state = m_run.state;
        if (state.StopRequested)
            return;
        int64_t entries = 0;
        const std::vector<platform::FolderEntry> listing =
            readAhead ? m_prefetch.Listing(folder) : platform::listFolder(folder);
        for (const platform::FolderEntry &entry : listing) {
            if (entry.kind == platform::EntryKind::Folder)
                entries += takeFolder(folder, real, outside, readAhead, entry);
            else if (entry.kind == platform::EntryKind::File &&
                     !platform::isPartialCopyName(entry.name))
                entries += takeFile(folder, outside, entry.name);
            else
                ++entries; // present, but no book (an unfinished copy of a move, say)
            if (state.StopRequested)
                break;
        }
        if (entries == 0 && !state.StopRequested && m_run.CurrentPreferences().MoveEmptyDir &&
            (!listing.empty() || canList(folder)))
            RelocateFolder(m_run, folder, mayMoveFolder(real, outside));
    }

    // How much the sub-folder counts towards its parent's entries.
    int takeFolder(const std::string &folder, const fs::path &real, bool outside, bool readAhead,
                   const platform::FolderEntry &entry)
    {
        if (entry.name.starts_with('.'))
            return 0;
        const std::string path = folder + entry.name + "\\";
        const std::optional<fs::path> childReal = realOf(path, real, entry);
        if (!childReal)
            return 1; // a name this platform's paths cannot reach: passed over
        if (m_moveReal && *childReal == *m_moveReal)
            return 0;
        const bool alias = entry.symlink && IsAtOrBelow(*childReal, m_libraryReal);
        if (alias)
            return 1;
        // Each real folder once: a second way into it (a bind mount, a link
        // outside the library leading back) would walk it again, or forever.
        const std::optional<platform::FolderIdentity> identity = platform::folderIdentity(path);
        if (identity && m_visited.insert(*identity).second)
            WalkFolder(path, *childReal, outside || entry.symlink,
                       readAhead && FolderPrefetch::ReadsAhead(entry));
        return 1;
    }

    int takeFile(const std::string &folder, bool outside, const std::string &name)
    {
        RunState &state = m_run.state;
        const std::string path = folder + name;
        const std::string relative = path.substr(state.MountPoint.size());
        if (!m_names.Contains(relative)) {
            m_surplus.push_back(relative);
            if (ReportCheck *report = m_run.Reported())
                report->surplus.push_back(relative);
            m_run.AddLine(relative);
            ++m_found;
            if (!outside && !m_moveIsLibrary && m_run.CurrentPreferences().MoveFiles &&
                platform::folderExists(state.MoveTo) && folder != state.MountPoint)
                RelocateFile(m_run, path, relative, name, false);
        }
        ++m_filesTaken;
        m_run.SetProgress(PassProgress(m_filesTaken, state.BookCount, 50));
        m_run.ProcessEvents();
        return 1;
    }

    static std::optional<fs::path> realOf(const std::string &path, const fs::path &parentReal,
                                          const platform::FolderEntry &entry)
    {
        // A plain sub-folder is where its parent is; only links, and names
        // that may stand for characters code page 1251 lacks, need resolving.
        if (!entry.symlink && entry.name.find('?') == std::string::npos)
            return parentReal / fs::path(platform::ansiToUtf8(entry.name));
        return RealFolder(path);
    }

    bool mayMoveFolder(const fs::path &real, bool outside) const
    {
        // A folder holding the move folder would carry this run's moves along.
        return !outside && !m_moveIsLibrary && !(m_moveReal && IsAtOrBelow(*m_moveReal, real));
    }

    Run &m_run;
    const NameList &m_names;
    const fs::path m_libraryReal;
    const std::optional<fs::path> m_moveReal;
    const bool m_moveIsLibrary;
    std::vector<std::string> &m_surplus;
    std::set<platform::FolderIdentity> m_visited;
    int64_t m_filesTaken = 0;
    int64_t m_found = 0;
    FolderPrefetch m_prefetch;
};

} // namespace

void CompareDatabaseWithDisk(Run &run)
{
    RunState &state = run.state;
    db::TDbDataSet &books = run.components.DbDataSet1;
    NameList names;
    run.ProcessEventsDuring([&] { state.BookCount = books.ServerRecordCount(); });
    run.RunHeader(kTitle);
    std::vector<std::string> &missing = clearedList(state.PairList);
    std::vector<std::string> &surplusFiles = clearedList(state.ScratchList);

    // Other programs may have changed the library since the last run.
    platform::forgetFolderListings();
    const fs::path libraryReal = CheckLibraryRoot(state.MountPoint);

    const std::string moveToText = run.frontEnd.MoveToText();
    state.MoveTo =
        platform::folderExists(moveToText)
            ? platform::withTrailingBackslash(std::string(platform::trimBlanks(moveToText)))
            : std::string();

    // The disk pass reads the library's folders while the database pass
    // fetches the catalogue.
    DiskPass diskPass(run, names, libraryReal, surplusFiles);

    run.AddLine(kMissingTitle);
    int64_t taken = 0;
    int64_t found = 0;
    books.MoveFirst();
    const db::TField &fileNameField = books.FieldNamed("FILENAME");
    while (!books.AtEnd()) {
        ++taken;
        run.SetProgress(PassProgress(taken, state.BookCount, 0));
        run.ProcessEvents();
        const std::string fileName = fileNameField.AsText();
        names.Add(fileName); // the list folds letter case itself
        // A name climbing out with ".." names no library file, so nothing is
        // examined through it.
        if (!StaysInside(fileName) || !platform::fileExists(state.MountPoint + fileName)) {
            missing.push_back(fileName);
            if (ReportCheck *report = run.Reported())
                report->missing.push_back(fileName);
            run.AddLine(fileName);
            ++found;
        }
        if (state.StopRequested) {
            run.AddLine(kStopped);
            break;
        }
        books.MoveNext();
    }
    run.AddLine(kFoundFiles + std::to_string(found));
    run.AddLine("");

    if (!state.StopRequested)
        run.AddLine(kSurplusTitle);
    if (!state.StopRequested)
        names.Sort([&run] { run.ProcessEvents(); });
    const int64_t surplus = diskPass.walk();
    if (state.StopRequested)
        run.AddLine(kStopped);
    if (ReportCheck *report = run.Reported())
        report->stopped = state.StopRequested;
    if (!state.StopRequested || surplus > 0)
        run.AddLine(kFoundFiles + std::to_string(surplus));
}

} // namespace reconcile
