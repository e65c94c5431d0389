#include "TestSupport.h"
#include "db/DbDataSet.h"
#include "db/DbQuery.h"
#include "db/FbErrors.h"

#include "platform/Locale.h"

#include <gtest/gtest.h>

using namespace db;

namespace {

// The same dataset with every filter evaluated row by row: the plain
// equalities that TDbDataSet answers from its index must give exactly this.
class RowByRowDataSet : public TDbDataSet {
public:
    using TDbDataSet::TDbDataSet;

protected:
    int SkipKnownHidden(int row, bool) override { return row; }
};

// BOOKID and FILENAME of the rows the filters run over, in BOOKID order.
const std::vector<std::pair<int, std::string>> kBooks = {{1, "'a.zip'"},
                                                         {2, "'A.ZIP'"},
                                                         {3, "'a.zip   '"},
                                                         {4, "NULL"},
                                                         {5, "''"},
                                                         {6, "'It''s.zip'"},
                                                         {7, "'D''Artagnan and Co.zip'"},
                                                         {8, "'abc*'"},
                                                         {9, "'abcdef'"},
                                                         {10, "'sub\\x.zip'"},
                                                         {11, "'a.zip'"}};

class Filters : public testing::Test {
protected:
    void SetUp() override
    {
        platform::setLocaleFormats({"dd.MM.yyyy", "H:mm:ss", '.'});
        ASSERT_NO_FATAL_FAILURE(dbtest::createDatabase(m_file, 3, true));
        form.database.SetConnected(true);
        form.transaction.StartTransaction();
        TDbQuery insert(&form.form, "DbQuery1");
        insert.SetDatabase(&form.database);
        insert.SetTransaction(&form.transaction);
        for (const auto &[id, name] : kBooks) {
            insert.SQL().SetText("insert into BOOK (BOOKID, SEQNUMBER, FILENAME) values (" +
                                 std::to_string(id) + ", " + std::to_string(id * 10) + ", " + name +
                                 ")");
            insert.ExecQuery();
        }
        form.transaction.Commit();
        for (TDbDataSet *dataSet : bothPaths()) {
            dataSet->SetDatabase(&form.database);
            dataSet->SetTransaction(&form.transaction);
            dataSet->SelectSQL().SetText(
                "select BOOKID, SEQNUMBER, FILENAME from BOOK order by BOOKID");
        }
    }

    /// The dataset answering plain equalities from its index, then the one
    /// evaluating every row.
    std::vector<TDbDataSet *> bothPaths() { return {&books, &rowByRow}; }

    static std::vector<int> visibleIds(TDbDataSet &dataSet)
    {
        std::vector<int> ids;
        for (dataSet.MoveFirst(); !dataSet.AtEnd(); dataSet.MoveNext())
            ids.push_back(std::stoi(dataSet.FieldNamed("BOOKID").AsText()));
        return ids;
    }

    dbtest::TempFolder m_folder;
    std::filesystem::path m_file = m_folder.native() / "catalogue.fdb";
    dbtest::Form1 form{m_file};
    TDbDataSet books{&form.form, "DbDataSet1"};
    RowByRowDataSet rowByRow{&form.form, "DbDataSet1"};
};

struct FilterCase {
    const char *name;
    std::string filter;
    TFilterOptions options;
    std::vector<int> visible;
};

std::ostream &operator<<(std::ostream &out, const FilterCase &row)
{
    return out << row.filter;
}

class FilterRows : public Filters, public testing::WithParamInterface<FilterCase> {};

TEST_P(FilterRows, ShowExactlyTheMatchingRowsOnBothPaths)
{
    const auto &row = GetParam();
    for (TDbDataSet *dataSet : bothPaths()) {
        dataSet->SetActive(true);
        dataSet->SetFilterOptions(row.options);
        dataSet->SetFilter(row.filter);
        dataSet->SetFiltered(true);
        EXPECT_EQ(visibleIds(*dataSet), row.visible)
            << (dataSet == &books ? "indexed" : "row by row");
        // A second walk over the cached rows shows the same.
        EXPECT_EQ(visibleIds(*dataSet), row.visible);
    }
}

const std::vector<int> kAll = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};

