#include "Internals.h"
#include "RecordsCache.h"
#include "TableInfo.h"
#include "TestSupport.h"
#include "db/DbDataSet.h"
#include "db/DbQuery.h"
#include "db/FbErrors.h"

#include "platform/Locale.h"

#include <gtest/gtest.h>

using namespace db;
using dbtest::messageOf;

namespace {

// The 39 columns of the book list, one per line as the window holds them.
const char *const kBookColumns[] = {
    "BOOKID",      "GENRELIST",   "ANNOTATION",  "AUTORLIST",    "KEYWORDS",       "BOOKNAME",
    "DATEVALUE",   "DATEVISIBLE", "LANG",        "COVERPAGE",    "SRCLANG",        "SEQUENCE",
    "SEQNUMBER",   "SEQUENCEID",  "DI_PROGUSED", "DI_DATEVALUE", "DI_DATEVISIBLE", "DI_SRCURL",
    "DI_SRCOCR",   "OLDID",       "DI_VERSION",  "DI_HISTORY",   "PI_BOOKNAME",    "PI_PUBLISHER",
    "PI_CITY",     "PI_YEAR",     "PI_ISBN",     "CUSTOMINFO",   "TEXT",           "DATEIN",
    "DATEUPDATED", "MYID",        "EXT",         "FILESIZE",     "FILENAME",       "FILEPATH",
    "FILEDATE",    "USERID",      "USERNAME"};

std::vector<std::string> bookSelectLines()
{
    std::vector<std::string> lines{"SELECT"};
    const size_t count = std::size(kBookColumns);
    for (size_t i = 0; i < count; ++i)
        lines.push_back(std::string("    ") + kBookColumns[i] + (i + 1 < count ? "," : ""));
    lines.push_back("FROM");
    lines.push_back("    BOOK ");
    return lines;
}

// The window's database components over a catalogue database.
class DataSets : public testing::Test {
protected:
    void SetUp() override
    {
        platform::setLocaleFormats({"dd.MM.yyyy", "H:mm:ss", '.'});
        ASSERT_NO_FATAL_FAILURE(dbtest::createDatabase(m_file, 3, true));
        form.database.SetConnected(true);
        for (TDbDataSet *dataSet : {&books, &doubles}) {
            dataSet->SetDatabase(&form.database);
            dataSet->SetTransaction(&form.transaction);
        }
        books.SelectSQL().Assign(bookSelectLines());
        query.SetDatabase(&form.database);
        query.SetTransaction(&form.transaction);
    }

    void run(const std::string &text)
    {
        if (!form.transaction.Active())
            form.transaction.StartTransaction();
        query.SQL().Clear();
        query.SQL().Add(text);
        query.ExecQuery();
    }

    void addBooks(const std::vector<std::string> &fileNames)
    {
        for (const std::string &name : fileNames) {
            ++m_lastId;
            run("insert into BOOK (BOOKID, BOOKNAME, FILENAME) values (" +
                std::to_string(m_lastId) + ", 'Title " + std::to_string(m_lastId) + "', " +
                (name == "NULL" ? name : "'" + name + "'") + ")");
        }
        form.transaction.Commit();
    }

    std::vector<std::string> walk(TFbDataSet &dataSet, const std::string &field)
    {
        std::vector<std::string> values;
        for (dataSet.MoveFirst(); !dataSet.AtEnd(); dataSet.MoveNext())
            values.push_back(dataSet.FieldNamed(field).AsText());
        return values;
    }

    void openDoubles(const std::string &select)
    {
        doubles.SetActive(false);
        doubles.SelectSQL().Clear();
        doubles.SelectSQL().Add(select);
        doubles.SetActive(true);
    }

