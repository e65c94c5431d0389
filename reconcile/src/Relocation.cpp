#include "Relocation.h"

#include "FileDigest.h"
#include "LibraryRoot.h"

#include "reconcile/MoveJournal.h"
#include "reconcile/RunReport.h"

#include "platform/FileSystem.h"
#include "platform/Text.h"

namespace reconcile {
namespace {

const std::string kCannotMoveFile = platform::utf8ToAnsi("!!!! Не могу перенести файл ");
const std::string kInto = platform::utf8ToAnsi(" в ");
const std::string kFileMoved = platform::utf8ToAnsi("  Файл ");
const std::string kMovedTo = platform::utf8ToAnsi(" перемещен в ");
const std::string kEmptyFolder = platform::utf8ToAnsi(" - пустая директория. Переношу в");
const std::string kCannotMoveFolder = platform::utf8ToAnsi("!!! Не могу перенести директорию в - ");
// The report's reason for a move not even tried.
const std::string kUnsafe = "no move folder to take it, or a name that would leave it";

// Path pieces split at the separators the platform maps to its own. A colon
// is not one of them: on this file system it is an ordinary character of a
// name, and splitting there would make a stray folder in the move folder.
bool isSeparator(char c)
{
    return c == '\\' || c == '/';
}

size_t pieceSplit(std::string_view path)
{
    size_t at = path.size();
    while (at > 0 && !isSeparator(path[at - 1]))
        --at;
    return at;
}

bool isPlainName(std::string_view name)
{
    return !name.empty() && name != "." && name != ".." && pieceSplit(name) == 0;
}

// A move into the library root would only rename the file inside the
// library (or, in keep-structure mode, onto itself).
bool moveFolderIsLibraryRoot(const Run &run)
{
    const auto moveTo = RealFolder(run.state.MoveTo);
    const auto root = RealFolder(run.state.MountPoint);
    return moveTo && root && *moveTo == *root;
}

// The run's journal in the move folder the run moves into now.
MoveJournal &journalOf(const Run &run)
{
    std::shared_ptr<MoveJournal> &journal = run.state.Journal;
    if (!journal || journal->MoveTo() != platform::withTrailingBackslash(run.state.MoveTo))
        journal = std::make_shared<MoveJournal>(run.state.MoveTo, run.state.RunStart);
    return *journal;
}

// A file is moved only when its move can be journaled: what cannot be taken
// back is not done.
bool moveJournaled(const Run &run, const std::string &source, const std::string &target)
{
    const std::optional<FileDigest> digest = DigestOfFile(source);
    MoveJournal &journal = journalOf(run);
    if (!digest || !journal.Open() || !platform::moveFile(source, target))
        return false;
    journal.RecordFile(source, target, digest->size, digest->sha256);
    return true;
}

bool moveFolderJournaled(const Run &run, const std::string &source, const std::string &target)
{
    const uint64_t files = FilesInside(source);
    MoveJournal &journal = journalOf(run);
    if (!journal.Open() || !platform::moveFolder(source, target))
        return false;
    journal.RecordFolder(source, target, files);
    return true;
}

} // namespace

std::string_view FolderPart(std::string_view path)
{
    return path.substr(0, pieceSplit(path));
}

std::string_view NamePart(std::string_view path)
{
    return path.substr(pieceSplit(path));
}

std::string_view WithoutEndSeparators(std::string_view path)
{
    while (path.size() > 1 && isSeparator(path.back()))
        path.remove_suffix(1);
    return path;
}

std::string MakeFreeName(const std::string &target)
{
    if (!platform::fileExists(target))
        return target;
    for (unsigned long long k = 1;; ++k) {
        std::string candidate = target + "." + std::to_string(k);
        if (!platform::fileExists(candidate))
            return candidate;
    }
}

bool RelocateFile(const Run &run, const std::string &sourcePath, const std::string &relativePath,
                  const std::string &fileName, bool logSuccess)
{
    const std::string &moveTo = run.state.MoveTo;
    const bool keepStructure = run.CurrentPreferences().SaveStructure;
    std::string target = JoinPath(moveTo, keepStructure ? relativePath : fileName);
    // The move folder must be there already: creating it here (keep-structure
    // mode creates folders) would put files where the user never chose.
    const bool safe =
        !moveTo.empty() && platform::folderExists(moveTo) &&
        (keepStructure ? StaysInside(relativePath) && isPlainName(NamePart(relativePath))
                       : isPlainName(fileName)) &&
        !moveFolderIsLibraryRoot(run);
    bool moved = false;
    if (safe) {
        if (keepStructure)
            platform::createFolders(JoinPath(moveTo, FolderPart(relativePath)));
        target = MakeFreeName(target);
        moved = moveJournaled(run, sourcePath, target);
    }
    if (ReportCheck *report = run.Reported())
        report->moves.push_back({sourcePath, target, moved,
                                 moved  ? ""
                                 : safe ? platform::lastErrorText()
                                        : kUnsafe});
    if (!moved)
        run.AddLine(kCannotMoveFile + sourcePath + kInto + target);
    else if (logSuccess)
        run.AddLine(kFileMoved + sourcePath + kMovedTo + target);
    return moved;
}

void RelocateFolder(const Run &run, const std::string &folderPath, bool mayMove)
{
    const std::string target =
        JoinPath(run.state.MoveTo, NamePart(WithoutEndSeparators(folderPath)));
    run.AddLine(folderPath + kEmptyFolder + " - " + target);
    ReportCheck *report = run.Reported();
    if (report)
        report->emptyFolders.push_back(folderPath);
    if (!mayMove || !platform::folderExists(run.state.MoveTo) ||
        folderPath == run.state.MountPoint || moveFolderIsLibraryRoot(run))
        return;
    const bool moved = moveFolderJournaled(run, folderPath, target);
    if (report)
        report->moves.push_back(
            {folderPath, target, moved, moved ? "" : platform::lastErrorText()});
    if (!moved)
        run.AddLine(kCannotMoveFolder + target);
}

} // namespace reconcile
