#include "reconcile/Checks.h"
#include "reconcile/RunReport.h"

#include "BookId.h"
#include "DuplicateChecks.h"
#include "LibraryRoot.h"
#include "Relocation.h"

#include "db/DbDataSet.h"
#include "db/Strings.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"

#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace reconcile {
namespace {

const std::string kTitle = platform::utf8ToAnsi("Поиск записей в базе, ссылающихся на один файл");
const std::string kGroupingQuery =
    "select FILENAME,count(*) cnt from BOOK group by FILENAME having count(*) > 1";
const std::string kRootEmpty = platform::utf8ToAnsi("Папка библиотеки пуста: ");
const std::string kFileIdLine = platform::utf8ToAnsi("  fb2 file id - ");
const std::string kNoFileIdLine = platform::utf8ToAnsi("  !!!! не могу извлечь ID fb2 файла! - ");
const std::string kRecordIdLine = platform::utf8ToAnsi(" ID - ");
const std::string kIdNotFound =
    platform::utf8ToAnsi("  !!!!ID не найден. Лишние записи не удаляются");
const std::string kRecordWithId = platform::utf8ToAnsi("  Запись с ID ");
const std::string kDeleted = platform::utf8ToAnsi(" удалена");
const std::string kCannotDelete = platform::utf8ToAnsi("  !!!!Не могу удалить запись с ID ! ");
const std::string kFoundDuplicates = platform::utf8ToAnsi("Найдено дублей -");

/// The radio items of the policy for a file whose identifier no record has.
enum Policy { ChangeNothing = 0, SetFirstId = 1, DeleteAll = 2 };

std::string pairName(const std::string &line)
{
    return line.substr(0, line.find('='));
}

std::string pairValue(const std::string &line)
{
    const size_t equals = line.find('=');
    return equals == std::string::npos ? "" : line.substr(equals + 1);
}

// Sets a value the way a name=value list does: an empty value removes the
// name, a known name (any letter case) gets the new value in place.
void setPairValue(std::vector<std::string> &pairs, const std::string &name,
                  const std::string &value)
{
    for (auto line = pairs.begin(); line != pairs.end(); ++line) {
        if (!platform::sameTextInsensitive(pairName(*line), name))
            continue;
        if (value.empty())
            pairs.erase(line);
        else
            *line = name + "=" + value;
        return;
    }
    if (!value.empty())
        pairs.push_back(name + "=" + value);
}

// A missing or unmounted library would make every archive look missing, and
// the policy for unreadable identifiers would then delete every shared record.
void checkLibrary(const std::string &mountPoint)
{
    CheckLibraryRoot(mountPoint);
    if (platform::listFolder(mountPoint).empty())
        throw std::runtime_error(kRootEmpty + mountPoint);
}

// One group: the records that name one file.
class DuplicateGroup {
public:
    DuplicateGroup(Run &run, std::string fileName, bool nullName)
        : m_run(run), m_fileName(std::move(fileName)), m_nullName(nullName)
    {
    }

    void Search(const std::string &recordCount)
    {
        m_run.AddLine(m_fileName + " - " + recordCount);
        m_idRead = ExtractBookId(m_run, m_fileName, FileId);
        m_run.AddLine((m_idRead ? kFileIdLine : kNoFileIdLine) + FileId);
        if (ReportCheck *report = m_run.Reported()) {
            report->groups.push_back({m_fileName, m_idRead, FileId, {}, {}});
            m_report = &report->groups.back();
        }
        ListRecords();
        if (!m_run.CurrentPreferences().DelDoubleRec)
            return;
        if (m_matched) {
            DeleteOtherRecords(0);
            return;
        }
        ApplyPolicy();
        MoveGroupFile();
    }

private:
    std::vector<std::string> &pairList()
    {
        if (!m_run.state.PairList)
            m_run.state.PairList.emplace();
        return *m_run.state.PairList;
    }

    // The filter must show exactly this name's records: no prefix match for
    // a name ending in "*", and no empty names for the group of NULL names
    // (IS NULL holds for both).
    std::string filterText() const
    {
        if (m_nullName)
            return "FILENAME IS NULL AND FILENAME <> ''";
        return "FILENAME = " + db::SqlStringLiteral(m_fileName);
    }