    dbtest::TempFolder m_folder;
    std::filesystem::path m_file = m_folder.native() / "catalogue.fdb";
    dbtest::Form1 form{m_file};
    TDbQuery query{&form.form, "DbQuery1"};
    TDbDataSet books{&form.form, "DbDataSet1"};
    TDbDataSet doubles{&form.form, "tblDoubleBook"};
    int m_lastId = 0;
};

TEST_F(DataSets, OpeningStartsTheTransactionAndShowsTheFirstRow)
{
    addBooks({"a.zip", "b.zip"});
    books.SetActive(true);
    EXPECT_TRUE(form.transaction.Active());
    EXPECT_EQ(books.FieldCount(), 39);
    EXPECT_EQ(books.FetchedCount(), 1);
    EXPECT_FALSE(books.AtEnd());
    EXPECT_EQ(books.FieldNamed("filename").AsText(), "a.zip");
    EXPECT_EQ(books.FieldNamed("BOOKID").Origin(), "BOOK.BOOKID");
}

TEST_F(DataSets, WalkFetchesOnDemandAndSecondWalkReadsTheCache)
{
    addBooks({"a.zip", "b.zip", "c.zip"});
    books.SetActive(true);
    books.MoveNext();
    EXPECT_EQ(books.FetchedCount(), 2);
    EXPECT_EQ(walk(books, "FILENAME"), (std::vector<std::string>{"a.zip", "b.zip", "c.zip"}));
    const int serverRows = books.SelectStatement().RowsFetched();
    EXPECT_EQ(serverRows, 3);
    EXPECT_TRUE(books.SelectStatement().Eof());
    // Rows changed meanwhile are not seen: the second walk asks no server.
    run("update BOOK set FILENAME = 'changed'");
    EXPECT_EQ(walk(books, "FILENAME"), (std::vector<std::string>{"a.zip", "b.zip", "c.zip"}));
    EXPECT_EQ(books.SelectStatement().RowsFetched(), serverRows);
    EXPECT_EQ(books.FetchedCount(), 3);
}

TEST_F(DataSets, EmptyResultIsAtEndWithNullFields)
{
    books.SetActive(true);
    EXPECT_TRUE(books.AtEnd());
    books.MoveFirst();
    EXPECT_TRUE(books.AtEnd());
    EXPECT_TRUE(books.FieldNamed("FILENAME").IsNull());
    EXPECT_EQ(books.FieldNamed("BOOKID").AsText(), "");
    books.MoveNext();
    EXPECT_TRUE(books.AtEnd());
}

TEST_F(DataSets, SingleRowStaysReadableAtTheEnd)
{
    addBooks({"only.zip"});
    books.SetActive(true);
    books.MoveFirst();
    EXPECT_FALSE(books.AtEnd());
    books.MoveNext();
    EXPECT_TRUE(books.AtEnd());
    EXPECT_EQ(books.FieldNamed("FILENAME").AsText(), "only.zip");
    books.MoveNext();
    EXPECT_TRUE(books.AtEnd());
    EXPECT_EQ(books.FieldNamed("BOOKNAME").AsText(), "Title 1");
}

TEST_F(DataSets, OpeningAnOpenDataSetChangesNothing)
{
    addBooks({"a.zip", "b.zip"});
    books.SetActive(true);
    books.MoveNext();
    books.SetActive(true);
    EXPECT_EQ(books.FieldNamed("FILENAME").AsText(), "b.zip");
    EXPECT_EQ(books.FetchedCount(), 2);
}

TEST_F(DataSets, CommitClosesRetainingKeepsOpenAndReopenRefetches)
{
    addBooks({"a.zip"});
    books.SetActive(true);
    form.transaction.CommitRetaining();
    EXPECT_TRUE(books.Active());
    EXPECT_EQ(books.FieldNamed("FILENAME").AsText(), "a.zip");
    form.transaction.Commit();
    EXPECT_FALSE(books.Active());
    EXPECT_EQ(db::detail::Internals::recordCache(books), nullptr);
    EXPECT_EQ(messageOf<EDatabaseError>([&] { books.FieldNamed("FILENAME"); }),
              "DbDataSet1: Field 'FILENAME' not found");
    EXPECT_EQ(messageOf<EDatabaseError>([&] { books.MoveFirst(); }),
              "DbDataSet1: Cannot perform this operation on a closed dataset");
    run("update BOOK set FILENAME = 'new.zip'");
    form.transaction.Commit();
    books.SetActive(true);
    EXPECT_TRUE(form.transaction.Active());
    EXPECT_EQ(books.FieldNamed("FILENAME").AsText(), "new.zip");
}

TEST_F(DataSets, DisconnectClosesTheDataSet)
{
    addBooks({"a.zip"});
    books.SetActive(true);
    form.database.SetConnected(false);
    EXPECT_FALSE(books.Active());
    form.database.SetConnected(true);
    books.SetActive(true);
    EXPECT_EQ(books.FieldNamed("FILENAME").AsText(), "a.zip");
}

TEST_F(DataSets, SelectSqlCannotChangeWhileOpen)
{
    addBooks({"a.zip", "a.zip"});
    openDoubles("select FILENAME, count(*) CNT from BOOK group by FILENAME having count(*) > 1");
    EXPECT_EQ(walk(doubles, "CNT"), std::vector<std::string>{"2"});
    EXPECT_EQ(messageOf<EFbClientError>([&] { doubles.SelectSQL().Clear(); }),
              "Can't change sql text because Form1.tblDoubleBook.SelectQuery dataset open.");
    EXPECT_EQ(doubles.SelectSQL().Count(), 1);
    // A closed cursor under an open dataset: the dataset's own check answers.
    doubles.SelectStatement().Close();
    EXPECT_EQ(messageOf<EFbClientError>([&] { doubles.SelectSQL().Add("x"); }),
              "Can't  change SelectSQL  because Form1.tblDoubleBook dataset open.");
    EXPECT_EQ(doubles.SelectSQL().Count(), 1);
    doubles.SetActive(false);
    openDoubles("select BOOKID, AUTORID from BOOK_AUTOR");
    EXPECT_EQ(doubles.FieldNamed("AUTORID").DataType(), ftInteger);
}

TEST_F(DataSets, FailedOpenLeavesNothingOpen)
{
    doubles.SelectSQL().Add("select NO_SUCH_COLUMN from BOOK");
    try {
        doubles.SetActive(true);
        FAIL() << "no error";
    } catch (const EFbServerError &error) {
        EXPECT_EQ(std::string(error.what()).rfind("Form1.tblDoubleBook.SelectQuery:\r\n", 0), 0u);
    }
    EXPECT_FALSE(doubles.Active());
    EXPECT_EQ(doubles.FieldCount(), 0);
    EXPECT_EQ(db::detail::Internals::recordCache(doubles), nullptr);

    doubles.SelectSQL().Clear();
    EXPECT_EQ(messageOf<EFbClientError>([&] { doubles.SetActive(true); }),
              "Can't Prepare Form1.tblDoubleBook , because  query is empty");

    // Failing at execution, after a good prepare: closed but still prepared.
    doubles.SelectSQL().Add("select BOOKID from BOOK where 1 / (BOOKID - BOOKID) = 1");
    addBooks({"a.zip"});
    EXPECT_THROW(doubles.SetActive(true), EFbServerError);
    EXPECT_FALSE(doubles.Active());
    EXPECT_TRUE(doubles.Prepared());
    EXPECT_EQ(doubles.FieldCount(), 0);
}

TEST_F(DataSets, FetchErrorKeepsTheCachedRows)
{
    addBooks({"a.zip", "b.zip", "c.zip"});
    openDoubles("select 10 / (BOOKID - 2) Q from BOOK order by BOOKID");
    EXPECT_EQ(doubles.FieldNamed("Q").AsText(), "-10");
    EXPECT_THROW(doubles.MoveNext(), EFbServerError);
    EXPECT_TRUE(doubles.Active());
    EXPECT_EQ(doubles.FetchedCount(), 1);
    doubles.MoveFirst();
    EXPECT_EQ(doubles.FieldNamed("Q").AsText(), "-10");
}

TEST_F(DataSets, FieldNamesIgnoreLetterCaseOnly)
{
    addBooks({"a.zip"});
    books.SetActive(true);
    EXPECT_EQ(&books.FieldNamed("FileName"), &books.FieldNamed("FILENAME"));
    EXPECT_EQ(messageOf<EDatabaseError>([&] { books.FieldNamed(" FILENAME"); }),
              "DbDataSet1: Field ' FILENAME' not found");
}

TEST_F(DataSets, ServerCountsTheRows)
{
    addBooks({"a.zip", "b.zip", "c.zip"});
    EXPECT_EQ(books.ServerRecordCount(), 0); // no transaction yet
    EXPECT_EQ(books.CountStatement().SQL().Count(), 0);
    books.SetActive(true);
    EXPECT_EQ(books.ServerRecordCount(), 3);
    std::vector<std::string> expected = bookSelectLines();
    expected.front() = "Select Count(*) from (SELECT";
    expected.push_back(")");
    EXPECT_EQ(books.CountStatement().SQL().Lines(), expected);
    const TFbHandle handle = books.CountStatement().StatementHandle();
    EXPECT_EQ(books.ServerRecordCount(), 3);
    EXPECT_EQ(books.CountStatement().StatementHandle(), handle);
}

TEST_F(DataSets, FailingCountNamesTheDataSet)
{
    addBooks({"a.zip"});
    books.SetActive(true);
    books.OnAskRecordCount = [](TDbDataSet &, std::string &text) {
        text = "select count(*) from BOOK where 1 / (BOOKID - BOOKID) = 1";
    };
    const std::string message = messageOf<std::runtime_error>([&] { books.ServerRecordCount(); });
    EXPECT_EQ(message.rfind("Form1.DbDataSet1 unable to get number of records\r\n"
                            "Form1.DbDataSet1.CountQuery:\r\n",
                            0),
              0u)
        << message;
    EXPECT_TRUE(books.Active());
    books.OnAskRecordCount = [](TDbDataSet &, std::string &text) { text = "select from"; };
    EXPECT_THROW(books.ServerRecordCount(), EFbServerError);
}

TEST_F(DataSets, GroupingCountReadsAsPlainDigits)
{
    addBooks({"x.zip", "x.zip", "x.zip", "y.zip"});
    openDoubles("select FILENAME, count(*) CNT from BOOK group by FILENAME having count(*) > 1");
    EXPECT_EQ(doubles.FieldNamed("CNT").DataType(), ftBCD);
    EXPECT_EQ(walk(doubles, "CNT"), std::vector<std::string>{"3"});
}

TEST_F(DataSets, ControlsNest)
{
    int disabled = 0;
    int enabled = 0;
    books.OnDisableControls = [&](TFbDataSet &) { ++disabled; };
    books.OnEnableControls = [&](TFbDataSet &) { ++enabled; };
    books.EnableControls();
    books.DisableControls();
    books.DisableControls();
    books.EnableControls();
    EXPECT_TRUE(books.ControlsDisabled());
    books.EnableControls();
    EXPECT_FALSE(books.ControlsDisabled());
    EXPECT_EQ(disabled, 1);
    EXPECT_EQ(enabled, 1);
}

TEST_F(DataSets, LongTextsLiveOutsideTheRows)
{
    addBooks({std::string(200, 'x') + ".zip"});
    openDoubles("select FILENAME, LANG from BOOK");
    // status byte, two null flags, a 4-byte text reference, CHAR(2) inline
    EXPECT_EQ(db::detail::Internals::recordCache(doubles)->RowSize(), 1 + 2 + 4 + 2);
    EXPECT_EQ(doubles.FieldNamed("FILENAME").AsText(), std::string(200, 'x') + ".zip");
}

// A dataset that shows only some rows, through the visibility hook.
class EvenBooks : public TDbDataSet {
public:
    using TDbDataSet::TDbDataSet;
    std::vector<int> tested;

protected:
    bool RecordVisible(int row) override
    {
        tested.push_back(row);
        // In the filter state the fields read the row under test.
        EXPECT_EQ(State(), dsFilter);
        const auto id = std::get<std::int64_t>(FieldNamed("BOOKID").Value());
        EXPECT_EQ(FieldNamed("BOOKID").AsText(), std::to_string(id));
        return id % 2 == 0;
    }
};

TEST_F(DataSets, HiddenRowsAreSkippedInEitherWalk)
{
    addBooks({"1.zip", "2.zip", "3.zip", "4.zip", "5.zip"});
    EvenBooks even(&form.form, "EvenBooks");
    even.SetDatabase(&form.database);
    even.SetTransaction(&form.transaction);
    even.SelectSQL().Add("select BOOKID, FILENAME from BOOK order by BOOKID");
    even.SetActive(true);
    EXPECT_EQ(even.FieldNamed("FILENAME").AsText(), "2.zip");
    EXPECT_EQ(even.State(), dsBrowse);
    EXPECT_EQ(walk(even, "FILENAME"), (std::vector<std::string>{"2.zip", "4.zip"}));
    // The hidden fifth row was fetched and tested before the end was known,
    // and the last shown row stays readable.
    EXPECT_EQ(even.FetchedCount(), 5);
    EXPECT_EQ(even.FieldNamed("FILENAME").AsText(), "4.zip");
    // Any cached row can be read, shown or not.
    EXPECT_EQ(even.FieldNamed("FILENAME").TextAt(4), "5.zip");
    EXPECT_EQ(std::get<std::int64_t>(even.FieldNamed("BOOKID").ValueAt(0)), 1);
    EXPECT_TRUE(even.FieldNamed("FILENAME").IsNullAt(5));
}

TEST_F(DataSets, FetchAllKeepsThePosition)
{
    addBooks({"a.zip", "b.zip", "c.zip"});
    books.SetActive(true);
    books.FetchAll();
    EXPECT_EQ(books.FetchedCount(), 3);
    EXPECT_EQ(books.FieldNamed("FILENAME").AsText(), "a.zip");
    EXPECT_EQ(walk(books, "FILENAME"), (std::vector<std::string>{"a.zip", "b.zip", "c.zip"}));
}

// ---------------------------------------------------------------- column values

class ColumnValues : public DataSets {
protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(DataSets::SetUp());
        run("create domain \"flag_Boolean\" as integer");
        run("create table VALS (ID integer not null primary key, V_VARCHAR varchar(10), "
            "V_LONG varchar(40), V_CHAR10 char(10), V_CHAR20 char(20), V_INT integer, "
            "V_SMALL smallint, V_NUM numeric(18,2), V_NUM9 numeric(9,2), "
            "V_FLAG \"flag_Boolean\", V_PLAIN integer, V_TS timestamp, V_DATE date, "
            "V_TIME time, V_DOUBLE double precision, V_BIG bigint, V_MEMO blob sub_type 1, "
            "V_BOOL boolean, V_N6 numeric(18,6))");
        form.transaction.Commit();
        run("insert into VALS (ID) values (1)");
        run("insert into VALS values (2, '', '', 'ab', 'ab', -5, 32767, 1.50, 1.50, 1, 1, "
            "'2024-03-05 00:00:00', '2024-03-05', '07:08:09', 0.25, 9000000000, "
            "'memo text', true, 1.234567)");
        run("insert into VALS (ID, V_VARCHAR, V_LONG, V_NUM, V_FLAG, V_TS, V_BOOL) values "
            "(3, '  ab  ', '  long text value  ', 0, 0, '2024-03-05 13:04:05.678', false)");
        run("insert into VALS (ID, V_VARCHAR, V_LONG, V_NUM) values (4, '   ', '   ', -0.05)");
        form.transaction.Commit();
    }
};

