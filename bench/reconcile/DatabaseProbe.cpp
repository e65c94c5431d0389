// The reconcile benchmarks' work on the catalogue that needs the client
// library itself, straight through its C API so that nothing of the
// program's database layer is in the figures:
//
//   bench_reconcile_db fetched-size DB
//       Fetches the book list's SELECT and adds up the bytes of the values
//       the server sends (texts at their length, BLOBs as their 8-byte ids),
//       the size a record cache cannot go below.
//   bench_reconcile_db delete-links DB DUPLINKS.tsv
//       The duplicate-link check's floor: the check's DELETE statement for
//       every pair of the generator's list, in one transaction, committed.
//   bench_reconcile_db check-links DB DUPLINKS.tsv
//       After a deletion run: whether every listed pair kept exactly its
//       lowest ID and no pair is duplicated any more.
//
// Each prints one line of name=value figures and exits 1 on a failure.

#include "BenchTiming.h"
#include "reconcile/ComponentSet.h"

#include <ibase.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

struct LinkPair {
    long long bookId = 0;
    long long autorId = 0;
    long long keepId = 0;
    int count = 0;
};

std::string statusText(const ISC_STATUS *status)
{
    std::string text;
    char line[512];
    const ISC_STATUS *cursor = status;
    while (fb_interpret(line, sizeof line, &cursor) != 0)
        text += std::string(text.empty() ? "" : " / ") + line;
    return text;
}

class Connection {
public:
    explicit Connection(const std::string &file)
    {
        // Any name is accepted by the embedded engine, but SQL privileges
        // apply, so attach as the owner the generator used.
        const std::string user = "SYSDBA", password = "x";
        std::string dpb(1, char(isc_dpb_version1));
        dpb += std::string{char(isc_dpb_user_name), char(user.size())} + user;
        dpb += std::string{char(isc_dpb_password), char(password.size())} + password;
        check(isc_attach_database(m_status, 0, file.c_str(), &m_database,
                                  static_cast<short>(dpb.size()), dpb.data()),
              "attach");
    }
    ~Connection()
    {
        if (m_transaction)
            isc_rollback_transaction(m_status, &m_transaction);
        if (m_database)
            isc_detach_database(m_status, &m_database);
    }
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    void start()
    {
        check(isc_start_transaction(m_status, &m_transaction, 1, &m_database, 0, nullptr), "start");
    }
    void commit() { check(isc_commit_transaction(m_status, &m_transaction), "commit"); }

    void executeImmediate(const std::string &sql)
    {
        check(isc_dsql_execute_immediate(m_status, &m_database, &m_transaction, 0, sql.c_str(),
                                         SQL_DIALECT_V6, nullptr),
              sql.c_str());
    }

    /// Runs a SELECT and calls `row` with the output area after each fetch.
    template <class F> long long select(const std::string &sql, F &&row)
    {
        isc_stmt_handle statement = 0;
        check(isc_dsql_allocate_statement(m_status, &m_database, &statement), "allocate");
        std::vector<char> area(XSQLDA_LENGTH(1));
        auto *sqlda = reinterpret_cast<XSQLDA *>(area.data());
        sqlda->version = SQLDA_VERSION1;
        sqlda->sqln = 1;
        check(isc_dsql_prepare(m_status, &m_transaction, &statement, 0, sql.c_str(), SQL_DIALECT_V6,
                               sqlda),
              "prepare");
        if (sqlda->sqld > sqlda->sqln) {
            const short columns = sqlda->sqld;
            area.assign(XSQLDA_LENGTH(columns), 0);
            sqlda = reinterpret_cast<XSQLDA *>(area.data());
            sqlda->version = SQLDA_VERSION1;
            sqlda->sqln = columns;
            check(isc_dsql_describe(m_status, &statement, SQL_DIALECT_V6, sqlda), "describe");
        }
        std::vector<std::vector<char>> buffers(static_cast<size_t>(sqlda->sqld));
        std::vector<short> indicators(static_cast<size_t>(sqlda->sqld));
        for (int i = 0; i < sqlda->sqld; ++i) {
            XSQLVAR &var = sqlda->sqlvar[i];
            const bool varying = (var.sqltype & ~1) == SQL_VARYING;
            buffers[i].resize(static_cast<size_t>(var.sqllen) + (varying ? 2 : 0));
            var.sqldata = buffers[i].data();
            var.sqlind = &indicators[i];
        }
        check(isc_dsql_execute(m_status, &m_transaction, &statement, SQL_DIALECT_V6, nullptr),
              "execute");
        long long rows = 0;
        ISC_STATUS fetched = 0;
        while ((fetched = isc_dsql_fetch(m_status, &statement, SQL_DIALECT_V6, sqlda)) == 0) {
            ++rows;
            row(*sqlda);
        }
        if (fetched != 100)
            check(fetched, "fetch");
        isc_dsql_free_statement(m_status, &statement, DSQL_drop);
        return rows;
    }

private:
    void check(ISC_STATUS result, const char *what)
    {
        if (result != 0 && m_status[0] == 1 && m_status[1] != 0)
            throw std::runtime_error(std::string(what) + ": " + statusText(m_status));
    }

    ISC_STATUS_ARRAY m_status{};
    isc_db_handle m_database = 0;
    isc_tr_handle m_transaction = 0;
};

