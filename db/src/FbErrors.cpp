#include "db/FbErrors.h"

#include "FbClient.h"

#include <cstdio>
#include <mutex>

namespace db {

EOSError::EOSError(int errorCode, const std::string &text)
    : std::runtime_error(errorCode != 0
                             ? FormatText("System Error.  Code: %d.\r\n%s", {errorCode, text})
                             : std::string("A call to an OS function failed")),
      m_errorCode(errorCode)
{
}

namespace {

std::mutex g_partsMutex;
TErrorMessageParts g_parts = kAllErrorMessageParts;

} // namespace

TErrorMessageParts ErrorMessageParts()
{
    std::lock_guard lock(g_partsMutex);
    return g_parts;
}

void SetErrorMessageParts(TErrorMessageParts parts)
{
    std::lock_guard lock(g_partsMutex);
    g_parts = parts;
}

EFbError::EFbError(TFbErrorFields fields) : EDatabaseError({}), m_fields(std::move(fields))
{
    composeMessage();
}

void EFbError::SetClientText(std::string text)
{
    m_fields.ClientText = std::move(text);
    composeMessage();
}

void EFbError::composeMessage()
{
    const TErrorMessageParts parts = ErrorMessageParts();
    std::string message;
    if ((parts & emSenderName) != 0 && m_fields.SenderName.size() > 1)
        message += m_fields.SenderName + ":\r\n";
    if ((parts & emSQLMessage) != 0)
        message += m_fields.SQLMessage;
    if ((parts & emServerMessages) != 0)
        message += m_fields.ServerMessage;
    message += m_fields.ExtraText;
    message += m_fields.ClientText;
    SetMessage(std::move(message));
}

const char *const ClientErrorTexts[kClientErrorCount] = {
    "Unknown error.",
    "Unsupported feature.",
    "Not permitted.",
    "Temporary file access error.",
    "Database connection timed out.",
    "Cannot set database.",
    "Cannot set transaction.",
    "Operation cancelled at user's request.",
    "DPB Constant (isc_dpb_%s) is unsupported.",
    "DPB Constant (%s) is unknown.",
    "TPB Constant (isc_tpb_%s) is unsupported.",
    "TPB Constant (%s) is unknown.",
    "%s: Cannot perform operation -- DB is not open.",
    "Cannot perform operation -- DB is currently open.",
    "Database name is missing.",
    "%s :Transaction is not active.",
    "%s :Transaction is active.",
    "Timeout values cannot be negative.",
    "%s :No databases are listed in transaction component.",
    "%s :Updating wrong database.",
    "%s :Updating wrong transaction.",
    "Database not assigned for %s.",
    "Transaction not assigned for %s.",
    "XSQLDA index out of range.",
    "XSQLDA name does not exist (%s).",
    "End of file.",
    "Beginning of file.",
    "%s:Invalid statement handle.",
    "Can't %s because %s dataset open.",
    "Can't %s because %s dataset closed.",
    "Unknown SQL Data type (%d).",
    "Invalid column index (index exceeds permitted range).",
    "Invalid parameter index (index exceeds permitted range).",
    "Invalid data conversion.",
    "Column cannot be set to null (%s)",
    "Blob stream cannot be read.",
    "Blob stream cannot be written.",
    "Can't %s , because  query is empty",
    "Can't \"open\" a non-select statement. Use ExecQuery.",
    "No access to field \"%s\".",
    "Field \"%s\" is read-only.",
    "Field \"%s\" not found.",
    "DataSet not in Edit or Insert mode.(%s)",
    "Not editing.",
    "Can't insert into dataset. (%s)",
    "Can't post. (%s) ",
    "Can't update. (%s)",
    "Can't delete from dataset. (%s)",
    "Can't refresh row. (%s)",
    "Buffer not set.",
    "Circular references not permitted.(%s)",
    "SQL Parse Error in :%s \r\n\r\n%s",
    "User abort.",
    "Data set is uni-directional.",
    "Cannot create shared resource. (Windows error %d)",
    "Windows API error. (Windows error %d [$%.8x])",
    "Column lists do not match.",
    "Column types don't match. (From index: %d, To index: %d)",
    "Can't end a shared transaction unless it is forced and equal to the transaction's "
    "TimeoutAction.",
    "Column types \"%s\" is not array field",
    "Dimension %d don't exist in \"%s\" ",
    "SQL Dialect invalid",
    "InterBase library gds32.dll not found in the path. Please install InterBase to use this "
    "functionality",
    "%s is an InterBase6 function. Please upgrade to InterBase6 to use this functonality",
    "InterBase Install DLL ibinstall.dll not found in the path. Please install InterBase 6 to use "
    "this functionality",
    "Cannot perform operation -- service is not attached",
    "Cannot perform operation -- service is attached",
    "Server Name Missing",
    "Query Parameters missing or incorrect",
    "Start Parameters missing or incorrect",
    "Unexpected Output buffer value",
    "Generic ServiceStart not applicable: Use Specific Procedures to set configuration params",
    "SPB Constant Not supported",
    "SPB Constant Unknown",
    "Field Size too small. Field %s.%s",
    "%s. Can't use limited cache. \r\nCachedUpdates must be False,\r\nSelect must have \"Order "
    "by\" clause ,\r\nAll order fields must exist in fields section\r\nSelect can't use params "
    "with prefix \"NEW_\"\r\nUpdateTransaction must be equel Transaction or AutoCommit=True ",
    "Error in %s. FieldList is empty.",
    "%s can't use field \"%s\"",
    "%s is an Firebird 2 function. Please upgrade to Firebird 2 to use this functonality",
};

namespace {

bool isDirectiveFlag(char c)
{
    return c == '-' || c == '+' || c == ' ' || c == '#' || c == '0';
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Formats one numeric directive through snprintf, which is safe here because
// the directive's text has been checked to hold only flags, digits and '.'.
std::string formatNumber(std::string_view directive, char conversion, long long value)
{
    std::string format(directive);
    format += "ll";
    format += conversion;
    char buffer[64];
    const int length = std::snprintf(buffer, sizeof buffer, format.c_str(), value);
    return length > 0 ? std::string(buffer, std::min<size_t>(length, sizeof buffer - 1))
                      : std::string();
}

std::string formatArgument(std::string_view directive, char conversion, const TFormatArg &arg)
{
    if (conversion == 's') {
        if (const auto *text = std::get_if<std::string_view>(&arg))
            return std::string(*text);
        return std::to_string(std::get<long long>(arg));
    }
    if (const auto *number = std::get_if<long long>(&arg))
        return formatNumber(directive, conversion, *number);
    return std::string(std::get<std::string_view>(arg));
}

} // namespace

std::string FormatText(std::string_view format, const std::vector<TFormatArg> &args)
{
    std::string result;
    auto next = args.begin();
    size_t i = 0;
    while (i < format.size()) {
        const char c = format[i];
        if (c != '%' || i + 1 == format.size()) {
            result += c;
            ++i;
            continue;
        }
        size_t end = i + 1;
        while (end < format.size() &&
               (isDirectiveFlag(format[end]) || isDigit(format[end]) || format[end] == '.'))
            ++end;
        const char conversion = end < format.size() ? format[end] : '\0';
        if (conversion == '%') {
            result += '%';
        } else if (conversion == 's' || conversion == 'd' || conversion == 'x') {
            if (next != args.end())
                result += formatArgument(format.substr(i, end - i), conversion, *next++);
        } else {
            result += format.substr(i, end - i + (conversion != '\0' ? 1 : 0));
        }
        i = end + 1;
    }
    return result;
}

namespace {

[[noreturn]] void raiseClientMessage(std::int32_t sqlCode, std::string message)
{
    TFbErrorFields fields;
    fields.SQLCode = sqlCode;
    fields.ErrorCode = static_cast<std::int32_t>(StatusVector()[1]);
    fields.ClientText = std::move(message);
    throw EFbClientError(std::move(fields));
}

} // namespace

void RaiseClientError(int number, const std::vector<TFormatArg> &args)
{
    if (number < 0 || number >= kClientErrorCount)
        number = fceUnknownError;
    raiseClientMessage(number, FormatText(ClientErrorTexts[number], args));
}

void RaiseClientErrorText(std::string_view format, const std::vector<TFormatArg> &args)
{
    raiseClientMessage(-1, FormatText(format, args));
}

} // namespace db
