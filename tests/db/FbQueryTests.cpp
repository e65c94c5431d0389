#include "FbClient.h"
#include "TestSupport.h"
#include "db/DbQuery.h"
#include "db/FbErrors.h"

#include "platform/Locale.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace db;
using dbtest::messageOf;

namespace {

// A catalogue database with the application's connection, transaction and
// statement, connected and in an active transaction.
class Statements : public testing::Test {
protected:
    void SetUp() override
    {
        platform::setLocaleFormats({"dd.MM.yyyy", "H:mm:ss", '.'});
        ASSERT_NO_FATAL_FAILURE(dbtest::createDatabase(m_file, 3, true));
        form.database.SetConnected(true);
        form.transaction.StartTransaction();
        query.SetDatabase(&form.database);
        query.SetTransaction(&form.transaction);
    }

    void run(const std::string &text)
    {
        query.Close();
        query.SQL().Clear();
        query.SQL().Add(text);
        query.ExecQuery();
    }

    std::vector<std::string> column(const std::string &select, int index = 0)
    {
        run(select);
        std::vector<std::string> values;
        for (const TFbXSQLDA *row = query.Eof() ? nullptr : &query.Current(); row != nullptr;
             row = query.Next())
            values.push_back(query.Column(index).AsText());
        return values;
    }

    void addBook(int id, const std::string &fileName)
    {
        run("insert into BOOK (BOOKID, FILENAME) values (" + std::to_string(id) + ", '" + fileName +
            "')");
    }

