#pragma once
// The binding to the client library: its entry points resolved by name from
// a library loaded at run time, offered as one interface. Every database
// call of the layer goes through IFbClientLibrary.

#include <ibase.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

#include "db/FbErrors.h"
#include "platform/DynamicLibrary.h"

namespace db {

/// Firebird 3's own BOOLEAN is SQL_BOOLEAN; 590 is the older servers' code
/// for the same.
constexpr short kSqlBooleanOld = 590;

/// A value of the client's buffers, which need not be aligned for its type.
template <typename T> T readAs(const char *data)
{
    T value;
    std::memcpy(&value, data, sizeof value);
    return value;
}

class TComponent;
class TFbDatabase;

// Entry points every client library must export, in the order they are resolved.
#define DORVIL_FB_REQUIRED_ENTRIES(X)                                                              \
    X(BLOB_get)                                                                                    \
    X(BLOB_put)                                                                                    \
    X(isc_sqlcode)                                                                                 \
    X(isc_sql_interprete)                                                                          \
    X(isc_interprete)                                                                              \
    X(isc_vax_integer)                                                                             \
    X(isc_blob_info)                                                                               \
    X(isc_open_blob2)                                                                              \
    X(isc_close_blob)                                                                              \
    X(isc_get_segment)                                                                             \
    X(isc_put_segment)                                                                             \
    X(isc_create_blob2)                                                                            \
    X(isc_decode_date)                                                                             \
    X(isc_encode_date)                                                                             \
    X(isc_dsql_free_statement)                                                                     \
    X(isc_dsql_execute2)                                                                           \
    X(isc_dsql_execute)                                                                            \
    X(isc_dsql_set_cursor_name)                                                                    \
    X(isc_dsql_fetch)                                                                              \
    X(isc_dsql_sql_info)                                                                           \
    X(isc_dsql_alloc_statement2)                                                                   \
    X(isc_dsql_prepare)                                                                            \
    X(isc_dsql_describe_bind)                                                                      \
    X(isc_dsql_describe)                                                                           \
    X(isc_dsql_execute_immediate)                                                                  \
    X(isc_dsql_exec_immed2)                                                                        \
    X(isc_drop_database)                                                                           \
    X(isc_detach_database)                                                                         \
    X(isc_attach_database)                                                                         \
    X(isc_database_info)                                                                           \
    X(isc_start_multiple)                                                                          \
    X(isc_commit_transaction)                                                                      \
    X(isc_commit_retaining)                                                                        \
    X(isc_rollback_transaction)                                                                    \
    X(isc_cancel_events)                                                                           \
    X(isc_que_events)                                                                              \
    X(isc_event_counts)                                                                            \
    X(isc_event_block)                                                                             \
    X(isc_free)                                                                                    \
    X(isc_array_lookup_bounds)                                                                     \
    X(isc_array_get_slice)                                                                         \
    X(isc_array_put_slice)                                                                         \
    X(isc_wait_for_event)                                                                          \
    X(isc_transaction_info)                                                                        \
    X(isc_prepare_transaction)                                                                     \
    X(isc_prepare_transaction2)

// Required once isc_rollback_retaining shows a version 6 client.
#define DORVIL_FB_LEVEL6_ENTRIES(X)                                                                \
    X(isc_service_attach)                                                                          \
    X(isc_service_detach)                                                                          \
    X(isc_service_query)                                                                           \
    X(isc_service_start)                                                                           \
    X(isc_decode_sql_date)                                                                         \
    X(isc_decode_sql_time)                                                                         \
    X(isc_decode_timestamp)                                                                        \
    X(isc_encode_sql_date)                                                                         \
    X(isc_encode_sql_time)                                                                         \
    X(isc_encode_timestamp)                                                                        \
    X(isc_portable_integer)

// Required once isc_get_client_version shows a client that reports its version.
#define DORVIL_FB_VERSION_ENTRIES(X)                                                               \
    X(isc_get_client_major_version)                                                                \
    X(isc_get_client_minor_version)

// Probed; absent ones fail only when called.
#define DORVIL_FB_PROBED_ENTRIES(X)                                                                \
    X(isc_rollback_retaining)                                                                      \
    X(isc_get_client_version)

// Batch calls of other servers' clients, probed once a client reports its version.
#define DORVIL_FB_BATCH_ENTRIES(X)                                                                 \
    X(isc_dsql_batch_execute_immed)                                                                \
    X(isc_dsql_batch_execute)

// Offered, never resolved: calling them always fails.
#define DORVIL_FB_UNRESOLVED_ENTRIES(X)                                                            \
    X(isc_array_lookup_desc)                                                                       \
    X(isc_array_set_desc)                                                                          \
    X(isc_blob_lookup_desc)                                                                        \
    X(isc_blob_set_desc)                                                                           \
    X(isc_cancel_blob)                                                                             \
    X(isc_add_user)                                                                                \
    X(isc_delete_user)                                                                             \
    X(isc_modify_user)

#define DORVIL_FB_DECLARED_ENTRIES(X)                                                              \
    DORVIL_FB_REQUIRED_ENTRIES(X)                                                                  \
    DORVIL_FB_LEVEL6_ENTRIES(X)                                                                    \
    DORVIL_FB_VERSION_ENTRIES(X) DORVIL_FB_PROBED_ENTRIES(X) DORVIL_FB_UNRESOLVED_ENTRIES(X)

#define DORVIL_FB_ALL_ENTRIES(X) DORVIL_FB_DECLARED_ENTRIES(X) DORVIL_FB_BATCH_ENTRIES(X)

// The function type of each entry point, as the library's header declares it.
namespace fbentry {
// The header marks isc_interprete deprecated, but the message loop of the
// server errors is defined in terms of it, so taking its type must not warn.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#define DORVIL_FB_DECLTYPE(name) using name = decltype(::name);
DORVIL_FB_DECLARED_ENTRIES(DORVIL_FB_DECLTYPE)
#undef DORVIL_FB_DECLTYPE
#pragma GCC diagnostic pop
// This client's header lacks the batch calls.
using isc_dsql_batch_execute_immed = ISC_STATUS(ISC_STATUS *, isc_db_handle *, isc_tr_handle *,
                                                unsigned short, unsigned long, char **,
                                                unsigned long *);
using isc_dsql_batch_execute = ISC_STATUS(ISC_STATUS *, isc_tr_handle *, isc_stmt_handle *,
                                          unsigned short, XSQLDA *, unsigned short, XSQLVAR **,
                                          unsigned long *);
} // namespace fbentry

/// The calling thread's status vector, passed to every API call.
ISC_STATUS *StatusVector();

/// Default library name of a connection.
inline constexpr const char *kDefaultLibraryName = "libfbclient.so.2";

class IFbClientLibrary {
public:
    virtual ~IFbClientLibrary() = default;
    IFbClientLibrary(const IFbClientLibrary &) = delete;
    IFbClientLibrary &operator=(const IFbClientLibrary &) = delete;

