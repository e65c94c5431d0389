#pragma once
// The journal of one run's moves, kept in the move folder so that every
// move a check makes can be taken back. One file per run, named after the
// run's start ("Dorvil-moves YYYY-MM-DD HH-MM-SS.txt"), one line per move,
// written and flushed once the move is made. Lines are UTF-8, their fields
// separated by tabs, paths written as the program spells them:
//   file    source  target  size  sha256
//   folder  source  target  number of files inside

#include "platform/File.h"
#include "platform/Locale.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace reconcile {

class MoveJournal {
public:
    /// A journal in `moveTo` (ending in a backslash); no file exists until
    /// Open.
    MoveJournal(std::string moveTo, const platform::DateTime &runStart);

    const std::string &MoveTo() const { return m_moveTo; }
    /// The journal file; empty until Open succeeded.
    const std::string &Path() const { return m_path; }
    /// Creates the file on the first call (never replacing one); false when
    /// it cannot be written, and then no move may be made.
    bool Open();
    /// After a move: appends its line and flushes it to disk.
    bool RecordFile(const std::string &source, const std::string &target, uint64_t size,
                    const std::string &sha256);
    bool RecordFolder(const std::string &source, const std::string &target, uint64_t files);

private:
    bool append(const std::string &line);

    std::string m_moveTo;
    platform::DateTime m_runStart;
    std::string m_path;
    std::optional<platform::File> m_file;
};

/// What taking a journal's moves back did: one line (UTF-8) for each move
/// taken back or refused, with the reason.
struct UndoReport {
    std::vector<std::string> lines;
    int restored = 0;
    int alreadyBack = 0; ///< moved back by an earlier undo
    int refused = 0;
};

/// Takes back, last move first, every move of the journal (a program path)
/// whose target still holds what was moved and whose source place is free.
/// Never replaces anything; recreates missing source folders; removes the
/// folders of the move folder that the moves made and that are empty again.
/// Throws std::runtime_error when the journal cannot be read or is no
/// journal.
UndoReport UndoMoves(const std::string &journal);

} // namespace reconcile
