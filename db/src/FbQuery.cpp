#include "db/FbQuery.h"

#include "ConnectionChecks.h"
#include "FbClient.h"
#include "Internals.h"
#include "Registrations.h"
#include "SqlText.h"
#include "db/FbErrors.h"

#include "platform/ScopeExit.h"
#include "platform/Text.h"

#include <algorithm>
#include <random>

namespace db {

namespace {

unsigned short dialectOf(const TFbDatabase &database)
{
    return static_cast<unsigned short>(database.SQLDialect());
}

// The parameter area with its values bound; null when the statement has none.
XSQLDA *boundParameters(TFbXSQLDA &params)
{
    if (params.Count() == 0)
        return nullptr;
    params.BindParameters();
    return static_cast<XSQLDA *>(params.Record());
}

// Whether the calling thread's status vector holds the error code.
bool statusContains(ISC_LONG code)
{
    const ISC_STATUS *status = StatusVector();
    for (int i = 0; i + 1 < ISC_STATUS_LENGTH && status[i] != isc_arg_end;) {
        const ISC_STATUS kind = status[i];
        if (kind == isc_arg_gds && status[i + 1] == code)
            return true;
        i += kind == isc_arg_cstring ? 3 : 2;
    }
    return false;
}

std::string randomCursorName()
{
    std::random_device seed;
    std::mt19937 generator(seed());
    std::uniform_int_distribution<long> below(0, 2147483646);
    std::string name;
    while (name.size() < 10)
        name += std::to_string(below(generator));
    return name.substr(0, 10);
}

std::string withoutQuotes(std::string_view name)
{
    if (name.size() >= 2 && name.front() == '"' && name.back() == '"')
        return std::string(name.substr(1, name.size() - 2));
    return std::string(name);
}

} // namespace

TFbQuery::TFbQuery(TComponent *owner, std::string name)
    : TComponent(owner, std::move(name)), m_params(*this, true), m_result(*this, false)
{
    m_sql.ChangingHandlers().Add(this, [this] { sqlChanging(); });
    m_sql.ChangedHandlers().Add(this, [this] { sqlChanged(); });
}

TFbQuery::~TFbQuery()
{
    try {
        if (m_open)
            Close();
    } catch (...) {
        // The cursor goes with the statement below.
    }
    try {
        if (m_handle != 0)
            FreeHandle();
    } catch (...) {
        // Nothing left to report to.
    }
    SetDatabase(nullptr);
    SetTransaction(nullptr);
}

IFbClientLibrary &TFbQuery::library() const
{
    return *detail::Internals::clientLibrary(*m_database);
}

void TFbQuery::raiseServerError() const
{
    RaiseServerError(library(), this);
}

void TFbQuery::SetDatabase(TFbDatabase *database)
{
    if (database == m_database)
        return;
    if (m_handle != 0) {
        try {
            Close();
            FreeHandle();
        } catch (...) {
            // The old attachment refused; its statement is given up.
            DatabaseHandleLost();
        }
    }
    relinkStatement(m_database, database, this);
}

void TFbQuery::SetTransaction(TFbTransaction *transaction)
{
    if (transaction == m_transaction)
        return;
    relinkStatement(m_transaction, transaction, this);
}

// ---------------------------------------------------------------- SQL text

void TFbQuery::sqlChanging()
{
    if (m_open)
        RaiseClientError(fceDatasetOpen, {"change sql text", FullComponentName(this)});
    if (OnSQLChanging)
        OnSQLChanging(*this);
    if (m_handle != 0)
        FreeHandle();
}

void TFbQuery::sqlChanged()
{
    const std::string text = m_sql.Text();
    m_statementKind = sql::ClassifyStatement(text);
    m_encoded = false;
    m_hasParameters = false;
    m_textToSend = text;
    m_params.Resize(0);
    if (m_handle != 0)
        FreeHandle();
    if (!m_paramCheck || !sql::HasParameterMarkers(text))
        return;
    try {
        sql::ParameterScan scan = sql::ScanParameters(text);
        m_params.SetNames(scan.names);
        m_textToSend = std::move(scan.textToSend);
        m_hasParameters = true;
    } catch (const sql::SqlScanError &error) {
        RaiseClientError(fceSQLParseError,
                         {FullComponentName(this), std::string_view(error.what())});
    }
}

void TFbQuery::encodeTextToSend()
{
    if (m_encoded)
        return;
    if (m_statementKind == sql::skDDL) {
        if (m_database->MetadataUtf8())
            m_textToSend = platform::ansiToUtf8(m_textToSend);
    } else if (m_database->Koi8Attachment()) {
        m_textToSend = platform::ansiToKoi8r(m_textToSend);
    } else if (m_database->UnicodeAttachment()) {
        m_textToSend = platform::ansiToUtf8(m_textToSend);
    }
    m_encoded = true;
}

// ---------------------------------------------------------------- Prepare

void TFbQuery::Prepare()
{
    if (m_prepared)
        return;
    if (m_open)
        Close();
    RequireConnected(this, m_database);
    if ((m_options & qoStartTransaction) != 0 && m_transaction != nullptr &&
        !m_transaction->Active())
        m_transaction->StartTransaction();
    RequireActive(this, m_transaction);
    encodeTextToSend();
    if (sql::IsBlankText(m_textToSend))
        RaiseClientError(fceQueryEmpty, {"Prepare"});
    const bool allocatedHere = m_handle == 0;
    try {
        prepareOnServer();
    } catch (...) {
        if (allocatedHere && m_handle != 0) {
            ISC_STATUS_ARRAY ignored;
            library().isc_dsql_free_statement(ignored, &m_handle, DSQL_drop);
            m_handle = 0;
        }
        m_result.Resize(0);
        throw;
    }
    m_prepared = true;
}

void TFbQuery::prepareOnServer()
{
    IFbClientLibrary &api = library();
    if (m_handle == 0 &&
        api.isc_dsql_alloc_statement2(StatusVector(), detail::Internals::handlePointer(*m_database),
                                      &m_handle) != 0)
        raiseServerError();
    m_result.Resize(1);
    if (api.isc_dsql_prepare(StatusVector(), detail::Internals::handlePointer(*m_transaction),
                             &m_handle, 0, m_textToSend.c_str(), dialectOf(*m_database),
                             static_cast<XSQLDA *>(m_result.Record())) != 0)
        raiseServerError();
    readStatementType();
    switch (m_statementType) {
    case SQLSelectForUpdate:
        if (m_cursorName.empty())
            m_cursorName = randomCursorName();
        if (api.isc_dsql_set_cursor_name(StatusVector(), &m_handle, m_cursorName.c_str(), 0) != 0)
            raiseServerError();
        break;
    case SQLGetSegment:
    case SQLPutSegment:
    case SQLStartTransaction:
        FreeHandle();
        RaiseClientError(fceNotPermitted);
    default:
        break;
    }
    describe();
}

void TFbQuery::readStatementType()
{
    const char item = isc_info_sql_stmt_type;
    char reply[8] = {};
    if (library().isc_dsql_sql_info(StatusVector(), &m_handle, 1, &item, sizeof reply, reply) != 0)
        raiseServerError();
    if (reply[0] != isc_info_sql_stmt_type)
        RaiseClientError(fceUnknownError);
    const auto length = static_cast<short>(library().isc_vax_integer(reply + 1, 2));
    m_statementType = static_cast<TFbSQLTypes>(
        library().isc_vax_integer(reply + 3, std::clamp<short>(length, 0, 4)));
}

void TFbQuery::describe()
{
    switch (m_statementType) {
    case SQLSelect:
    case SQLInsert:
    case SQLUpdate:
    case SQLDelete:
    case SQLExecProcedure:
    case SQLSelectForUpdate:
        break;
    default:
        m_result.Resize(0);
        return;
    }
    const unsigned short dialect = dialectOf(*m_database);
    if (m_params.Count() > 0) {
        auto *area = static_cast<XSQLDA *>(m_params.Record());
        if (library().isc_dsql_describe_bind(StatusVector(), &m_handle, dialect, area) != 0)
            raiseServerError();
        m_params.Initialize();
    }
    if (m_statementType != SQLSelect && m_statementType != SQLExecProcedure &&
        m_statementType != SQLSelectForUpdate) {
        m_result.Resize(0);
        return;
    }
    const auto *result = static_cast<XSQLDA *>(m_result.Record());
    if (result->sqld > result->sqln) {
        m_result.Resize(result->sqld);
        if (library().isc_dsql_describe(StatusVector(), &m_handle, dialect,
                                        static_cast<XSQLDA *>(m_result.Record())) != 0)
            raiseServerError();
    } else if (result->sqld == 0) {
        m_result.Resize(0);
    }
    m_result.Initialize();
}

// ---------------------------------------------------------------- ExecQuery

void TFbQuery::beforeExecute()
{
    if (BeforeExecute)
        BeforeExecute(*this);
    if (m_transaction == nullptr)
        RaiseClientError(fceTransactionNotAssigned, {FullComponentName(this)});
    m_result.SetAllNull();
    if ((m_options & qoStartTransaction) != 0 && !m_transaction->Active())
        m_transaction->StartTransaction();
    m_transaction->SQLExecuteNotify(*this, m_statementType, false);
}

void TFbQuery::afterExecute()
{
    if (AfterExecute)
        AfterExecute(*this);
    m_transaction->SQLExecuteNotify(*this, m_statementType, true);
    if ((m_options & qoAutoCommit) != 0) {
        if (m_transaction->TimeoutAction() == TACommitRetaining)
            m_transaction->CommitRetaining();
        else
            m_transaction->Commit();
    }
}

void TFbQuery::ExecQuery()
{
    executeBase();
}

void TFbQuery::executeBase()
{
    if (m_statementKind == sql::skDDL) {
        beforeExecute();
        RequireConnected(this, m_database);
        RequireActive(this, m_transaction);
        encodeTextToSend();
        if (m_handle != 0)
            FreeHandle();
        if (library().isc_dsql_execute_immediate(
                StatusVector(), detail::Internals::handlePointer(*m_database),
                detail::Internals::handlePointer(*m_transaction), 0, m_textToSend.c_str(),
                dialectOf(*m_database), boundParameters(m_params)) != 0)
            raiseServerError();
        afterExecute();
        return;
    }
    beforeExecute();
    Prepare();
    RequireConnected(this, m_database);
    RequireActive(this, m_transaction);
    const unsigned short dialect = dialectOf(*m_database);
    XSQLDA *params = boundParameters(m_params);
    switch (m_statementType) {
    case SQLSelect:
    case SQLSelectForUpdate:
        if (m_open)
            Close();
        if (library().isc_dsql_execute(StatusVector(),
                                       detail::Internals::handlePointer(*m_transaction), &m_handle,
                                       dialect, params) != 0)
            raiseServerError();
        openCursor();
        break;
    case SQLExecProcedure:
        if (library().isc_dsql_execute2(
                StatusVector(), detail::Internals::handlePointer(*m_transaction), &m_handle,
                dialect, params,
                m_result.Count() > 0 ? static_cast<XSQLDA *>(m_result.Record()) : nullptr) != 0)
            raiseServerError();
        m_procedureOutput = true;
        break;
    case SQLCommit:
        m_transaction->Commit();
        break;
    case SQLRollback:
        m_transaction->Rollback();
        break;
    default:
        if (library().isc_dsql_execute(StatusVector(),
                                       detail::Internals::handlePointer(*m_transaction), &m_handle,
                                       dialect, params) != 0)
            raiseServerError();
        break;
    }
    afterExecute();
    if (!m_open && (m_options & qoFreeHandleAfterExecute) != 0)
        FreeHandle();
}

void TFbQuery::openCursor()
{
    m_open = true;
    m_bof = true;
    m_eof = false;
    m_rowsFetched = 0;
    m_procedureOutput = false;
    m_result.SetAllNull();
    if (m_goToFirstRecord)
        Next();
}

// ---------------------------------------------------------------- cursor

const TFbXSQLDA *TFbQuery::Next()
{
    if (m_eof)
        return nullptr;
    if (!m_open)
        RaiseClientError(fceDatasetClosed, {"fetch next record", FullComponentName(this)});
    const ISC_STATUS status =
        library().isc_dsql_fetch(StatusVector(), &m_handle, dialectOf(*m_database),
                                 static_cast<XSQLDA *>(m_result.Record()));
    if (status == 0) {
        ++m_rowsFetched;
        m_bof = false;
        return &m_result;
    }
    if (status == 100 || statusContains(isc_dsql_cursor_err)) {
        m_eof = true;
        return nullptr;
    }
    // Keep the fetch's status: closing the cursor makes calls of its own.
    ISC_STATUS_ARRAY saved;
    std::copy(StatusVector(), StatusVector() + ISC_STATUS_LENGTH, saved);
    try {
        Close();
    } catch (...) {
        // The fetch error is the one to report.
    }
    std::copy(saved, saved + ISC_STATUS_LENGTH, StatusVector());
    raiseServerError();
}

void TFbQuery::Close()
{
    {
        const platform::ScopeExit reset([this] {
            m_eof = m_bof = false;
            m_open = m_procedureOutput = false;
        });
        if (m_handle != 0 && m_open &&
            (m_statementType == SQLSelect || m_statementType == SQLSelectForUpdate) &&
            library().isc_dsql_free_statement(StatusVector(), &m_handle, DSQL_close) != 0 &&
            !statusContains(isc_bad_stmt_handle) && !statusContains(isc_dsql_cursor_close_err))
            raiseServerError();
    }
    if ((m_options & qoFreeHandleAfterExecute) != 0)
        FreeHandle();
}

void TFbQuery::FreeHandle()
{
    m_result.Resize(0);
    if (m_handle == 0) {
        m_prepared = false;
        return;
    }
    const ISC_STATUS status =
        library().isc_dsql_free_statement(StatusVector(), &m_handle, DSQL_drop);
    m_prepared = false;
    m_handle = 0;
    if (status != 0 && !statusContains(isc_bad_stmt_handle))
        raiseServerError();
}

// ---------------------------------------------------------------- columns

TFbXSQLVAR &TFbQuery::Column(int index)
{
    if (index < 0 || index >= m_result.Count())
        RaiseClientError(fceFieldNotFound, {"Field No: " + std::to_string(index)});
    return m_result[index];
}

TFbXSQLVAR &TFbQuery::ColumnNamed(std::string_view name)
{
    TFbXSQLVAR *column = m_result.Find(withoutQuotes(name));
    if (column == nullptr)
        RaiseClientError(fceFieldNotFound, {name});
    return *column;
}

TFbXSQLVAR &TFbQuery::ParamNamed(std::string_view name)
{
    TFbXSQLVAR *param = m_params.Find(withoutQuotes(name));
    if (param == nullptr)
        throw std::runtime_error(
            FormatText("Parameter \"%s\" does not exist in %s", {name, FullComponentName(this)}));
    return *param;
}

// ---------------------------------------------------------------- hooks

void TFbQuery::DatabaseDisconnecting()
{
    Close();
    if (m_handle != 0)
        FreeHandle();
}

void TFbQuery::DatabaseHandleLost()
{
    m_handle = 0;
    m_prepared = false;
    m_open = m_bof = m_eof = m_procedureOutput = false;
    m_result.Resize(0);
}

void TFbQuery::DatabaseFreed()
{
    DatabaseHandleLost();
    m_database = nullptr;
}

void TFbQuery::TransactionEnding()
{
    const TTransactionState state = m_transaction->TransactionState();
    if (m_open && (state == tsRollingBack || state == tsCommitting))
        Close();
}

void TFbQuery::TransactionFreed()
{
    m_transaction = nullptr;
}

} // namespace db
