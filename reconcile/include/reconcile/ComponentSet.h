#pragma once
// The database and archive components of the program, named and wired the
// way the checks expect them: one connection with one transaction, the book
// dataset over every row of BOOK, a scratch dataset for the grouping
// queries, one statement for every modification, and the archive reader.

#include "reconcile/Run.h"

#include "db/DbDataSet.h"
#include "db/DbDatabase.h"
#include "db/DbQuery.h"
#include "zip/ZipReader.h"

#include <string>

namespace reconcile {

/// The SELECT of the book dataset: the catalogue's 39 columns, every row.
extern const char *const kBookSelect;

class ComponentSet {
public:
    /// `owner` names the components in error messages (Form1.DbQuery1).
    explicit ComponentSet(db::TComponent &owner);

    /// Hands over the database path and the credentials, then connects
    /// (SQL dialect 3, no role). Throws the database layer's errors.
    void Connect(const std::string &dataBaseFile, const std::string &userName,
                 const std::string &password);

    Components view();

    db::TDbDatabase DbDatabase1;
    db::TDbTransaction DbTransaction1;
    db::TDbDataSet DbDataSet1;
    db::TDbDataSet tblDoubleBook;
    db::TDbQuery DbQuery1;
    zip::TZipReader ZipReader1;
};

} // namespace reconcile
