#include "reconcile/Checks.h"

#include "DuplicateSupport.h"
#include "RunFixture.h"

#include "platform/Text.h"

#include <gtest/gtest.h>

namespace {

using reconcile_test::ansi;

class DuplicateLinks : public reconcile_test::RunFixture {
protected:
    /// Runs the check after start-up and commits as the run frame does;
    /// returns the log in UTF-8 after the header, which is checked here.
    std::vector<std::string> search()
    {
        openBooks();
        reconcile::Run current = run();
        reconcile::SearchDuplicateLinks(current);
        m_components.DbTransaction1.Commit();
        return logAfterHeader();
    }

    std::vector<std::string> logAfterHeader() const
    {
        std::vector<std::string> lines;
        for (const std::string &line : m_frontEnd.lines)
            lines.push_back(platform::ansiToUtf8(line));
        EXPECT_GE(lines.size(), 3u);
        EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + 3),
                  (std::vector<std::string>{"", "Поиск дублей bookid,autorid в таблице book_autor",
                                            "10.12.2026 14:05:09"}));
        return {lines.begin() + 3, lines.end()};
    }

    /// ID:BOOKID:AUTORID of every link, in ID order.
    std::vector<std::string> links()
    {
        return reconcile_test::queryTexts(
            m_components.DbDatabase1, m_form,
            "select ID || ':' || BOOKID || ':' || AUTORID from BOOK_AUTOR order by ID");
    }

    // Pair (1, 2) three times with IDs 7, 3 and 9; pair (5, 6) twice; one
    // link of book 1 to another author, and one of pair (6, 5) reversed.
    void addLinks()
    {
        addLink(7, 1, 2);
        addLink(3, 1, 2);
        addLink(9, 1, 2);
        addLink(10, 5, 6);
        addLink(11, 5, 6);
        addLink(12, 1, 4);
        addLink(13, 6, 5);
    }

    const std::vector<std::string> kAllLinks = {"3:1:2",  "7:1:2",  "9:1:2", "10:5:6",
                                                "11:5:6", "12:1:4", "13:6:5"};
};

TEST_F(DuplicateLinks, NoDuplicatePairs)
{
    m_frontEnd.preferences.DelDoubleRec = true;
    addLink(1, 1, 2);
    addLink(2, 2, 1);
    EXPECT_EQ(search(), (std::vector<std::string>{"Дубли не найдены"}));
    EXPECT_EQ(links(), (std::vector<std::string>{"1:1:2", "2:2:1"}));
}

TEST_F(DuplicateLinks, DeletionKeepsTheLowestIdOfEachPair)
{
    m_frontEnd.preferences.DelDoubleRec = true;
    addLinks();
    EXPECT_EQ(search(), (std::vector<std::string>{
                            "BOOKID=1 AUTORID=2 - 3", "  Почищено BOOKID=1 AUTORID=2",
                            "BOOKID=5 AUTORID=6 - 2", "  Почищено BOOKID=5 AUTORID=6"}));
    EXPECT_EQ(links(), (std::vector<std::string>{"3:1:2", "10:5:6", "12:1:4", "13:6:5"}));
    EXPECT_EQ(m_components.DbQuery1.SQL().Lines(),
              (std::vector<std::string>{
                  "delete from book_autor where autorid = 6 AND BOOKID = 5 AND ID NOT IN (SELECT "
                  "MIN(ID) FROM book_autor where autorid = 6 AND BOOKID = 5)"}));
    EXPECT_EQ(m_components.tblDoubleBook.SelectSQL().Lines(),
              (std::vector<std::string>{"select bookid,autorid , count(*) cnt from book_autor "
                                        "group by bookid,autorid having count(*) > 1"}));
    EXPECT_EQ(m_ui.eventPumps, 0);
}

TEST_F(DuplicateLinks, DeletionOffOnlyLists)
{
    addLinks();
    EXPECT_EQ(search(),
              (std::vector<std::string>{"BOOKID=1 AUTORID=2 - 3", "BOOKID=5 AUTORID=6 - 2"}));
    EXPECT_EQ(links(), kAllLinks);
}

// Another attachment holds link 9: the pair's statement is refused as a
// whole, the server's message is logged, and the next pair is cleaned.
TEST_F(DuplicateLinks, RefusedDeletionIsLoggedAndTheRunGoesOn)
{
    m_frontEnd.preferences.DelDoubleRec = true;
    addLinks();
    reconcile_test::OtherAttachment other(m_root.native() / "catalogue.fdb");
    other.execute("update BOOK_AUTOR set AUTORID = 2 where ID = 9");
    const std::string holder = other.transactionNumber();
    EXPECT_EQ(search(), (std::vector<std::string>{
                            "BOOKID=1 AUTORID=2 - 3",
                            "  !!! Ошибка BOOKID=1 AUTORID=2 - "
                            "Form1.DbQuery1:",
                            "Deadlock.", "Deadlock.", "Update conflicts with concurrent update.",
                            "Concurrent transaction number is " + holder + ".",
                            "BOOKID=5 AUTORID=6 - 2", "  Почищено BOOKID=5 AUTORID=6"}));
    EXPECT_EQ(links(),
              (std::vector<std::string>{"3:1:2", "7:1:2", "9:1:2", "10:5:6", "12:1:4", "13:6:5"}));
}

// A connection lost before the run: the error leaves the check for the run
// frame to show, after the header and nothing else.
TEST_F(DuplicateLinks, FailingGroupingQueryEndsTheRun)
{
    addLinks();
    openBooks();
    m_components.DbDatabase1.SetConnected(false);
    reconcile::Run current = run();
    EXPECT_EQ(reconcile_test::thrownBy([&] { reconcile::SearchDuplicateLinks(current); }),
              "Form1.DbDatabase1: Cannot perform operation -- DB is not open.");
    EXPECT_TRUE(logAfterHeader().empty());
}

} // namespace
