#pragma once
// A connection to one database and the transactions that run in it. The
// connection turns its parameter lines into a database parameter buffer and
// attaches; a transaction turns its lines into a transaction parameter
// buffer and starts, commits or rolls back. Statements and datasets attach
// to both and are told about every change.

#include "db/Component.h"
#include "db/NotifyList.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace db {

class IFbClientLibrary;
class TFbDatabase;
class TFbTransaction;
class TFbQuery;
enum TFbSQLTypes : int;
namespace detail {
struct Internals; ///< the layer's own door to handles and caches (db/src/Internals.h)
}

/// What to do when the server turns out to be gone at close.
enum TOnLostConnectActions { laTerminateApp, laCloseConnect, laIgnore, laWaitRestore };

enum TTransactionAction { TARollback, TARollbackRetaining, TACommit, TACommitRetaining };

enum TTransactionState : std::uint8_t {
    tsActive = 0,
    tsInactive = 1,
    tsRollingBack = 2,
    tsRollbackRetaining = 3,
    tsCommitting = 4,
    tsCommitRetaining = 5,
};

/// The API's database, transaction and statement handles.
using TFbHandle = std::uint32_t;
/// An API status code: the first error code of a call, 0 for success.
using TFbStatus = std::intptr_t;

/// Hooks of a statement or dataset bound to a connection.
class IFbDatabaseClient {
public:
    virtual ~IFbDatabaseClient() = default;
    virtual void BeforeDatabaseConnect() {}
    virtual void AfterDatabaseConnect() {}
    /// Close the cursor and free the statement handle.
    virtual void DatabaseDisconnecting() {}
    virtual void DatabaseDisconnected() {}
    /// The attachment is gone: drop the statement handle without a server call and close.
    virtual void DatabaseHandleLost() {}
    /// The connection is being destroyed; forget it.
    virtual void DatabaseFreed() {}
};

/// Hooks of a statement or dataset bound to a transaction. During the ending
/// hooks TransactionState() tells committing or rolling back from the
/// retaining forms.
class IFbTransactionClient {
public:
    virtual ~IFbTransactionClient() = default;
    virtual void BeforeTransactionStart() {}
    virtual void AfterTransactionStart() {}
    virtual void TransactionEnding() {}
    virtual void TransactionEnded() {}
    /// The transaction is being destroyed; forget it.
    virtual void TransactionFreed() {}
};

/// Typed access to the user, password, role and character set lines of a
/// connection's DBParams. A line matches a name when its upper-cased text
/// holds the name first at its start or after an eight-letter prefix such
/// as isc_dpb_. Writing an empty value deletes the line.
class TConnectParams {
public:
    explicit TConnectParams(TFbDatabase &database) : m_database(database) {}

    std::string UserName() const { return read("user_name"); }
    void SetUserName(std::string_view value) { write("user_name", value); }
    std::string Password() const { return read("password"); }
    void SetPassword(std::string_view value) { write("password", value); }
    std::string RoleName() const { return read("sql_role_name"); }
    void SetRoleName(std::string_view value) { write("sql_role_name", value); }
    std::string CharSet() const { return read("lc_ctype"); }
    /// Stored with the Latin letters upper-cased.
    void SetCharSet(std::string_view value);

private:
    std::string read(std::string_view name) const;
    void write(std::string_view name, std::string_view value);
    TFbDatabase &m_database;
};

class TFbDatabase : public TComponent {
public:
    explicit TFbDatabase(TComponent *owner = nullptr, std::string name = {});
    ~TFbDatabase() override;

    // Changing DBName, DBParams or LibraryName while connected throws
    // EFbClientError 13.
    const std::string &DBName() const { return m_dbName; }
    void SetDBName(std::string name);
    const std::vector<std::string> &DBParams() const { return m_dbParams; }
    void SetDBParams(std::vector<std::string> params);
    TConnectParams &ConnectParams() { return m_connectParams; }
    const std::string &LibraryName() const { return m_libraryName; }
    void SetLibraryName(std::string name);

    TFbTransaction *DefaultTransaction() const { return m_defaultTransaction; }
    /// A transaction without a connection of its own gets this one.
    void SetDefaultTransaction(TFbTransaction *transaction);

    int SQLDialect() const { return m_sqlDialect; }
    /// Throws EFbClientError 61 for n < 1, or when connected to a database
    /// whose dialect is lower than n.
    void SetSQLDialect(int dialect);
    /// The database's own dialect, read when connecting.
    int DatabaseSQLDialect() const { return m_databaseDialect; }
    bool SynchronizeTime() const { return m_synchronizeTime; }
    void SetSynchronizeTime(bool value) { m_synchronizeTime = value; }

