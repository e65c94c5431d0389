#pragma once
// The one way into what the layer's public classes keep to themselves: the
// client library binding and API handles of connections and transactions,
// and a dataset's record cache. The layer's own classes use it to talk to
// the client library and read cached rows; tests and benchmarks reach it
// through the db_internals target. The checks never need it.

#include "RecordsCache.h"
#include "db/FbDataSet.h"
#include "db/FbDatabase.h"

#include <cstddef>
#include <memory>

namespace db::detail {

struct Internals {
    static TFbHandle *handlePointer(TFbDatabase &database) { return database.HandlePointer(); }
    /// Null until the first connect attempt acquires it.
    static IFbClientLibrary *clientLibrary(const TFbDatabase &database)
    {
        return database.ClientLibrary();
    }
    static std::shared_ptr<IFbClientLibrary> sharedClientLibrary(const TFbDatabase &database)
    {
        return database.SharedClientLibrary();
    }

    static TFbHandle *handlePointer(TFbTransaction &transaction)
    {
        return transaction.HandlePointer();
    }
    /// The binding the transaction was started with; null before.
    static IFbClientLibrary *clientLibrary(const TFbTransaction &transaction)
    {
        return transaction.ClientLibrary();
    }

    /// The cached row, or null for an index outside the cache.
    static const std::byte *rowData(const TFbDataSet &dataSet, int row)
    {
        return dataSet.RowData(row);
    }
    /// Null while the dataset is closed.
    static const TRecordsCache *recordCache(const TFbDataSet &dataSet)
    {
        return dataSet.RecordCache();
    }
};

} // namespace db::detail
