#include "FbParamBlocks.h"

#include "db/FbErrors.h"

#include "platform/Text.h"

#include <array>
#include <charconv>
#include <cstdint>
#include <limits>

namespace db {

namespace {

// DPB names in code order: a name's code is its position, counted from 1.
constexpr std::array<std::string_view, 83> kDpbNames = {
    "cdd_pathname",
    "allocation",
    "journal",
    "page_size",
    "num_buffers",
    "buffer_length",
    "debug",
    "garbage_collect",
    "verify",
    "sweep",
    "enable_journal",
    "disable_journal",
    "dbkey_scope",
    "number_of_users",
    "trace",
    "no_garbage_collect",
    "damaged",
    "license",
    "sys_user_name",
    "encrypt_key",
    "activate_shadow",
    "sweep_interval",
    "delete_shadow",
    "force_write",
    "begin_log",
    "quit_log",
    "no_reserve",
    "user_name",
    "password",
    "password_enc",
    "sys_user_name_enc",
    "interp",
    "online_dump",
    "old_file_size",
    "old_num_files",
    "old_file",
    "old_start_page",
    "old_start_seqno",
    "old_start_file",
    "drop_walfile",
    "old_dump_id",
    "wal_backup_dir",
    "wal_chkptlen",
    "wal_numbufs",
    "wal_bufsize",
    "wal_grp_cmt_wait",
    "lc_messages",
    "lc_ctype",
    "cache_manager",
    "shutdown",
    "online",
    "shutdown_delay",
    "reserved",
    "overwrite",
    "sec_attach",
    "disable_wal",
    "connect_timeout",
    "dummy_packet_interval",
    "gbak_attach",
    "sql_role_name",
    "set_page_buffers",
    "working_directory",
    "sql_dialect",
    "set_db_readonly",
    "set_db_sql_dialect",
    "gfix_attach",
    "gstat_attach",
    "gbak_ods_version",
    "gbak_ods_minor_version",
    "set_group_commit",
    "gbak_validate",
    "client_interbase_var",
    "admin_option",
    "flush_interval",
    "instance_name",
    "old_overwrite",
    "archive_database",
    "archive_journals",
    "archive_sweep",
    "archive_dumps",
    "archive_recover",
    "recover_until",
    "force",
};

// TPB names in code order, counted from 1 like the DPB names.
constexpr std::array<std::string_view, 21> kTpbNames = {
    "consistency",  "concurrency",    "shared",           "protected",
    "exclusive",    "wait",           "nowait",           "read",
    "write",        "lock_read",      "lock_write",       "verb_time",
    "commit_time",  "ignore_limbo",   "read_committed",   "autocommit",
    "rec_version",  "no_rec_version", "restart_requests", "no_auto_undo",
    "no_savepoint",
};

enum class DpbClass { Text, Byte, Switch, Sweep, Long, Unsupported };

constexpr int kDpbSweep = 10;
constexpr int kDpbSweepInterval = 22;
constexpr int kDpbSqlDialect = 63;
constexpr int kTpbLockRead = 10;
constexpr int kTpbLockWrite = 11;
constexpr char kDpbVersion1 = 1;
constexpr char kTpbVersion3 = 3;
constexpr size_t kMaxItemLength = 255;
// The client API takes the buffer length as a signed 16-bit number.
constexpr size_t kMaxBufferLength = std::numeric_limits<std::int16_t>::max();

DpbClass dpbClass(int code)
{
    switch (code) {
    case 18:
    case 19:
    case 20:
    case 28:
    case 29:
    case 30:
    case 36:
    case 47:
    case 48:
    case 60:
    case 63:
    case 75:
        return DpbClass::Text;
    case 5:
    case 9:
    case 13:
    case 17:
    case 24:
    case 27:
    case 33:
    case 34:
    case 54:
    case 57:
    case 58:
        return DpbClass::Byte;
    case 8:
    case 16:
    case 21:
    case 23:
    case 25:
    case 26:
        return DpbClass::Switch;
    case kDpbSweep:
        return DpbClass::Sweep;
    case kDpbSweepInterval:
        return DpbClass::Long;
    default:
        return DpbClass::Unsupported;
    }
}

bool isTrimmed(char c)
{
    return static_cast<unsigned char>(c) <= ' ';
}

void trimLine(std::string &line)
{
    size_t begin = 0;
    while (begin < line.size() && isTrimmed(line[begin]))
        ++begin;
    size_t end = line.size();
    while (end > begin && isTrimmed(line[end - 1]))
        --end;
    line = line.substr(begin, end - begin);
}

struct ParamLine {
    std::string name;
    std::string value;
};

ParamLine splitLine(const std::string &line, std::string_view prefix)
{
    const size_t equals = line.find('=');
    ParamLine result;
    result.name = line.substr(0, equals);
    if (equals != std::string::npos)
        result.value = line.substr(equals + 1);
    for (char &c : result.name)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    if (result.name.starts_with(prefix))
        result.name.erase(0, prefix.size());
    return result;
}

template <size_t N> int codeOf(const std::array<std::string_view, N> &names, std::string_view name)
{
    for (size_t i = 0; i < N; ++i)
        if (platform::sameTextInsensitive(names[i], name))
            return static_cast<int>(i) + 1;
    return 0;
}

long long toInteger(const std::string &value)
{
    std::int32_t result = 0;
    const char *first = value.data();
    const char *last = first + value.size();
    if (first != last && *first == '+')
        ++first;
    const auto [end, error] = std::from_chars(first, last, result);
    if (value.empty() || error != std::errc() || end != last)
        RaiseClientErrorText("'%s' is not a valid integer value", {value});
    return result;
}

void appendItem(std::string &buffer, char code, std::string_view value, std::string_view kind,
                std::string_view name)
{
    if (value.size() > kMaxItemLength)
        RaiseClientErrorText("%s Constant (%s) value is longer than 255 bytes.", {kind, name});
    buffer += code;
    buffer += static_cast<char>(value.size());
    buffer += value;
}

void appendDpbItem(std::string &dpb, int code, const ParamLine &line)
{
    const char codeByte = static_cast<char>(code);
    switch (dpbClass(code)) {
    case DpbClass::Text:
        if (code == kDpbSqlDialect && !line.value.empty()) {
            std::string dialect = line.value;
            dialect[0] = static_cast<char>(toInteger(std::string(1, dialect[0])));
            appendItem(dpb, codeByte, dialect, "DPB", line.name);
        } else {
            appendItem(dpb, codeByte, line.value, "DPB", line.name);
        }
        break;
    case DpbClass::Byte:
        appendItem(dpb, codeByte, std::string(1, static_cast<char>(toInteger(line.value) & 0xFF)),
                   "DPB", line.name);
        break;
    case DpbClass::Switch:
        appendItem(dpb, codeByte, std::string(1, '\0'), "DPB", line.name);
        break;
    case DpbClass::Sweep:
        appendItem(dpb, codeByte, std::string(1, '\2'), "DPB", line.name);
        break;
    case DpbClass::Long: {
        const auto value = static_cast<std::uint32_t>(toInteger(line.value));
        std::string bytes;
        for (int shift = 0; shift < 32; shift += 8)
            bytes += static_cast<char>((value >> shift) & 0xFF);
        appendItem(dpb, codeByte, bytes, "DPB", line.name);
        break;
    }
    case DpbClass::Unsupported:
        RaiseClientError(fceDPBConstantNotSupported, {kDpbNames[code - 1]});
    }
}

void checkBufferLength(const std::string &buffer, std::string_view kind)
{
    if (buffer.size() > kMaxBufferLength)
        RaiseClientErrorText("%s is longer than 32767 bytes.", {kind});
}

} // namespace

std::string BuildDPB(std::vector<std::string> &params)
{
    std::string dpb(1, kDpbVersion1);
    for (std::string &line : params) {
        trimLine(line);
        if (line.empty())
            continue;
        const ParamLine param = splitLine(line, "isc_dpb_");
        const int code = codeOf(kDpbNames, param.name);
        if (code == 0)
            RaiseClientError(fceDPBConstantUnknown, {param.name});
        appendDpbItem(dpb, code, param);
    }
    checkBufferLength(dpb, "Database parameter buffer");
    return dpb;
}

std::string BuildTPB(std::vector<std::string> &params)
{
    std::string tpb;
    if (!params.empty())
        tpb += kTpbVersion3;
    for (std::string &line : params) {
        trimLine(line);
        if (line.empty())
            continue;
        const ParamLine param = splitLine(line, "isc_tpb_");
        const int code = codeOf(kTpbNames, param.name);
        if (code == 0)
            RaiseClientError(fceTPBConstantUnknown, {param.name});
        if (code == 12 || code == 13 || code == 16 || code == 19)
            RaiseClientError(fceTPBConstantNotSupported, {kTpbNames[code - 1]});
        if (code == kTpbLockRead || code == kTpbLockWrite)
            appendItem(tpb, static_cast<char>(code), param.value, "TPB", param.name);
        else
            tpb += static_cast<char>(code);
    }
    checkBufferLength(tpb, "Transaction parameter buffer");
    return tpb;
}

int FindParamLine(const std::vector<std::string> &lines, std::string_view name)
{
    const std::string upperName = platform::upperLatin(name);
    for (size_t i = 0; i < lines.size(); ++i) {
        const size_t at = platform::upperLatin(lines[i]).find(upperName);
        if (at == 0 || at == 8)
            return static_cast<int>(i);
    }
    return -1;
}

std::string ParamValue(std::string_view line)
{
    const size_t equals = line.find('=');
    return equals == std::string_view::npos ? std::string() : std::string(line.substr(equals + 1));
}

} // namespace db
