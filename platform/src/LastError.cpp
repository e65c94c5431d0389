#include "LastError.h"

#include "platform/FileSystem.h"
#include "platform/Text.h"

#include <cerrno>
#include <cstring>

namespace platform {
namespace {

thread_local std::string t_lastErrorText;

} // namespace

namespace detail {

void setLastError(std::string ansiText)
{
    t_lastErrorText = std::move(ansiText);
}

bool failWith(int code)
{
    char buffer[256];
    // The GNU strerror_r returns the text, not always in the buffer.
    setLastError(utf8ToAnsi(strerror_r(code, buffer, sizeof buffer)));
    return false;
}

bool failWithErrno()
{
    return failWith(errno);
}

} // namespace detail

std::string lastErrorText()
{
    return t_lastErrorText;
}

} // namespace platform