    bool Connected() const { return m_handle != 0; }
    /// true connects (a no-op when connected), false closes without force.
    /// Throws EFbClientError, EFbServerError, or the binding's errors.
    void SetConnected(bool connected);
    /// Forced: errors of the transactions' ends and of the statements'
    /// disconnect hooks are ignored. SkipAliveCheck: no server question first.
    void Close(bool force, bool skipAliveCheck = false);

    // Facts about the server, valid while connected (-1: not read).
    bool ServerIsFirebird() const { return m_serverIsFirebird; }
    int ServerVersionMajor() const { return m_serverVersion[0]; }
    int ServerVersionMinor() const { return m_serverVersion[1]; }
    int ServerVersionRelease() const { return m_serverVersion[2]; }
    int ServerVersionBuild() const { return m_serverVersion[3]; }
    bool UnicodeAttachment() const { return m_unicodeAttachment; }
    bool UnicodeOrNoneAttachment() const { return m_unicodeOrNoneAttachment; }
    bool Koi8Attachment() const { return m_koi8Attachment; }
    bool MetadataUtf8() const { return m_metadataUtf8; }
    const std::vector<int> &UnicodeCharsetIds() const { return m_unicodeCharsetIds; }
    bool IsUnicodeCharset(long charset) const;
    /// Local time minus the server's, in days.
    double ServerTimeDelta() const { return m_serverTimeDelta; }

    TFbHandle Handle() const { return m_handle; }

    /// Follows every API call made for the connection: raises the server
    /// error with this connection as sender when asked and the code is not 0.
    TFbStatus Call(TFbStatus status, bool raise);

    /// The connection's own transaction for short internal queries.
    TFbTransaction &InternalTransaction() { return *m_internalTransaction; }

    const std::vector<TFbTransaction *> &Transactions() const { return m_transactions; }
    void AddStatement(IFbDatabaseClient *statement);
    void RemoveStatement(IFbDatabaseClient *statement);

    TNotifyList<> &AfterConnectListeners() { return m_afterConnectListeners; }
    TNotifyList<> &BeforeDisconnectListeners() { return m_beforeDisconnectListeners; }
    /// Called last registered first while the connection is destroyed.
    TNotifyList<> &DestroyListeners() { return m_destroyListeners; }

    // Events; empty unless assigned.
    std::function<void(TFbDatabase &, bool &allow)> BeforeConnect;
    std::function<void(TFbDatabase &)> AfterConnect;
    std::function<void(TFbDatabase &)> BeforeDisconnect;
    std::function<void(TFbDatabase &)> AfterDisconnect;
    std::function<void(TFbDatabase &, TOnLostConnectActions &)> OnLostConnect;

protected:
    /// Ends the connection's life: every derived destructor calls it first so
    /// that the close still sees the whole object. Never throws.
    void Destroy() noexcept;

private:
    friend class TFbTransaction;
    friend struct detail::Internals;

    TFbHandle *HandlePointer() { return &m_handle; }
    /// Null until the first connect attempt acquires it.
    IFbClientLibrary *ClientLibrary() const { return m_library.get(); }
    std::shared_ptr<IFbClientLibrary> SharedClientLibrary() const { return m_library; }

    void connect();
    void finishClose(bool force);
    void handleLostConnection();
    void synchronizeTime();
    void readServerFacts();
    void resetServerFacts();
    void checkNotConnected() const;
    std::optional<long> infoNumber(char item);
    std::string infoVersionText(char item);
    void callDisconnectEvent(const std::function<void(TFbDatabase &)> &event,
                             std::string_view eventName);
    void addTransaction(TFbTransaction *transaction);
    void removeTransaction(TFbTransaction *transaction);

    std::string m_dbName;
    std::vector<std::string> m_dbParams;
    TConnectParams m_connectParams{*this};
    std::string m_libraryName;
    std::string m_dpb;
    bool m_paramsChanged = true;
    std::shared_ptr<IFbClientLibrary> m_library;
    TFbHandle m_handle = 0;
    int m_sqlDialect = 1;
    int m_databaseDialect = 1;
    bool m_synchronizeTime = true;
    bool m_destroying = false;
    bool m_destroyed = false;

    bool m_serverIsFirebird = false;
    int m_serverVersion[4] = {-1, -1, -1, -1};
    bool m_unicodeAttachment = false;
    bool m_unicodeOrNoneAttachment = false;
    bool m_koi8Attachment = false;
    bool m_metadataUtf8 = false;
    std::vector<int> m_unicodeCharsetIds; ///< set by the constructor: UNICODE_FSS alone
    double m_serverTimeDelta = 0;

    TFbTransaction *m_defaultTransaction = nullptr;
    std::vector<TFbTransaction *> m_transactions;
    std::vector<IFbDatabaseClient *> m_statements;
    TNotifyList<> m_afterConnectListeners;
    TNotifyList<> m_beforeDisconnectListeners;
    TNotifyList<> m_destroyListeners;
    std::unique_ptr<TFbTransaction> m_internalTransaction;
};