struct ValueCase {
    std::string column;
    int id;
    std::string text;
    bool isNull;
};

std::ostream &operator<<(std::ostream &out, const ValueCase &c)
{
    return out << c.column << " of row " << c.id;
}

class FieldTexts : public ColumnValues, public testing::WithParamInterface<ValueCase> {};

TEST_P(FieldTexts, ReadAsTheFieldClassRendersThem)
{
    const ValueCase &c = GetParam();
    openDoubles("select " + c.column + " from VALS where ID = " + std::to_string(c.id));
    const TField &field = doubles.FieldNamed(c.column);
    EXPECT_EQ(field.AsText(), c.text);
    EXPECT_EQ(field.IsNull(), c.isNull);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, FieldTexts,
    testing::Values(
        ValueCase{"V_VARCHAR", 1, "", true}, ValueCase{"V_VARCHAR", 2, "", false},
        ValueCase{"V_VARCHAR", 3, "  ab", false}, ValueCase{"V_VARCHAR", 4, "", false},
        ValueCase{"V_LONG", 1, "", true}, ValueCase{"V_LONG", 2, "", false},
        ValueCase{"V_LONG", 3, "  long text value", false}, ValueCase{"V_LONG", 4, "", false},
        ValueCase{"V_CHAR10", 2, "ab", false}, ValueCase{"V_CHAR20", 2, "ab", false},
        ValueCase{"V_INT", 2, "-5", false}, ValueCase{"V_INT", 1, "", true},
        ValueCase{"V_SMALL", 2, "32767", false}, ValueCase{"V_NUM", 2, "1.5", false},
        ValueCase{"V_NUM", 3, "0", false}, ValueCase{"V_NUM", 4, "-0.05", false},
        ValueCase{"V_NUM9", 2, "1.5", false}, ValueCase{"V_FLAG", 2, "True", false},
        ValueCase{"V_FLAG", 3, "False", false}, ValueCase{"V_PLAIN", 2, "1", false},
        ValueCase{"V_TS", 2, "05.03.2024", false},
        ValueCase{"V_TS", 3, "05.03.2024 13:04:05", false},
        ValueCase{"V_DATE", 2, "05.03.2024", false}, ValueCase{"V_TIME", 2, "7:08:09", false},
        ValueCase{"V_DOUBLE", 2, "0.25", false}, ValueCase{"V_BIG", 2, "9000000000", false},
        ValueCase{"V_MEMO", 2, "memo text", false}, ValueCase{"V_BOOL", 2, "True", false},
        ValueCase{"V_BOOL", 3, "False", false}, ValueCase{"V_N6", 2, "1.234567", false}));