INSTANTIATE_TEST_SUITE_P(
    Filter, FilterRows,
    testing::Values(
        FilterCase{"equal_is_case_sensitive_and_trimmed", "FILENAME = 'a.zip'", 0, {1, 3, 11}},
        FilterCase{"empty_text_is_not_null", "FILENAME = ''", 0, {5}},
        FilterCase{"doubled_apostrophe", "FILENAME = 'It''s.zip'", 0, {6}},
        FilterCase{"apostrophe_before_word", "FILENAME = 'D'Artagnan and Co.zip'", 0, {7}},
        FilterCase{"backslash_in_literal", "FILENAME = 'sub\\x.zip'", 0, {10}},
        FilterCase{"no_such_value", "FILENAME = 'none.zip'", 0, {}},
        FilterCase{"prefix_match", "FILENAME = 'abc*'", 0, {8, 9}},
        FilterCase{"no_partial_compare", "FILENAME = 'abc*'", foNoPartialCompare, {8}},
        FilterCase{"case_insensitive", "FILENAME = 'A.ZIP'", foCaseInsensitive, {1, 2, 3, 11}},
        FilterCase{"constant_on_the_left", "'a.zip' = FILENAME", 0, {1, 3, 11}},
        FilterCase{"not_equal_shows_null", "FILENAME <> 'a.zip'", 0, {2, 4, 5, 6, 7, 8, 9, 10}},
        FilterCase{"equal_null_is_null_test", "FILENAME = NULL", 0, {4, 5}},
        FilterCase{"is_not_null", "FILENAME IS NOT NULL", 0, {1, 2, 3, 6, 7, 8, 9, 10, 11}},
        FilterCase{"blank_shows_all", "  ", 0, kAll},
        FilterCase{"integer_from_text", "BOOKID = '3'", 0, {3}},
        FilterCase{"in_list", "BOOKID IN (1, 4, 9)", 0, {1, 4, 9}},
        FilterCase{"like", "FILENAME LIKE 'a%'", 0, {1, 3, 8, 9, 11}},
        FilterCase{"like_one_character", "FILENAME LIKE '_.zip'", 0, {1, 3, 11}},
        FilterCase{"not", "NOT BOOKID > 9", 0, {1, 2, 3, 4, 5, 6, 7, 8, 9}},
        FilterCase{"and_binds_tighter", "BOOKID = 1 OR BOOKID = 2 AND FILENAME = 'x'", 0, {1}},
        FilterCase{"parentheses", "(BOOKID = 1 OR BOOKID = 2) AND FILENAME = 'A.ZIP'", 0, {2}},
        FilterCase{"arithmetic", "SEQNUMBER / 10 - BOOKID = 0 AND BOOKID < 3", 0, {1, 2}},
        FilterCase{"comment", "BOOKID = 5 /* the empty one */", 0, {5}}),
    [](const auto &row) { return std::string(row.param.name); });

struct ErrorCase {
    const char *name;
    std::string filter;
    std::string message;
};

std::ostream &operator<<(std::ostream &out, const ErrorCase &row)
{
    return out << row.filter;
}

class FilterErrors : public Filters, public testing::WithParamInterface<ErrorCase> {};

TEST_P(FilterErrors, AreReportedAtAssignmentAndKeepTheOldFilter)
{
    books.SetActive(true);
    books.SetFilter("FILENAME = 'a.zip'");
    books.SetFiltered(true);
    EXPECT_EQ(dbtest::messageOf<EDatabaseError>([&] { books.SetFilter(GetParam().filter); }),
              "Can't parse Filter for:\r\n" + GetParam().message);
    EXPECT_EQ(books.Filter(), "FILENAME = 'a.zip'");
    EXPECT_EQ(visibleIds(books), (std::vector<int>{1, 3, 11}));
}

INSTANTIATE_TEST_SUITE_P(
    Filter, FilterErrors,
    testing::Values(
        ErrorCase{"apostrophe_before_full_stop", "FILENAME = 'O'Brien.zip'",
                  "Filter expression incorrectly terminated"},
        ErrorCase{"missing_column", "NOSUCH = 'x'", "DbDataSet1: Field 'NOSUCH' not found"},
        ErrorCase{"unterminated", "FILENAME = 'abc", "Unterminated string constant"},
        ErrorCase{"null_ordered", "FILENAME < NULL", "NULL only allowed with '=' and '<>'"},
        ErrorCase{"empty_in", "BOOKID IN ()", "IN predicate list may not be empty"},
        ErrorCase{"in_without_list", "BOOKID IN 1", "'(' expected but '1' found"},
        ErrorCase{"bad_in_separator", "BOOKID IN (1; 2)",
                  "Invalid filter expression character: ';'"},
        ErrorCase{"not_a_condition", "FILENAME", "Incorrectly formed filter expression"},
        ErrorCase{"nothing_to_compare", "FILENAME = ", "Expression expected but nothing found"},
        ErrorCase{"unclosed_parenthesis", "(BOOKID = 1", "')' expected but nothing found"},
        ErrorCase{"unknown_function", "NOSUCH(FILENAME) = 'x'",
                  "DbDataSet1: Field 'NOSUCH' not found"},
        ErrorCase{"aggregate", "COUNT(*) > 1", "Aggregate expressions not allowed in filters"},
        ErrorCase{"mixed_aggregate", "MAX(BOOKID) = BOOKID",
                  "Operation cannot mix aggregate value with record-varying value"},
        ErrorCase{"constant_of_wrong_type", "BOOKID = 'x'", "'x' is not a valid integer value"},
        ErrorCase{"is_without_null", "FILENAME IS 5", "Invalid use of keyword"},
        ErrorCase{"bad_character", "FILENAME ! 'x'", "Invalid filter expression character: '!'"},
        ErrorCase{"unterminated_field_name", "[FILENAME = 'x'", "Unterminated field name"}),
    [](const auto &row) { return std::string(row.param.name); });

