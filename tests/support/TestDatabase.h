#pragma once
// Test databases made by isql, the way a user's catalogue is made.

#include "FileContents.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace testing_support {

/// The catalogue schema the tests share.
inline const char *const kCatalogueSchema = DORVIL_CATALOGUE_SCHEMA;

/// Creates a database file with isql: character set NONE, the given dialect,
/// and the catalogue schema when asked. Fails the test when isql fails.
inline void createDatabase(const std::filesystem::path &file, int dialect = 3,
                           bool withSchema = false)
{
    const std::filesystem::path script = file.string() + ".sql";
    {
        std::ofstream out(script, std::ios::binary);
        out << "SET SQL DIALECT " << dialect << ";\n"
            << "CREATE DATABASE '" << file.string()
            << "' USER 'SYSDBA' PASSWORD 'testpass' DEFAULT CHARACTER SET NONE;\n";
        if (withSchema)
            out << readFile(kCatalogueSchema);
    }
    const std::filesystem::path log = file.string() + ".log";
    const std::string command =
        "isql-fb -q -b -i '" + script.string() + "' >'" + log.string() + "' 2>&1";
    const int result = std::system(command.c_str());
    ASSERT_EQ(result, 0) << "isql failed: " << readFile(log);
}

} // namespace testing_support