TEST_F(ColumnValues, FieldClassesFollowTheColumnTypes)
{
    openDoubles("select * from VALS order by ID");
    const std::vector<std::pair<std::string, TFieldType>> expected{
        {"V_VARCHAR", ftString}, {"V_CHAR10", ftString}, {"V_INT", ftInteger},
        {"V_SMALL", ftSmallint}, {"V_NUM", ftBCD},       {"V_NUM9", ftFloat},
        {"V_FLAG", ftBoolean},   {"V_PLAIN", ftInteger}, {"V_TS", ftDateTime},
        {"V_DATE", ftDate},      {"V_TIME", ftTime},     {"V_DOUBLE", ftFloat},
        {"V_BIG", ftBCD},        {"V_MEMO", ftMemo},     {"V_BOOL", ftBoolean},
        {"V_N6", ftFloat}};
    for (const auto &[name, type] : expected)
        EXPECT_EQ(doubles.FieldNamed(name).DataType(), type) << name;
    EXPECT_EQ(doubles.FieldNamed("V_NUM").Size(), 2);
    EXPECT_EQ(doubles.FieldNamed("V_BIG").Size(), 0);
    // An expression has no origin table, so it is never a flag.
    openDoubles("select cast(V_FLAG as integer) F from VALS");
    EXPECT_EQ(doubles.FieldNamed("F").DataType(), ftInteger);
}

