// Walking the book list: the cached dataset against a bare loop of
// isc_dsql_fetch over the same SELECT, the memory the record cache takes,
// and the server calls of a second walk. Prints its figures.
#include "BookCatalogue.h"
#include "FbClient.h"
#include "Internals.h"
#include "RecordsCache.h"
#include "db/DbDataSet.h"
#include "db/DbDatabase.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

using namespace db;
using namespace bench;

namespace {

// The floor: one XSQLDA, fetched into until the end. Returns the rows and,
// when asked, adds up the bytes of the values the server sent.
struct BareResult {
    int rows = 0;
    double valueBytes = 0;
};

BareResult bareFetchLoop(Catalogue &catalogue, bool countBytes)
{
    const IFbClientLibrary &api = *db::detail::Internals::clientLibrary(catalogue.database);
    isc_stmt_handle statement = 0;
    const std::string text = selectText();
    std::vector<char> area(XSQLDA_LENGTH(39));
    auto *sqlda = reinterpret_cast<XSQLDA *>(area.data());
    sqlda->version = SQLDA_VERSION1;
    sqlda->sqln = 39;
    const auto check = [&](ISC_STATUS status) {
        if (status != 0)
            RaiseServerError(api, nullptr);
    };
    check(api.isc_dsql_alloc_statement2(
        StatusVector(), db::detail::Internals::handlePointer(catalogue.database), &statement));
    check(api.isc_dsql_prepare(StatusVector(),
                               db::detail::Internals::handlePointer(catalogue.transaction),
                               &statement, 0, text.c_str(), 3, sqlda));
    std::vector<std::vector<char>> buffers(static_cast<size_t>(sqlda->sqld));
    std::vector<short> indicators(static_cast<size_t>(sqlda->sqld));
    for (int i = 0; i < sqlda->sqld; ++i) {
        XSQLVAR &var = sqlda->sqlvar[i];
        const int type = var.sqltype & ~1;
        buffers[i].resize(static_cast<size_t>(var.sqllen) + (type == SQL_VARYING ? 2 : 0));
        var.sqldata = buffers[i].data();
        var.sqlind = &indicators[i];
    }
    check(api.isc_dsql_execute(StatusVector(),
                               db::detail::Internals::handlePointer(catalogue.transaction),
                               &statement, 3, nullptr));
    BareResult result;
    while (api.isc_dsql_fetch(StatusVector(), &statement, 3, sqlda) == 0) {
        ++result.rows;
        if (!countBytes)
            continue;
        for (int i = 0; i < sqlda->sqld; ++i) {
            const XSQLVAR &var = sqlda->sqlvar[i];
            if (indicators[i] == -1)
                continue;
            const int type = var.sqltype & ~1;
            result.valueBytes += type == SQL_VARYING
                                     ? *reinterpret_cast<const unsigned short *>(var.sqldata)
                                     : var.sqllen;
        }
    }
    api.isc_dsql_free_statement(StatusVector(), &statement, DSQL_drop);
    return result;
}

int walkBooks(TDbDataSet &books, size_t &nameBytes)
{
    int rows = 0;
    for (books.MoveFirst(); !books.AtEnd(); books.MoveNext()) {
        nameBytes += books.FieldNamed("FILENAME").AsText().size();
        ++rows;
    }
    return rows;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main()
{
    try {
        const std::filesystem::path file = bookDatabase();
        Catalogue catalogue(file);
        catalogue.transaction.StartTransaction();
        std::vector<double> bare;
        std::vector<double> dataset;
        BareResult counted = bareFetchLoop(catalogue, true); // warms the page cache
        size_t nameBytes = 0;
        for (int round = 0; round < 3; ++round) {
            auto start = std::chrono::steady_clock::now();
            const BareResult plain = bareFetchLoop(catalogue, false);
            bare.push_back(secondsSince(start));

            TDbDataSet books(&catalogue.form, "DbDataSet1");
            books.SetDatabase(&catalogue.database);
            books.SetTransaction(&catalogue.transaction);
            books.SelectSQL().SetText(selectText());
            start = std::chrono::steady_clock::now();
            books.SetActive(true);
            const int rows = walkBooks(books, nameBytes);
            dataset.push_back(secondsSince(start));
            if (rows != plain.rows || rows != kRows)
                throw std::runtime_error("row counts differ");

            if (round == 0) {
                const TRecordsCache &cache = *db::detail::Internals::recordCache(books);
                const double textBytes = double(cache.TextBytes());
                std::printf("record cache: %.1f bytes per row (fixed row %d bytes, long texts "
                            "%.1f bytes per row); fetched values %.1f bytes per row; "
                            "cache / values = %.2f\n",
                            double(cache.Bytes()) / rows, cache.RowSize(), textBytes / rows,
                            counted.valueBytes / rows, double(cache.Bytes()) / counted.valueBytes);
                const int fetchedBefore = books.SelectStatement().RowsFetched();
                start = std::chrono::steady_clock::now();
                const int again = walkBooks(books, nameBytes);
                const double secondWalk = secondsSince(start);
                std::printf("second walk: %d rows in %.3f s, server fetches %d (statement at "
                            "end: %s)\n",
                            again, secondWalk,
                            books.SelectStatement().RowsFetched() - fetchedBefore,
                            books.SelectStatement().Eof() ? "yes" : "no");
            }
        }
        const double bareMedian = median(bare);
        const double datasetMedian = median(dataset);
        std::printf("bare isc_dsql_fetch loop: %.3f s (median of 3)\n", bareMedian);
        std::printf("dataset open + walk reading FILENAME: %.3f s (median of 3)\n", datasetMedian);
        std::printf("ratio dataset / bare = %.3f (limit 1.3)\n", datasetMedian / bareMedian);
        // The first open takes fresh pages from the system; later ones reuse
        // the memory of the closed cache, as the window's reopening does.
        std::printf("each round: dataset %.3f / %.3f / %.3f s, bare %.3f / %.3f / %.3f s; "
                    "first-open ratio %.3f\n",
                    dataset[0], dataset[1], dataset[2], bare[0], bare[1], bare[2],
                    dataset[0] / bare[0]);
        std::printf("(FILENAME bytes read: %zu)\n", nameBytes);
    } catch (const std::exception &error) {
        std::fprintf(stderr, "benchmark failed: %s\n", error.what());
        return 1;
    }
    return 0;
}