long long integerOf(const XSQLVAR &var)
{
    switch (var.sqltype & ~1) {
    case SQL_SHORT:
        return *reinterpret_cast<const short *>(var.sqldata);
    case SQL_LONG:
        return *reinterpret_cast<const ISC_LONG *>(var.sqldata);
    case SQL_INT64:
        return *reinterpret_cast<const ISC_INT64 *>(var.sqldata);
    default:
        throw std::runtime_error("not an integer column");
    }
}

std::vector<LinkPair> readPairs(const std::string &file)
{
    std::ifstream in(file);
    if (!in)
        throw std::runtime_error("cannot read " + file);
    std::vector<LinkPair> pairs;
    std::string line;
    std::getline(in, line); // the column heads
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        LinkPair pair;
        if (fields >> pair.bookId >> pair.autorId >> pair.count >> pair.keepId)
            pairs.push_back(pair);
    }
    return pairs;
}

// The duplicate-link check's statement, word for word, so that the floor
// does the engine work the check asks for and nothing else.
std::string deleteStatement(const LinkPair &pair)
{
    const std::string condition = "autorid = " + std::to_string(pair.autorId) +
                                  " AND BOOKID = " + std::to_string(pair.bookId);
    return "delete from book_autor where " + condition +
           " AND ID NOT IN (SELECT MIN(ID) FROM book_autor where " + condition + ")";
}

int fetchedSize(const std::string &file)
{
    Connection connection(file);
    connection.start();
    long long valueBytes = 0;
    long long rowBuffer = 0;
    const double seconds = bench::secondsOf([&] {
        const long long rows = connection.select(reconcile::kBookSelect, [&](const XSQLDA &sqlda) {
            if (rowBuffer == 0)
                for (int i = 0; i < sqlda.sqld; ++i)
                    rowBuffer += sqlda.sqlvar[i].sqllen;
            for (int i = 0; i < sqlda.sqld; ++i) {
                const XSQLVAR &var = sqlda.sqlvar[i];
                if (*var.sqlind == -1)
                    continue;
                valueBytes += (var.sqltype & ~1) == SQL_VARYING
                                  ? *reinterpret_cast<const unsigned short *>(var.sqldata)
                                  : var.sqllen;
            }
        });
        std::printf("rows=%lld value_bytes=%lld row_buffer=%lld ", rows, valueBytes, rowBuffer);
    });
    std::printf("seconds=%.4f\n", seconds);
    return 0;
}

int deleteLinks(const std::string &file, const std::string &pairsFile)
{
    const std::vector<LinkPair> pairs = readPairs(pairsFile);
    std::vector<std::string> statements;
    for (const LinkPair &pair : pairs)
        statements.push_back(deleteStatement(pair));
    const auto start = std::chrono::steady_clock::now();
    Connection connection(file);
    const double attach = bench::secondsSince(start);
    const double work = bench::secondsOf([&] {
        connection.start();
        for (const std::string &statement : statements)
            connection.executeImmediate(statement);
        connection.commit();
    });
    std::printf("statements=%zu attach=%.4f deletes_and_commit=%.4f\n", statements.size(), attach,
                work);
    return 0;
}

int checkLinks(const std::string &file, const std::string &pairsFile)
{
    const std::vector<LinkPair> pairs = readPairs(pairsFile);
    Connection connection(file);
    connection.start();
    long long pairsKept = 0;
    for (const LinkPair &pair : pairs) {
        std::vector<long long> ids;
        connection.select(
            "select ID from book_autor where BOOKID = " + std::to_string(pair.bookId) +
                " and AUTORID = " + std::to_string(pair.autorId),
            [&](const XSQLDA &sqlda) { ids.push_back(integerOf(sqlda.sqlvar[0])); });
        if (ids.size() == 1 && ids.front() == pair.keepId)
            ++pairsKept;
    }
    const long long duplicatesLeft =
        connection.select("select bookid,autorid , count(*) cnt from book_autor group by "
                          "bookid,autorid having count(*) > 1",
                          [](const XSQLDA &) {});
    long long links = 0;
    connection.select("select count(*) from book_autor",
                      [&](const XSQLDA &sqlda) { links = integerOf(sqlda.sqlvar[0]); });
    std::printf("pairs=%zu kept_lowest_only=%lld duplicates_left=%lld links=%lld\n", pairs.size(),
                pairsKept, duplicatesLeft, links);
    return pairsKept == static_cast<long long>(pairs.size()) && duplicatesLeft == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char **argv)
{
    try {
        const std::vector<std::string> args(argv + 1, argv + argc);
        if (args.size() == 2 && args[0] == "fetched-size")
            return fetchedSize(args[1]);
        if (args.size() == 3 && args[0] == "delete-links")
            return deleteLinks(args[1], args[2]);
        if (args.size() == 3 && args[0] == "check-links")
            return checkLinks(args[1], args[2]);
        std::fprintf(stderr,
                     "usage: bench_reconcile_db fetched-size DB\n"
                     "       bench_reconcile_db delete-links|check-links DB DUPLINKS.tsv\n");
        return 2;
    } catch (const std::exception &error) {
        std::fprintf(stderr, "bench_reconcile_db: %s\n", error.what());
        return 1;
    }
}
