#include "db/FbDatabase.h"

#include "FbClient.h"
#include "FbParamBlocks.h"
#include "Registrations.h"
#include "db/FbErrors.h"
#include "platform/ScopeExit.h"

#include <algorithm>

namespace db {

namespace {

// One connection of a multi-connection start, laid out as the client
// library reads it.
struct TransactionExistenceBlock {
    isc_db_handle *database;
    int tpbLength;
    const char *tpb;
};

} // namespace

TTransactionAction CompleteAction(TTransactionAction action)
{
    switch (action) {
    case TARollbackRetaining:
        return TARollback;
    case TACommitRetaining:
        return TACommit;
    default:
        return action;
    }
}

TFbTransaction::TFbTransaction(TComponent *owner, std::string name)
    : TComponent(owner, std::move(name))
{
}

TFbTransaction::~TFbTransaction()
{
    Destroy();
}

void TFbTransaction::Destroy() noexcept
{
    if (m_destroyed)
        return;
    m_destroyed = true;
    try {
        if (Active())
            EndTransaction(CompleteAction(m_timeoutAction), true);
    } catch (...) {
        // A forced end has dropped the handle whatever its listeners did.
    }
    try {
        m_destroyListeners.NotifyReverse();
    } catch (...) {
        // Listeners must not keep a dying transaction alive.
    }
    for (IFbTransactionClient *statement : std::vector(m_statements))
        statement->TransactionFreed();
    m_statements.clear();
    for (TFbDatabase *database : std::vector(m_databases))
        database->removeTransaction(this);
    m_databases.clear();
    m_defaultDatabase = nullptr;
}

void TFbTransaction::SetDefaultDatabase(TFbDatabase *database)
{
    if (Active())
        RaiseClientError(fceInTransaction, {FullComponentName(this)});
    if (database == m_defaultDatabase)
        return;
    if (m_defaultDatabase != nullptr)
        detachDatabase(m_defaultDatabase);
    m_defaultDatabase = database;
    if (database != nullptr) {
        appendOnce(m_databases, database);
        database->addTransaction(this);
    }
}

void TFbTransaction::detachDatabase(TFbDatabase *database)
{
    std::erase(m_databases, database);
    database->removeTransaction(this);
    if (m_defaultDatabase == database)
        m_defaultDatabase = nullptr;
}

void TFbTransaction::SetActive(bool active)
{
    if (active && !Active())
        StartTransaction();
    else if (!active && Active())
        Rollback();
}

void TFbTransaction::SetTRParams(std::vector<std::string> params)
{
    if (Active())
        RaiseClientError(fceInTransaction, {FullComponentName(this)});
    m_trParams = std::move(params);
    m_paramsChanged = true;
}

void TFbTransaction::SQLExecuteNotify(TFbQuery &statement, TFbSQLTypes type, bool after)
{
    const auto &event = after ? AfterSQLExecute : BeforeSQLExecute;
    if (event)
        event(*this, statement, type);
}

void TFbTransaction::AddStatement(IFbTransactionClient *statement)
{
    appendOnce(m_statements, statement);
}

void TFbTransaction::RemoveStatement(IFbTransactionClient *statement)
{
    std::erase(m_statements, statement);
}

TFbStatus TFbTransaction::Call(TFbStatus status, bool raise)
{
    if (raise && status != 0)
        RaiseServerError(*m_library, this);
    return status;
}

void TFbTransaction::StartTransaction()
{
    if (Active())
        RaiseClientError(fceInTransaction, {FullComponentName(this)});
    if (m_databases.empty())
        RaiseClientError(fceNoDatabasesInTransaction, {FullComponentName(this)});
    if (m_paramsChanged) {
        m_tpb = BuildTPB(m_trParams);
        m_paramsChanged = false;
    }
    std::vector<TransactionExistenceBlock> blocks;
    for (TFbDatabase *database : m_databases) {
        if (!database->Connected())
            RaiseClientError(fceDatabaseClosed, {FullComponentName(database)});
        blocks.push_back({database->HandlePointer(), static_cast<int>(m_tpb.size()), m_tpb.data()});
    }
    m_library = m_databases.front()->SharedClientLibrary();
    for (IFbTransactionClient *statement : std::vector(m_statements))
        statement->BeforeTransactionStart();
    m_beforeStartListeners.NotifyReverse();
    const TFbStatus status = m_library->isc_start_multiple(
        StatusVector(), &m_handle, static_cast<short>(blocks.size()), blocks.data());
    if (status != 0) {
        m_handle = 0;
        Call(status, true);
    }
    m_afterStartListeners.NotifyReverse();
    for (IFbTransactionClient *statement : std::vector(m_statements))
        statement->AfterTransactionStart();
    m_state = tsActive;
}

void TFbTransaction::EndTransaction(TTransactionAction action, bool force)
{
    if (!Active())
        RaiseClientError(fceNotInTransaction, {FullComponentName(this)});
    // Whatever happens below, the state ends as the handle says.
    const platform::ScopeExit settleState([this] { m_state = Active() ? tsActive : tsInactive; });
    if (action == TARollbackRetaining || action == TACommitRetaining)
        endRetaining(action, force);
    else
        endCompletely(action, force);
}

void TFbTransaction::endRetaining(TTransactionAction action, bool force)
{
    const bool commit = action == TACommitRetaining;
    m_state = commit ? tsCommitRetaining : tsRollbackRetaining;
    notifyEnding(action, force);
    Call(commit ? m_library->isc_commit_retaining(StatusVector(), &m_handle)
                : m_library->isc_rollback_retaining(StatusVector(), &m_handle),
         true);
    notifyEnded();
}

void TFbTransaction::endCompletely(TTransactionAction action, bool force)
{
    if (m_handleLost && action != m_timeoutAction && !force)
        RaiseClientError(fceCantEndSharedTransaction);
    const bool commit = action == TACommit;
    m_state = commit ? tsCommitting : tsRollingBack;
    notifyEnding(action, force);
    if (m_handleLost) {
        m_handle = 0;
        m_handleLost = false;
    } else {
        const TFbStatus status =
            commit ? m_library->isc_commit_transaction(StatusVector(), &m_handle)
                   : m_library->isc_rollback_transaction(StatusVector(), &m_handle);
        if (force) {
            if (status != 0)
                m_library->isc_rollback_transaction(StatusVector(), &m_handle);
            m_handle = 0;
        } else {
            Call(status, true);
        }
    }
    notifyEnded();
}

void TFbTransaction::notifyEnding(TTransactionAction action, bool force)
{
    const std::vector statements(m_statements);
    for (auto it = statements.rbegin(); it != statements.rend(); ++it)
        (*it)->TransactionEnding();
    m_beforeEndListeners.Notify(action, force);
}

void TFbTransaction::notifyEnded()
{
    const std::vector statements(m_statements);
    for (auto it = statements.rbegin(); it != statements.rend(); ++it)
        (*it)->TransactionEnded();
    m_afterEndListeners.Notify();
}

} // namespace db