TEST_F(ColumnValues, ValuesOfAnyCachedRowInTheirNaturalTypes)
{
    openDoubles("select * from VALS order by ID");
    doubles.FetchAll();
    const auto valueOf = [&](const char *name, int row) {
        return doubles.FieldNamed(name).ValueAt(row);
    };
    EXPECT_EQ(valueOf("V_VARCHAR", 0), TFieldValue());
    EXPECT_EQ(valueOf("V_VARCHAR", 2), TFieldValue(std::string("  ab")));
    EXPECT_EQ(valueOf("V_INT", 1), TFieldValue(std::int64_t{-5}));
    EXPECT_EQ(valueOf("V_NUM", 3), TFieldValue(-0.05));
    EXPECT_EQ(valueOf("V_BIG", 1), TFieldValue(std::int64_t{9000000000}));
    EXPECT_EQ(valueOf("V_FLAG", 1), TFieldValue(true));
    EXPECT_EQ(valueOf("V_DATE", 1), TFieldValue(TDateTimeValue{45356}));
    EXPECT_EQ(valueOf("V_TS", 1), TFieldValue(TDateTimeValue{45356}));
    EXPECT_EQ(valueOf("V_TIME", 1), TFieldValue(TDateTimeValue{(7 * 3600 + 8 * 60 + 9) / 86400.0}));
    EXPECT_EQ(valueOf("V_DOUBLE", 1), TFieldValue(0.25));
    EXPECT_EQ(doubles.FieldNamed("V_CHAR20").TextAt(1), "ab");
}

