#pragma once
// Test databases made by isql, the way a user's catalogue is made.

#include "FileContents.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace testing_support {

/// The catalogue schema the tests share.
inline const char *const kCatalogueSchema = DORVIL_CATALOGUE_SCHEMA;

namespace detail {

/// Runs isql to create the database (a file, or a server's connect string),
/// with its script and output beside `scratch`; empty when it worked, else
/// what isql said.
inline std::string runIsql(const std::string &file, int dialect, bool withSchema,
                           const std::string &moreSql, const std::filesystem::path &scratch)
{
    const std::filesystem::path script = scratch.string() + ".sql";
    {
        std::ofstream out(script, std::ios::binary);
        out << "SET SQL DIALECT " << dialect << ";\n"
            << "CREATE DATABASE '" << file
            << "' USER 'SYSDBA' PASSWORD 'testpass' DEFAULT CHARACTER SET NONE;\n";
        if (withSchema)
            out << readFile(kCatalogueSchema);
        if (!moreSql.empty())
            out << moreSql << "\nCOMMIT;\n";
    }
    const std::filesystem::path log = scratch.string() + ".log";
    const std::string command =
        "isql-fb -q -b -i '" + script.string() + "' >'" + log.string() + "' 2>&1";
    if (std::system(command.c_str()) == 0)
        return {};
    const std::string said = readFile(log);
    return said.empty() ? "isql failed" : said;
}

} // namespace detail

/// Creates a database file with isql: character set NONE, the given dialect,
/// the catalogue schema when asked, then `moreSql` (statements ending in ";").
/// Empty when it worked, else what isql said. isql is slow, so each distinct
/// database is made once per test process and copied afterwards.
inline std::string makeDatabase(const std::filesystem::path &file, int dialect, bool withSchema,
                                const std::string &moreSql = {})
{
    // Not below TMPDIR: tests point it at folders of their own that go away.
    static const TempFolder templates{P_tmpdir};
    static std::map<std::string, std::filesystem::path> made;
    const std::string key = std::to_string(dialect) + (withSchema ? "s" : "-") + moreSql;
    auto found = made.find(key);
    if (found == made.end()) {
        const std::filesystem::path original =
            templates.native() / ("template" + std::to_string(made.size()) + ".fdb");
        if (std::string failure =
                detail::runIsql(original.string(), dialect, withSchema, moreSql, original);
            !failure.empty())
            return failure;
        found = made.emplace(key, original).first;
    }
    std::error_code error;
    if (!std::filesystem::copy_file(found->second, file, error))
        return "cannot copy the database: " + error.message();
    return {};
}

/// The values a query gives, read by isql without headings: every value of
/// every row, in order, blanks around each removed. "isql failed: ..." when
/// it fails. The database is a file or a server's connect string; isql's
/// script and output go beside `scratch`.
inline std::vector<std::string> queryValues(const std::string &database, const std::string &sql,
                                            const std::filesystem::path &scratch)
{
    const std::filesystem::path script = scratch.string() + ".query.sql";
    const std::filesystem::path output = scratch.string() + ".query.out";
    {
        std::ofstream out(script, std::ios::binary);
        out << "CONNECT '" << database << "' USER 'SYSDBA' PASSWORD 'testpass';\n"
            << "SET HEADING OFF;\n"
            << sql << ";\n";
    }
    const std::string command =
        "isql-fb -q -b -i '" + script.string() + "' >'" + output.string() + "' 2>&1";
    const bool ran = std::system(command.c_str()) == 0;
    std::istringstream said(readFile(output));
    if (!ran)
        return {"isql failed: " + said.str()};
    std::vector<std::string> values;
    for (std::string value; said >> value;)
        values.push_back(value);
    return values;
}

/// The values a query gives on a database file.
inline std::vector<std::string> queryValues(const std::filesystem::path &file,
                                            const std::string &sql)
{
    return queryValues(file.string(), sql, file);
}

/// makeDatabase that fails the test when isql fails.
inline void createDatabase(const std::filesystem::path &file, int dialect = 3,
                           bool withSchema = false)
{
    const std::string failure = makeDatabase(file, dialect, withSchema);
    ASSERT_EQ(failure, "") << "isql failed";
}

} // namespace testing_support
