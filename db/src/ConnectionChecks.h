#pragma once
// What every statement, dataset and BLOB read needs before it reaches the
// server: an assigned, connected database and an active transaction.

#include "db/Component.h"
#include "db/FbDatabase.h"
#include "db/FbErrors.h"

namespace db {

/// Client error 21 (naming user) when unassigned, 12 when not connected.
inline void RequireConnected(const TComponent *user, const TFbDatabase *database)
{
    if (database == nullptr)
        RaiseClientError(fceDatabaseNotAssigned, {FullComponentName(user)});
    if (!database->Connected())
        RaiseClientError(fceDatabaseClosed, {FullComponentName(database)});
}

/// Client error 22 (naming user) when unassigned, 15 when not active.
inline void RequireActive(const TComponent *user, const TFbTransaction *transaction)
{
    if (transaction == nullptr)
        RaiseClientError(fceTransactionNotAssigned, {FullComponentName(user)});
    if (!transaction->Active())
        RaiseClientError(fceNotInTransaction, {FullComponentName(transaction)});
}

} // namespace db