TEST_F(Filters, ClosedDataSetTakesAnyFilterAndFailsTheNextOpen)
{
    books.SetFilter("NOSUCH = 1");
    books.SetFiltered(true);
    EXPECT_EQ(books.Filter(), "NOSUCH = 1");
    try {
        books.SetActive(true);
        ADD_FAILURE() << "the open succeeded";
    } catch (const EDatabaseError &error) {
        EXPECT_STREQ(error.what(),
                     "Can't parse Filter for:\r\nDbDataSet1: Field 'NOSUCH' not found");
    }
    EXPECT_FALSE(books.Active());
    books.SetFilter("BOOKID = 2");
    books.SetActive(true);
    EXPECT_EQ(visibleIds(books), (std::vector<int>{2}));
}

TEST_F(Filters, AtEndFollowsTheLastVisibleRowEvenWithHiddenRowsAfterIt)
{
    books.SetActive(true);
    books.SetFilter("BOOKID = 2");
    books.SetFiltered(true);
    EXPECT_FALSE(books.AtEnd());
    EXPECT_EQ(books.FieldNamed("BOOKID").AsText(), "2");
    books.MoveNext();
    EXPECT_TRUE(books.AtEnd());
    // The last shown row stays the current one.
    EXPECT_EQ(books.FieldNamed("BOOKID").AsText(), "2");
}

TEST_F(Filters, FilteredRepositionsOnAVisibleRow)
{
    books.SetActive(true);
    books.MoveNext();
    books.MoveNext(); // BOOKID 3, 'a.zip   '
    books.SetFilter("FILENAME = 'a.zip'");
    EXPECT_EQ(books.FieldNamed("BOOKID").AsText(), "3"); // not filtered yet: no move
    books.SetFiltered(true);
    EXPECT_EQ(books.FieldNamed("BOOKID").AsText(), "3"); // still visible: stays

    books.SetFiltered(false);
    books.MoveFirst();
    books.MoveNext(); // BOOKID 2, 'A.ZIP', hidden by the filter
    books.SetFiltered(true);
    EXPECT_EQ(books.FieldNamed("BOOKID").AsText(), "1"); // moved: back to the first
    books.SetFiltered(false);
    EXPECT_EQ(visibleIds(books), kAll);
}

// Counts the rows a walk tests for visibility.
template <typename DataSet> class Counting : public DataSet {
public:
    using DataSet::DataSet;
    int tested = 0;

protected:
    bool RecordVisible(int row) override
    {
        ++tested;
        return DataSet::RecordVisible(row);
    }
};

TEST_F(Filters, IndexedWalkTestsOnlyTheRowsOfItsValue)
{
    Counting<TDbDataSet> indexed(&form.form, "DbDataSet1");
    Counting<RowByRowDataSet> everyRow(&form.form, "DbDataSet1");
    for (TDbDataSet *dataSet :
         {static_cast<TDbDataSet *>(&indexed), static_cast<TDbDataSet *>(&everyRow)}) {
        dataSet->SetDatabase(&form.database);
        dataSet->SetTransaction(&form.transaction);
        dataSet->SelectSQL().SetText("select BOOKID, FILENAME from BOOK order by BOOKID");
        dataSet->SetActive(true);
        dataSet->SetFilter("FILENAME = 'a.zip'");
        dataSet->SetFiltered(true);
        EXPECT_EQ(visibleIds(*dataSet), (std::vector<int>{1, 3, 11}));
    }
    indexed.tested = everyRow.tested = 0;
    EXPECT_EQ(visibleIds(indexed), (std::vector<int>{1, 3, 11}));
    EXPECT_EQ(visibleIds(everyRow), (std::vector<int>{1, 3, 11}));
    EXPECT_EQ(indexed.tested, 3);
    EXPECT_EQ(everyRow.tested, 11);
}

TEST_F(Filters, HandlerCanHideRowsTheExpressionShows)
{
    books.SetActive(true);
    books.OnFilterRecord = [](TDbDataSet &dataSet) {
        return dataSet.FieldNamed("BOOKID").AsText() != "3";
    };
    books.SetFilter("FILENAME = 'a.zip'");
    books.SetFiltered(true);
    EXPECT_EQ(visibleIds(books), (std::vector<int>{1, 11}));
}

TEST_F(Filters, FilterSurvivesCommitAndReopen)
{
    books.SetActive(true);
    books.SetFilter("FILENAME = 'a.zip'");
    books.SetFiltered(true);
    form.transaction.Commit();
    EXPECT_FALSE(books.Active());
    books.SetActive(true);
    EXPECT_TRUE(books.Filtered());
    EXPECT_EQ(visibleIds(books), (std::vector<int>{1, 3, 11}));
    books.SetFilter("FILENAME = 'A.ZIP'");
    EXPECT_EQ(visibleIds(books), (std::vector<int>{2}));
}

} // namespace
