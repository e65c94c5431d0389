#pragma once
// The exceptions of the database layer. A failure reported by the server or
// the client library becomes EFbServerError; a failure found by the layer's
// own checks becomes EFbClientError. what() is the composed Message.

#include <cstdint>
#include <exception>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace db {

class TComponent;

/// The runtime's general database error: an exception carrying a message.
class EDatabaseError : public std::exception {
public:
    explicit EDatabaseError(std::string message) : m_message(std::move(message)) {}
    const char *what() const noexcept override { return m_message.c_str(); }
    const std::string &Message() const { return m_message; }

protected:
    void SetMessage(std::string message) { m_message = std::move(message); }

private:
    std::string m_message;
};

/// Which parts enter a server error's Message.
enum TErrorMessagePart : unsigned {
    emSenderName = 1u << 0,
    emSQLMessage = 1u << 1,
    emServerMessages = 1u << 2,
};
using TErrorMessageParts = unsigned;
constexpr TErrorMessageParts kAllErrorMessageParts = emSenderName | emSQLMessage | emServerMessages;

/// The process-wide set of parts; all three unless changed.
TErrorMessageParts ErrorMessageParts();
void SetErrorMessageParts(TErrorMessageParts parts);

struct TFbErrorFields {
    std::int32_t SQLCode = 0;
    std::int32_t ErrorCode = 0;
    std::string SenderName;
    std::string SQLMessage;
    std::string ServerMessage;
    std::string ExtraText;
    std::string ClientText;
    const TComponent *Sender = nullptr;
};

class EFbError : public EDatabaseError {
public:
    explicit EFbError(TFbErrorFields fields);

    std::int32_t SQLCode() const { return m_fields.SQLCode; }
    std::int32_t ErrorCode() const { return m_fields.ErrorCode; }
    const std::string &SenderName() const { return m_fields.SenderName; }
    const std::string &SQLMessage() const { return m_fields.SQLMessage; }
    const std::string &ServerMessage() const { return m_fields.ServerMessage; }
    const std::string &ExtraText() const { return m_fields.ExtraText; }
    const std::string &ClientText() const { return m_fields.ClientText; }
    /// The component whose call failed; not owned, may be gone by now.
    const TComponent *Sender() const { return m_fields.Sender; }

    /// Replaces the client text and recomposes Message.
    void SetClientText(std::string text);

private:
    void composeMessage();
    TFbErrorFields m_fields;
};

class EFbServerError : public EFbError {
public:
    using EFbError::EFbError;
};

class EFbClientError : public EFbError {
public:
    using EFbError::EFbError;
};

/// Numbers of the client errors, indexes into ClientErrorTexts.
enum TFbClientErrorCode : int {
    fceUnknownError = 0,
    fceNotPermitted = 2,
    fceOperationCancelled = 7,
    fceDPBConstantNotSupported = 8,
    fceDPBConstantUnknown = 9,
    fceTPBConstantNotSupported = 10,
    fceTPBConstantUnknown = 11,
    fceDatabaseClosed = 12,
    fceDatabaseOpen = 13,
    fceDatabaseNameMissing = 14,
    fceNotInTransaction = 15,
    fceInTransaction = 16,
    fceNoDatabasesInTransaction = 18,
    fceDatabaseNotAssigned = 21,
    fceTransactionNotAssigned = 22,
    fceDatasetOpen = 28,
    fceDatasetClosed = 29,
    fceUnknownSQLDataType = 30,
    fceInvalidDataConversion = 33,
    fceQueryEmpty = 37,
    fceFieldNotFound = 41,
    fceSQLParseError = 51,
    fceCantEndSharedTransaction = 58,
    fceSQLDialectInvalid = 61,
};

constexpr int kClientErrorCount = 79;
/// The message formats of the numbered client errors.
extern const char *const ClientErrorTexts[kClientErrorCount];

/// One argument of a printf-like format: %s takes text, %d and %x numbers.
using TFormatArg = std::variant<std::string_view, long long>;
/// Formats %s, %d, %x (with flags, width and precision) and %%; a directive
/// without a matching argument is left out.
std::string FormatText(std::string_view format, const std::vector<TFormatArg> &args = {});

/// An operating-system error: "System Error.  Code: <n>.\r\n<text>". Thrown
/// when the client library lacks a required entry point, so connecting can
/// raise it.
class EOSError : public std::runtime_error {
public:
    EOSError(int errorCode, const std::string &text);
    int ErrorCode() const { return m_errorCode; }

private:
    int m_errorCode;
};

/// Throws EFbClientError with the numbered text formatted with the arguments.
[[noreturn]] void RaiseClientError(int number, const std::vector<TFormatArg> &args = {});
/// Throws EFbClientError with SQLCode -1 and the caller's format.
[[noreturn]] void RaiseClientErrorText(std::string_view format,
                                       const std::vector<TFormatArg> &args = {});

} // namespace db
