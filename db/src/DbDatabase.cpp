#include "db/DbDatabase.h"

namespace db {

TDbDatabase::~TDbDatabase()
{
    Destroy();
}

TDbTransaction::~TDbTransaction()
{
    Destroy();
}

TDbDatabase *TDbTransaction::defaultDbDatabase() const
{
    return dynamic_cast<TDbDatabase *>(DefaultDatabase());
}

void TDbTransaction::StartTransaction()
{
    if (Active())
        return;
    if (m_tpbMode == tpbReadCommitted)
        SetTRParams({"write", "isc_tpb_nowait", "read_committed", "rec_version"});
    else if (m_tpbMode == tpbRepeatableRead)
        SetTRParams({"write", "isc_tpb_nowait", "concurrency"});
    TDbDatabase *database = defaultDbDatabase();
    if (database != nullptr && database->BeforeStartTransaction)
        database->BeforeStartTransaction(*this);
    if (BeforeStart)
        BeforeStart(*this);
    TFbTransaction::StartTransaction();
    if (AfterStart)
        AfterStart(*this);
    if (database != nullptr && database->AfterStartTransaction)
        database->AfterStartTransaction(*this);
}

void TDbTransaction::EndTransaction(TTransactionAction action, bool force)
{
    TDbDatabase *database = defaultDbDatabase();
    if (database != nullptr && database->BeforeEndTransaction)
        database->BeforeEndTransaction(*this, action, force);
    if (BeforeEnd)
        BeforeEnd(*this, action, force);
    TFbTransaction::EndTransaction(action, force);
    if (AfterEnd)
        AfterEnd(*this, action, force);
    if (database != nullptr && database->AfterEndTransaction)
        database->AfterEndTransaction(*this, action, force);
}

} // namespace db