    const std::string &LibraryName() const { return m_libraryName; }
    /// 5 or 6 from the probes, or the client's own major version.
    int ClientMajorVersion() const { return m_majorVersion; }
    int ClientMinorVersion() const { return m_minorVersion; }

    // One forwarding operation per entry point, with the C function's
    // parameters and result. An unresolved one throws std::runtime_error
    // "Can't find procedure <name> in <library>".
#define DORVIL_FB_FORWARD(name)                                                                    \
    template <typename... Args> auto name(Args... args) const                                      \
    {                                                                                              \
        return resolved(m_entries.name, #name)(args...);                                           \
    }
    DORVIL_FB_ALL_ENTRIES(DORVIL_FB_FORWARD)
#undef DORVIL_FB_FORWARD

protected:
    explicit IFbClientLibrary(std::string libraryName) : m_libraryName(std::move(libraryName)) {}

    struct Entries {
#define DORVIL_FB_ENTRY(name) fbentry::name *name = nullptr;
        DORVIL_FB_ALL_ENTRIES(DORVIL_FB_ENTRY)
#undef DORVIL_FB_ENTRY
    };

    std::string m_libraryName;
    Entries m_entries;
    int m_majorVersion = 0;
    int m_minorVersion = 0;

private:
    template <typename F> F *resolved(F *entry, const char *name) const
    {
        if (entry == nullptr)
            throwProcedureNotFound(name);
        return entry;
    }
    [[noreturn]] void throwProcedureNotFound(const char *name) const;
};

/// The binding of the process-wide registry for this library name (compared
/// exactly): the one loaded before, or a new one. Throws std::runtime_error
/// "Can't load library <name> " when the loader refuses the file, and
/// EOSError when a required entry point is missing; nothing is registered then.
std::shared_ptr<IFbClientLibrary> AcquireClientLibrary(const std::string &libraryName);

/// The process-wide list of connections, closed when the layer is finalized.
void RegisterConnection(TFbDatabase *database);
void UnregisterConnection(TFbDatabase *database);

/// Builds the server error from the calling thread's status vector and
/// throws it; the sender's full name starts its message.
[[noreturn]] void RaiseServerError(const IFbClientLibrary &library, const TComponent *sender);

} // namespace db
