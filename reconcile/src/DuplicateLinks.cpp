#include "reconcile/Checks.h"
#include "reconcile/RunReport.h"

#include "DuplicateChecks.h"

#include "db/DbDataSet.h"
#include "platform/Text.h"

#include <string>

namespace reconcile {
namespace {

const std::string kTitle = platform::utf8ToAnsi("Поиск дублей bookid,autorid в таблице book_autor");
const std::string kGroupingQuery = "select bookid,autorid , count(*) cnt from book_autor group by "
                                   "bookid,autorid having count(*) > 1";
const std::string kCleaned = platform::utf8ToAnsi("  Почищено BOOKID=");
const std::string kFailed = platform::utf8ToAnsi("  !!! Ошибка BOOKID=");
const std::string kNoneFound = platform::utf8ToAnsi("Дубли не найдены");

// Keeps the link with the lowest ID. The values are the pair's own integer
// columns as text, so they go into the statement unquoted.
bool DeleteLinkDuplicates(const Run &run, const std::string &bookId, const std::string &autorId,
                          std::string &ErrorText)
{
    const std::string pair = "autorid = " + autorId + " AND BOOKID = " + bookId;
    return ExecuteModification(run,
                               "delete from book_autor where " + pair +
                                   " AND ID NOT IN (SELECT MIN(ID) FROM book_autor where " + pair +
                                   ")",
                               ErrorText);
}

} // namespace

void SearchDuplicateLinks(Run &run)
{
    run.RunHeader(kTitle);
    OpenGroupingQuery(run, kGroupingQuery);
    db::TDbDataSet &pairs = run.components.tblDoubleBook;
    int pairCount = 0;
    std::string ErrorText;
    while (!pairs.AtEnd()) {
        ++pairCount;
        const std::string bookId = pairs.FieldNamed("BOOKID").AsText();
        const std::string autorId = pairs.FieldNamed("AUTORID").AsText();
        const std::string ids = bookId + " AUTORID=" + autorId;
        const std::string links = pairs.FieldNamed("CNT").AsText();
        run.AddLine("BOOKID=" + ids + " - " + links);
        ReportLinkPair reported{bookId, autorId, links, false, false, {}};
        if (run.CurrentPreferences().DelDoubleRec) {
            reported.attempted = true;
            reported.cleaned = DeleteLinkDuplicates(run, bookId, autorId, ErrorText);
            if (reported.cleaned)
                run.AddLine(kCleaned + ids);
            else
                run.AddLine(kFailed + ids + " - " + (reported.error = ErrorText));
        }
        if (ReportCheck *report = run.Reported())
            report->pairs.push_back(std::move(reported));
        pairs.MoveNext();
    }
    if (pairCount == 0)
        run.AddLine(kNoneFound);
}

} // namespace reconcile