class TFbTransaction : public TComponent {
public:
    explicit TFbTransaction(TComponent *owner = nullptr, std::string name = {});
    ~TFbTransaction() override;

    TFbDatabase *DefaultDatabase() const { return m_defaultDatabase; }
    /// Throws EFbClientError 16 when active; std::runtime_error when the
    /// connection uses another client library than the others attached.
    void SetDefaultDatabase(TFbDatabase *database);
    const std::vector<TFbDatabase *> &Databases() const { return m_databases; }

    bool Active() const { return m_handle != 0; }
    /// true starts when inactive; false rolls back when active.
    void SetActive(bool active);
    TTransactionAction TimeoutAction() const { return m_timeoutAction; }
    void SetTimeoutAction(TTransactionAction action) { m_timeoutAction = action; }
    const std::vector<std::string> &TRParams() const { return m_trParams; }
    /// Throws EFbClientError 16 when active.
    void SetTRParams(std::vector<std::string> params);
    TTransactionState TransactionState() const { return m_state; }

    TFbHandle Handle() const { return m_handle; }

    /// Throws EFbClientError 15 when inactive; a refused end that is not
    /// forced throws EFbServerError and leaves the transaction active. A
    /// forced end never fails at the server: it falls back to a rollback and
    /// drops the handle.
    virtual void EndTransaction(TTransactionAction action, bool force);
    /// Throws EFbClientError 16 when active, 18 without a connection, 12 when
    /// a connection is closed, 10 or 11 for a bad TRParams line, and
    /// EFbServerError when the server refuses.
    virtual void StartTransaction();
    void Commit() { EndTransaction(TACommit, false); }
    void CommitRetaining() { EndTransaction(TACommitRetaining, false); }
    void Rollback() { EndTransaction(TARollback, false); }
    void RollbackRetaining() { EndTransaction(TARollbackRetaining, false); }

    /// Follows every API call made for the transaction: raises the server
    /// error with this transaction as sender when asked and the code is not 0.
    TFbStatus Call(TFbStatus status, bool raise);

    /// Told before and after every execution of a statement of this
    /// transaction; calls BeforeSQLExecute or AfterSQLExecute.
    virtual void SQLExecuteNotify(TFbQuery &statement, TFbSQLTypes type, bool after);
    std::function<void(TFbTransaction &, TFbQuery &, TFbSQLTypes)> BeforeSQLExecute;
    std::function<void(TFbTransaction &, TFbQuery &, TFbSQLTypes)> AfterSQLExecute;

    void AddStatement(IFbTransactionClient *statement);
    void RemoveStatement(IFbTransactionClient *statement);

    TNotifyList<> &BeforeStartListeners() { return m_beforeStartListeners; }
    TNotifyList<> &AfterStartListeners() { return m_afterStartListeners; }
    TNotifyList<TTransactionAction, bool> &BeforeEndListeners() { return m_beforeEndListeners; }
    TNotifyList<> &AfterEndListeners() { return m_afterEndListeners; }
    TNotifyList<> &DestroyListeners() { return m_destroyListeners; }

protected:
    /// See TFbDatabase::Destroy.
    void Destroy() noexcept;

private:
    friend class TFbDatabase;
    friend struct detail::Internals;

    TFbHandle *HandlePointer() { return &m_handle; }
    /// The binding the transaction was started with; null before.
    IFbClientLibrary *ClientLibrary() const { return m_library.get(); }

    void endRetaining(TTransactionAction action, bool force);
    void endCompletely(TTransactionAction action, bool force);
    void notifyEnding(TTransactionAction action, bool force);
    void notifyEnded();
    void detachDatabase(TFbDatabase *database);

    TFbDatabase *m_defaultDatabase = nullptr;
    std::vector<TFbDatabase *> m_databases;
    std::vector<std::string> m_trParams;
    std::string m_tpb;
    bool m_paramsChanged = true;
    std::shared_ptr<IFbClientLibrary> m_library;
    TFbHandle m_handle = 0;
    TTransactionAction m_timeoutAction = TARollback;
    TTransactionState m_state = tsInactive;
    bool m_handleLost = false;
    bool m_destroyed = false;

    std::vector<IFbTransactionClient *> m_statements;
    TNotifyList<> m_beforeStartListeners;
    TNotifyList<> m_afterStartListeners;
    TNotifyList<TTransactionAction, bool> m_beforeEndListeners;
    TNotifyList<> m_afterEndListeners;
    TNotifyList<> m_destroyListeners;
};

/// The action a forced end uses in place of a retaining TimeoutAction.
TTransactionAction CompleteAction(TTransactionAction action);

} // namespace db