    dbtest::TempFolder m_folder;
    std::filesystem::path m_file = m_folder.native() / "catalogue.fdb";
    dbtest::Form1 form{m_file};
    TDbQuery query{&form.form, "DbQuery1"};
};

TEST_F(Statements, SameTextRunsPreparedTwiceNewTextPreparesAgain)
{
    addBook(1, "a.zip");
    query.SQL().Clear();
    query.SQL().Add("update BOOK set OLDID = 'x' where BOOKID = 1");
    EXPECT_FALSE(query.Prepared());
    query.ExecQuery();
    ASSERT_TRUE(query.Prepared());
    EXPECT_EQ(query.StatementType(), SQLUpdate);
    const TFbHandle handle = query.StatementHandle();
    int prepares = 0;
    query.BeforeExecute = [&](TFbQuery &q) { prepares += q.Prepared() ? 0 : 1; };
    query.ExecQuery();
    EXPECT_EQ(prepares, 0);
    EXPECT_EQ(query.StatementHandle(), handle);
    // The same text again is still a change: the server statement is dropped.
    query.SQL().Assign(query.SQL().Lines());
    EXPECT_FALSE(query.Prepared());
    EXPECT_EQ(query.StatementHandle(), 0u);
    query.ExecQuery();
    EXPECT_EQ(prepares, 1);
    EXPECT_TRUE(query.Prepared());
}

TEST_F(Statements, SelectOpensOnTheFirstRowAndEmptyResultIsAtEof)
{
    addBook(1, "a.zip");
    addBook(2, "b.zip");
    run("select FILENAME from BOOK order by BOOKID");
    EXPECT_TRUE(query.Open());
    EXPECT_EQ(query.RowsFetched(), 1);
    EXPECT_FALSE(query.Bof());
    EXPECT_EQ(query.ColumnNamed("filename").AsText(), "a.zip");
    ASSERT_NE(query.Next(), nullptr);
    EXPECT_EQ(query.Column(0).AsText(), "b.zip");
    EXPECT_EQ(query.Next(), nullptr);
    EXPECT_TRUE(query.Eof());
    EXPECT_EQ(query.Next(), nullptr);
    EXPECT_EQ(query.RowsFetched(), 2);

    run("select FILENAME from BOOK where BOOKID < 0");
    EXPECT_TRUE(query.Eof());
    EXPECT_EQ(query.RowsFetched(), 0);
    EXPECT_TRUE(query.Column(0).IsNull());
}

TEST_F(Statements, ResultColumnsAreNamedUniquely)
{
    run("select BOOKID, BOOKID, bookid as \"BookId\", 1, 2 from BOOK");
    std::vector<std::string> names;
    for (int i = 0; i < query.Current().Count(); ++i)
        names.push_back(query.Current()[i].Name());
    EXPECT_EQ(names,
              (std::vector<std::string>{"BOOKID", "BOOKID1", "BookId2", "CONSTANT", "CONSTANT1"}));
    EXPECT_EQ(&query.ColumnNamed("\"BOOKID1\""), &query.Current()[1]);
}

// This server names every column, so the unnamed ones of older servers are
// written into the area by hand.
TEST(ResultArea, ColumnsWithoutAliasAreNumbered)
{
    TFbQuery query;
    TFbXSQLDA &area = query.Current();
    area.Resize(3);
    auto *raw = static_cast<XSQLDA *>(area.Record());
    for (int i = 0; i < 3; ++i) {
        raw->sqlvar[i].sqltype = SQL_LONG + 1;
        raw->sqlvar[i].sqllen = 4;
    }
    raw->sqlvar[1].aliasname_length = 3;
    std::memcpy(raw->sqlvar[1].aliasname, "F_1", 3);
    area.Initialize();
    EXPECT_EQ(area[0].Name(), "F_1");
    EXPECT_EQ(area[1].Name(), "F_11");
    EXPECT_EQ(area[2].Name(), "F_2");
    EXPECT_EQ(std::string(raw->sqlvar[1].aliasname, raw->sqlvar[1].aliasname_length), "F_11");
    EXPECT_TRUE(area[0].IsNull());
}

TEST_F(Statements, LongDuplicateNamesAreCutToThirtyTwo)
{
    const std::string alias(31, 'A');
    std::string select = "select 1 as " + alias;
    for (int i = 0; i < 10; ++i)
        select += ", 1 as " + alias;
    run(select + " from rdb$database");
    EXPECT_EQ(query.Current()[1].Name(), alias + "1");
    EXPECT_EQ(query.Current()[10].Name(), std::string(30, 'A') + "10");
}

struct ValueCase {
    std::string expression;
    std::string text;
};

std::ostream &operator<<(std::ostream &out, const ValueCase &c)
{
    return out << c.expression;
}

class ColumnTexts : public Statements, public testing::WithParamInterface<ValueCase> {};

TEST_P(ColumnTexts, RenderAsTheServerTypedThem)
{
    EXPECT_EQ(column("select " + GetParam().expression + " from rdb$database"),
              std::vector<std::string>{GetParam().text});
}

INSTANTIATE_TEST_SUITE_P(
    Expressions, ColumnTexts,
    testing::Values(
        ValueCase{"cast(12.50 as numeric(18,2))", "12.5"},
        ValueCase{"cast(12 as numeric(18,2))", "12"},
        ValueCase{"cast(-0.05 as numeric(18,2))", "-0.05"},
        ValueCase{"cast(0 as numeric(18,2))", "0"},
        ValueCase{"cast(-123456789012345.6789 as numeric(18,4))", "-123456789012345.6789"},
        ValueCase{"count(*)", "1"}, ValueCase{"cast(-5 as integer)", "-5"},
        ValueCase{"cast(32767 as smallint)", "32767"}, ValueCase{"cast(null as integer)", ""},
        ValueCase{"cast(1.5 as numeric(9,2))", "1.5"},
        ValueCase{"cast(0.1 as double precision)", "0.1"},
        ValueCase{"cast(1e20 as double precision)", "1e+20"},
        ValueCase{"cast(2.5 as float)", "2.5"}, ValueCase{"cast('ab' as char(10))", "ab        "},
        ValueCase{"cast(' x ' as varchar(10))", " x "},
        ValueCase{"cast('2024-03-05 00:00:00' as timestamp)", "05.03.2024"},
        ValueCase{"cast('2024-03-05 13:04:05.678' as timestamp)", "05.03.2024 13:04:05"},
        ValueCase{"cast('1858-11-17' as date)", "17.11.1858"},
        ValueCase{"cast('0001-01-01' as date)", "01.01.0001"},
        ValueCase{"cast('07:08:09' as time)", "7:08:09"}, ValueCase{"true", "True"},
        ValueCase{"1 = 0", "False"},
        ValueCase{"cast('memo text' as blob sub_type 1)", "memo text"}));

TEST_F(Statements, TrimOptionDropsTrailingBlanksAndControls)
{
    query.SetOptions(qoTrimCharFields);
    EXPECT_EQ(column("select cast(' ab' || ascii_char(9) as char(10)) from rdb$database"),
              std::vector<std::string>{" ab"});
}

TEST_F(Statements, ValuesReadAsNumbersAndDates)
{
    run("select cast('42' as varchar(5)), cast(-2.75 as numeric(9,2)), "
        "cast('1899-12-31 12:00:00' as timestamp), cast('x' as varchar(5)) from rdb$database");
    EXPECT_EQ(query.Column(0).AsInt64(), 42);
    EXPECT_EQ(query.Column(1).AsInt64(), -2);
    EXPECT_DOUBLE_EQ(query.Column(1).AsDouble(), -2.75);
    EXPECT_DOUBLE_EQ(query.Column(2).AsDateTime(), 1.5);
    EXPECT_EQ(messageOf<EFbClientError>([&] { query.Column(3).AsInt64(); }),
              "Invalid data conversion.");
    EXPECT_EQ(messageOf<EFbClientError>([&] { query.Column(0).AsDateTime(); }),
              "Invalid data conversion.");
    EXPECT_EQ(messageOf<EFbClientError>([&] { query.Column(4); }),
              "Field \"Field No: 4\" not found.");
    EXPECT_EQ(messageOf<EFbClientError>([&] { query.ColumnNamed("NOPE"); }),
              "Field \"NOPE\" not found.");
}

TEST_F(Statements, ParametersAreBoundByName)
{
    addBook(1, "a.zip");
    addBook(2, "b.zip");
    query.SQL().Clear();
    query.SQL().Add("select BOOKID from BOOK where FILENAME = :NAME or BOOKID = :ID");
    EXPECT_EQ(query.TextToSend(), "select BOOKID from BOOK where FILENAME = ? or BOOKID = ?\r\n");
    query.Prepare();
    query.ParamNamed("name").SetAsText("b.zip");
    query.ParamNamed("ID").SetNull();
    query.ExecQuery();
    EXPECT_EQ(query.Column(0).AsText(), "2");
    EXPECT_EQ(messageOf<std::runtime_error>([&] { query.ParamNamed("OTHER"); }),
              "Parameter \"OTHER\" does not exist in Form1.DbQuery1");
}

TEST_F(Statements, QuestionMarkInsideQuotesIsNoParameter)
{
    addBook(1, "a.zip");
    run("update BOOK set OLDID = 'what?:x' where BOOKID = 1");
    EXPECT_EQ(query.Params().Count(), 0);
    EXPECT_EQ(column("select OLDID from BOOK"), std::vector<std::string>{"what?:x"});
}

TEST_F(Statements, UnclosedCommentOrStringIsClientError51)
{
    query.SQL().Clear();
    EXPECT_EQ(messageOf<EFbClientError>([&] { query.SQL().Add("select :a from t /* x"); }),
              "SQL Parse Error in :Form1.DbQuery1 \r\n\r\nEOF in comment detected");
    query.SQL().Clear();
    EXPECT_EQ(messageOf<EFbClientError>([&] { query.SQL().Add("select :a from t where b = 'x"); }),
              "SQL Parse Error in :Form1.DbQuery1 \r\n\r\nEOF in string detected");
}

TEST_F(Statements, DdlRunsImmediatelyAndProceduresThroughExecute2)
{
    run("create table EXTRA (ID integer)");
    EXPECT_EQ(query.StatementHandle(), 0u);
    form.transaction.CommitRetaining();
    run("insert into EXTRA values (7)");
    EXPECT_EQ(column("select ID from EXTRA"), std::vector<std::string>{"7"});

    addBook(1, "a.zip");
    run("insert into BOOK_AUTOR (ID, BOOKID, AUTORID) values (1, 1, 9)");
    run("execute procedure DELBOOK(1)");
    EXPECT_EQ(query.StatementType(), SQLExecProcedure);
    EXPECT_TRUE(query.ProcedureOutput());
    EXPECT_EQ(column("select count(*) from BOOK_AUTOR"), std::vector<std::string>{"0"});
}

TEST_F(Statements, ServerRefusalNamesTheStatementAndFreesTheHandle)
{
    query.SQL().Clear();
    query.SQL().Add("update NO_SUCH_TABLE set A = 1");
    try {
        query.ExecQuery();
        FAIL() << "no error";
    } catch (const EFbServerError &error) {
        const std::string message = error.what();
        EXPECT_EQ(message.rfind("Form1.DbQuery1:\r\n", 0), 0u) << message;
        EXPECT_NE(message.find("NO_SUCH_TABLE"), std::string::npos) << message;
        EXPECT_EQ(message.substr(message.size() - 2), "\r\n");
        EXPECT_EQ(error.Sender(), &query);
        EXPECT_EQ(error.SQLCode(), -204);
    }
    EXPECT_EQ(query.StatementHandle(), 0u);
    EXPECT_FALSE(query.Prepared());
}

TEST_F(Statements, ChecksBeforeTheServerIsAsked)
{
    TDbQuery loose(&form.form, "DbQuery2");
    loose.SQL().Add("select 1 from rdb$database");
    EXPECT_EQ(messageOf<EFbClientError>([&] { loose.ExecQuery(); }),
              "Transaction not assigned for Form1.DbQuery2.");
    loose.SetTransaction(&form.transaction);
    EXPECT_EQ(messageOf<EFbClientError>([&] { loose.ExecQuery(); }),
              "Database not assigned for Form1.DbQuery2.");
    loose.SetDatabase(&form.database);
    form.transaction.Commit();
    EXPECT_EQ(messageOf<EFbClientError>([&] { loose.ExecQuery(); }),
              "Form1.DbTransaction1 :Transaction is not active.");
    form.transaction.StartTransaction();
    loose.SQL().Clear();
    loose.SQL().Add("  ");
    EXPECT_EQ(messageOf<EFbClientError>([&] { loose.ExecQuery(); }),
              "Can't Prepare , because  query is empty");
    loose.SQL().Clear();
    loose.SQL().Add("set transaction");
    EXPECT_EQ(messageOf<EFbClientError>([&] { loose.ExecQuery(); }), "Not permitted.");
    EXPECT_EQ(loose.StatementHandle(), 0u);
    form.database.SetConnected(false);
    EXPECT_EQ(messageOf<EFbClientError>([&] { loose.ExecQuery(); }),
              "Form1.DbDatabase1: Cannot perform operation -- DB is not open.");
}

TEST_F(Statements, CommitClosesTheCursorRetainingKeepsIt)
{
    addBook(1, "a.zip");
    addBook(2, "b.zip");
    run("select BOOKID from BOOK");
    form.transaction.CommitRetaining();
    EXPECT_TRUE(query.Open());
    EXPECT_NE(query.Next(), nullptr);
    form.transaction.Commit();
    EXPECT_FALSE(query.Open());
    EXPECT_FALSE(query.Eof());
    EXPECT_TRUE(query.Prepared());
    EXPECT_EQ(messageOf<EFbClientError>([&] { query.Next(); }),
              "Can't fetch next record because Form1.DbQuery1 dataset closed.");
    form.transaction.StartTransaction();
    query.ExecQuery();
    EXPECT_EQ(query.Column(0).AsText(), "1");
    EXPECT_EQ(messageOf<EFbClientError>([&] { query.SQL().Clear(); }),
              "Can't change sql text because Form1.DbQuery1 dataset open.");
    EXPECT_EQ(query.SQL().Count(), 1);
}

TEST_F(Statements, FetchErrorClosesTheCursor)
{
    addBook(1, "a.zip");
    addBook(2, "b.zip");
    query.SetGoToFirstRecordOnExecute(false);
    run("select 10 / (BOOKID - 2) from BOOK order by BOOKID");
    ASSERT_NE(query.Next(), nullptr);
    EXPECT_EQ(query.Column(0).AsText(), "-10");
    EXPECT_THROW(query.Next(), EFbServerError);
    EXPECT_FALSE(query.Open());
    EXPECT_TRUE(query.Prepared());
}

TEST_F(Statements, DisconnectFreesTheStatement)
{
    run("select 1 from rdb$database");
    form.database.SetConnected(false);
    EXPECT_FALSE(query.Open());
    EXPECT_FALSE(query.Prepared());
    EXPECT_EQ(query.StatementHandle(), 0u);
}

TEST_F(Statements, OnExecuteErrorRetriesOrAborts)
{
    query.SQL().Clear();
    query.SQL().Add("insert into BOOK (BOOKID) values (1)");
    query.ExecQuery();
    int calls = 0;
    query.OnExecuteError = [&](TDbQuery &, const EFbError &, TDbExecuteErrorAction &action) {
        ++calls;
        if (calls == 1) {
            // Make the retry succeed: free the key, then ask for it again.
            TDbQuery cleanup(&form.form, "Cleanup");
            cleanup.SetDatabase(&form.database);
            cleanup.SetTransaction(&form.transaction);
            cleanup.SQL().Add("delete from BOOK");
            cleanup.ExecQuery();
            action = eaRetry;
        } else {
            action = eaAbort;
        }
    };
    query.ExecQuery();
    EXPECT_EQ(calls, 1);
    EXPECT_THROW(query.ExecQuery(), EAbort);
    EXPECT_EQ(calls, 2);
    query.OnExecuteError = nullptr;
    EXPECT_THROW(query.ExecQuery(), EFbServerError);
}

TEST_F(Statements, TransactionHearsEveryExecution)
{
    std::vector<std::string> heard;
    form.transaction.BeforeSQLExecute = [&](TFbTransaction &, TFbQuery &q, TFbSQLTypes) {
        heard.push_back("before " + q.Name());
    };
    form.transaction.AfterSQLExecute = [&](TFbTransaction &, TFbQuery &, TFbSQLTypes type) {
        heard.push_back("after " + std::to_string(type));
    };
    run("select 1 from rdb$database");
    EXPECT_EQ(heard, (std::vector<std::string>{"before DbQuery1", "after 1"}));
}

} // namespace
