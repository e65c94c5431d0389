// A stand-in for the client library that exports a chosen subset of its
// entry points, for what the real library cannot show: an older API level,
// a missing entry point, and message texts of the test's choosing. Built
// three times: with only the always-required entry points, with the version
// 6 ones as well (DOUBLE_LEVEL6), and without isc_transaction_info
// (DOUBLE_MISSING_REQUIRED).
//
// Attach, start and the ends of a transaction succeed and hand out handle 1;
// information requests answer nothing. Entry points that no test calls are
// exported with a placeholder signature.

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

using Status = std::intptr_t;
using Handle = unsigned int;

#define DOUBLE_EXPORT extern "C" __attribute__((visibility("default")))
#define DOUBLE_STUB(name)                                                                          \
    DOUBLE_EXPORT Status name()                                                                    \
    {                                                                                              \
        return 0;                                                                                  \
    }

namespace {

std::string g_sqlText;
std::vector<std::string> g_lines;
size_t g_nextLine = 0;
std::int32_t g_sqlCode = 0;

Status succeed(Status *status)
{
    status[0] = 1;
    status[1] = 0;
    status[2] = 0;
    return 0;
}

} // namespace

/// Scripts the texts of the next server error: the SQLCODE, its text and
/// the status-vector lines.
DOUBLE_EXPORT void double_set_error_texts(std::int32_t sqlCode, const char *sqlText,
                                          const char *const *lines, int count)
{
    g_sqlCode = sqlCode;
    g_sqlText = sqlText;
    g_lines.assign(lines, lines + count);
    g_nextLine = 0;
}

DOUBLE_EXPORT std::int32_t isc_sqlcode(const Status *)
{
    return g_sqlCode;
}

DOUBLE_EXPORT void isc_sql_interprete(short, char *buffer, short length)
{
    std::strncpy(buffer, g_sqlText.c_str(), static_cast<size_t>(length) - 1);
    buffer[length - 1] = '\0';
}

DOUBLE_EXPORT std::int32_t isc_interprete(char *buffer, Status **cursor)
{
    if (g_nextLine == g_lines.size())
        return 0;
    const std::string &line = g_lines[g_nextLine++];
    std::strcpy(buffer, line.c_str());
    *cursor += 2;
    // A line may be empty: the loop goes on while the length is positive.
    return static_cast<std::int32_t>(line.size()) + 1;
}

DOUBLE_EXPORT std::int32_t isc_vax_integer(const char *bytes, short length)
{
    std::int32_t value = 0;
    for (short i = length - 1; i >= 0; --i)
        value = value * 256 + static_cast<unsigned char>(bytes[i]);
    return value;
}

DOUBLE_EXPORT Status isc_attach_database(Status *status, short, const char *, Handle *handle, short,
                                         const char *)
{
    *handle = 1;
    return succeed(status);
}

DOUBLE_EXPORT Status isc_detach_database(Status *status, Handle *handle)
{
    *handle = 0;
    return succeed(status);
}

DOUBLE_EXPORT Status isc_database_info(Status *status, Handle *, short, const char *, short length,
                                       char *buffer)
{
    std::memset(buffer, 0, static_cast<size_t>(length));
    buffer[0] = 1; // isc_info_end
    return succeed(status);
}

DOUBLE_EXPORT Status isc_start_multiple(Status *status, Handle *handle, short, void *)
{
    *handle = 1;
    return succeed(status);
}

DOUBLE_EXPORT Status isc_commit_transaction(Status *status, Handle *handle)
{
    *handle = 0;
    return succeed(status);
}

DOUBLE_EXPORT Status isc_rollback_transaction(Status *status, Handle *handle)
{
    *handle = 0;
    return succeed(status);
}

DOUBLE_EXPORT Status isc_commit_retaining(Status *status, Handle *)
{
    return succeed(status);
}

DOUBLE_STUB(BLOB_get)
DOUBLE_STUB(BLOB_put)
DOUBLE_STUB(isc_blob_info)
DOUBLE_STUB(isc_open_blob2)
DOUBLE_STUB(isc_close_blob)
DOUBLE_STUB(isc_get_segment)
DOUBLE_STUB(isc_put_segment)
DOUBLE_STUB(isc_create_blob2)
DOUBLE_STUB(isc_decode_date)
DOUBLE_STUB(isc_encode_date)
DOUBLE_STUB(isc_dsql_free_statement)
DOUBLE_STUB(isc_dsql_execute2)
DOUBLE_STUB(isc_dsql_execute)
DOUBLE_STUB(isc_dsql_set_cursor_name)
DOUBLE_STUB(isc_dsql_fetch)
DOUBLE_STUB(isc_dsql_sql_info)
DOUBLE_STUB(isc_dsql_alloc_statement2)
DOUBLE_STUB(isc_dsql_prepare)
DOUBLE_STUB(isc_dsql_describe_bind)
DOUBLE_STUB(isc_dsql_describe)
DOUBLE_STUB(isc_dsql_execute_immediate)
DOUBLE_STUB(isc_dsql_exec_immed2)
DOUBLE_STUB(isc_drop_database)
DOUBLE_STUB(isc_cancel_events)
DOUBLE_STUB(isc_que_events)
DOUBLE_STUB(isc_event_counts)
DOUBLE_STUB(isc_event_block)
DOUBLE_STUB(isc_free)
DOUBLE_STUB(isc_array_lookup_bounds)
DOUBLE_STUB(isc_array_get_slice)
DOUBLE_STUB(isc_array_put_slice)
DOUBLE_STUB(isc_wait_for_event)
#ifndef DOUBLE_MISSING_REQUIRED
DOUBLE_STUB(isc_transaction_info)
#endif
DOUBLE_STUB(isc_prepare_transaction)
DOUBLE_STUB(isc_prepare_transaction2)

#ifdef DOUBLE_LEVEL6
DOUBLE_EXPORT Status isc_rollback_retaining(Status *status, Handle *)
{
    return succeed(status);
}
DOUBLE_STUB(isc_service_attach)
DOUBLE_STUB(isc_service_detach)
DOUBLE_STUB(isc_service_query)
DOUBLE_STUB(isc_service_start)
DOUBLE_STUB(isc_decode_sql_date)
DOUBLE_STUB(isc_decode_sql_time)
DOUBLE_STUB(isc_decode_timestamp)
DOUBLE_STUB(isc_encode_sql_date)
DOUBLE_STUB(isc_encode_sql_time)
DOUBLE_STUB(isc_encode_timestamp)
DOUBLE_STUB(isc_portable_integer)
#endif
