#include "SqlText.h"
#include "db/DbDataSet.h"

#include <gtest/gtest.h>

using namespace db;
using namespace db::sql;

namespace {

// ---------------------------------------------------------------- statement kinds

struct KindCase {
    std::string text;
    TStatementKind kind;
};

std::ostream &operator<<(std::ostream &out, const KindCase &c)
{
    return out << '"' << c.text << '"';
}

class StatementKinds : public testing::TestWithParam<KindCase> {};

TEST_P(StatementKinds, FirstKeywordDecides)
{
    EXPECT_EQ(ClassifyStatement(GetParam().text), GetParam().kind);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, StatementKinds,
    testing::Values(KindCase{"select * from book\r\n", skSelect},
                    KindCase{"  /* note */ -- line\r\n SeLeCt 1 from rdb$database", skSelect},
                    KindCase{"selectx from t", skOther}, KindCase{"select", skSelect},
                    KindCase{"update book set OLDID = 'x'", skUpdate},
                    KindCase{"insert into t values (1)", skInsert},
                    KindCase{"delete from book_autor where autorid = 1", skDelete},
                    KindCase{"execute procedure DELBOOK(1)", skExecuteProcedure},
                    KindCase{"EXECUTE\r\n BLOCK AS BEGIN END", skExecuteBlock},
                    KindCase{"execute statement 'x'", skOther},
                    KindCase{"create table t (a integer)", skDDL},
                    KindCase{"RECREATE VIEW v AS SELECT 1 FROM RDB$DATABASE", skDDL},
                    KindCase{"drop table t", skDDL}, KindCase{"alter(", skDDL},
                    KindCase{"set generator g to 5", skDDL}, KindCase{"set transaction", skOther},
                    KindCase{"commit", skOther}));

// ---------------------------------------------------------------- parameters

struct ParamCase {
    std::string text;
    bool hasMarkers;
    std::string textToSend;
    std::vector<std::string> names;
};

std::ostream &operator<<(std::ostream &out, const ParamCase &c)
{
    return out << '"' << c.text << '"';
}

class ParameterScans : public testing::TestWithParam<ParamCase> {};

TEST_P(ParameterScans, MarkersOutsideStringsAndComments)
{
    const ParamCase &c = GetParam();
    EXPECT_EQ(HasParameterMarkers(c.text), c.hasMarkers);
    if (!c.hasMarkers)
        return;
    const ParameterScan scan = ScanParameters(c.text);
    EXPECT_EQ(scan.textToSend, c.textToSend);
    EXPECT_EQ(scan.names, c.names);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ParameterScans,
    testing::Values(ParamCase{"update book set OLDID = 'a?b:c' where BOOKID = 5", false, {}, {}},
                    ParamCase{"select 1 /* :x ? */ from t -- :y\r\n", false, {}, {}},
                    ParamCase{"select \"a:b\" from t", false, {}, {}},
                    ParamCase{"select * from t where a = :A and b = ? and c = :A",
                              true,
                              "select * from t where a = ? and b = ? and c = ?",
                              {"A", "", "A"}},
                    ParamCase{"select * from t where a = :\"Mixed Case\"",
                              true,
                              "select * from t where a = ?",
                              {"Mixed Case"}},
                    ParamCase{"select ':no' from t where x = :TN -- :c\r\n",
                              true,
                              "select ':no' from t where x = ? -- :c\r\n",
                              {"TN"}},
                    // Only from the second character on is a marker looked for.
                    ParamCase{"?", false, {}, {}}));

TEST(ParameterScan, UnclosedCommentOrStringIsReported)
{
    EXPECT_THROW(
        {
            try {
                ScanParameters("select :a from t /* open");
            } catch (const SqlScanError &error) {
                EXPECT_STREQ(error.what(), "EOF in comment detected");
                throw;
            }
        },
        SqlScanError);
    EXPECT_THROW(
        {
            try {
                ScanParameters("select :a from t where b = 'open");
            } catch (const SqlScanError &error) {
                EXPECT_STREQ(error.what(), "EOF in string detected");
                throw;
            }
        },
        SqlScanError);
}

// ---------------------------------------------------------------- count texts

// The book dataset's SELECT as the window holds it: one column per line,
// FROM and the table name on lines of their own.
std::string bookSelect()
{
    return "SELECT\r\n    BOOKID,\r\n    GENRELIST,\r\n    FILENAME\r\nFROM\r\n    BOOK \r\n";
}

struct CountCase {
    std::string name;
    std::string select;
    std::string expected;
};

std::ostream &operator<<(std::ostream &out, const CountCase &c)
{
    return out << c.name;
}

class CountRewrites : public testing::TestWithParam<CountCase> {};

TEST_P(CountRewrites, KeepFromAndWhereOnly)
{
    EXPECT_EQ(CountRewrite(GetParam().select), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, CountRewrites,
    testing::Values(
        CountCase{"BookSelect", bookSelect(), "Select Count(*) FROM\r\n    BOOK \r\n"},
        CountCase{"WhereAndOrderBy",
                  "select BOOKID, FILENAME from BOOK where FILENAME <> '' order by FILENAME\r\n",
                  "Select Count(*) from BOOK \r\n WHERE FILENAME <> ''"},
        CountCase{"GroupByAndHavingDropped",
                  "select FILENAME, count(*) CNT from BOOK group by FILENAME having count(*) > 1",
                  "Select Count(*) from BOOK "},
        CountCase{"WhereUpToGroupBy", "select a from t where a > 1 group by a",
                  "Select Count(*) from t \r\n WHERE a > 1"},
        CountCase{"KeywordsInsideParenthesesStringsAndComments",
                  "select (select max(x) from u where u.y = t.y) m, 'from where' s /* from */ "
                  "from t where t.z in (select z from v order by z) order by 1",
                  "Select Count(*) from t \r\n WHERE t.z in (select z from v order by z)"},
        CountCase{"QuotedNames", "select \"FROM\" from \"ORDER\" where \"WHERE\" = 1;",
                  "Select Count(*) from \"ORDER\" \r\n WHERE \"WHERE\" = 1"},
        CountCase{"QuotedNamesInTheCondition", "select a from t where \"A\" = 1 and b = \"C\"\r\n",
                  "Select Count(*) from t \r\n WHERE \"A\" = 1 and b = \"C\""},
        CountCase{"NoFrom", "select 1", ""},
        CountCase{"NotASelect", "update t set a = 1 where b = 2", ""},
        CountCase{"LeadingComment", "/* list */ select a from t", "Select Count(*) from t"}),
    [](const testing::TestParamInfo<CountCase> &row) { return row.param.name; });

TEST(RecordCount, FirebirdTwoCountsOverTheSelectAsDerivedTable)
{
    EXPECT_EQ(RecordCountText(bookSelect(), true), "Select Count(*) from (" + bookSelect() + ")");
    EXPECT_EQ(RecordCountText(bookSelect(), false), "Select Count(*) FROM\r\n    BOOK \r\n");
}

} // namespace
