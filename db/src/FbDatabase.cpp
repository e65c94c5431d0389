#include "db/FbDatabase.h"

#include "CharacterSets.h"
#include "FbClient.h"
#include "FbParamBlocks.h"
#include "FbValues.h"
#include "Registrations.h"
#include "db/FbErrors.h"
#include "db/FbQuery.h"

#include "platform/Locale.h"
#include "platform/Text.h"
#include "platform/UserInterface.h"

#include <algorithm>
#include <limits>
#include <type_traits>

namespace db {

static_assert(std::is_same_v<TFbHandle, isc_db_handle>, "handles are the API's 32-bit handles");
static_assert(std::is_same_v<TFbStatus, ISC_STATUS>, "status codes are the API's");

namespace {

constexpr int kFirebirdVersionItem = 103;   // isc_info_firebird_version
constexpr int kAttachmentCharsetItem = 101; // frb_info_att_charset

} // namespace

// ---------------------------------------------------------------- TConnectParams

std::string TConnectParams::read(std::string_view name) const
{
    const auto &lines = m_database.DBParams();
    const int index = FindParamLine(lines, name);
    return index < 0 ? std::string() : ParamValue(lines[index]);
}

void TConnectParams::write(std::string_view name, std::string_view value)
{
    std::vector<std::string> lines = m_database.DBParams();
    const int index = FindParamLine(lines, name);
    if (value.empty()) {
        if (index < 0)
            return;
        lines.erase(lines.begin() + index);
    } else {
        std::string line = std::string(name) + "=" + std::string(value);
        if (index < 0)
            lines.push_back(std::move(line));
        else
            lines[index] = std::move(line);
    }
    m_database.SetDBParams(std::move(lines));
}

void TConnectParams::SetCharSet(std::string_view value)
{
    write("lc_ctype", platform::upperLatin(value));
}

// ---------------------------------------------------------------- TFbDatabase

TFbDatabase::TFbDatabase(TComponent *owner, std::string name)
    : TComponent(owner, std::move(name)),
      m_libraryName(kDefaultLibraryName), m_unicodeCharsetIds{charsets::kUnicodeFss},
      m_internalTransaction(std::make_unique<TFbTransaction>(this, "InternalTransaction"))
{
    m_internalTransaction->SetTRParams(
        {"write", "isc_tpb_nowait", "read_committed", "rec_version"});
    m_internalTransaction->SetDefaultDatabase(this);
    RegisterConnection(this);
}

TFbDatabase::~TFbDatabase()
{
    Destroy();
}

void TFbDatabase::Destroy() noexcept
{
    if (m_destroyed)
        return;
    m_destroyed = true;
    m_destroying = true;
    try {
        if (m_internalTransaction->Active())
            m_internalTransaction->Commit();
    } catch (...) {
        // The forced close below rolls it back instead.
    }
    try {
        Close(true);
    } catch (...) {
        // A disconnect event failed; finish the close without it.
    }
    if (Connected()) {
        try {
            finishClose(true);
        } catch (...) {
            // Disconnect events only; the handle is gone by now.
        }
    }
    try {
        m_destroyListeners.NotifyReverse();
    } catch (...) {
        // Listeners must not keep a dying connection alive.
    }
    for (IFbDatabaseClient *statement : std::vector(m_statements))
        statement->DatabaseFreed();
    m_statements.clear();
    for (TFbTransaction *transaction : std::vector(m_transactions))
        transaction->detachDatabase(this);
    m_transactions.clear();
    m_defaultTransaction = nullptr;
    UnregisterConnection(this);
}

void TFbDatabase::checkNotConnected() const
{
    if (Connected())
        RaiseClientError(fceDatabaseOpen);
}

void TFbDatabase::SetDBName(std::string name)
{
    checkNotConnected();
    m_dbName = std::move(name);
}

void TFbDatabase::SetDBParams(std::vector<std::string> params)
{
    checkNotConnected();
    m_dbParams = std::move(params);
    m_paramsChanged = true;
}

void TFbDatabase::SetLibraryName(std::string name)
{
    checkNotConnected();
    if (name == m_libraryName)
        return;
    m_libraryName = std::move(name);
    m_library.reset();
}

void TFbDatabase::SetDefaultTransaction(TFbTransaction *transaction)
{
    m_defaultTransaction = transaction;
    if (transaction != nullptr && transaction->DefaultDatabase() == nullptr)
        transaction->SetDefaultDatabase(this);
}

void TFbDatabase::addTransaction(TFbTransaction *transaction)
{
    appendOnce(m_transactions, transaction);
}

void TFbDatabase::removeTransaction(TFbTransaction *transaction)
{
    std::erase(m_transactions, transaction);
    if (m_defaultTransaction == transaction)
        m_defaultTransaction = nullptr;
}

void TFbDatabase::AddStatement(IFbDatabaseClient *statement)
{
    appendOnce(m_statements, statement);
}

void TFbDatabase::RemoveStatement(IFbDatabaseClient *statement)
{
    std::erase(m_statements, statement);
}

void TFbDatabase::SetSQLDialect(int dialect)
{
    if (dialect < 1 || (Connected() && m_databaseDialect < dialect))
        RaiseClientError(fceSQLDialectInvalid);
    m_sqlDialect = dialect;
}

TFbStatus TFbDatabase::Call(TFbStatus status, bool raise)
{
    if (raise && status != 0)
        RaiseServerError(*m_library, this);
    return status;
}

void TFbDatabase::SetConnected(bool connected)
{
    if (connected)
        connect();
    else
        Close(false);
}

void TFbDatabase::connect()
{
    if (Connected())
        return;
    if (BeforeConnect) {
        bool allow = true;
        BeforeConnect(*this, allow);
        if (!allow)
            return;
    }
    resetServerFacts();
    if (m_dbName.empty())
        RaiseClientError(fceDatabaseNameMissing);
    if (!m_library)
        m_library = AcquireClientLibrary(m_libraryName);
    for (IFbDatabaseClient *statement : std::vector(m_statements))
        statement->BeforeDatabaseConnect();
    if (m_paramsChanged) {
        m_dpb = BuildDPB(m_dbParams);
        m_paramsChanged = false;
    }
    // A name too long for the API's 16-bit length goes as a terminated string.
    const auto nameLength = m_dbName.size() <= std::numeric_limits<short>::max()
                                ? static_cast<short>(m_dbName.size())
                                : short{0};
    const TFbStatus status =
        m_library->isc_attach_database(StatusVector(), nameLength, m_dbName.c_str(), &m_handle,
                                       static_cast<short>(m_dpb.size()), m_dpb.data());
    if (status != 0) {
        m_handle = 0;
        Call(status, true);
    }
    m_serverTimeDelta = 0;
    m_databaseDialect = static_cast<int>(infoNumber(isc_info_db_sql_dialect).value_or(1));
    if (m_databaseDialect < m_sqlDialect)
        m_sqlDialect = m_databaseDialect;
    if (m_synchronizeTime)
        synchronizeTime();
    readServerFacts();
    if (AfterConnect)
        AfterConnect(*this);
    m_afterConnectListeners.NotifyWhile([this] { return Connected(); });
    for (IFbDatabaseClient *statement : std::vector(m_statements)) {
        if (!Connected())
            break;
        statement->AfterDatabaseConnect();
    }
}

void TFbDatabase::synchronizeTime()
{
    TFbQuery query(this, "TimeQuery");
    query.SetDatabase(this);
    query.SetTransaction(m_internalTransaction.get());
    query.SQL().Add(m_sqlDialect > 1 ? "SELECT CAST('NOW' AS TIMESTAMP) from RDB$DATABASE"
                                     : "SELECT CAST('NOW' AS DATE) from RDB$DATABASE");
    const bool started = !m_internalTransaction->Active();
    if (started)
        m_internalTransaction->StartTransaction();
    double serverNow = 0;
    try {
        query.ExecQuery();
        serverNow = query.Column(0).AsDateTime();
        query.Close();
    } catch (...) {
        if (started && m_internalTransaction->Active())
            m_internalTransaction->EndTransaction(TARollback, true);
        throw;
    }
    if (started)
        m_internalTransaction->Commit();
    m_serverTimeDelta = values::DaysSince1899(platform::localNow()) - serverNow;
}

std::optional<long> TFbDatabase::infoNumber(char item)
{
    char buffer[512] = {};
    Call(m_library->isc_database_info(StatusVector(), &m_handle, 1, &item,
                                      static_cast<short>(sizeof buffer), buffer),
         true);
    if (buffer[0] != item)
        return std::nullopt;
    const auto length = static_cast<short>(m_library->isc_vax_integer(buffer + 1, 2));
    if (length < 0 || length > 4 || 3 + static_cast<size_t>(length) > sizeof buffer)
        return std::nullopt;
    return m_library->isc_vax_integer(buffer + 3, length);
}

std::string TFbDatabase::infoVersionText(char item)
{
    char buffer[1024] = {};
    const short size = item == isc_info_version ? 1024 : 512;
    Call(m_library->isc_database_info(StatusVector(), &m_handle, 1, &item, size, buffer), true);
    // item, 16-bit length, count of strings, length of the first, its text
    if (buffer[0] != item)
        return {};
    const auto length = static_cast<unsigned char>(buffer[4]);
    if (5 + static_cast<size_t>(length) > static_cast<size_t>(size))
        return {};
    return std::string(buffer + 5, length);
}

namespace {

// Reads up to four numbers from the text between its fifth and its last
// character ("LI-V3.0.7.337 Firebird 3.0" gives 3, 0, 7, 337). A number
// still being read when the text ends is not stored.
void parseServerVersion(const std::string &text, int (&version)[4])
{
    int stored = 0;
    int current = 0;
    for (size_t i = 4; i + 1 < text.size() && stored < 4; ++i) {
        const char c = text[i];
        if (c >= '0' && c <= '9') {
            current = current * 10 + (c - '0');
            continue;
        }
        version[stored++] = current;
        current = 0;
    }
}

} // namespace

bool TFbDatabase::IsUnicodeCharset(long charset) const
{
    return std::find(m_unicodeCharsetIds.begin(), m_unicodeCharsetIds.end(), charset) !=
           m_unicodeCharsetIds.end();
}

void TFbDatabase::readServerFacts()
{
    const std::string firebirdVersion = infoVersionText(static_cast<char>(kFirebirdVersionItem));
    m_serverIsFirebird = !firebirdVersion.empty();
    parseServerVersion(m_serverIsFirebird ? firebirdVersion : infoVersionText(isc_info_version),
                       m_serverVersion);
    if (!m_serverIsFirebird) {
        // The other server line knows four Unicode character sets from version 8.
        if (ServerVersionMajor() >= 8)
            m_unicodeCharsetIds = {charsets::kUnicodeFss, charsets::kOtherLineUnicodeBe,
                                   charsets::kOtherLineUtf8, charsets::kOtherLineUnicodeLe};
    } else {
        m_unicodeCharsetIds = {charsets::kUnicodeFss, charsets::kUtf8};
    }
    if (m_serverIsFirebird && ServerVersionMajor() >= 2) {
        const long charset = infoNumber(static_cast<char>(kAttachmentCharsetItem)).value_or(-1);
        m_unicodeAttachment = charset >= 0 && charset <= 255 && IsUnicodeCharset(charset);
        m_unicodeOrNoneAttachment = m_unicodeAttachment || charset == charsets::kNone;
        const bool serverKnowsUtf8Metadata =
            ServerVersionMajor() > 2 || (ServerVersionMajor() == 2 && ServerVersionMinor() >= 1);
        bool odsKnowsUtf8Metadata = false;
        if (m_unicodeOrNoneAttachment && serverKnowsUtf8Metadata) {
            const long odsMajor = infoNumber(isc_info_ods_version).value_or(0);
            const long odsMinor = infoNumber(isc_info_ods_minor_version).value_or(0);
            odsKnowsUtf8Metadata = odsMajor > 11 || (odsMajor == 11 && odsMinor >= 1);
        }
        m_metadataUtf8 =
            m_unicodeOrNoneAttachment && serverKnowsUtf8Metadata && odsKnowsUtf8Metadata;
        m_koi8Attachment = charset == charsets::kKoi8r || charset == charsets::kKoi8u;
    } else {
        const std::string charset = m_connectParams.CharSet();
        m_unicodeAttachment = charset == "UNICODE_FSS" || charset == "UTF8";
        m_unicodeOrNoneAttachment = m_unicodeAttachment || charset == "NONE" || charset.empty();
        m_metadataUtf8 = false;
        m_koi8Attachment = false;
    }
}

void TFbDatabase::resetServerFacts()
{
    m_serverIsFirebird = false;
    std::fill(std::begin(m_serverVersion), std::end(m_serverVersion), -1);
    m_unicodeAttachment = false;
    m_unicodeOrNoneAttachment = false;
    m_koi8Attachment = false;
    m_metadataUtf8 = false;
    m_unicodeCharsetIds = {charsets::kUnicodeFss};
}

void TFbDatabase::Close(bool force, bool skipAliveCheck)
{
    if (!Connected())
        return;
    if (!skipAliveCheck) {
        try {
            infoNumber(isc_info_base_level);
        } catch (const EFbError &) {
            handleLostConnection();
            return;
        }
    }
    callDisconnectEvent(BeforeDisconnect, "BeforeDisconnect");
    m_beforeDisconnectListeners.Notify();
    finishClose(force);
}

void TFbDatabase::finishClose(bool force)
{
    for (TFbTransaction *transaction : std::vector(m_transactions)) {
        if (!transaction->Active())
            continue;
        try {
            transaction->EndTransaction(CompleteAction(transaction->TimeoutAction()), true);
        } catch (...) {
            if (!force)
                throw;
        }
    }
    for (IFbDatabaseClient *statement : std::vector(m_statements)) {
        try {
            statement->DatabaseDisconnecting();
        } catch (...) {
            if (!force)
                throw;
        }
    }
    // A refused detach cannot be helped: the attachment is given up anyway.
    m_library->isc_detach_database(StatusVector(), &m_handle);
    m_handle = 0;
    resetServerFacts();
    for (IFbDatabaseClient *statement : std::vector(m_statements))
        statement->DatabaseDisconnected();
    callDisconnectEvent(AfterDisconnect, "AfterDisconnect");
}

void TFbDatabase::callDisconnectEvent(const std::function<void(TFbDatabase &)> &event,
                                      std::string_view eventName)
{
    if (!event)
        return;
    try {
        event(*this);
    } catch (const std::exception &error) {
        const std::string format =
            m_destroying ? "Error of %s.%s. Probably you are trying to get access to destroyed "
                           "components. %s"
                         : "Error of %s.%s. %s";
        throw std::runtime_error(FormatText(
            format, {FullComponentName(this), eventName, std::string_view(error.what())}));
    }
}

void TFbDatabase::handleLostConnection()
{
    TOnLostConnectActions action = laCloseConnect;
    if (OnLostConnect)
        OnLostConnect(*this, action);
    if (action == laIgnore)
        return;
    m_handle = 0;
    resetServerFacts();
    for (IFbDatabaseClient *statement : std::vector(m_statements))
        statement->DatabaseHandleLost();
    for (TFbTransaction *transaction : std::vector(m_transactions)) {
        if (!transaction->Active())
            continue;
        transaction->m_handleLost = true;
        try {
            transaction->EndTransaction(CompleteAction(transaction->TimeoutAction()), true);
        } catch (...) {
            // The server is gone; its transactions are gone with it.
        }
    }
    if (action == laTerminateApp)
        platform::userInterface().requestQuit();
}

} // namespace db
