// The duplicate-file check's filtering: one filter FILENAME = '...' per
// shared file name over the whole cached book list, each walked to its end.
// Every fourth row's name is shared: 20,000 names over 50,000 rows, 2 or 3
// rows each. Prints the indexed walk against row-by-row evaluation, the
// latter measured on a sample and extrapolated.

#include "BookCatalogue.h"
#include "db/DbDataSet.h"

#include <cstdio>
#include <string>
#include <vector>

using namespace db;
using namespace bench;

namespace {

constexpr int kSharedNames = 20000;
constexpr int kRowByRowSample = 200;

class RowByRowDataSet : public TDbDataSet {
public:
    using TDbDataSet::TDbDataSet;

protected:
    int SkipKnownHidden(int row, bool) override { return row; }
};

// Rows whose BOOKID is a multiple of 4 share names in blocks of 5: names
// 2k and 2k + 1 get two and three rows.
std::string sharedSelect()
{
    std::string select = selectText();
    const std::string column = "FILENAME,";
    const std::string shared =
        "iif(mod(BOOKID, 4) = 0, 'dup\\' || ((BOOKID / 4 - 1) / 5 * 2 + "
        "iif(mod(BOOKID / 4 - 1, 5) >= 2, 1, 0)) || '.zip', FILENAME) as FILENAME,";
    return select.replace(select.find(column), column.size(), shared);
}

std::string sharedName(int index)
{
    return "dup\\" + std::to_string(index) + ".zip";
}

struct WalkResult {
    double seconds = 0;
    long rows = 0;
};

WalkResult walkFilters(TDbDataSet &books, int count)
{
    WalkResult result;
    const auto start = std::chrono::steady_clock::now();
    books.SetFiltered(true);
    for (int i = 0; i < count; ++i) {
        books.SetFilter("FILENAME = '" + sharedName(i) + "'");
        for (books.MoveFirst(); !books.AtEnd(); books.MoveNext())
            result.rows += !books.FieldNamed("FILENAME").AsText().empty();
    }
    books.SetFiltered(false);
    result.seconds = secondsSince(start);
    return result;
}

template <typename DataSet> WalkResult run(Catalogue &catalogue, int count)
{
    DataSet books(&catalogue.form, "DbDataSet1");
    books.SetDatabase(&catalogue.database);
    books.SetTransaction(&catalogue.transaction);
    books.SelectSQL().SetText(sharedSelect());
    books.SetActive(true);
    books.FetchAll(); // the rows are cached before the check starts
    return walkFilters(books, count);
}

} // namespace

int main()
{
    try {
        Catalogue catalogue(bookDatabase());
        catalogue.transaction.StartTransaction();
        const WalkResult indexed = run<TDbDataSet>(catalogue, kSharedNames);
        const WalkResult sample = run<RowByRowDataSet>(catalogue, kRowByRowSample);
        const double rowByRow = sample.seconds * kSharedNames / kRowByRowSample;
        std::printf("%d filters over %d cached rows, %ld rows shown\n", kSharedNames, kRows,
                    indexed.rows);
        std::printf("indexed walks: %.3f s (%.1f us per filter, index built once included)\n",
                    indexed.seconds, indexed.seconds * 1e6 / kSharedNames);
        std::printf("row by row: %.3f s for %d filters (%ld rows shown), %.1f s for all %d "
                    "extrapolated\n",
                    sample.seconds, kRowByRowSample, sample.rows, rowByRow, kSharedNames);
        std::printf("row by row / indexed = %.0f (at least 1000 wanted)\n",
                    rowByRow / indexed.seconds);
    } catch (const std::exception &error) {
        std::fprintf(stderr, "benchmark failed: %s\n", error.what());
        return 1;
    }
    return 0;
}
