#pragma once
// What the checks of one program run found and did, kept for a machine to
// read (dorvil-cli --report writes it as JSON). The front end starts an
// entry per check; the checks fill in the entry last started. Texts are as
// the program holds them (code page 1251).

#include <string>
#include <vector>

namespace reconcile {

struct ReportMove {
    std::string source, target;
    bool moved = false;
    std::string reason; ///< why it was not moved
};

struct ReportRecord {
    std::string bookId, name, oldId;
};

/// A deletion or an OLDID update of one record, and whether it was done.
struct ReportChange {
    enum class Action { Deleted, Updated } action = Action::Deleted;
    std::string bookId;
    std::string oldId; ///< deleted: the record's; updated: the one written
    bool done = false;
    std::string error; ///< the server's message when not done
};

/// Records that name one file.
struct ReportGroup {
    std::string fileName;
    bool idRead = false;
    std::string idOrReason; ///< the document's identifier, or why it was not read
    std::vector<ReportRecord> records;
    std::vector<ReportChange> changes;
};

struct ReportLinkPair {
    std::string bookId, autorId, links;
    bool attempted = false; ///< deletion was on
    bool cleaned = false;
    std::string error;
};

struct ReportCheck {
    std::string name;   ///< as dorvil-cli names the check
    bool ended = false; ///< ran to its end (not stopped, no error)
    bool stopped = false;
    std::vector<std::string> missing, surplus, emptyFolders;
    std::vector<ReportMove> moves;
    std::vector<ReportGroup> groups;
    std::vector<ReportLinkPair> pairs;
};

struct RunReport {
    std::vector<ReportCheck> checks;
};

} // namespace reconcile
