#pragma once
// The benchmarks' book catalogue: a BOOK table of 200,000 rows with
// plausible values, generated once into the build folder and reused, and
// the window's components attached to it.

#include "BenchTiming.h"
#include "db/DbDatabase.h"

#include <filesystem>
#include <string>

namespace bench {

constexpr int kRows = 200000;

/// The book list's SELECT over its 39 columns.
std::string selectText();
/// The catalogue database, generated on first use (a minute or so).
std::filesystem::path bookDatabase();

struct Catalogue {
    db::TComponent form{nullptr, "Form1"};
    db::TDbDatabase database{&form, "DbDatabase1"};
    db::TDbTransaction transaction{&form, "DbTransaction1"};

    explicit Catalogue(const std::filesystem::path &file);
};

} // namespace bench
