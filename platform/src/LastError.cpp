#include "LastError.h"

#include "platform/FileSystem.h"
#include "platform/Text.h"

#include <cerrno>
#include <cstring>

namespace platform {
namespace {

struct LastError {
    int code = 0;
    std::string text;
};

thread_local LastError t_lastError;

} // namespace

namespace detail {

void setLastError(int code, std::string ansiText)
{
    t_lastError = {code, std::move(ansiText)};
}

bool failWith(int code)
{
    char buffer[256];
    // The GNU strerror_r returns the text, not always in the buffer.
    setLastError(code, utf8ToAnsi(strerror_r(code, buffer, sizeof buffer)));
    return false;
}

bool failWithErrno()
{
    return failWith(errno);
}

} // namespace detail

std::string lastErrorText()
{
    return t_lastError.text;
}
int lastErrorCode()
{
    return t_lastError.code;
}

} // namespace platform