    void ListRecords()
    {
        db::TDbDataSet &books = m_run.components.DbDataSet1;
        std::vector<std::string> &pairs = pairList();
        pairs.clear();
        if ((books.FilterOptions() & db::foNoPartialCompare) == 0)
            books.SetFilterOptions(books.FilterOptions() | db::foNoPartialCompare);
        books.SetFilter(filterText());
        books.SetFiltered(true);
        books.MoveFirst();
        while (!books.AtEnd()) {
            const std::string oldId = books.FieldNamed("OLDID").AsText();
            m_run.AddLine("  " + books.FieldNamed("BOOKNAME").AsText() + kRecordIdLine + oldId);
            setPairValue(pairs, books.FieldNamed("BOOKID").AsText(), oldId);
            if (m_report)
                m_report->records.push_back({books.FieldNamed("BOOKID").AsText(),
                                             books.FieldNamed("BOOKNAME").AsText(), oldId});
            if (m_idRead && oldId == FileId)
                m_matched = true;
            books.MoveNext();
        }
    }

    void ApplyPolicy()
    {
        switch (m_run.CurrentPreferences().IdNotFound) {
        case ChangeNothing:
            m_run.AddLine(kIdNotFound);
            break;
        case SetFirstId: {
            // Without an identifier there is nothing to write: the reason
            // text would take the place of a real OLDID.
            if (!m_idRead) {
                m_run.AddLine(kIdNotFound);
                break;
            }
            const std::vector<std::string> &pairs = pairList();
            if (!pairs.empty() && SetOldId(pairName(pairs.front()), FileId))
                DeleteOtherRecords(1);
            break;
        }
        case DeleteAll:
            DeleteOtherRecords(0);
            break;
        default:
            break;
        }
    }

    bool DeleteBookRecord(const std::string &bookId)
    {
        return ExecuteModification(m_run, "execute procedure DELBOOK(" + bookId + ")", ErrorText);
    }

    bool SetOldId(const std::string &bookId, const std::string &id)
    {
        const bool done = ExecuteModification(
            m_run,
            "update book set OLDID = " + db::SqlStringLiteral(id) + " where bookid = " + bookId,
            ErrorText);
        note(ReportChange::Action::Updated, bookId, id, done);
        return done;
    }

    void note(ReportChange::Action action, const std::string &bookId, const std::string &oldId,
              bool done)
    {
        if (m_report)
            m_report->changes.push_back({action, bookId, oldId, done, done ? "" : ErrorText});
    }

    void DeleteOtherRecords(size_t start)
    {
        const std::vector<std::string> pairs = pairList();
        for (size_t i = start; i < pairs.size(); ++i) {
            const std::string value = pairValue(pairs[i]);
            if (value == FileId)
                continue;
            const bool deleted = DeleteBookRecord(pairName(pairs[i]));
            note(ReportChange::Action::Deleted, pairName(pairs[i]), value, deleted);
            if (deleted)
                m_run.AddLine(kRecordWithId + value + kDeleted);
            else
                m_run.AddLine(kCannotDelete + value + " - " + ErrorText);
        }
    }

    // MoveTo is taken as the settings or the last comparison left it; the
    // edit box is not read here.
    void MoveGroupFile()
    {
        if (!m_run.CurrentPreferences().MoveNotFound)
            return;
        if (!platform::folderExists(m_run.state.MoveTo))
            return;
        // An empty name would be the library root itself, and a name that
        // climbs out of the library names no file of it.
        if (m_fileName.empty() || !StaysInside(m_fileName))
            return;
        RelocateFile(m_run, m_run.state.MountPoint + m_fileName, m_fileName,
                     std::string(NamePart(m_fileName)), true);
    }

    Run &m_run;
    const std::string m_fileName;
    const bool m_nullName;
    bool m_idRead = false;
    bool m_matched = false;
    ReportGroup *m_report = nullptr;
    std::string FileId;
    std::string ErrorText;
};

} // namespace

void SearchDuplicateFiles(Run &run)
{
    run.RunHeader(kTitle);
    checkLibrary(run.state.MountPoint);
    OpenGroupingQuery(run, kGroupingQuery);
    db::TDbDataSet &groups = run.components.tblDoubleBook;
    int groupCount = 0;
    while (!groups.AtEnd()) {
        ++groupCount;
        const db::TField &fileName = groups.FieldNamed("FILENAME");
        DuplicateGroup group(run, fileName.AsText(), fileName.IsNull());
        group.Search(groups.FieldNamed("CNT").AsText());
        groups.MoveNext();
    }
    groups.Close();
    run.AddLine(kFoundDuplicates + std::to_string(groupCount));
}

} // namespace reconcile