TEST_F(ColumnValues, ColumnInformationIsLoadedOncePerTable)
{
    openDoubles("select V_FLAG from VALS");
    const int loads = TDbTableInfoCollect::Instance().LoadCount();
    openDoubles("select V_FLAG, V_PLAIN from VALS");
    form.transaction.Commit();
    openDoubles("select ID, V_FLAG from VALS where ID = 3");
    EXPECT_EQ(TDbTableInfoCollect::Instance().LoadCount(), loads);
    EXPECT_EQ(doubles.FieldNamed("V_FLAG").AsText(), "False");
}

TEST_F(ColumnValues, ColumnInformationWithoutAnActiveTransaction)
{
    TFbDataSet plain(&form.form, "Plain");
    plain.SetDatabase(&form.database);
    plain.SetTransaction(&form.transaction);
    plain.SetOptions(plain.Options() & ~poStartTransaction);
    plain.SelectSQL().Add("select V_FLAG from VALS where ID = 2");
    EXPECT_EQ(messageOf<EFbClientError>([&] { plain.SetActive(true); }),
              "Form1.DbTransaction1 :Transaction is not active.");
    // Loading the table's columns needs no transaction of the caller's.
    TDbTableInfo &info =
        TDbTableInfoCollect::Instance().TableInfo(form.database, nullptr, "\"AUTOR\" ");
    EXPECT_EQ(info.fields.size(), 5u);
    EXPECT_EQ(info.FieldInfo("favorite")->domainName, "D_BOOLEAN");
    EXPECT_TRUE(TDbTableInfoCollect::Instance().IsBooleanColumn(form.database, nullptr, "AUTOR",
                                                                "FAVORITE"));
    EXPECT_FALSE(form.transaction.Active());
}

} // namespace
